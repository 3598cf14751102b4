#include "dialog_view.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>

#include "convert.h"
#include "owner_widgets.h"
#include "window_system.h"

namespace qtui {

namespace {

// Widgets created below belong to their Qt parent, which deletes them.
template <class W, class... Args>
W* Child(Args&&... args) {
  return new W(std::forward<Args>(args)...);
}

// Sets a flag for its lifetime, so that widget updates made for the model
// are not reported back to it as user input.
class Guard {
 public:
  explicit Guard(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~Guard() { flag_ = old_; }

 private:
  bool& flag_;
  bool old_;
};

// Whether a list of `count` texts (text(i) each) shows the items already.
template <class Text>
bool SameItems(int count, const std::vector<ui::ListItem>& items, Text text) {
  bool same = count == int(items.size());
  for (int i = 0; same && i < count; ++i) same = text(i) == Q(items[size_t(i)].text);
  return same;
}

}  // namespace

DialogView::DialogView(ui::Dialog& model, QWidget* parent, bool passive)
    : QDialog(parent), model_(model), passive_(passive) {
  Guard guard(syncing_);
  const ui::DialogTemplate& t = model.Template();
  setFont(DialogFont(t.fontFace, t.fontSize));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  BuildMenu();
  client_ = Child<QWidget>(this);
  Layout();
  // Group boxes first, so that the controls inside lie above them.
  for (const ui::ControlState& c : model.Controls())
    if (c.desc.kind == ui::ControlKind::GroupBox) BuildControl(c);
  for (const ui::ControlState& c : model.Controls())
    if (c.desc.kind != ui::ControlKind::GroupBox) BuildControl(c);
  for (const ui::ControlState& c : model.Controls()) Sync(c.desc.id);
  DialogChanged();
  for (const ui::Dialog::Timer& timer : model.Timers())
    TimerChanged(timer.controlId, timer.timerId, timer.milliseconds);
  model.AddObserver(this);
  if (QWidget* w = ControlWidget(model.GetFocus())) w->setFocus();
}

DialogView::~DialogView() { model_.RemoveObserver(this); }

QWidget* DialogView::ControlWidget(int id) const {
  auto it = widgets_.find(id);
  return it == widgets_.end() ? nullptr : it->second;
}

QAction* DialogView::MenuAction(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void DialogView::AddMenuAction(QMenu* menu, int id, const std::string& text) {
  QAction* action = menu->addAction(Q(text));
  actions_[id] = action;
  connect(action, &QAction::triggered, this, [this, id] {
    if (!Quiet()) model_.UserMenu(id);
  });
}

void DialogView::BuildMenu() {
  const ui::MenuTemplate& menu = model_.Menu();
  if (menu.popups.empty()) return;
  menuBar_ = Child<QMenuBar>(this);
  menuBar_->setNativeMenuBar(false);
  for (const ui::MenuPopup& popup : menu.popups) {
    QMenu* m = menuBar_->addMenu(Q(popup.text));
    for (const ui::MenuItem& item : popup.items) {
      if (item.id == 0)
        m->addSeparator();
      else
        AddMenuAction(m, item.id, item.text);
    }
  }
}

void DialogView::BuildControl(const ui::ControlState& c) {
  const int id = c.desc.id;
  const uint32_t flags = c.desc.style;
  QWidget* w = NewWidget(c);
  w->setObjectName(QStringLiteral("ctl_%1").arg(id));
  if (!(flags & ui::kTabStop) && c.desc.kind != ui::ControlKind::OwnerDraw &&
      !(c.desc.kind == ui::ControlKind::ListBox && (flags & ui::kOwnerDrawVariable)))
    w->setFocusPolicy(w->focusPolicy() == Qt::NoFocus ? Qt::NoFocus : Qt::ClickFocus);
  w->installEventFilter(this);
  widgets_[id] = w;
}

QWidget* DialogView::NewWidget(const ui::ControlState& c) {
  const int id = c.desc.id;
  const uint32_t flags = c.desc.style;
  switch (c.desc.kind) {
    case ui::ControlKind::PushButton:
    case ui::ControlKind::DefPushButton:
      return NewPushButton(id, c.desc.kind == ui::ControlKind::DefPushButton);
    case ui::ControlKind::CheckBox:
    case ui::ControlKind::AutoCheckBox:
    case ui::ControlKind::RadioButton: return NewCheckButton(id, c.desc.kind == ui::ControlKind::RadioButton);
    case ui::ControlKind::GroupBox: {
      auto* g = Child<QGroupBox>(client_);
      g->setAttribute(Qt::WA_TransparentForMouseEvents);
      return g;
    }
    case ui::ControlKind::Static: return NewLabel(flags);
    case ui::ControlKind::Edit:
      return (flags & ui::kMultiline) ? NewTextEdit(id, flags) : NewLineEdit(id, flags);
    case ui::ControlKind::ListBox:
      if (flags & ui::kOwnerDrawVariable) return Child<OwnerListWidget>(model_, id, client_);
      return NewListWidget(id);
    case ui::ControlKind::ComboBox: return NewComboBox(id);
    case ui::ControlKind::OwnerDraw: return Child<OwnerDrawWidget>(model_, id, client_);
    case ui::ControlKind::Icon: return NewIcon(id);
  }
  return nullptr;
}

QWidget* DialogView::NewPushButton(int id, bool isDefault) {
  auto* b = Child<QPushButton>(client_);
  b->setDefault(isDefault);
  b->setAutoDefault(false);
  connect(b, &QPushButton::clicked, this, [this, id] {
    if (!Quiet()) model_.UserClick(id);
  });
  return b;
}

QWidget* DialogView::NewCheckButton(int id, bool radio) {
  QAbstractButton* b = nullptr;
  if (radio) {
    auto* r = Child<QRadioButton>(client_);
    r->setAutoExclusive(false);  // the model keeps the group
    b = r;
  } else {
    b = Child<QCheckBox>(client_);
  }
  connect(b, &QAbstractButton::clicked, this, [this, id] {
    if (Quiet()) return;
    model_.UserClick(id);
    Sync(id);  // the model decides the state, not the click
  });
  return b;
}

QWidget* DialogView::NewLabel(uint32_t flags) {
  auto* l = Child<QLabel>(client_);
  Qt::Alignment align = (flags & ui::kAlignRight)    ? Qt::AlignRight
                        : (flags & ui::kAlignCenter) ? Qt::AlignHCenter
                                                     : Qt::AlignLeft;
  l->setAlignment(align | Qt::AlignTop);
  l->setWordWrap(true);
  return l;
}

QWidget* DialogView::NewTextEdit(int id, uint32_t flags) {
  auto* e = Child<QPlainTextEdit>(client_);
  e->setReadOnly(flags & ui::kReadOnly);
  connect(e, &QPlainTextEdit::textChanged, this, [this, id, e] {
    if (!Quiet()) model_.UserSetText(id, S(e->toPlainText()));
  });
  return e;
}

QWidget* DialogView::NewLineEdit(int id, uint32_t flags) {
  auto* e = Child<QLineEdit>(client_);
  e->setReadOnly(flags & ui::kReadOnly);
  e->setFrame(true);
  connect(e, &QLineEdit::textEdited, this, [this, id] {
    if (Quiet()) return;
    model_.UserSetText(id, S(static_cast<QLineEdit*>(ControlWidget(id))->text()));
    Sync(id);  // characters the field refuses disappear again
  });
  return e;
}

QWidget* DialogView::NewListWidget(int id) {
  auto* l = Child<QListWidget>(client_);
  connect(l, &QListWidget::currentRowChanged, this, [this, id](int row) {
    if (!Quiet()) model_.UserSelect(id, row);
  });
  connect(l, &QListWidget::itemDoubleClicked, this, [this, id, l](QListWidgetItem* item) {
    if (!Quiet()) model_.UserDoubleClick(id, l->row(item));
  });
  return l;
}

QWidget* DialogView::NewComboBox(int id) {
  auto* b = Child<QComboBox>(client_);
  connect(b, &QComboBox::activated, this, [this, id](int index) {
    if (!Quiet()) model_.UserSelect(id, index);
  });
  return b;
}

// A picture the dialog draws itself, or else the information icon.
QWidget* DialogView::NewIcon(int id) {
  if (model_.OwnerOf(id)) {
    QWidget* w = Child<OwnerDrawWidget>(model_, id, client_);
    w->setFocusPolicy(Qt::NoFocus);
    return w;
  }
  auto* l = Child<QLabel>(client_);
  int side = std::max(16, std::min(model_.ControlRect(id).width(), model_.ControlRect(id).height()));
  l->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(side, side));
  return l;
}

void DialogView::Sync(int id) {
  QWidget* w = ControlWidget(id);
  const ui::ControlState* c = model_.Control(id);
  if (!w || !c) return;
  Guard guard(syncing_);
  gfx::Rect r = model_.ControlRect(id);
  if (c->desc.kind == ui::ControlKind::ComboBox) {
    // The template gives the height of the open list; the box itself is one line.
    w->setGeometry(r.left, r.top, r.width(), std::min(r.height(), w->sizeHint().height()));
  } else {
    w->setGeometry(r.left, r.top, r.width(), r.height());
  }
  w->setEnabled(c->enabled);
  w->setVisible(c->visible);
  w->setCursor(c->cursor == ui::CursorShape::SizeWE ? Qt::SizeHorCursor : Qt::ArrowCursor);
  SyncContent(w, *c);
}

void DialogView::SyncContent(QWidget* w, const ui::ControlState& c) {
  switch (c.desc.kind) {
    case ui::ControlKind::PushButton:
    case ui::ControlKind::DefPushButton: static_cast<QAbstractButton*>(w)->setText(Q(c.text)); break;
    case ui::ControlKind::CheckBox:
    case ui::ControlKind::AutoCheckBox:
    case ui::ControlKind::RadioButton: {
      auto* b = static_cast<QAbstractButton*>(w);
      b->setText(Q(c.text));
      b->setChecked(c.checked == ui::BST_CHECKED);
      break;
    }
    case ui::ControlKind::GroupBox: static_cast<QGroupBox*>(w)->setTitle(StaticText(c.text, false)); break;
    case ui::ControlKind::Static:
      static_cast<QLabel*>(w)->setText(StaticText(c.text, c.desc.style & ui::kNoPrefix));
      break;
    case ui::ControlKind::Edit:
      if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (e->text() != Q(c.text)) e->setText(Q(c.text));
        if (c.selStart != c.selEnd) e->setSelection(c.selStart, c.selEnd - c.selStart);
      } else if (auto* p = qobject_cast<QPlainTextEdit*>(w); p && p->toPlainText() != Q(c.text)) {
        p->setPlainText(Q(c.text));
      }
      break;
    case ui::ControlKind::ListBox:
      if (auto* l = qobject_cast<QListWidget*>(w)) {
        if (!SameItems(l->count(), c.items, [l](int i) { return l->item(i)->text(); })) {
          l->clear();
          for (const ui::ListItem& item : c.items) l->addItem(Q(item.text));
        }
        l->setCurrentRow(c.selection);
      } else {
        w->update();
      }
      break;
    case ui::ControlKind::ComboBox: {
      auto* b = static_cast<QComboBox*>(w);
      if (!SameItems(b->count(), c.items, [b](int i) { return b->itemText(i); })) {
        b->clear();
        for (const ui::ListItem& item : c.items) b->addItem(Q(item.text));
      }
      b->setCurrentIndex(c.selection);
      break;
    }
    case ui::ControlKind::OwnerDraw:
    case ui::ControlKind::Icon: w->update(); break;
  }
}

void DialogView::Layout() {
  int top = menuBar_ ? menuBar_->sizeHint().height() : 0;
  int width = model_.ClientWidth(), height = model_.ClientHeight();
  if (menuBar_) menuBar_->setGeometry(0, 0, width, top);
  client_->setGeometry(0, top, width, height);
  if (size() != QSize(width, height + top)) setFixedSize(width, height + top);
}

void DialogView::Repaint(int id) {
  if (QWidget* w = ControlWidget(id)) w->update();
}

void DialogView::DialogChanged() {
  Guard guard(syncing_);
  setWindowTitle(Q(model_.WindowText()));
  Layout();
  const ui::MenuTemplate& menu = model_.Menu();
  if (menuBar_) {
    QList<QAction*> popups = menuBar_->actions();
    for (size_t i = 0; i < menu.popups.size() && i < size_t(popups.size()); ++i) {
      popups[qsizetype(i)]->setText(Q(menu.popups[i].text));
      for (const ui::MenuItem& item : menu.popups[i].items) {
        if (QAction* a = MenuAction(item.id)) {
          a->setText(Q(item.text));
          a->setEnabled(model_.IsMenuItemEnabled(item.id));
          a->setCheckable(model_.IsMenuItemChecked(item.id) || a->isChecked());
          a->setChecked(model_.IsMenuItemChecked(item.id));
        }
      }
    }
  }
  // Items of the system menu: in the last popup (Help), unless an item of
  // the same text is already there; without a menu bar in a context menu.
  for (const ui::MenuItem& item : model_.SystemMenuItems()) {
    if (QAction* a = MenuAction(item.id)) {
      a->setText(Q(item.text));
      continue;
    }
    if (menuBar_ && !menu.popups.empty()) {
      const ui::MenuPopup& last = menu.popups.back();
      bool present = false;
      for (const ui::MenuItem& other : last.items) present = present || other.text == item.text;
      if (present) continue;
      QMenu* m = menuBar_->actions().back()->menu();
      m->addSeparator();
      AddMenuAction(m, item.id, item.text);
    } else {
      if (!systemMenu_) systemMenu_ = Child<QMenu>(this);
      AddMenuAction(systemMenu_, item.id, item.text);
    }
  }
  if (auto pos = model_.WindowPosition()) move(pos->x, pos->y);
}

void DialogView::FocusChanged(int id) {
  QWidget* w = ControlWidget(id);
  if (!w || w->hasFocus()) return;
  Guard guard(syncing_);
  w->setFocus(Qt::OtherFocusReason);
}

void DialogView::TimerChanged(int controlId, int timerId, int milliseconds) {
  if (passive_) return;
  auto key = std::make_pair(controlId, timerId);
  if (milliseconds <= 0) {
    timers_.erase(key);
    return;
  }
  auto& timer = timers_[key];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    connect(timer.get(), &QTimer::timeout, this,
            [this, controlId, timerId] { model_.FireTimer(controlId, timerId); });
  }
  timer->start(milliseconds);
}

