// Dialog model: control state, geometry, menus, timers and the modal run.
#include "ui/dialog.h"

#include <algorithm>

#include "input_scope.h"
#include "ui/ddx.h"
#include "ui/services.h"

namespace ui {

DialogObserver::~DialogObserver() = default;

int ModalCount(int delta);  // services.cpp

namespace {

bool IsList(const ControlState& c) {
  return c.desc.kind == ControlKind::ListBox || c.desc.kind == ControlKind::ComboBox;
}

// Counts running modal dialogs for as long as it lives.
class ModalCounter {
 public:
  ModalCounter() { ModalCount(+1); }
  ~ModalCounter() { ModalCount(-1); }
};

}  // namespace

Dialog::Dialog(DialogTemplate tmpl) : tmpl_(std::move(tmpl)), units_(DesignBaseUnits(tmpl_.fontSize)) {
  Reset();
}

Dialog::~Dialog() {
  for (ControlState& c : controls_)
    if (c.owner) c.owner->dialog_ = nullptr;
}

void Dialog::Reset() {
  for (ControlState& c : controls_)
    if (c.owner) c.owner->dialog_ = nullptr;
  controls_.clear();
  controls_.reserve(tmpl_.controls.size());
  for (const ControlSpec& desc : tmpl_.controls) {
    ControlState c;
    c.desc = desc;
    c.text = desc.text;
    c.enabled = (desc.style & kDisabled) == 0;
    c.visible = (desc.style & kHidden) == 0;
    controls_.push_back(std::move(c));
  }
  menu_ = tmpl_.menu;
  disabledMenuItems_.clear();
  checkedMenuItems_.clear();
  systemMenu_.clear();
  caption_ = tmpl_.caption;
  position_.reset();
  clientSize_.reset();
  focus_ = 0;
  timers_.clear();
  posted_.clear();
  ended_ = false;
  result_ = 0;
}

ControlState* Dialog::Find(int id) {
  for (ControlState& c : controls_)
    if (c.desc.id == id) return &c;
  return nullptr;
}

const ControlState* Dialog::Find(int id) const { return const_cast<Dialog*>(this)->Find(id); }

void Dialog::Changed(int id) {
  for (DialogObserver* o : std::vector<DialogObserver*>(observers_)) o->ControlChanged(id);
}

void Dialog::DialogChanged() {
  for (DialogObserver* o : std::vector<DialogObserver*>(observers_)) o->DialogChanged();
}

PlatformServices& Dialog::Services() const { return services_ ? *services_ : ui::Services(); }

int Dialog::DoModal() { return DoModal(ui::Services()); }

int Dialog::DoModal(PlatformServices& services) {
  if (running_) return -1;  // a dialog runs once at a time
  Reset();
  services_ = &services;
  running_ = true;
  ModalCounter counter;
  {
    InputScope scope(*this);
    if (OnInitDialog() && focus_ == 0) {
      for (const ControlState& c : controls_) {
        if ((c.desc.style & kTabStop) && c.enabled && c.visible) {
          SetFocus(c.desc.id);
          break;
        }
      }
    }
  }
  int result = ended_ ? result_ : services.RunModal(*this);
  if (!ended_) {  // the runner gave up on it
    ended_ = true;
    result_ = result;
  }
  for (const Timer& t : std::vector<Timer>(timers_)) KillControlTimer(t.controlId, t.timerId);
  OnDestroy();
  running_ = false;
  services_ = nullptr;
  return result_;
}

void Dialog::EndDialog(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  for (DialogObserver* o : std::vector<DialogObserver*>(observers_)) o->Ended(result);
}

void Dialog::SetWindowText(std::string text) {
  caption_ = std::move(text);
  DialogChanged();
}

void Dialog::SetIcon(int resourceId) {
  icon_ = resourceId;
  DialogChanged();
}

void Dialog::CenterWindow() {
  position_.reset();
  DialogChanged();
}

void Dialog::MoveWindow(int x, int y) {
  position_ = Point{x, y};
  DialogChanged();
}

void Dialog::UserMoved(int x, int y) { position_ = Point{x, y}; }

gfx::Rect Dialog::DluToPixels(const DluRect& r) const {
  auto px = [&](int v) { return v * units_.x / 4; };
  auto py = [&](int v) { return v * units_.y / 8; };
  return {px(r.x), py(r.y), px(r.x + r.cx), py(r.y + r.cy)};
}

int Dialog::ClientWidth() const {
  return clientSize_ ? clientSize_->x : DluToPixels({0, 0, tmpl_.cx, tmpl_.cy}).width();
}
int Dialog::ClientHeight() const {
  return clientSize_ ? clientSize_->y : DluToPixels({0, 0, tmpl_.cx, tmpl_.cy}).height();
}

int Dialog::WindowWidth() const {
  FrameMargins m = Services().WindowFrame(HasMenu());
  return ClientWidth() + m.left + m.right;
}
int Dialog::WindowHeight() const {
  FrameMargins m = Services().WindowFrame(HasMenu());
  return ClientHeight() + m.top + m.bottom;
}

void Dialog::SetClientSize(int width, int height) {
  clientSize_ = Point{std::max(width, 0), std::max(height, 0)};
  DialogChanged();
}

void Dialog::SetDlgItemText(int id, std::string text) {
  if (ControlState* c = Find(id)) {
    c->text = std::move(text);
    c->selStart = c->selEnd = 0;
    Changed(id);
  }
}

std::string Dialog::GetDlgItemText(int id) const {
  const ControlState* c = Find(id);
  if (!c) return {};
  if (IsList(*c)) return GetItemText(id, c->selection);
  return c->text;
}

void Dialog::EnableControl(int id, bool enable) {
  ControlState* c = Find(id);
  if (!c || c->enabled == enable) return;
  c->enabled = enable;
  Changed(id);
  if (c->owner) InvalidateControl(id);
  if (!enable && id == focus_) KeepFocusInView();
}

bool Dialog::IsControlEnabled(int id) const {
  const ControlState* c = Find(id);
  return c && c->enabled;
}

void Dialog::ShowControl(int id, bool show) {
  ControlState* c = Find(id);
  if (!c || c->visible == show) return;
  c->visible = show;
  Changed(id);
  if (!show && id == focus_) KeepFocusInView();
}

bool Dialog::IsControlVisible(int id) const {
  const ControlState* c = Find(id);
  return c && c->visible;
}

void Dialog::SetCheck(int id, int state) {
  ControlState* c = Find(id);
  if (!c || c->checked == state) return;
  c->checked = state;
  Changed(id);
}

int Dialog::GetCheck(int id) const {
  const ControlState* c = Find(id);
  return c ? c->checked : BST_UNCHECKED;
}

void Dialog::CheckRadioButton(int firstId, int lastId, int checkId) {
  for (ControlState& c : controls_)
    if (c.desc.id >= firstId && c.desc.id <= lastId) SetCheck(c.desc.id, c.desc.id == checkId);
}

int Dialog::GetCheckedRadioButton(int firstId, int lastId) const {
  for (const ControlState& c : controls_)
    if (c.desc.id >= firstId && c.desc.id <= lastId && c.checked) return c.desc.id;
  return 0;
}

std::vector<int> Dialog::RadioGroup(int id) const {
  std::vector<int> group;
  const ControlState* self = Find(id);
  if (!self || self->desc.kind != ControlKind::RadioButton) return group;
  size_t at = size_t(self - controls_.data());
  size_t first = at;
  while (first > 0 && !(controls_[first].desc.style & kGroup) &&
         controls_[first - 1].desc.kind == ControlKind::RadioButton)
    --first;
  for (size_t i = first; i < controls_.size(); ++i) {
    if (controls_[i].desc.kind != ControlKind::RadioButton) break;
    if (i > first && (controls_[i].desc.style & kGroup)) break;
    group.push_back(controls_[i].desc.id);
  }
  return group;
}

void Dialog::ResetContent(int id) {
  ControlState* c = Find(id);
  if (!c || !IsList(*c)) return;
  c->items.clear();
  c->selection = -1;
  Changed(id);
}

int Dialog::AddString(int id, std::string text) { return InsertString(id, GetCount(id), std::move(text)); }

int Dialog::InsertString(int id, int index, std::string text) {
  ControlState* c = Find(id);
  if (!c || !IsList(*c)) return -1;
  if (index < 0 || index > int(c->items.size())) index = int(c->items.size());
  c->items.insert(c->items.begin() + index, ListItem{std::move(text), 0, 0});
  if (c->selection >= index) ++c->selection;
  if (c->owner && (c->desc.style & kOwnerDrawVariable))
    c->items[size_t(index)].height = c->owner->MeasureItem(index);
  Changed(id);
  return index;
}

void Dialog::DeleteString(int id, int index) {
  ControlState* c = Find(id);
  if (!c || !IsList(*c) || index < 0 || index >= int(c->items.size())) return;
  c->items.erase(c->items.begin() + index);
  if (c->selection == index)
    c->selection = -1;
  else if (c->selection > index)
    --c->selection;
  Changed(id);
}

int Dialog::GetCount(int id) const {
  const ControlState* c = Find(id);
  return c ? int(c->items.size()) : 0;
}

std::string Dialog::GetItemText(int id, int index) const {
  const ControlState* c = Find(id);
  if (!c || index < 0 || index >= int(c->items.size())) return {};
  return c->items[size_t(index)].text;
}

void Dialog::SetItemData(int id, int index, intptr_t data) {
  ControlState* c = Find(id);
  if (c && index >= 0 && index < int(c->items.size())) c->items[size_t(index)].data = data;
}

intptr_t Dialog::GetItemData(int id, int index) const {
  const ControlState* c = Find(id);
  if (!c || index < 0 || index >= int(c->items.size())) return 0;
  return c->items[size_t(index)].data;
}

int Dialog::FindItemData(int id, intptr_t data) const {
  const ControlState* c = Find(id);
  if (!c) return -1;
  for (size_t i = 0; i < c->items.size(); ++i)
    if (c->items[i].data == data) return int(i);
  return -1;
}

int Dialog::FindStringExact(int id, const std::string& text) const {
  const ControlState* c = Find(id);
  if (!c) return -1;
  for (size_t i = 0; i < c->items.size(); ++i)
    if (c->items[i].text == text) return int(i);
  return -1;
}

void Dialog::SetCurSel(int id, int index) {
  ControlState* c = Find(id);
  if (!c || !IsList(*c)) return;
  if (index < 0 || index >= int(c->items.size())) index = -1;
  c->selection = index;
  Changed(id);
  if (c->owner) InvalidateControl(id);
}

int Dialog::GetCurSel(int id) const {
  const ControlState* c = Find(id);
  return c ? c->selection : -1;
}

void Dialog::SetItemHeight(int id, int index, int pixels) {
  ControlState* c = Find(id);
  if (!c || !IsList(*c)) return;
  if (index < 0) {
    for (ListItem& item : c->items) item.height = pixels;
  } else if (index < int(c->items.size())) {
    c->items[size_t(index)].height = pixels;
  }
  Changed(id);
}

int Dialog::GetItemHeight(int id, int index) const {
  const ControlState* c = Find(id);
  if (!c || index < 0 || index >= int(c->items.size())) return 0;
  int h = c->items[size_t(index)].height;
  return h > 0 ? h : units_.y + 2;
}

void Dialog::SetTabStops(int id, std::vector<int> dialogUnits) {
  if (ControlState* c = Find(id)) c->tabStops = std::move(dialogUnits);
}

int Dialog::ItemAt(int id, int y) const {
  const ControlState* c = Find(id);
  if (!c || !IsList(*c) || y < 0) return -1;
  int top = 0;
  for (int i = 0; i < int(c->items.size()); ++i) {
    int h = GetItemHeight(id, i);
    if (y < top + h) return i;
    top += h;
  }
  return -1;
}

int Dialog::ListBorder(int id) const {
  const ControlState* c = Find(id);
  return c && c->desc.kind == ControlKind::ListBox && (c->desc.style & kBorder) ? 2 : 0;
}

void Dialog::SetEditSel(int id, int start, int end) {
  ControlState* c = Find(id);
  if (!c) return;
  int len = int(c->text.size());
  if (end < 0 || end > len) end = len;
  c->selStart = std::clamp(start, 0, end);
  c->selEnd = end;
  Changed(id);
}

void Dialog::SetCharFilter(int id, std::function<bool(uint32_t)> accept) {
  if (ControlState* c = Find(id)) c->charFilter = std::move(accept);
}

void Dialog::SetFocus(int id) {
  if (id != 0 && !Find(id)) return;
  if (id == focus_) return;
  int old = focus_;
  focus_ = id;
  if (ControlState* c = Find(old)) {
    if (c->owner) c->owner->OnFocus(false);
    if (c->desc.kind == ControlKind::Edit) OnCommand(old, EN_KILLFOCUS);
  }
  if (focus_ != id) return;  // a handler moved the focus on
  for (DialogObserver* o : std::vector<DialogObserver*>(observers_)) o->FocusChanged(id);
  if (ControlState* c = Find(id)) {
    if (c->owner) c->owner->OnFocus(true);
    if (c->desc.kind == ControlKind::Edit) OnCommand(id, EN_SETFOCUS);
  }
}

void Dialog::SetFocusHome(int id) { focusHome_ = id; }

void Dialog::KeepFocusInView() {
  auto usable = [this](int id) {
    const ControlState* c = Find(id);
    return c && c->enabled && c->visible;
  };
  if (focusHome_ != 0 && usable(focusHome_)) {
    SetFocus(focusHome_);
    return;
  }
  // Otherwise the next tab stop after the control that lost its use.
  const ControlState* lost = Find(focus_);
  size_t start = lost ? size_t(lost - controls_.data()) : 0;
  for (size_t k = 1; k <= controls_.size(); ++k) {
    const ControlState& c = controls_[(start + k) % controls_.size()];
    if ((c.desc.style & kTabStop) && usable(c.desc.id)) {
      SetFocus(c.desc.id);
      return;
    }
  }
}

gfx::Rect Dialog::ControlRect(int id) const {
  const ControlState* c = Find(id);
  if (!c) return {};
  if (c->pixelRect) return *c->pixelRect;
  return DluToPixels(c->desc.rect);
}

void Dialog::MoveControl(int id, const gfx::Rect& pixels) {
  if (ControlState* c = Find(id)) {
    c->pixelRect = pixels;
    Changed(id);
  }
}

void Dialog::Attach(int id, OwnerDrawn& owner) {
  ControlState* c = Find(id);
  if (!c) return;
  if (owner.dialog_) owner.dialog_->Detach(owner);
  c->owner = &owner;
  owner.dialog_ = this;
  owner.id_ = id;
  if (c->desc.style & kOwnerDrawVariable)
    for (int i = 0; i < int(c->items.size()); ++i) c->items[size_t(i)].height = owner.MeasureItem(i);
  InvalidateControl(id);
}

void Dialog::Detach(OwnerDrawn& owner) {
  for (ControlState& c : controls_)
    if (c.owner == &owner) c.owner = nullptr;
  if (owner.dialog_ == this) owner.dialog_ = nullptr;
}

void Dialog::SetControlCursor(int id, CursorShape shape) {
  ControlState* c = Find(id);
  if (!c || c->cursor == shape) return;
  c->cursor = shape;
  Changed(id);
}

OwnerDrawn* Dialog::OwnerOf(int id) const {
  const ControlState* c = Find(id);
  return c ? c->owner : nullptr;
}

void Dialog::InvalidateControl(int id) {
  for (DialogObserver* o : std::vector<DialogObserver*>(observers_)) o->Repaint(id);
}

gfx::Bitmap Dialog::PaintControl(int id) {
  gfx::Rect r = ControlRect(id);
  gfx::Bitmap bitmap(r.width(), r.height());
  if (OwnerDrawn* owner = OwnerOf(id)) owner->Paint(bitmap);
  return bitmap;
}

gfx::Bitmap Dialog::PaintItem(int id, int index, bool selected) {
  gfx::Bitmap bitmap(ControlRect(id).width() - 2 * ListBorder(id), GetItemHeight(id, index));
  if (OwnerDrawn* owner = OwnerOf(id)) owner->DrawItem(index, selected, bitmap);
  return bitmap;
}

void Dialog::SetControlTimer(int id, int timerId, int milliseconds) {
  if (milliseconds <= 0) milliseconds = 1;
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const Timer& t) { return t.controlId == id && t.timerId == timerId; });
  if (it != timers_.end())
    it->milliseconds = milliseconds;
  else
    timers_.push_back({id, timerId, milliseconds});
  for (DialogObserver* o : std::vector<DialogObserver*>(observers_))
    o->TimerChanged(id, timerId, milliseconds);
}

