// The general parameters dialog on a new device's PARAM, driven by UI
// scripts: the time code, what each list shows and the bytes OK stores.
#include "editor/general_params.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <sstream>

#include "data/dx470data.h"
#include "editor/main_dialog.h"
#include "plugin_project_fixture.h"
#include "ui/script.h"
#include "ui/services.h"

namespace {

using editor::CGeneralParamDialog;
using editor::DecodeTime;
using editor::EncodeTime;

TEST(GeneralTimeCode, EveryListedTimeSurvivesTheCodeAndBoundariesFallRight) {
  // Every time the lists offer, in tenths of a second.
  const int32_t listed[] = {0,  5,   10,  15,  20,  25,  30,  35,   40,   50,   60,    70,    80,
                            90, 100, 150, 200, 250, 300, 600, 1200, 3000, 6000, 18000, 36000, 57000};
  for (int32_t t : listed) EXPECT_EQ(DecodeTime(EncodeTime(t)), t) << t;

  const struct {
    int32_t tenths;
    uint8_t code;
  } encode[] = {{INT32_MIN, 255}, {-1, 255}, {0, 0},       {4, 0},       {5, 1},          {284, 56},
                {285, 57},        {299, 57}, {300, 64},    {399, 64},    {599, 66},       {600, 67},
                {899, 67},        {900, 68}, {56999, 254}, {57000, 255}, {INT32_MAX, 255}};
  for (const auto& c : encode) EXPECT_EQ(EncodeTime(c.tenths), c.code) << c.tenths;

  const struct {
    uint8_t code;
    int32_t tenths;
  } decode[] = {{0, 0}, {57, 285}, {63, 315}, {64, 300}, {66, 500}, {67, 600}, {254, 56700}, {255, 57000}};
  for (const auto& c : decode) EXPECT_EQ(DecodeTime(c.code), c.tenths) << int(c.code);

  // Every code that EncodeTime produces comes back unchanged (58..63 it
  // never produces), and longer times never get smaller codes.
  for (int b = 0; b <= 255; ++b)
    if (b < 58 || b > 63) {
      EXPECT_EQ(EncodeTime(DecodeTime(uint8_t(b))), b) << b;
    }
  for (int32_t t = 1; t <= 57000; ++t) ASSERT_LE(EncodeTime(t - 1), EncodeTime(t)) << t;
}

class GeneralParams : public ::testing::Test {
 protected:
  dx470::PARAM& Param() { return data.Param(); }
  uint8_t* Bytes() { return Param().Lcd.General.Bytes; }

  int Run(const std::string& script) {
    before = std::make_unique<dx470::PARAM>(Param());
    std::istringstream in(script);
    std::ostringstream out;
    auto services = ui::MakeScriptedServices(in, out);
    ui::SetServices(services.get());
    CGeneralParamDialog dialog(Param());
    const int result = dialog.DoModal(*services);
    ui::SetServices(nullptr);
    ok = services->Finish();
    report = out.str();
    return result;
  }
  // True when PARAM is as before the run except the ALLGEMEINE bytes listed.
  bool OnlyChanged(std::initializer_list<int> general) {
    auto expected = std::make_unique<dx470::PARAM>(*before);
    for (int i : general) expected->Lcd.General.Bytes[i] = Bytes()[i];
    return std::memcmp(expected.get(), &Param(), sizeof(dx470::PARAM)) == 0;
  }