void DialogView::Ended(int result) {
  timers_.clear();
  QDialog::done(result);
}

bool DialogView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn && !syncing_ && !passive_) {
    for (const auto& [id, w] : widgets_) {
      if (w == watched) {
        if (model_.GetFocus() != id) model_.UserFocus(id);
        break;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void DialogView::keyPressEvent(QKeyEvent* e) {
  if (passive_) return;
  switch (e->key()) {
    case Qt::Key_F1: model_.UserHelp(); return;
    case Qt::Key_Escape: model_.UserCancel(); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      int focus = model_.GetFocus();
      if (focus != 0 && model_.IsControlEnabled(focus) && model_.IsControlVisible(focus))
        model_.UserKey(focus, ui::Key::Return, {});
      else
        model_.UserOk();
      return;
    }
    default: QDialog::keyPressEvent(e);
  }
}

void DialogView::moveEvent(QMoveEvent* e) {
  QDialog::moveEvent(e);
  if (!isVisible() || passive_) return;
  NoteWindowFrame(*this);
  model_.UserMoved(x(), y());
}

void DialogView::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (passive_) return;
  // The window system has placed the window: the model knows where it is
  // even when the user never moves it.
  NoteWindowFrame(*this);
  model_.UserMoved(x(), y());
}

void DialogView::contextMenuEvent(QContextMenuEvent* e) {
  if (systemMenu_) systemMenu_->exec(e->globalPos());
}

}  // namespace qtui
