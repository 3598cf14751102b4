// The About box, driven by UI scripts, alone and from the main dialog.
#include "editor/plugin_info.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "data/dx470data.h"
#include "editor/main_dialog.h"
#include "plugin_project_fixture.h"
#include "ui/script.h"
#include "ui/services.h"

namespace {

using editor::CPluginInfoDialog;

TEST(PluginInfoVersion, CommasBecomePointsAndTheLastPartIsCut) {
  EXPECT_EQ(editor::ShortVersion(editor::kVersionResource), "10. 0. 0");
  EXPECT_EQ(editor::ShortVersion("2, 1"), "2");
  EXPECT_EQ(editor::ShortVersion("7"), "7");
  EXPECT_EQ(editor::ShortVersion(""), "");
}

class PluginInfo : public ::testing::Test {
 protected:
  int Run(const std::string& name, const std::string& application, const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out;
    auto services = ui::MakeScriptedServices(in, out);
    dialog = std::make_unique<CPluginInfoDialog>(name, application);
    const int result = dialog->DoModal(*services);
    ok = services->Finish();
    report = out.str();
    return result;
  }
  std::unique_ptr<CPluginInfoDialog> dialog;
  bool ok = false;
  std::string report;
};

TEST_F(PluginInfo, ShowsTheDeviceTheVersionLineAndOpensTheAddressOnGo) {
  EXPECT_EQ(Run("Lobby display", "470110",
                "expect-dialog 101\nexpect-title \"Lobby display\"\n"
                "expect-text 218 \"Version  10. 0. 0    (Appl. program: 470110)\"\nexpect-text 221 \"Go\"\n"
                "focus 221\nclick 221\nkey 1 F1\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  // Go reports the address the box shows and hands the focus to OK; F1 has
  // no help here.
  const std::string address = dialog->GetDlgItemText(CPluginInfoDialog::kWebAddress);
  EXPECT_EQ(address.rfind("https://", 0), 0u) << address;
  EXPECT_EQ(report, "url: " + address + "\n");
  EXPECT_EQ(dialog->GetFocus(), ui::IDOK);
  EXPECT_FALSE(dialog->GetDlgItemText(CPluginInfoDialog::kLegalNotice).empty());
  EXPECT_NE(dialog->OwnerOf(CPluginInfoDialog::kPicture), nullptr);
}

TEST_F(PluginInfo, AnEmptyNameOrApplicationTextShowsTheNotReadText) {
  EXPECT_EQ(
      Run("", "",
          "expect-title \"not used, if read from ETS\"\n"
          "expect-text 218 \"Version  10. 0. 0    (Appl. program: not used, if read from ETS)\"\ncancel\n"),
      ui::IDCANCEL);
  EXPECT_TRUE(ok) << report;
}

class PluginInfoFromMainDialog : public testsupport::ProjectFixture {
 protected:
  void SetUp() override { ASSERT_EQ(data.EtsInit(device.Get()), S_OK); }
  CDX470Data data;
};

TEST_F(PluginInfoFromMainDialog, HelpMenuAndSystemMenuOpenTheBoxForTheDevice) {
  std::string name, type, version;
  data.EtsGetDeviceName(name);
  data.EtsApplicationDeviceType(type);
  data.EtsApplicationVersion(version);
  ASSERT_FALSE(name.empty());
  const std::string line = "Version  10. 0. 0    (Appl. program: " + type + version + ")";
  const std::string box =
      "expect-dialog 101\nexpect-title \"" + name + "\"\nexpect-text 218 \"" + line + "\"\n";
  std::istringstream in("expect-enabled 32779 1\nmenu 32779\n" + box + "click 221\nok\nmenu 32784\n" + box +
                        "ok\nexpect-dialog 201\ncancel\n");
  std::ostringstream out;
  auto services = ui::MakeScriptedServices(in, out);
  ui::SetServices(services.get());
  editor::DX470MainDialog dialog(data, editor::RegisteredDialogs());
  EXPECT_EQ(dialog.DoModal(*services), ui::IDCANCEL);
  ui::SetServices(nullptr);
  EXPECT_TRUE(services->Finish()) << out.str();
  EXPECT_NE(out.str().find("url: https://"), std::string::npos) << out.str();
}

}  // namespace