void Dialog::KillControlTimer(int id, int timerId) {
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const Timer& t) { return t.controlId == id && t.timerId == timerId; });
  if (it == timers_.end()) return;
  timers_.erase(it);
  for (DialogObserver* o : std::vector<DialogObserver*>(observers_)) o->TimerChanged(id, timerId, 0);
}

MenuItem* Dialog::FindMenuItem(int id) {
  for (MenuPopup& p : menu_.popups)
    for (MenuItem& item : p.items)
      if (item.id == id && id != 0) return &item;
  for (MenuItem& item : systemMenu_)
    if (item.id == id && id != 0) return &item;
  return nullptr;
}

const MenuItem* Dialog::FindMenuItem(int id) const { return const_cast<Dialog*>(this)->FindMenuItem(id); }

bool Dialog::SetMenuPopupText(const std::string& resourceText, std::string text) {
  for (size_t i = 0; i < menu_.popups.size(); ++i) {
    if (tmpl_.menu.popups[i].text == resourceText) {
      menu_.popups[i].text = std::move(text);
      DialogChanged();
      return true;
    }
  }
  return false;
}

bool Dialog::SetMenuItemText(int id, std::string text) {
  MenuItem* item = FindMenuItem(id);
  if (!item) return false;
  item->text = std::move(text);
  DialogChanged();
  return true;
}

