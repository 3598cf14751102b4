// The editor's dialogs as the Qt view realises them, in the language and at
// the scale that CTest sets (English and German, scale 1 and 2): every
// dialog of the catalogue is laid out soundly, the live window matches the
// scripted runner's geometry, the help viewer takes input beside a modal
// dialog, and the bold list font is a real bold face.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "data/dx470data.h"
#include "data/positions.h"
#include "editor/dialog_catalogue.h"
#include "editor/font_editor.h"
#include "editor/main_dialog.h"
#include "editor/screen_font.h"
#include "fake_services.h"
#include "gfx/png.h"
#include "host/services.h"
#include "pluginwinappbase/pluginwinappbase.h"
#include "qt_modal.h"
#include "qtui/layout_check.h"
#include "qtui/qtui.h"
#include "temp_home.h"
#include "ui/script.h"

namespace {

namespace id = editor::id;

// Runs a dialog just long enough to check the layout of its open state;
// characters come from the Qt rasteriser.
class LayoutCheckServices final : public testui::FakeFontServices {
 public:
  explicit LayoutCheckServices(qtui::Neighbours neighbours) : neighbours_(std::move(neighbours)) {}
  std::vector<std::string> problems;

  int RunModal(ui::Dialog& dialog) override {
    problems = qtui::LayoutProblems(dialog, neighbours_);
    if (!screenshot.empty()) qtui::SaveScreenshot(dialog, screenshot);
    return ui::IDCANCEL;
  }
  std::string screenshot;  // where to keep a picture of the dialog
  std::optional<ui::RasterGlyph> RasterizeChar(const ui::FontChoice& font, int height,
                                               uint32_t code) override {
    return ui::GetRenderHooks().rasterize(font, height, code);
  }

 private:
  qtui::Neighbours neighbours_;
};

class EditorLayout : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(qtui::EnsureApplication(true));
    qtui::RegisterRenderHooks();
    services_ = new host::HostServices();
    // The module's translation file lies beside it; the language is CTest's.
    ASSERT_EQ(PluginApp().InitForModulePath(testsupport::BinDir() + "/DX47x.so"), S_OK);
    ui::SetTextTranslator([](const std::string& key) { return Translate(key); });
  }
  static void TearDownTestSuite() {
    ui::SetTextTranslator(nullptr);
    ui::SetRenderHooks({});
    delete services_;
  }
  void SetUp() override {
    for (int slot : {0, 1, 2})
      dx470::DefineMessage(data.Param(), slot, 2, 2, false, "Light " + std::to_string(slot));
  }

  static host::HostServices* services_;
  testsupport::TempHome home;
  CDX470Data data;
};
host::HostServices* EditorLayout::services_ = nullptr;

std::string Language() { return PluginApp().LanguageId() == 1031 ? "German" : "English"; }

TEST_F(EditorLayout, EveryDialogOfTheCatalogueIsLaidOutSoundly) {
  ASSERT_FALSE(editor::DialogCatalogue().empty());
  for (const editor::CatalogueEntry& entry : editor::DialogCatalogue()) {
    LayoutCheckServices check(entry.neighbours);
    // A picture of each dialog in each language, to look at.
    std::filesystem::create_directories("out/dialogs");
    check.screenshot = "out/dialogs/" + std::to_string(entry.templateId) + "_" + Language() + ".png";
    std::unique_ptr<ui::Dialog> dialog = entry.make(data);
    ASSERT_NE(dialog, nullptr) << entry.name;
    dialog->DoModal(check);
    EXPECT_EQ(dialog->TemplateId(), entry.templateId) << entry.name;
    std::string all;
    for (const std::string& p : check.problems) all += "\n  " + p;
    EXPECT_TRUE(check.problems.empty()) << entry.name << " in " << Language() << ":" << all;
  }
}

