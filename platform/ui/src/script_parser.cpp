// UI script parsing: words, decimal numbers and quoted texts, one command a
// line, '#' to the end of the line is a comment.
#include "script_parser.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <initializer_list>

#include "base/strings.h"
#include "ui/ids.h"

namespace ui::script {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int HexByte(char high, char low) {
  int h = HexDigit(high), l = HexDigit(low);
  return h < 0 || l < 0 ? -1 : h * 16 + l;
}

void AppendUtf8(std::string& out, uint32_t code) {
  std::u16string wide;
  if (code < 0x10000) {
    wide = char16_t(code);
  } else {
    wide += char16_t(0xD800 + ((code - 0x10000) >> 10));
    wide += char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
  }
  out += base::Utf16ToUtf8(wide);
}

struct Token {
  std::string text;
  bool quoted = false;
};

// Reads the escape whose backslash stands before line[i] into `text`;
// false with `error` set for an unknown or broken one.
bool ReadEscape(const std::string& line, size_t& i, std::string& text, std::string& error) {
  char e = line[i++];
  if (e == '"' || e == '\\')
    text += e;
  else if (e == 'n')
    text += '\n';
  else if (e == 't')
    text += '\t';
  else if (e == 'x') {
    // A character by its code, 00..FF: device codes and Latin-1 alike.
    int code = i + 2 <= line.size() ? HexByte(line[i], line[i + 1]) : -1;
    if (code < 0) {
      error = "\\x takes two hexadecimal digits";
      return false;
    }
    i += 2;
    AppendUtf8(text, uint32_t(code));
  } else {
    error = std::string("unknown escape \\") + e;
    return false;
  }
  return true;
}

// Reads a quoted text from line[i], just after its opening quote, up to and
// with its closing quote; false with `error` set when it is broken.
bool ReadQuoted(const std::string& line, size_t& i, std::string& text, std::string& error) {
  while (i < line.size()) {
    char d = line[i++];
    if (d == '"') return true;
    if (d != '\\') {
      text += d;
      continue;
    }
    if (i >= line.size()) break;
    if (!ReadEscape(line, i, text, error)) return false;
  }
  error = "text without closing quote";
  return false;
}

// Splits a line; false with `error` set for a broken quote or escape.
bool Tokenize(const std::string& line, std::vector<Token>& tokens, std::string& error) {
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      Token t{"", true};
      ++i;
      if (!ReadQuoted(line, i, t.text, error)) return false;
      tokens.push_back(std::move(t));
    } else {
      Token t;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '"' &&
             line[i] != '#')
        t.text += line[i++];
      tokens.push_back(std::move(t));
    }
  }
  return true;
}

class LineParser {
 public:
  LineParser(std::vector<Token> tokens, Command& cmd) : tokens_(std::move(tokens)), cmd_(cmd) {}

  bool Parse(std::string& error);

 private:
  bool More() const { return pos_ < tokens_.size(); }
  bool Number(int& out, const char* what, bool allowNegative = false);
  bool Flag(int& out);
  bool Text(std::string& out);
  bool Word(std::string& out, const char* what);
  // A word out of `names` (lower case): its index, or -1 with the error set.
  int Choice(const char* what, std::initializer_list<const char*> names);
  bool End();

  // The arguments of each form of command, after cmd_.op is set.
  bool NoArgs() { return true; }
  bool Id() { return Number(cmd_.id, "a control id"); }
  bool TemplateId() { return Number(cmd_.id, "a template id"); }
  bool Target();
  bool OneText();
  bool IdText();
  bool IdFlag() { return Id() && Flag(cmd_.value); }
  bool IdIndex() { return Id() && Number(cmd_.value, "an index", cmd_.op == Op::ExpectSelected); }
  bool IdTexts();
  bool IdRow();
  bool IdCode() { return Id() && Number(cmd_.value, "a character code"); }
  bool KeyArgs();
  bool KeyName();
  bool Modifiers();
  bool MouseArgs();
  bool AnswerArgs();
  bool Cancelled();
  bool FileArgs();
  bool FontArgs();
  bool PrinterArgs();

  std::vector<Token> tokens_;
  size_t pos_ = 1;
  Command& cmd_;
  std::string error_;
};

bool LineParser::Number(int& out, const char* what, bool allowNegative) {
  if (!More() || tokens_[pos_].quoted) {
    error_ = std::string("expected ") + what;
    return false;
  }
  const std::string& s = tokens_[pos_].text;
  size_t start = (allowNegative && !s.empty() && s[0] == '-') ? 1 : 0;
  bool digits = s.size() > start;
  for (size_t k = start; k < s.size(); ++k) digits = digits && s[k] >= '0' && s[k] <= '9';
  errno = 0;
  long long v = digits ? std::strtoll(s.c_str(), nullptr, 10) : 0;
  if (!digits || errno == ERANGE || v < INT_MIN || v > INT_MAX) {
    error_ = std::string("expected ") + what + ", found \"" + s + "\"";
    return false;
  }
  out = int(v);
  ++pos_;
  return true;
}