bool Dialog::HasMenuItem(int id) const { return FindMenuItem(id) != nullptr; }

void Dialog::EnableMenuItem(int id, bool enable) {
  auto it = std::find(disabledMenuItems_.begin(), disabledMenuItems_.end(), id);
  if (enable && it != disabledMenuItems_.end())
    disabledMenuItems_.erase(it);
  else if (!enable && it == disabledMenuItems_.end())
    disabledMenuItems_.push_back(id);
  else
    return;
  DialogChanged();
}

void Dialog::CheckMenuItem(int id, bool check) {
  auto it = std::find(checkedMenuItems_.begin(), checkedMenuItems_.end(), id);
  if (check && it == checkedMenuItems_.end())
    checkedMenuItems_.push_back(id);
  else if (!check && it != checkedMenuItems_.end())
    checkedMenuItems_.erase(it);
  else
    return;
  DialogChanged();
}

bool Dialog::IsMenuItemChecked(int id) const {
  return std::find(checkedMenuItems_.begin(), checkedMenuItems_.end(), id) != checkedMenuItems_.end();
}

bool Dialog::IsMenuItemEnabled(int id) const {
  return HasMenuItem(id) &&
         std::find(disabledMenuItems_.begin(), disabledMenuItems_.end(), id) == disabledMenuItems_.end();
}

