// Dialog model: what the user does, as reported by a runner, turned into
// state changes and handler calls the way a dialog manager would.
#include <algorithm>

#include "input_scope.h"
#include "ui/dialog.h"

namespace ui {

namespace {

bool IsList(const ControlState& c) {
  return c.desc.kind == ControlKind::ListBox || c.desc.kind == ControlKind::ComboBox;
}

bool Notifies(const ControlState& c) {
  return c.desc.kind == ControlKind::ComboBox || (c.desc.style & kNotify);
}

bool Usable(const ControlState* c) { return c && c->enabled && c->visible; }

bool Focusable(const ControlState& c) {
  switch (c.desc.kind) {
    case ControlKind::GroupBox:
    case ControlKind::Static:
    case ControlKind::Icon: return false;
    default: return true;
  }
}

}  // namespace

void Dialog::Post(int id, int code, intptr_t param) {
  posted_.push_back({id, code, param});
  if (inputDepth_ == 0) FlushPosted();
}

void Dialog::FlushPosted() {
  ++inputDepth_;
  while (!posted_.empty()) {
    Posted p = posted_.front();
    posted_.pop_front();
    if (!ended_) OnNotify(p.id, p.code, p.param);
  }
  --inputDepth_;
}

void Dialog::UserClick(int id) {
  ControlState* c = Find(id);
  if (ended_ || !Usable(c)) return;
  InputScope scope(*this);
  switch (c->desc.kind) {
    case ControlKind::AutoCheckBox:
      SetCheck(id, c->checked == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
      break;
    case ControlKind::RadioButton:
      for (int other : RadioGroup(id)) SetCheck(other, other == id ? BST_CHECKED : BST_UNCHECKED);
      break;
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::CheckBox: break;
    default: return;  // not a button
  }
  SetFocus(id);
  if (!ended_) OnCommand(id, BN_CLICKED);
}

void Dialog::UserMenu(int id) {
  if (ended_ || !IsMenuItemEnabled(id)) return;
  InputScope scope(*this);
  OnCommand(id, BN_CLICKED);
}

void Dialog::UserSelect(int id, int index) {
  ControlState* c = Find(id);
  if (ended_ || !Usable(c) || !IsList(*c)) return;
  InputScope scope(*this);
  SetFocus(id);
  if (index < 0 || index >= int(c->items.size())) return;
  SetCurSel(id, index);
  if (Notifies(*c)) OnCommand(id, LBN_SELCHANGE);
}

void Dialog::UserDoubleClick(int id, int index) {
  ControlState* c = Find(id);
  if (ended_ || !Usable(c) || c->desc.kind != ControlKind::ListBox) return;
  InputScope scope(*this);
  SetFocus(id);
  if (index >= 0 && index < int(c->items.size()) && index != c->selection) {
    SetCurSel(id, index);
    if (Notifies(*c)) OnCommand(id, LBN_SELCHANGE);
  }
  if (!ended_ && Notifies(*c)) OnCommand(id, LBN_DBLCLK);
}

void Dialog::UserSetText(int id, const std::string& text) {
  ControlState* c = Find(id);
  if (ended_ || !Usable(c) || c->desc.kind != ControlKind::Edit || (c->desc.style & kReadOnly)) return;
  InputScope scope(*this);
  SetFocus(id);
  std::string accepted;
  for (unsigned char ch : text) {
    bool ok = !(c->desc.style & kNumber) || (ch >= '0' && ch <= '9');
    if (ok && c->charFilter) ok = c->charFilter(ch);
    if (ok) accepted += char(ch);
  }
  c->text = accepted;
  c->selStart = c->selEnd = int(accepted.size());
  Changed(id);
  OnCommand(id, EN_CHANGE);
}

void Dialog::UserChar(int id, uint32_t code) {
  ControlState* c = Find(id);
  if (ended_ || !Usable(c)) return;
  InputScope scope(*this);
  SetFocus(id);
  if (c->owner && c->desc.kind == ControlKind::OwnerDraw) {
    c->owner->OnChar(code);
    return;
  }
  if (c->desc.kind != ControlKind::Edit || (c->desc.style & kReadOnly) || code > 0xFF) return;
  if ((c->desc.style & kNumber) && (code < '0' || code > '9')) return;
  if (c->charFilter && !c->charFilter(code)) return;
  int start = std::min(c->selStart, c->selEnd), end = std::max(c->selStart, c->selEnd);
  c->text.replace(size_t(start), size_t(end - start), 1, char(code));
  c->selStart = c->selEnd = start + 1;
  Changed(id);
  OnCommand(id, EN_CHANGE);
}

void Dialog::UserKey(int id, Key key, KeyMods mods) {
  ControlState* c = Find(id);
  if (ended_ || !Usable(c)) return;
  InputScope scope(*this);
  if (Focusable(*c)) SetFocus(id);
  if (key == Key::F1) {
    OnHelp();
    return;
  }
  if (key == Key::Escape) {
    OnCommand(IDCANCEL, BN_CLICKED);
    return;
  }
  if (key == Key::Return && !(c->owner && c->owner->WantsReturn())) {
    // A focused push button acts as the default one.
    int target = IDOK;
    if (c->desc.kind == ControlKind::PushButton || c->desc.kind == ControlKind::DefPushButton) {
      target = id;
    } else {
      for (const ControlState& other : controls_)
        if (other.desc.kind == ControlKind::DefPushButton) target = other.desc.id;
    }
    const ControlState* def = Find(target);
    if (!def || Usable(def)) OnCommand(target, BN_CLICKED);
    return;
  }
  if (c->owner && c->desc.kind == ControlKind::OwnerDraw) {
    c->owner->OnKey(key, mods);
    return;
  }
  if (IsList(*c)) {
    int count = int(c->items.size()), sel = c->selection, next = sel;
    if (key == Key::Up)
      next = std::max(sel - 1, 0);
    else if (key == Key::Down)
      next = std::min(sel + 1, count - 1);
    else if (key == Key::Home)
      next = 0;
    else if (key == Key::End)
      next = count - 1;
    if (count > 0 && next != sel) {
      SetCurSel(id, next);
      if (Notifies(*c)) OnCommand(id, LBN_SELCHANGE);
    }
    if (c->owner) c->owner->OnKey(key, mods);
    return;
  }
  if (c->desc.kind != ControlKind::Edit) return;
  int len = int(c->text.size());
  int caret = c->selEnd;
  int start = std::min(c->selStart, c->selEnd), end = std::max(c->selStart, c->selEnd);
  switch (key) {
    case Key::Home: caret = 0; break;
    case Key::End: caret = len; break;
    case Key::Left: caret = std::max(caret - 1, 0); break;
    case Key::Right: caret = std::min(caret + 1, len); break;
    case Key::Delete:
    case Key::Back:
      if (c->desc.style & kReadOnly) return;
      if (start == end) {
        if (key == Key::Back && start > 0)
          --start;
        else if (key == Key::Delete && end < len)
          ++end;
      }
      c->text.erase(size_t(start), size_t(end - start));
      c->selStart = c->selEnd = start;
      Changed(id);
      OnCommand(id, EN_CHANGE);
      return;
    default: return;
  }
  c->selEnd = caret;
  if (!mods.shift) c->selStart = caret;
  Changed(id);
}

void Dialog::UserMouse(int id, MouseAction action, int x, int y, KeyMods mods) {
  ControlState* c = Find(id);
  if (ended_ || !Usable(c)) return;
  InputScope scope(*this);
  if ((action == MouseAction::Down || action == MouseAction::DoubleClick) && Focusable(*c)) SetFocus(id);
  if (c->desc.kind == ControlKind::ListBox) {
    // A double click is a press first: it selects the row under the pointer.
    int row = ItemAt(id, y);
    bool press = action == MouseAction::Down || action == MouseAction::DoubleClick;
    if (press && row >= 0 && row != c->selection) {
      SetCurSel(id, row);
      if (Notifies(*c)) OnCommand(id, LBN_SELCHANGE);
    }
    if (!ended_ && action == MouseAction::DoubleClick && row >= 0 && Notifies(*c)) OnCommand(id, LBN_DBLCLK);
  }
  if (!ended_ && c->owner) c->owner->OnMouse(action, x, y, mods);
}

void Dialog::UserFocus(int id) {
  ControlState* c = Find(id);
  if (ended_ || !Usable(c) || !Focusable(*c)) return;
  InputScope scope(*this);
  SetFocus(id);
}

void Dialog::UserOk() {
  if (ended_) return;
  InputScope scope(*this);
  OnCommand(IDOK, BN_CLICKED);
}

void Dialog::UserCancel() {
  if (ended_) return;
  InputScope scope(*this);
  OnCommand(IDCANCEL, BN_CLICKED);
}

void Dialog::UserHelp() {
  if (ended_) return;
  InputScope scope(*this);
  OnHelp();
}

void Dialog::FireTimer(int controlId, int timerId) {
  if (ended_) return;
  bool active = std::any_of(timers_.begin(), timers_.end(),
                            [&](const Timer& t) { return t.controlId == controlId && t.timerId == timerId; });
  if (!active) return;
  InputScope scope(*this);
  if (controlId == 0) {
    OnTimer(timerId);
  } else if (OwnerDrawn* owner = OwnerOf(controlId)) {
    owner->OnTimer(timerId);
  }
}

}  // namespace ui