bool LineParser::Flag(int& out) {
  if (!Number(out, "0 or 1")) return false;
  if (out != 0 && out != 1) {
    error_ = "expected 0 or 1, found " + std::to_string(out);
    return false;
  }
  return true;
}

bool LineParser::Text(std::string& out) {
  if (!More() || !tokens_[pos_].quoted) {
    error_ = "expected a quoted text";
    return false;
  }
  out = tokens_[pos_++].text;
  return true;
}

bool LineParser::Word(std::string& out, const char* what) {
  if (!More() || tokens_[pos_].quoted) {
    error_ = std::string("expected ") + what;
    return false;
  }
  out = base::ToLowerAscii(tokens_[pos_++].text);
  return true;
}

bool LineParser::End() {
  if (!More()) return true;
  error_ = "unexpected \"" + tokens_[pos_].text + "\"";
  return false;
}

struct KeyEntry {
  const char* name;
  ui::Key key;
};
constexpr KeyEntry kKeys[] = {
    {"Home", Key::Home},     {"End", Key::End},       {"Left", Key::Left},     {"Right", Key::Right},
    {"Up", Key::Up},         {"Down", Key::Down},     {"Delete", Key::Delete}, {"Back", Key::Back},
    {"Return", Key::Return}, {"Escape", Key::Escape}, {"F1", Key::F1},
};

int LineParser::Choice(const char* what, std::initializer_list<const char*> names) {
  std::string word;
  if (!Word(word, what)) return -1;
  int index = 0;
  for (const char* name : names) {
    if (word == name) return index;
    ++index;
  }
  error_ = std::string("expected ") + what + ", found \"" + tokens_[pos_ - 1].text + "\"";
  return -1;
}

bool LineParser::Target() { return Number(cmd_.id, cmd_.op == Op::Menu ? "a menu item id" : "a control id"); }

bool LineParser::OneText() {
  cmd_.texts.resize(1);
  return Text(cmd_.texts[0]);
}

bool LineParser::IdText() {
  cmd_.texts.resize(1);
  return Id() && Text(cmd_.texts[0]);
}

bool LineParser::IdTexts() {
  bool ok = Id();
  while (ok && More()) ok = Text(cmd_.texts.emplace_back());
  return ok;
}

// A control id and, optionally, the row.
bool LineParser::IdRow() {
  if (!Id()) return false;
  if (More()) return cmd_.hasValue = Number(cmd_.value, "a row");
  return true;
}

bool LineParser::KeyArgs() { return Id() && KeyName() && Modifiers(); }

bool LineParser::KeyName() {
  std::string word;
  if (!Word(word, "a key name")) return false;
  bool found = false;
  for (const KeyEntry& k : kKeys) {
    if (base::EqualsNoCase(word, k.name)) {
      cmd_.key = k.key;
      found = true;
    }
  }
  if (!found) error_ = "unknown key \"" + tokens_[pos_ - 1].text + "\"";
  return found;
}

// shift and ctrl, each at most once, in any order.
bool LineParser::Modifiers() {
  std::string word;
  while (More()) {
    if (!Word(word, "shift or ctrl")) return false;
    bool& flag = word == "shift" ? cmd_.mods.shift : cmd_.mods.ctrl;
    if ((word != "shift" && word != "ctrl") || flag) {
      error_ = "unexpected \"" + tokens_[pos_ - 1].text + "\"";
      return false;
    }
    flag = true;
  }
  return true;
}

bool LineParser::MouseArgs() {
  static constexpr MouseAction kActions[] = {MouseAction::Down, MouseAction::Move, MouseAction::Up,
                                             MouseAction::DoubleClick};
  if (!Id()) return false;
  int action = Choice("down, move, up or dblclick", {"down", "move", "up", "dblclick"});
  if (action < 0) return false;
  cmd_.mouse = kActions[action];
  return Number(cmd_.x, "x", true) && Number(cmd_.y, "y", true);
}

// The button that answers a message box.
bool LineParser::AnswerArgs() {
  static constexpr int kAnswers[] = {IDYES, IDNO, IDCANCEL, IDOK};
  int answer = Choice("yes, no, cancel or ok", {"yes", "no", "cancel", "ok"});
  if (answer < 0) return false;
  cmd_.value = kAnswers[answer];
  return true;
}

