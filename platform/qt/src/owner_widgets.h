#pragma once
// Widgets for owner-drawn controls: they paint the bitmaps that the model's
// OwnerDrawn objects draw and forward mouse and keys to the model.
#include <QWidget>

#include "ui/dialog.h"

namespace qtui {

// Maps a Qt key to the model's keys (Key::Other for the rest).
ui::Key MapKey(int qtKey);
ui::KeyMods MapMods(Qt::KeyboardModifiers mods);

// A custom control painted as a whole.
class OwnerDrawWidget : public QWidget {
 public:
  OwnerDrawWidget(ui::Dialog& model, int id, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

  // Reports a mouse event at the widget position plus `offset`.
  void Mouse(ui::MouseAction action, QMouseEvent* e, QPoint offset = {});
  ui::Dialog& model_;
  int id_;
};

// An owner-drawn list box: each item is painted by the model's OwnerDrawn;
// the wheel scrolls when the items are taller than the box.
class OwnerListWidget : public OwnerDrawWidget {
 public:
  OwnerListWidget(ui::Dialog& model, int id, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  int ContentHeight() const;
  // What turns a widget position into a client position of the list
  // (border and scrolling).
  QPoint Inset() const;
  int offset_ = 0;
};

}  // namespace qtui
