#pragma once
// Parsing of UI scripts: one command per line into Command records.
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "ui/ownerdraw.h"

namespace ui::script {

enum class Op {
  ExpectDialog,
  ExpectTitle,
  ExpectText,
  ExpectEnabled,
  ExpectVisible,
  ExpectChecked,
  ExpectSelected,
  ExpectItems,
  Click,
  Menu,
  Check,
  Select,
  SelectText,
  DblClick,
  Text,
  Focus,
  Key,
  Char,
  Mouse,
  Ok,
  Cancel,
  Controls,
  Answer,
  ExpectBox,
  File,
  Font,
  Printer,
  Screenshot,
};

struct Command {
  int line = 0;
  Op op = Op::Ok;
  std::string name;                // the command word, for messages
  int id = 0;                      // control, template or menu id
  int value = 0;                   // 0|1, index, row, code, answer, size, dpi
  bool hasValue = false;           // dblclick with a row
  std::vector<std::string> texts;  // quoted arguments
  bool cancel = false;             // file/font/printer cancel
  bool italic = false;
  ui::Key key = ui::Key::Other;
  KeyMods mods;
  MouseAction mouse = MouseAction::Down;
  int x = 0, y = 0;
};

struct ParseResult {
  std::vector<Command> commands;
  std::vector<std::string> errors;  // "script:LINE: ..." for each bad line
};

ParseResult Parse(std::istream& in);

// A text as the script would quote it: "..." with \" \\ \n \t escapes and
// \xNN for the other codes below 32 and for 127..255.
std::string Quote(const std::string& text);
const char* KeyName(ui::Key key);

}  // namespace ui::script