// A platform dialog's answer may be "cancel" instead of a choice.
bool LineParser::Cancelled() {
  if (!More() || tokens_[pos_].quoted || !base::EqualsNoCase(tokens_[pos_].text, "cancel")) return false;
  ++pos_;
  cmd_.cancel = true;
  return true;
}

bool LineParser::FileArgs() { return Cancelled() || OneText(); }

// A face, a point size and, optionally, italic.
bool LineParser::FontArgs() {
  if (Cancelled()) return true;
  if (!OneText() || !Number(cmd_.value, "a point size")) return false;
  if (!More()) return true;
  cmd_.italic = Choice("italic", {"italic"}) == 0;
  return cmd_.italic;
}

// A resolution and the output file.
bool LineParser::PrinterArgs() {
  if (Cancelled()) return true;
  cmd_.texts.resize(1);
  if (!Number(cmd_.value, "a resolution in dpi") || !Text(cmd_.texts[0])) return false;
  if (cmd_.value > 0) return true;
  error_ = "expected a resolution in dpi, found " + std::to_string(cmd_.value);
  return false;
}

bool LineParser::Parse(std::string& error) {
  struct Form {
    const char* name;
    Op op;
    bool (LineParser::*args)();
  };
  static constexpr Form kForms[] = {
      {"expect-dialog", Op::ExpectDialog, &LineParser::TemplateId},
      {"expect-title", Op::ExpectTitle, &LineParser::OneText},
      {"expect-text", Op::ExpectText, &LineParser::IdText},
      {"select-text", Op::SelectText, &LineParser::IdText},
      {"text", Op::Text, &LineParser::IdText},
      {"expect-enabled", Op::ExpectEnabled, &LineParser::IdFlag},
      {"expect-visible", Op::ExpectVisible, &LineParser::IdFlag},
      {"expect-checked", Op::ExpectChecked, &LineParser::IdFlag},
      {"check", Op::Check, &LineParser::IdFlag},
      {"expect-selected", Op::ExpectSelected, &LineParser::IdIndex},
      {"select", Op::Select, &LineParser::IdIndex},
      {"expect-items", Op::ExpectItems, &LineParser::IdTexts},
      {"click", Op::Click, &LineParser::Target},
      {"menu", Op::Menu, &LineParser::Target},
      {"focus", Op::Focus, &LineParser::Target},
      {"dblclick", Op::DblClick, &LineParser::IdRow},
      {"key", Op::Key, &LineParser::KeyArgs},
      {"char", Op::Char, &LineParser::IdCode},
      {"mouse", Op::Mouse, &LineParser::MouseArgs},
      {"ok", Op::Ok, &LineParser::NoArgs},
      {"cancel", Op::Cancel, &LineParser::NoArgs},
      {"controls", Op::Controls, &LineParser::NoArgs},
      {"answer", Op::Answer, &LineParser::AnswerArgs},
      {"expect-box", Op::ExpectBox, &LineParser::OneText},
      {"screenshot", Op::Screenshot, &LineParser::OneText},
      {"file", Op::File, &LineParser::FileArgs},
      {"font", Op::Font, &LineParser::FontArgs},
      {"printer", Op::Printer, &LineParser::PrinterArgs},
  };
  for (const Form& form : kForms) {
    if (cmd_.name != form.name) continue;
    cmd_.op = form.op;
    if ((this->*form.args)() && End()) return true;
    error = cmd_.name + ": " + error_;
    return false;
  }
  error = "unknown command \"" + tokens_[0].text + "\"";
  return false;
}

}  // namespace

ParseResult Parse(std::istream& in) {
  ParseResult result;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::vector<Token> tokens;
    std::string error;
    if (Tokenize(line, tokens, error) && !tokens.empty()) {
      Command cmd;
      cmd.line = number;
      if (tokens[0].quoted) {
        error = "expected a command, found a text";
      } else {
        cmd.name = base::ToLowerAscii(tokens[0].text);
        if (LineParser(std::move(tokens), cmd).Parse(error)) {
          result.commands.push_back(std::move(cmd));
          continue;
        }
      }
    } else if (error.empty()) {
      continue;  // blank or comment
    }
    result.errors.push_back("script:" + std::to_string(number) + ": cannot parse: " + error);
  }
  return result;
}

std::string Quote(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  std::u16string wide = base::Utf8ToUtf16(text);
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    }
    if (c == '"' || c == '\\')
      (out += '\\') += char(c);
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (c < 32 || (c >= 127 && c <= 0xFF))
      (out += "\\x") += std::string{kHex[c >> 4], kHex[c & 15]};
    else
      AppendUtf8(out, c);
  }
  return out + "\"";
}

const char* KeyName(ui::Key key) {
  for (const KeyEntry& k : kKeys)
    if (k.key == key) return k.name;
  return "?";
}

}  // namespace ui::script