TEST_F(EditorLayout, TheCheckFindsOverlapsEscapesAndTextsThatDoNotFit) {
  ui::DialogTemplate t;
  t.id = 900;
  t.cx = 100;
  t.cy = 50;
  t.controls = {
      {1, ui::ControlKind::PushButton, "OK", {5, 5, 40, 14}, 0},
      {2, ui::ControlKind::PushButton, "Cancel", {30, 10, 40, 14}, 0},        // overlaps 1
      {3, ui::ControlKind::Static, "A rather long text", {5, 30, 20, 8}, 0},  // does not fit
      {4, ui::ControlKind::GroupBox, "Group", {50, 25, 45, 24}, 0},
      {5, ui::ControlKind::CheckBox, "x", {55, 35, 20, 10}, 0},  // in its group box
      {6, ui::ControlKind::Static, "Hi", {90, 45, 20, 8}, 0},    // outside
  };
  ui::Dialog probe(t);
  LayoutCheckServices check({});
  probe.DoModal(check);
  std::string all;
  for (const std::string& p : check.problems) all += p + "\n";
  EXPECT_EQ(check.problems.size(), 4u) << all;
  EXPECT_NE(all.find("control 1 (7,8 60x22) overlaps control 2"), std::string::npos) << all;
  EXPECT_NE(all.find("\"A rather long text\" does not fit"), std::string::npos) << all;
  EXPECT_NE(all.find("control 6 (135,73 30x13) lies outside the client area 150x81"), std::string::npos)
      << all;
  EXPECT_NE(all.find("control 4 (75,40 67x39) overlaps control 6"), std::string::npos) << all;

  LayoutCheckServices allowed({{1, 2}});
  probe.DoModal(allowed);
  EXPECT_EQ(allowed.problems.size(), 3u);
}

// The same dialog under the scripted runner (whose screenshots are what
// users see in reports) and in the live Qt window: the same client area,
// the same control rectangles, the same picture size.
TEST_F(EditorLayout, LiveWindowAndScriptedRunnerShareEveryRectangle) {
  const std::string png = home.Path() + "/scripted.png";
  std::map<int, gfx::Rect> scripted;
  int scriptedWidth = 0, scriptedHeight = 0;
  {
    std::istringstream script("screenshot \"" + png + "\"\ncancel\n");
    std::ostringstream report;
    auto services = ui::MakeScriptedServices(script, report);
    editor::DX470MainDialog dialog(data);
    dialog.DoModal(*services);
    ASSERT_TRUE(services->Finish()) << report.str();
    for (const ui::ControlState& c : dialog.Controls()) scripted[c.desc.id] = dialog.ControlRect(c.desc.id);
    scriptedWidth = dialog.ClientWidth();
    scriptedHeight = dialog.ClientHeight();
  }
  editor::DX470MainDialog dialog(data);
  auto qt = qtui::MakeQtServices();
  QSize windowSize;
  testsupport::RunShown(dialog, *qt, [&](QDialog* view) {
    ASSERT_NE(view, nullptr);
    // The picture has the screen's device pixels.
    windowSize = view->size() * view->devicePixelRatio();
    const int menu = view->findChild<QMenuBar*>()->height();
    EXPECT_EQ(view->size(), QSize(scriptedWidth, scriptedHeight + menu));
    for (const auto& [controlId, r] : scripted) {
      auto* w = view->findChild<QWidget*>(QStringLiteral("ctl_%1").arg(controlId));
      ASSERT_NE(w, nullptr) << controlId;
      EXPECT_EQ(w->geometry(), QRect(r.left, r.top, r.width(), r.height())) << "control " << controlId;
    }
    view->reject();
  });
  QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), windowSize);
}

TEST_F(EditorLayout, HelpViewerTakesInputWhileTheMainDialogRuns) {
  const std::string help = home.Path() + "/help.hlp";
  {
    std::ofstream out(help);
    out << "<html><body><a name=\"100\"></a>";
    for (int i = 0; i < 300; ++i) out << "<p>Paragraph " << i << "</p>";
    out << "</body></html>";
  }
  editor::DX470MainDialog dialog(data);
  auto qt = qtui::MakeQtServices();
  bool scrolled = false, visible = false;
  testsupport::RunShown(dialog, *qt, [&](QDialog* view) {
    ASSERT_NE(view, nullptr);
    qt->ShowHelp(help, 100);
    QTextBrowser* browser = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* b = qobject_cast<QTextBrowser*>(w); b && b->isVisible()) browser = b;
    ASSERT_NE(browser, nullptr);
    visible = true;
    EXPECT_EQ(browser->windowTitle().toStdString(), Translate("Help"));
    QApplication::processEvents();
    // Keys reach the viewer through the window system, which drops input
    // to windows that a modal dialog blocks.
    browser->verticalScrollBar()->setValue(0);
    QTest::keyClick(browser->windowHandle(), Qt::Key_End);
    scrolled = browser->verticalScrollBar()->value() > 0;
    browser->close();
    view->reject();
  });
  EXPECT_TRUE(visible);
  EXPECT_TRUE(scrolled);
}

