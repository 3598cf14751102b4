// The Qt runner on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "qt_modal.h"
#include "qtui/qtui.h"
#include "sample_dialog.h"
#include "ui/script.h"

namespace {

using sample::SampleDialog;

class QtRunner : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(qtui::EnsureApplication(true)); }
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("dx47x_qt_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
};

QWidget* Control(QDialog* view, int id) {
  return view->findChild<QWidget*>(QStringLiteral("ctl_%1").arg(id));
}

TEST_F(QtRunner, ViewIsBuiltFromTheTemplateAndReportsClicks) {
  SampleDialog d;
  auto services = qtui::MakeQtServices();
  int result = testsupport::RunShown(d, *services, [&](QDialog* view) {
    ASSERT_NE(view, nullptr);
    ui::BaseUnits u = d.Units();
    EXPECT_GE(u.x, 4);
    EXPECT_LE(u.x, 9);
    EXPECT_GE(u.y, 10);
    EXPECT_LE(u.y, 18);
    // Edit 24 at 10,10 80x12 dialog units.
    QWidget* name = Control(view, sample::kName);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->geometry(),
              QRect(10 * u.x / 4, 10 * u.y / 8, 90 * u.x / 4 - 10 * u.x / 4, 22 * u.y / 8 - 10 * u.y / 8));
    EXPECT_EQ(view->windowTitle(), "Sample dialog");
    auto* label = qobject_cast<QLabel*>(Control(view, sample::kLabel));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Label");
    EXPECT_TRUE(label->alignment() & Qt::AlignRight);
    auto* bar = view->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->actions().size(), 2);
    EXPECT_EQ(bar->actions()[0]->text(), "&File");
    // The system menu's About is already in the Help menu under that text.
    EXPECT_EQ(bar->actions()[1]->menu()->actions().size(), 2);

    auto* manual = qobject_cast<QCheckBox*>(Control(view, sample::kManual));
    QTest::mouseClick(manual, Qt::LeftButton);
    EXPECT_EQ(d.GetCheck(sample::kManual), 1);
    EXPECT_TRUE(manual->isChecked());

    QWidget* list = Control(view, sample::kList);
    QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(20, 17 * 2 + 5));
    EXPECT_EQ(d.GetCurSel(sample::kList), 2);
    EXPECT_EQ(d.GetDlgItemText(sample::kStatus), "sel 2");
    EXPECT_EQ(d.painter.mouseDowns, 1);

    QWidget* counter = Control(view, sample::kCounter);
    QTest::mouseClick(counter, Qt::LeftButton, {}, QPoint(12, 9));
    QTest::keyClicks(counter, "ab");
    QTest::keyClick(counter, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(d.counter.downs, 1);
    EXPECT_EQ(d.counter.ups, 1);
    EXPECT_EQ(d.counter.lastX, 12);
    EXPECT_EQ(d.counter.typed, "ab");
    EXPECT_EQ(d.counter.keyLog, (std::vector<std::string>{"3s"}));

    QTest::keyClicks(qobject_cast<QLineEdit*>(name), "X");
    EXPECT_EQ(d.GetDlgItemText(sample::kName), "BobX");
    QTest::mouseClick(qobject_cast<QPushButton*>(Control(view, ui::IDOK)), Qt::LeftButton);
  });
  EXPECT_EQ(result, ui::IDOK);
  EXPECT_EQ(d.name, "BobX");
  EXPECT_EQ(ui::OpenModalCount(), 0);
}

TEST_F(QtRunner, TimersRunWhileTheDialogIsShown) {
  SampleDialog d;
  auto services = qtui::MakeQtServices();
  int result = testsupport::RunShown(
      d, *services,
      [&](QDialog* view) { QTest::mouseClick(qobject_cast<QPushButton*>(Control(view, 2)), Qt::LeftButton); },
      450);
  EXPECT_EQ(result, ui::IDCANCEL);
  EXPECT_GE(d.ticks, 2);  // every 100 ms
}