  CDX470Data data;
  std::unique_ptr<dx470::PARAM> before;
  bool ok = false;
  std::string report;
};

TEST_F(GeneralParams, ANewDeviceShowsItsDefaultsAndOkOnlyClearsTheHighFlagBits) {
  ASSERT_EQ(offsetof(dx470::PARAM, Lcd.General), 54u);
  ASSERT_EQ(Bytes()[3], 0x9D);  // bit 7 set on a new device
  EXPECT_EQ(
      Run("expect-dialog 203\nexpect-title \"General Parameters\"\n"
          "expect-text 253 \"1 sec\"\nexpect-text 254 \"Yes\"\nexpect-text 255 \"Interval 1 sec\"\n"
          "expect-text 256 \"Forever\"\nexpect-checked 252 1\nexpect-checked 250 0\nexpect-text 264 \"60 "
          "sec\"\n"
          "expect-enabled 264 1\nexpect-checked 241 0\nexpect-text 257 \"Yes\"\n"
          "expect-text 258 \"Toggle/Toggle\"\nexpect-text 261 \"0 sec\"\nexpect-text 262 \"0.5 sec\"\n"
          "expect-text 263 \"10 sec\"\nexpect-text 259 \"10 sec\"\nexpect-text 260 \"5 sec\"\n"
          "expect-text 241 \"Execute key press only \"\nexpect-text 249 \"when backlight is on\"\nok\n"),
      ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(report, "");
  EXPECT_EQ(Bytes()[3], 0x1D);
  EXPECT_TRUE(OnlyChanged({3}));
}

TEST_F(GeneralParams, ListsCarryTheirItemsInOrder) {
  EXPECT_EQ(
      Run("expect-items 256 \"10 sec\" \"15 sec\" \"20 sec\" \"25 sec\" \"30 sec\" \"60 sec\" \"2 min\" "
          "\"5 min\" \"10 min\" \"30 min\" \"60 min\" \"Forever\"\n"
          "expect-items 264 \"10 sec\" \"15 sec\" \"20 sec\" \"25 sec\" \"30 sec\" \"60 sec\" \"2 min\" "
          "\"5 min\" \"10 min\" \"30 min\" \"60 min\"\n"
          "expect-items 255 \"Interval 1 sec\" \"Interval 1.5 sec\" \"Interval 2 sec\" \"Interval 2.5 sec\" "
          "\"Interval 3 sec\" \"Continuously\"\n"
          "expect-items 259 \"5 sec\" \"10 sec\" \"15 sec\" \"20 sec\" \"30 sec\" \"1 min\" \"2 min\" \"5 "
          "min\"\n"
          "expect-items 262 \"0 sec\" \"0.5 sec\" \"1 sec\" \"1.5 sec\" \"2 sec\" \"2.5 sec\" \"3 sec\" "
          "\"3.5 sec\"\n"
          "expect-items 254 \"Yes\" \"No\"\nexpect-items 258 \"Off/On\" \"Toggle/Toggle\"\ncancel\n"),
      ui::IDCANCEL);
  EXPECT_TRUE(ok) << report;
}

TEST_F(GeneralParams, EveryChoiceStoresItsByteAndCancelStoresNothing) {
  const std::string choices =
      "select-text 253 \"3 sec\"\nselect-text 254 \"No\"\nselect-text 255 \"Interval 2.5 sec\"\n"
      "select-text 256 \"60 min\"\nselect-text 264 \"10 sec\"\nselect-text 257 \"No\"\n"
      "select-text 258 \"Off/On\"\nselect-text 259 \"5 min\"\nselect-text 260 \"10 sec\"\n"
      "select-text 261 \"60 sec\"\nselect-text 262 \"3.5 sec\"\nselect-text 263 \"2 sec\"\ncheck 241 1\n";
  Bytes()[10] = 0xA5;  // not edited here
  EXPECT_EQ(Run(choices + "cancel\n"), ui::IDCANCEL);
  EXPECT_TRUE(ok) << report;
  EXPECT_TRUE(OnlyChanged({}));

  EXPECT_EQ(Run(choices + "ok\n"), ui::IDOK);
  EXPECT_TRUE(ok) << report;
  const uint8_t expected[15] = {6, 185, 5, 0x00, 20, 67, 7, 4, 75, 20, 0xA5, 0, 0, 0, 0};
  for (int i = 0; i < 15; ++i) EXPECT_EQ(Bytes()[i], expected[i]) << i;
  EXPECT_TRUE(OnlyChanged({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(GeneralParams, BacklightAlwaysOnAndOffDisableThePowerOnTimeWhichKeepsItsSelection) {
  const std::string disabled =
      "expect-enabled 264 0\nexpect-enabled 265 0\nexpect-enabled 241 0\n"
      "expect-enabled 249 0\nexpect-selected 264 3\n";
  EXPECT_EQ(Run("select-text 264 \"25 sec\"\nclick 250\n" + disabled + "ok\n"), ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Bytes()[4], 255);
  // Opened always on: the disabled list offers the new device's 60 sec.
  EXPECT_EQ(Run("expect-checked 250 1\nexpect-enabled 264 0\nexpect-text 264 \"60 sec\"\nclick 251\n"
                "expect-checked 250 0\nexpect-enabled 241 0\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Bytes()[4], 0);
  // Opened always off; choosing "On key pressed" offers a time to store.
  EXPECT_EQ(Run("expect-checked 251 1\nexpect-enabled 264 0\nclick 252\nexpect-enabled 264 1\n"
                "expect-enabled 249 1\nexpect-text 264 \"60 sec\"\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Bytes()[4], 67);
}

TEST_F(GeneralParams, ContinuousBeepKeepsTheIntervalAndFlagBitsFiveToSevenAreCleared) {
  Bytes()[2] = 5;  // 2.5 sec
  Bytes()[3] = 0xE0;
  EXPECT_EQ(Run("expect-text 254 \"No\"\nexpect-text 255 \"Interval 2.5 sec\"\nexpect-text 257 \"No\"\n"
                "expect-text 258 \"Off/On\"\nexpect-checked 241 1\nselect-text 255 \"Continuously\"\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Bytes()[2], 5);
  EXPECT_EQ(Bytes()[3], 0x02);
  EXPECT_TRUE(OnlyChanged({3}));

  // Every flag set: shown as set, stored without bits 5..7.
  Bytes()[3] = 0xFF;
  EXPECT_EQ(Run("expect-text 254 \"Yes\"\nexpect-text 255 \"Continuously\"\nexpect-text 257 \"Yes\"\n"
                "expect-text 258 \"Toggle/Toggle\"\nexpect-checked 241 0\nok\n"),
            ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Bytes()[3], 0x1F);
  EXPECT_EQ(Bytes()[2], 5);
  // Back to an interval: bit 1 goes, the interval byte is written.
  EXPECT_EQ(Run("select 255 4\nok\n"), ui::IDOK);
  EXPECT_EQ(Bytes()[3], 0x1D);
  EXPECT_EQ(Bytes()[2], 6);
}

TEST_F(GeneralParams, AStoredTimeThatNoItemCarriesShowsNothingAndKeepsItsByte) {
  Bytes()[0] = 1;    // 0.5 sec: not a flash interval
  Bytes()[2] = 200;  // beep interval far off the list
  Bytes()[4] = 58;   // 29 sec backlight
  Bytes()[7] = 66;   // 50 sec polling
  Bytes()[9] = 0;    // scroll interval 0
  EXPECT_EQ(
      Run("expect-selected 253 -1\nexpect-selected 255 -1\nexpect-checked 252 1\nexpect-selected 264 -1\n"
          "expect-selected 263 -1\nexpect-selected 260 -1\nok\n"),
      ui::IDOK);
  EXPECT_TRUE(ok) << report;
  EXPECT_EQ(Bytes()[0], 1);
  EXPECT_EQ(Bytes()[2], 200);
  EXPECT_EQ(Bytes()[4], 58);
  EXPECT_EQ(Bytes()[7], 66);
  EXPECT_EQ(Bytes()[9], 0);
  EXPECT_TRUE(OnlyChanged({3}));
}

TEST_F(GeneralParams, HelpOpensContextThreeHundredAndTheGroupButtonDoesNothing) {
  EXPECT_EQ(Run("click 9\nkey 253 F1\nexpect-enabled 3 0\ncancel\n"), ui::IDCANCEL);
  EXPECT_TRUE(ok) << report;
  const size_t first = report.find("#300\n");
  ASSERT_NE(first, std::string::npos) << report;
  EXPECT_NE(report.find("#300\n", first + 1), std::string::npos) << report;
  EXPECT_TRUE(OnlyChanged({}));
}

class GeneralParamsFromMainDialog : public testsupport::ProjectFixture {
 protected:
  void SetUp() override { ASSERT_EQ(data.EtsInit(device.Get()), S_OK); }
  CDX470Data data;
};

TEST_F(GeneralParamsFromMainDialog, TheExtrasMenuOpensTheDialogOnTheDevicesParameters) {
  std::istringstream in(
      "expect-enabled 32775 1\nmenu 32775\nexpect-dialog 203\nselect-text 253 \"2 sec\"\nclick 250\nok\n"
      "expect-dialog 201\nmenu 32775\nselect-text 253 \"3 sec\"\ncancel\nok\n");
  std::ostringstream out;
  auto services = ui::MakeScriptedServices(in, out);
  ui::SetServices(services.get());
  editor::DX470MainDialog dialog(data, editor::RegisteredDialogs());
  EXPECT_EQ(dialog.DoModal(*services), ui::IDOK);
  ui::SetServices(nullptr);
  EXPECT_TRUE(services->Finish()) << out.str();
  EXPECT_EQ(data.Param().Lcd.General.Bytes[0], 4);
  EXPECT_EQ(data.Param().Lcd.General.Bytes[4], 255);
}

}  // namespace
