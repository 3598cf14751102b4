#pragma once
// The dialog model: a template realised as control states addressed by id,
// command and notification routing, data exchange, timers, focus and the
// modal run. Runners show it (Qt view) or drive it (scripts) through the
// User... functions and watch it through DialogObserver.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gfx/bitmap.h"
#include "ui/ids.h"
#include "ui/ownerdraw.h"
#include "ui/template.h"

namespace ui {

class DataExchange;
class PlatformServices;

struct ListItem {
  std::string text;
  intptr_t data = 0;
  int height = 0;  // pixels; 0 = the list's default
};

struct ControlState {
  ControlSpec desc;
  std::string text;
  bool enabled = true;
  bool visible = true;
  int checked = BST_UNCHECKED;
  int selection = -1;  // lists and combos
  std::vector<ListItem> items;
  std::vector<int> tabStops;           // dialog units
  int selStart = 0, selEnd = 0;        // edits
  std::optional<gfx::Rect> pixelRect;  // set by MoveControl
  OwnerDrawn* owner = nullptr;
  CursorShape cursor = CursorShape::Arrow;
  std::function<bool(uint32_t)> charFilter;
};

struct Point {
  int x = 0, y = 0;
};

// What a view needs to hear from the model.
class DialogObserver {
 public:
  virtual ~DialogObserver();
  virtual void ControlChanged(int id) = 0;  // any state but painting
  virtual void Repaint(int id) = 0;         // owner-drawn content
  virtual void DialogChanged() = 0;         // caption, menu, position, icon
  virtual void FocusChanged(int id) = 0;
  virtual void TimerChanged(int controlId, int timerId, int milliseconds) = 0;  // 0 = stopped
  virtual void Ended(int result) = 0;
};

class Dialog {
 public:
  explicit Dialog(DialogTemplate tmpl);
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;
  virtual ~Dialog();

  // Runs the dialog modally with the process's services (or `services`):
  // resets the controls from the template, calls OnInitDialog, runs until
  // EndDialog and calls OnDestroy. Returns the EndDialog result.
  int DoModal();
  int DoModal(PlatformServices& services);
  void EndDialog(int result);
  bool IsRunning() const { return running_; }
  bool HasEnded() const { return ended_; }
  int Result() const { return result_; }
  // The services this dialog runs with (the process's when not running).
  PlatformServices& Services() const;

  const DialogTemplate& Template() const { return tmpl_; }
  int TemplateId() const { return tmpl_.id; }

  // Window.
  void SetWindowText(std::string text);
  const std::string& WindowText() const { return caption_; }
  void SetIcon(int resourceId);
  int IconId() const { return icon_; }
  void CenterWindow();
  void MoveWindow(int x, int y);  // screen pixels, size unchanged
  // Top left corner on the screen; nothing while centred by the runner.
  std::optional<Point> WindowPosition() const { return position_; }
  int ClientWidth() const;  // pixels
  int ClientHeight() const;
  // The whole window with the frame of the services it runs with.
  int WindowWidth() const;
  int WindowHeight() const;
  // Gives the client area a pixel size of its own instead of the template's.
  void SetClientSize(int width, int height);
  BaseUnits Units() const { return units_; }
  gfx::Rect DluToPixels(const DluRect& r) const;

  // Controls. Unknown ids are ignored by setters and read as empty.
  bool HasControl(int id) const { return Find(id) != nullptr; }
  const ControlState* Control(int id) const { return Find(id); }
  const std::vector<ControlState>& Controls() const { return controls_; }
  void SetDlgItemText(int id, std::string text);
  std::string GetDlgItemText(int id) const;  // lists and combos: the selected item
  void EnableControl(int id, bool enable);
  bool IsControlEnabled(int id) const;
  void ShowControl(int id, bool show);
  bool IsControlVisible(int id) const;
  void SetCheck(int id, int state);
  int GetCheck(int id) const;
  void CheckRadioButton(int firstId, int lastId, int checkId);
  int GetCheckedRadioButton(int firstId, int lastId) const;  // 0 = none
  // The radio buttons of the group that `id` belongs to, in template order.
  std::vector<int> RadioGroup(int id) const;

  // List boxes and combo boxes.
  void ResetContent(int id);
  int AddString(int id, std::string text);  // index of the new item, -1 for an unknown id
  int InsertString(int id, int index, std::string text);
  void DeleteString(int id, int index);
  int GetCount(int id) const;
  std::string GetItemText(int id, int index) const;
  void SetItemData(int id, int index, intptr_t data);
  intptr_t GetItemData(int id, int index) const;
  int FindItemData(int id, intptr_t data) const;  // first match, -1 none
  int FindStringExact(int id, const std::string& text) const;
  void SetCurSel(int id, int index);  // out of range clears the selection
  int GetCurSel(int id) const;
  void SetItemHeight(int id, int index, int pixels);
  int GetItemHeight(int id, int index) const;
  void SetTabStops(int id, std::vector<int> dialogUnits);
  // The row at client pixel y of a list box, -1 for none.
  int ItemAt(int id, int y) const;
  // The width in pixels of a list box's border (its client area lies inside).
  int ListBorder(int id) const;

  // Edits.
  void SetEditSel(int id, int start, int end);  // end -1 = to the end
  // Typed characters the filter refuses are dropped (edit subclassing).
  void SetCharFilter(int id, std::function<bool(uint32_t)> accept);