// Ink runs of one pixel row of a bitmap, left to right.
int InkRuns(const gfx::Bitmap& b, int y, int from, int to) {
  int runs = 0;
  bool ink = false;
  for (int x = from; x < to; ++x) {
    bool now = b.Get(x, y) == gfx::kBlack;
    runs += now && !ink;
    ink = now;
  }
  return runs;
}

TEST_F(EditorLayout, BoldListFontIsABoldFaceThatKeepsItsCounters) {
  auto qt = qtui::MakeQtServices();
  editor::ScreenFont bold("MS Sans Serif", 13, 700), regular("MS Sans Serif", 13, 400);
  bold.UseServices(qt.get());
  regular.UseServices(qt.get());
  // "value" and "w", drawn 4 times larger in a picture for a look.
  gfx::Bitmap text(80, 17, gfx::kWhite);
  bold.Draw(text, 2, 2, "value w", gfx::kBlack);
  gfx::Bitmap zoomed(text.width() * 4, text.height() * 4);
  for (int y = 0; y < zoomed.height(); ++y)
    for (int x = 0; x < zoomed.width(); ++x) zoomed.Set(x, y, text.Get(x / 4, y / 4));
  std::filesystem::create_directories("out");
  EXPECT_EQ(gfx::SavePng(zoomed, "out/bold_list_font.png"), S_OK);

  // 'v': on the upper rows of its x-height the two arms stay apart.
  const int vWidth = bold.TextWidth("v");
  int apart = 0, rows = 0;
  for (int y = 2; y < 17; ++y) {
    int runs = InkRuns(text, y, 2, 2 + vWidth);
    if (runs == 0) continue;
    ++rows;
    apart += runs >= 2;
  }
  EXPECT_GE(rows, 6);
  EXPECT_GE(apart, rows / 2) << "the arms of 'v' run together";
  // Bold stems are wider than regular ones, and the face is wider overall.
  EXPECT_GT(bold.TextWidth("value"), regular.TextWidth("value"));
  gfx::Bitmap l(20, 17, gfx::kWhite), lRegular(20, 17, gfx::kWhite);
  bold.Draw(l, 2, 0, "l", gfx::kBlack);
  regular.Draw(lRegular, 2, 0, "l", gfx::kBlack);
  auto ink = [](const gfx::Bitmap& b) {
    int n = 0;
    for (int y = 0; y < b.height(); ++y)
      for (int x = 0; x < b.width(); ++x) n += b.Get(x, y) == gfx::kBlack;
    return n;
  };
  EXPECT_GT(ink(l), ink(lRegular));
}

// "Get from Windows": every glyph is the screen font's rasterisation of its
// character, cut to 40 x 20.
TEST_F(EditorLayout, GlyphsFromAScreenFontEqualItsRasterisation) {
  auto font = std::make_unique<dx470::ZEICHENSATZ>(data.Param().Lcd.Fonts[0]);
  std::istringstream script("font \"Liberation Sans\" 12\nclick 336\nexpect-text 323 \"12\"\nok\n");
  std::ostringstream report;
  auto services = ui::MakeScriptedServices(script, report);
  editor::FontEditorDialog dialog(*font, 0, data.Param());
  EXPECT_EQ(dialog.DoModal(*services), ui::IDOK);
  EXPECT_TRUE(services->Finish()) << report.str();
  ASSERT_EQ(font->Height, 12);
  for (int code : {int('A'), int('g'), int('W'), 0xE4, 0x80}) {
    const uint32_t unicode = code == 0x80 ? 0x20AC : uint32_t(code);
    auto direct = ui::GetRenderHooks().rasterize({"Liberation Sans", 12, false, 400}, 12, unicode);
    ASSERT_TRUE(direct.has_value()) << code;
    const dx470::ZEICHEN& glyph = font->Glyphs[code - font->First];
    ASSERT_EQ(glyph.Width, std::min(direct->bitmap.width(), 40)) << code;
    int ink = 0;
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < glyph.Width; ++x) {
        const bool set = glyph.Bitmap[(x / 8) * 20 + y] & (0x80 >> (x % 8));
        ink += set;
        ASSERT_EQ(set, y < direct->bitmap.height() && direct->bitmap.Get(x, y) == gfx::kBlack)
            << "code " << code << " at " << x << "," << y;
      }
    EXPECT_GT(ink, 5) << code;
  }
}

}  // namespace
