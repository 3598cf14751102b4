#include "owner_widgets.h"

#include <qdrawutil.h>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "convert.h"
#include "ui/services.h"

namespace qtui {

ui::Key MapKey(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Home: return ui::Key::Home;
    case Qt::Key_End: return ui::Key::End;
    case Qt::Key_Left: return ui::Key::Left;
    case Qt::Key_Right: return ui::Key::Right;
    case Qt::Key_Up: return ui::Key::Up;
    case Qt::Key_Down: return ui::Key::Down;
    case Qt::Key_Delete: return ui::Key::Delete;
    case Qt::Key_Backspace: return ui::Key::Back;
    case Qt::Key_Return:
    case Qt::Key_Enter: return ui::Key::Return;
    case Qt::Key_Escape: return ui::Key::Escape;
    case Qt::Key_F1: return ui::Key::F1;
    default: return ui::Key::Other;
  }
}

ui::KeyMods MapMods(Qt::KeyboardModifiers mods) {
  return {bool(mods & Qt::ShiftModifier), bool(mods & Qt::ControlModifier)};
}

OwnerDrawWidget::OwnerDrawWidget(ui::Dialog& model, int id, QWidget* parent)
    : QWidget(parent), model_(model), id_(id) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void OwnerDrawWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, ToImage(model_.PaintControl(id_)));
}

void OwnerDrawWidget::Mouse(ui::MouseAction action, QMouseEvent* e, QPoint offset) {
  QPoint p = e->position().toPoint() + offset;
  model_.UserMouse(id_, action, p.x(), p.y(), MapMods(e->modifiers()));
}

void OwnerDrawWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) Mouse(ui::MouseAction::Down, e);
}
void OwnerDrawWidget::mouseMoveEvent(QMouseEvent* e) { Mouse(ui::MouseAction::Move, e); }
void OwnerDrawWidget::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) Mouse(ui::MouseAction::Up, e);
}
void OwnerDrawWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) Mouse(ui::MouseAction::DoubleClick, e);
}

void OwnerDrawWidget::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) {
    QWidget::keyPressEvent(e);  // focus navigation
    return;
  }
  ui::Key key = MapKey(e->key());
  if (key != ui::Key::Other || (e->modifiers() & Qt::ControlModifier)) {
    model_.UserKey(id_, key, MapMods(e->modifiers()));
    return;
  }
  for (uint32_t code : e->text().toUcs4())
    if (code >= 0x20) model_.UserChar(id_, code);
}

OwnerListWidget::OwnerListWidget(ui::Dialog& model, int id, QWidget* parent)
    : OwnerDrawWidget(model, id, parent) {}

int OwnerListWidget::ContentHeight() const {
  int total = 0;
  for (int i = 0; i < model_.GetCount(id_); ++i) total += model_.GetItemHeight(id_, i);
  return total;
}

void OwnerListWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int border = model_.ListBorder(id_);
  const ui::SystemColors colors = model_.Services().Colors();
  painter.fillRect(rect(), QColor(QRgb(colors.window)));
  painter.setClipRect(rect().adjusted(border, border, -border, -border));
  int y = border - offset_;
  int selection = model_.GetCurSel(id_);
  for (int i = 0; i < model_.GetCount(id_) && y < height(); ++i) {
    int h = model_.GetItemHeight(id_, i);
    if (y + h > 0) painter.drawImage(border, y, ToImage(model_.PaintItem(id_, i, i == selection)));
    y += h;
  }
  painter.setClipping(false);
  // The sunken two-pixel border of a list box.
  if (border > 0) qDrawWinPanel(&painter, rect(), palette(), true);
}

QPoint OwnerListWidget::Inset() const {
  const int border = model_.ListBorder(id_);
  return {-border, offset_ - border};
}

void OwnerListWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) Mouse(ui::MouseAction::Down, e, Inset());
}
void OwnerListWidget::mouseMoveEvent(QMouseEvent* e) { Mouse(ui::MouseAction::Move, e, Inset()); }
void OwnerListWidget::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) Mouse(ui::MouseAction::Up, e, Inset());
}
void OwnerListWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) Mouse(ui::MouseAction::DoubleClick, e, Inset());
}

void OwnerListWidget::wheelEvent(QWheelEvent* e) {
  int room = std::max(0, ContentHeight() - height() + 2 * model_.ListBorder(id_));
  offset_ = std::clamp(offset_ - e->angleDelta().y() / 4, 0, room);
  update();
}

}  // namespace qtui
