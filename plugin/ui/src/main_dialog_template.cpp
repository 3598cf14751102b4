// Dialog template 201 and menu 204 of the main dialog. Texts ending in "?"
// are replaced by their translations when the dialog opens.
#include <string>

#include "editor/main_dialog.h"

namespace editor {

ui::DialogTemplate MainDialogTemplate() {
  using ui::ControlKind;
  constexpr uint32_t kButton = ui::kTabStop;
  ui::DialogTemplate t;
  t.id = id::kMainTemplate;
  t.caption = "DX470???";
  t.cx = 391;
  t.cy = 246;
  t.controls = {
      {ui::IDOK, ControlKind::DefPushButton, "OK???", {53, 216, 60, 16}, kButton | ui::kGroup},
      {ui::IDCANCEL, ControlKind::PushButton, "Cancel?????", {133, 216, 60, 16}, kButton},
      {id::kHelp, ControlKind::PushButton, "Help???", {213, 216, 60, 16}, kButton},
      {id::kGeneralGroupAddr,
       ControlKind::PushButton,
       "Gener&al Group addr.???",
       {305, 216, 70, 16},
       kButton},
      {id::kList,
       ControlKind::ListBox,
       "",
       {34, 39, 264, 131},
       ui::kTabStop | ui::kOwnerDrawVariable | ui::kNotify | ui::kNoIntegralHeight | ui::kBorder |
           ui::kVScroll},
      {id::kNew, ControlKind::PushButton, "&New???", {325, 39, 50, 14}, kButton},
      {id::kEdit, ControlKind::PushButton, "&Edit???", {325, 58, 50, 14}, kButton},
      {id::kDelete, ControlKind::PushButton, "De&lete???", {325, 77, 50, 14}, kButton},
      {id::kMoveUp, ControlKind::PushButton, "Move &up???", {325, 107, 50, 14}, kButton},
      {id::kMoveDown, ControlKind::PushButton, "Move &down???", {325, 126, 50, 14}, kButton},
      {id::kGroupAddr, ControlKind::PushButton, "&Group addr.???", {325, 156, 50, 14}, kButton},
      {id::kMessageHeader, ControlKind::Static, "Message???", {3, 27, 46, 8}, ui::kAlignRight},
      {id::kTextHeader, ControlKind::Static, "Message text???", {37, 27, 61, 8}, 0},
      {id::kReceiveHeader, ControlKind::Static, "Receive type???", {114, 27, 65, 8}, 0},
      {id::kSendHeader, ControlKind::Static, "Send type???", {204, 27, 65, 8}, 0},
      {id::kUsedHeader, ControlKind::Static, "Used???", {286, 27, 40, 8}, ui::kAlignCenter},
  };
  for (int row = 0; row < 16; ++row)
    t.controls.push_back({id::kRowNumbers[size_t(row)],
                          ControlKind::Static,
                          std::to_string(row + 1),
                          {9, 40 + 8 * row, 21, 8},
                          ui::kAlignRight});
  for (int row = 0; row < 16; ++row)
    t.controls.push_back(
        {id::kFirstCheckBox + row, ControlKind::CheckBox, "", {302, 40 + 8 * row, 8, 8}, ui::kTabStop});
  t.menu.id = id::kMainMenu;
  t.menu.popups = {
      {"&File???", {{id::kMenuImport, "&Import texts???"}, {id::kMenuExport, "&Export texts???"}}},
      {"&Message???",
       {{id::kMenuNew, "&New???"}, {id::kMenuEdit, "&Edit???"}, {id::kMenuDelete, "&Delete???"}}},
      {"E&xtras???",
       {{id::kMenuGeneral, "&General parameters???"}, {id::kMenuPrint, "&Print documentation???"}}},
      {"&Fonts???", {{id::kMenuFont1, "&1. font???"}, {id::kMenuFont2, "&2. font???"}}},
      {"&Help???", {{id::kMenuHelp, "Help???"}, {id::kMenuAbout, "&About???"}}},
  };
  return t;
}

}  // namespace editor