void Dialog::AddSystemMenuItem(int id, std::string text) {
  systemMenu_.push_back({id, std::move(text)});
  DialogChanged();
}

bool Dialog::UpdateData(bool saveAndValidate) {
  DataExchange dx(*this, saveAndValidate);
  DoDataExchange(dx);
  if (!dx.Failed()) return true;
  int id = dx.FailedControl();
  SetFocus(id);
  if (const ControlState* c = Find(id); c && c->desc.kind == ControlKind::Edit) SetEditSel(id, 0, -1);
  return false;
}

void Dialog::AddObserver(DialogObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void Dialog::RemoveObserver(DialogObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void Dialog::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  if (id == IDOK)
    OnOK();
  else if (id == IDCANCEL)
    OnCancel();
}

void Dialog::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

// ---- Owner-drawn helpers.

OwnerDrawn::~OwnerDrawn() {
  if (dialog_) dialog_->Detach(*this);
}

void OwnerDrawn::Invalidate() {
  if (dialog_) dialog_->InvalidateControl(id_);
}
void OwnerDrawn::SetTimer(int timerId, int milliseconds) {
  if (dialog_) dialog_->SetControlTimer(id_, timerId, milliseconds);
}
void OwnerDrawn::KillTimer(int timerId) {
  if (dialog_) dialog_->KillControlTimer(id_, timerId);
}
bool OwnerDrawn::HasFocus() const { return dialog_ && dialog_->GetFocus() == id_; }
bool OwnerDrawn::IsEnabled() const { return dialog_ && dialog_->IsControlEnabled(id_); }
void OwnerDrawn::SendNotify(int code, intptr_t param) {
  if (dialog_) dialog_->Send(id_, code, param);
}
void OwnerDrawn::PostNotify(int code, intptr_t param) {
  if (dialog_) dialog_->Post(id_, code, param);
}
void OwnerDrawn::SetCursor(CursorShape shape) {
  if (dialog_) dialog_->SetControlCursor(id_, shape);
}
int OwnerDrawn::Width() const { return dialog_ ? dialog_->ControlRect(id_).width() : 0; }
int OwnerDrawn::Height() const { return dialog_ ? dialog_->ControlRect(id_).height() : 0; }

}  // namespace ui
