// The main dialog in the Qt runner on the offscreen platform: the view is
// built from its template, Qt input reaches the model, and a screenshot
// shows the list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPalette>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "data/dx470data.h"
#include "data/positions.h"
#include "editor/main_dialog.h"
#include "plugin_project_fixture.h"
#include "qt_modal.h"
#include "qtui/qtui.h"

namespace {

namespace id = editor::id;

class QtMainDialog : public testsupport::ProjectFixture {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(qtui::EnsureApplication(true)); }
  void SetUp() override {
    ASSERT_EQ(data.EtsInit(device.Get()), S_OK);
    for (int slot : {0, 1, 2})
      dx470::DefineMessage(data.Param(), slot, 2, 2, false, "Light " + std::to_string(slot));
  }
  CDX470Data data;
};

QWidget* Control(QDialog* view, int id) {
  return view->findChild<QWidget*>(QStringLiteral("ctl_%1").arg(id));
}

TEST_F(QtMainDialog, ViewIsBuiltFromTheTemplateAndClicksReachTheModel) {
  editor::DX470MainDialog dialog(data);
  auto services = qtui::MakeQtServices();
  std::string png = home.Path() + "/main.png";
  if (const char* keep = std::getenv("EDITOR_QT_TEST_PNG")) png = keep;
  int menuHeight = 0;  // the client area starts below the menu bar
  int result = testsupport::RunShown(dialog, *services, [&](QDialog* view) {
    ASSERT_NE(view, nullptr);
    if (auto* bar = view->findChild<QMenuBar*>()) menuHeight = bar->height();
    QWidget* list = Control(view, id::kList);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->geometry(), QRect(63, 65, 385, 276));
    auto* firstNumber = qobject_cast<QLabel*>(Control(view, id::kRowNumbers[0]));
    ASSERT_NE(firstNumber, nullptr);
    EXPECT_EQ(firstNumber->text(), "1");
    EXPECT_FALSE(Control(view, id::kGroupAddr)->isVisible());

    QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(20, 17 * 1 + 5));
    EXPECT_EQ(dialog.CurrentRow(), 1);
    EXPECT_TRUE(Control(view, id::kFirstCheckBox + 1)->isEnabled());
    EXPECT_FALSE(Control(view, id::kFirstCheckBox)->isEnabled());
    QTest::mouseClick(qobject_cast<QPushButton*>(Control(view, id::kMoveDown)), Qt::LeftButton);
    EXPECT_EQ(dialog.CurrentRow(), 2);
    EXPECT_EQ(data.Param().Lcd.Messages[1].Position, 3);
    EXPECT_EQ(qtui::SaveScreenshot(dialog, png), S_OK);
    QTest::mouseClick(qobject_cast<QPushButton*>(Control(view, ui::IDOK)), Qt::LeftButton);
  });
  EXPECT_EQ(result, ui::IDOK);

  QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull());
  const int top = menuHeight;
  ASSERT_GE(image.height(), top + 65 + 276);
  // Every one of the 16 rows is 17 pixels high inside the list's 2-pixel
  // border: the selected third row is exactly such a band of the palette's
  // highlight colour.
  const QRgb highlight =
      QApplication::palette().color(QPalette::Active, QPalette::Highlight).rgb() & 0xFFFFFF;
  const int x = 63 + 2 + 262;  // between the type columns
  int band = 0, firstBandRow = -1;
  for (int y = top + 65; y < top + 65 + 276; ++y)
    if ((image.pixel(x, y) & 0xFFFFFF) == highlight) {
      if (firstBandRow < 0) firstBandRow = y;
      ++band;
    }
  EXPECT_EQ(band, 17);
  EXPECT_EQ(firstBandRow - top - 65, 2 + 2 * 17);
  // The border: darker than the window on the list's outer edge.
  EXPECT_LT(qGray(image.pixel(63, top + 100)), 200);
  // Sixteen row numbers down the left.
  for (int row = 0; row < 16; ++row) {
    bool ink = false;
    for (int y = top + 68 + 17 * row; y < top + 68 + 17 * row + 17 && !ink; ++y)
      for (int px = 32; px < 57 && !ink; ++px) ink = qGray(image.pixel(px, y)) < 100;
    EXPECT_TRUE(ink) << "row " << row;
  }
}

}  // namespace