TEST_F(QtRunner, ScriptedScreenshotShowsOwnerDrawnBitmapsAndPrintsToPdf) {
  qtui::RegisterRenderHooks();
  std::string png = (dir_ / "sample.png").string();
  std::string pdf = (dir_ / "doc.pdf").string();
  std::istringstream script("text 22 \"abc\"\nmouse 22 down 40 30\nselect 20 1\nscreenshot \"" + png +
                            "\"\nprinter 300 \"" + pdf + "\"\nmenu 502\nok\n");
  std::ostringstream out;
  auto services = ui::MakeScriptedServices(script, out);
  SampleDialog d;
  EXPECT_EQ(d.DoModal(*services), ui::IDOK);
  EXPECT_TRUE(services->Finish()) << out.str();
  ui::SetRenderHooks({});
  EXPECT_TRUE(d.printed);
  EXPECT_TRUE(d.printCalls.empty());  // printed by Qt, not recorded
  std::ifstream doc(pdf, std::ios::binary);
  std::string head(5, '\0');
  doc.read(head.data(), 5);
  EXPECT_EQ(head, "%PDF-");
  EXPECT_FALSE(std::filesystem::exists(pdf + ".part"));

  QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), d.ClientWidth());
  int blue = 0, red = 0, yellow = 0, green = 0, selected = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      QRgb p = image.pixel(x, y) & 0xFFFFFF;
      blue += p == 0x0000A0;
      red += p == 0xFF0000;
      yellow += p == 0xFFFF00;
      green += p == 0x00A000;
      selected += p == 0x000080;
    }
  }
  gfx::Rect counter = d.ControlRect(sample::kCounter);
  EXPECT_GT(blue, counter.width() * counter.height() / 2);
  EXPECT_EQ(red, 49);            // the 7x7 square at the click
  EXPECT_EQ(yellow, 3 * 3 * 8);  // three typed characters
  EXPECT_GT(green, 0);           // the list's items
  EXPECT_GT(selected, 0);        // its selected row
}

TEST_F(QtRunner, ANamedScriptSelectsTheScriptedRunner) {
  std::filesystem::path path = dir_ / "edit.ui";
  std::ofstream(path) << "expect-dialog 100\nscreenshot \"" << (dir_ / "s.png").string() << "\"\nok\n";
  std::ostringstream report;
  qtui::ServiceSelection selection = qtui::SelectServices(path.string(), report);
  ASSERT_NE(selection.script, nullptr);
  SampleDialog d;
  EXPECT_EQ(d.DoModal(*selection.services), ui::IDOK);
  EXPECT_TRUE(selection.script->Finish()) << report.str();
  EXPECT_TRUE(std::filesystem::exists(dir_ / "s.png"));
  ui::SetRenderHooks({});

  selection = qtui::SelectServices("", report);
  EXPECT_EQ(selection.script, nullptr);
  EXPECT_NE(selection.services, nullptr);
}

TEST_F(QtRunner, RasterisesScreenFontsWithoutSmoothing) {
  auto services = qtui::MakeQtServices();
  auto glyph = services->RasterizeChar({"Arial", 12, false}, 16, 'W');
  ASSERT_TRUE(glyph.has_value());
  int black = 0, other = 0;
  for (int y = 0; y < glyph->bitmap.height(); ++y)
    for (int x = 0; x < glyph->bitmap.width(); ++x) {
      gfx::Color c = glyph->bitmap.Get(x, y);
      black += c == gfx::kBlack;
      other += c != gfx::kBlack && c != gfx::kWhite;
    }
  EXPECT_GT(black, 10);
  EXPECT_EQ(other, 0);
  EXPECT_FALSE(services->RasterizeChar({"Arial", 12, false}, 0, 'W').has_value());
  EXPECT_EQ(qtui::MapFontFace("MS Sans Serif"), "Liberation Sans");
  EXPECT_EQ(qtui::MapFontFace("courier"), "Liberation Mono");
  EXPECT_EQ(qtui::MapFontFace("DejaVu Sans"), "DejaVu Sans");
}

TEST_F(QtRunner, HelpOpensTheFileAtTheContextAnchor) {
  std::filesystem::path help = dir_ / "DX47x_0409.hlp";
  std::ofstream(help)
      << "<html><body><a name=\"100\"></a><p>Main</p><a name=\"300\"></a><p>General</p></body></html>";
  auto services = qtui::MakeQtServices();
  services->ShowHelp(help.string(), 300);
  QTextBrowser* browser = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* b = qobject_cast<QTextBrowser*>(w)) browser = b;
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->source().fragment(), "300");
  EXPECT_TRUE(browser->toPlainText().contains("General"));
  browser->close();
}

}  // namespace