  // Focus (0 = none). Owner-drawn controls hear OnFocus, edits send
  // EN_SETFOCUS/EN_KILLFOCUS; while the old control hears of its loss,
  // GetFocus already names the new one.
  void SetFocus(int id);
  int GetFocus() const { return focus_; }
  // Where the focus goes when the focused control is disabled or hidden
  // (0: the next usable tab stop), so that it never leaves the user's view.
  void SetFocusHome(int id);

  // Geometry of a control in client pixels: its dialog-unit rectangle, or
  // the pixel rectangle given by MoveControl.
  gfx::Rect ControlRect(int id) const;
  void MoveControl(int id, const gfx::Rect& pixels);

  // Owner-drawn controls (not owned): custom controls, owner-drawn list
  // boxes and pictures. Either side may go first; the other forgets it.
  void Attach(int id, OwnerDrawn& owner);
  void Detach(OwnerDrawn& owner);
  void SetControlCursor(int id, CursorShape shape);
  OwnerDrawn* OwnerOf(int id) const;
  void InvalidateControl(int id);
  // Paints a custom control, or one list item, into a new bitmap.
  gfx::Bitmap PaintControl(int id);
  gfx::Bitmap PaintItem(int id, int index, bool selected);

  // Timers of the dialog (control id 0) and of owner-drawn controls.
  struct Timer {
    int controlId;
    int timerId;
    int milliseconds;
  };
  void SetTimer(int timerId, int milliseconds) { SetControlTimer(0, timerId, milliseconds); }
  void KillTimer(int timerId) { KillControlTimer(0, timerId); }
  void SetControlTimer(int id, int timerId, int milliseconds);
  void KillControlTimer(int id, int timerId);
  const std::vector<Timer>& Timers() const { return timers_; }

  // Menus: popups are found by their resource text, items by id.
  bool HasMenu() const { return !menu_.popups.empty(); }
  const MenuTemplate& Menu() const { return menu_; }
  bool SetMenuPopupText(const std::string& resourceText, std::string text);
  bool SetMenuItemText(int id, std::string text);
  bool HasMenuItem(int id) const;
  void EnableMenuItem(int id, bool enable);
  bool IsMenuItemEnabled(int id) const;
  void CheckMenuItem(int id, bool check);
  bool IsMenuItemChecked(int id) const;
  // Items of the window's system menu. Runners without one show them in the
  // last menu popup (normally Help), unless an item of that text is there.
  void AddSystemMenuItem(int id, std::string text);
  const std::vector<MenuItem>& SystemMenuItems() const { return systemMenu_; }

  // Moves control values to members (save) or back; on failure the failed
  // field gets the focus with its text selected and false is returned.
  bool UpdateData(bool saveAndValidate = true);

  void AddObserver(DialogObserver* observer);
  void RemoveObserver(DialogObserver* observer);

  // ---- What the user did, reported by runners. Each call runs the
  // dialog's handlers and then the notifications posted meanwhile.
  void UserClick(int id);  // buttons, check boxes, radio buttons
  void UserMenu(int id);   // menu and system menu items
  void UserSelect(int id, int index);
  void UserDoubleClick(int id, int index);
  void UserSetText(int id, const std::string& text);  // edits, whole text
  void UserChar(int id, uint32_t code);
  void UserKey(int id, Key key, KeyMods mods);
  void UserMouse(int id, MouseAction action, int x, int y, KeyMods mods);
  void UserFocus(int id);
  void UserOk();
  void UserCancel();
  void UserHelp();
  void UserMoved(int x, int y);  // the window was moved to (x, y)
  void FireTimer(int controlId, int timerId);

 protected:
  // Return true to give the focus to the first tab stop.
  virtual bool OnInitDialog() { return true; }
  // Commands of buttons and menus and notifications of controls. The base
  // maps IDOK and IDCANCEL to OnOK and OnCancel.
  virtual void OnCommand(int id, int code);
  // Notifications of owner-drawn controls.
  virtual void OnNotify(int id, int code, intptr_t param) { (void)id, (void)code, (void)param; }
  virtual void OnOK();
  virtual void OnCancel();
  virtual void OnTimer(int timerId) { (void)timerId; }
  virtual void OnHelp() {}     // F1
  virtual void OnDestroy() {}  // the window goes away
  virtual void DoDataExchange(DataExchange& dx) { (void)dx; }

 private:
  friend class OwnerDrawn;
  friend class DataExchange;
  ControlState* Find(int id);
  const ControlState* Find(int id) const;
  MenuItem* FindMenuItem(int id);
  const MenuItem* FindMenuItem(int id) const;
  void Reset();
  void Changed(int id);
  void DialogChanged();
  void Post(int id, int code, intptr_t param);
  void Send(int id, int code, intptr_t param) { OnNotify(id, code, param); }
  void FlushPosted();
  void KeepFocusInView();
  class InputScope;

  DialogTemplate tmpl_;
  std::vector<ControlState> controls_;
  MenuTemplate menu_;
  std::vector<int> disabledMenuItems_;
  std::vector<int> checkedMenuItems_;
  std::vector<MenuItem> systemMenu_;
  std::string caption_;
  int icon_ = 0;
  std::optional<Point> position_;
  std::optional<Point> clientSize_;
  BaseUnits units_;
  int focus_ = 0;
  int focusHome_ = 0;
  std::vector<Timer> timers_;
  std::vector<DialogObserver*> observers_;
  struct Posted {
    int id, code;
    intptr_t param;
  };
  std::deque<Posted> posted_;
  int inputDepth_ = 0;
  PlatformServices* services_ = nullptr;
  bool running_ = false;
  bool ended_ = false;
  int result_ = 0;
};

}  // namespace ui
