#pragma once
// Owner-drawn controls: objects that paint a control into a bitmap and take
// its mouse, key, focus and timer events. A dialog attaches them to controls
// of kind OwnerDraw (custom controls) or to owner-drawn list boxes (items).
#include <cstdint>
#include <string>

#include "gfx/bitmap.h"

namespace ui {

class Dialog;

enum class Key { Other, Home, End, Left, Right, Up, Down, Delete, Back, Return, Escape, Tab, F1 };

struct KeyMods {
  bool shift = false;
  bool ctrl = false;
};

enum class MouseAction { Down, Move, Up, DoubleClick };

// Mouse pointer shapes over a control.
enum class CursorShape { Arrow, SizeWE };

class OwnerDrawn {
 public:
  OwnerDrawn() = default;
  OwnerDrawn(const OwnerDrawn&) = delete;
  OwnerDrawn& operator=(const OwnerDrawn&) = delete;
  virtual ~OwnerDrawn();

  // Custom controls: paint the whole control; `target` has the control's
  // pixel size.
  virtual void Paint(gfx::Bitmap& target) { (void)target; }
  // Owner-drawn list boxes: paint one item; `target` has the item's size.
  virtual void DrawItem(int index, bool selected, gfx::Bitmap& target) {
    (void)index, (void)selected, (void)target;
  }
  // Height in pixels of a list item; 0 keeps the list's own height.
  virtual int MeasureItem(int index) {
    (void)index;
    return 0;
  }

  // Input, at client pixels of the control. For list boxes the list has
  // already done its own handling (selection) when these arrive.
  virtual void OnMouse(MouseAction action, int x, int y, KeyMods mods) {
    (void)action, (void)x, (void)y, (void)mods;
  }
  virtual void OnKey(Key key, KeyMods mods) { (void)key, (void)mods; }
  virtual void OnChar(uint32_t code) { (void)code; }
  virtual void OnFocus(bool gained) { (void)gained; }
  virtual void OnTimer(int timerId) { (void)timerId; }
  // True when the control handles Return itself instead of the dialog's
  // default button.
  virtual bool WantsReturn() const { return false; }
  // The text a script compares with expect-text; false uses the control's
  // own text.
  virtual bool QueryText(std::string& text) const {
    (void)text;
    return false;
  }
  // Owner-drawn lists: the text a script compares for item `index`; false
  // uses the item's own text.
  virtual bool QueryItemText(int index, std::string& text) const {
    (void)index, (void)text;
    return false;
  }

  // Set by Dialog::Attach.
  int ControlId() const { return id_; }
  Dialog* Owner() const { return dialog_; }

 protected:
  // Requests a repaint of the control.
  void Invalidate();
  // Starts (or restarts) a timer of this control; OnTimer receives its id.
  void SetTimer(int timerId, int milliseconds);
  void KillTimer(int timerId);
  bool HasFocus() const;
  bool IsEnabled() const;
  // Sends a notification to the dialog's OnNotify now, or posts it to run
  // after the current input event has been handled.
  void SendNotify(int code, intptr_t param);
  void PostNotify(int code, intptr_t param);
  // The pointer shape over the control.
  void SetCursor(CursorShape shape);
  // Pixel size of the control.
  int Width() const;
  int Height() const;

 private:
  friend class Dialog;
  Dialog* dialog_ = nullptr;
  int id_ = 0;
};

}  // namespace ui
