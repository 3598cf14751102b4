#pragma once
// Dialog and menu templates: what a resource script describes, as data.
// Rectangles are in dialog units; texts are the keys that the dialog
// translates when it opens.
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

enum class ControlKind {
  PushButton,
  DefPushButton,
  CheckBox,      // the dialog sets the state itself
  AutoCheckBox,  // a click toggles the state
  RadioButton,   // a click checks it and clears the others of its group
  GroupBox,
  Static,
  Edit,
  ListBox,
  ComboBox,   // drop-down list: no typed text
  OwnerDraw,  // custom control painted by an OwnerDrawn object
  Icon,       // icon or picture
};

// Style flags of a control.
enum Style : uint32_t {
  kHidden = 1u << 0,
  kDisabled = 1u << 1,
  kTabStop = 1u << 2,
  kGroup = 1u << 3,               // starts a radio group / tab group
  kAlignRight = 1u << 4,          // statics
  kAlignCenter = 1u << 5,         // statics
  kNoPrefix = 1u << 6,            // statics: '&' is shown as is
  kMultiline = 1u << 7,           // edits
  kReadOnly = 1u << 8,            // edits
  kNumber = 1u << 9,              // edits: digits only
  kOwnerDrawVariable = 1u << 10,  // list boxes: items drawn by an OwnerDrawn, own heights
  kNotify = 1u << 11,             // list boxes: selection and double-click notifications
  kVScroll = 1u << 12,
  kUseTabStops = 1u << 13,  // list boxes
  kNoIntegralHeight = 1u << 14,
  kBorder = 1u << 15,
};

struct DluRect {
  int x = 0, y = 0, cx = 0, cy = 0;
};

struct ControlSpec {
  int id = 0;
  ControlKind kind = ControlKind::Static;
  std::string text;
  DluRect rect;
  uint32_t style = 0;
};

// A menu item; id 0 is a separator.
struct MenuItem {
  int id = 0;
  std::string text;
};

struct MenuPopup {
  std::string text;  // resource text, used to find the popup
  std::vector<MenuItem> items;
};

struct MenuTemplate {
  int id = 0;
  std::vector<MenuPopup> popups;
};

struct DialogTemplate {
  int id = 0;
  std::string caption;
  int cx = 0, cy = 0;  // client size in dialog units
  std::string fontFace = "MS Sans Serif";
  int fontSize = 8;  // points
  std::vector<ControlSpec> controls;
  MenuTemplate menu;  // no popups: no menu bar
};

// Dialog base units: the average character width and the height of the
// dialog font in pixels. A dialog unit is x/4 by y/8 pixels.
struct BaseUnits {
  int x = 6;
  int y = 13;
};

}  // namespace ui
