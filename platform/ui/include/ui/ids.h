#pragma once
// Numbers shared by dialogs and runners: dialog results, notification codes
// and the choices of a message box.
#include <cstdint>

namespace ui {

// Dialog and message box results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Notification codes passed to Dialog::OnCommand with the control id.
constexpr int BN_CLICKED = 0;     // button, check box, radio button; menu items too
constexpr int LBN_SELCHANGE = 1;  // list box selection changed by the user
constexpr int LBN_DBLCLK = 2;     // list box item double-clicked
constexpr int CBN_SELCHANGE = 1;  // combo box selection changed by the user
constexpr int EN_SETFOCUS = 0x100;
constexpr int EN_KILLFOCUS = 0x200;
constexpr int EN_CHANGE = 0x300;  // edit text changed by the user

// Check box states.
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Stop, Warning, Question, Information };

}  // namespace ui
