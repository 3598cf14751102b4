// UI script parsing: words, decimal numbers and quoted texts, one command a
// line, '#' to the end of the line is a comment.
#include "script_parser.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/strings.h"

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
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d != '\\') {
          t.text += d;
          continue;
        }
        if (i >= line.size()) break;
        char e = line[i++];
        if (e == '"' || e == '\\') t.text += e;
        else if (e == 'n') t.text += '\n';
        else if (e == 't') t.text += '\t';
        else if (e == 'x') {
          // A character by its code, 00..FF: device codes and Latin-1 alike.
          int code = i + 2 <= line.size() ? HexByte(line[i], line[i + 1]) : -1;
          if (code < 0) {
            error = "\\x takes two hexadecimal digits";
            return false;
          }
          i += 2;
          AppendUtf8(t.text, uint32_t(code));
        } else {
          error = std::string("unknown escape \\") + e;
          return false;
        }
      }
      if (!closed) {
        error = "text without closing quote";
        return false;
      }
      tokens.push_back(std::move(t));
    } else {
      Token t;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
             line[i] != '"' && line[i] != '#')
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
  bool End();

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
    {"Home", Key::Home},     {"End", Key::End},       {"Left", Key::Left},
    {"Right", Key::Right},   {"Up", Key::Up},         {"Down", Key::Down},
    {"Delete", Key::Delete}, {"Back", Key::Back},     {"Return", Key::Return},
    {"Escape", Key::Escape}, {"F1", Key::F1},
};

bool LineParser::Parse(std::string& error) {
  const std::string& name = cmd_.name;
  bool ok = true;
  std::string word;
  auto id = [&] { return Number(cmd_.id, "a control id"); };
  if (name == "expect-dialog") {
    ok = Number(cmd_.id, "a template id");
    cmd_.op = Op::ExpectDialog;
  } else if (name == "expect-title") {
    cmd_.texts.resize(1);
    ok = Text(cmd_.texts[0]);
    cmd_.op = Op::ExpectTitle;
  } else if (name == "expect-text" || name == "select-text" || name == "text") {
    cmd_.texts.resize(1);
    ok = id() && Text(cmd_.texts[0]);
    cmd_.op = name == "text" ? Op::Text : name == "select-text" ? Op::SelectText : Op::ExpectText;
  } else if (name == "expect-enabled" || name == "expect-visible" || name == "expect-checked" ||
             name == "check") {
    ok = id() && Flag(cmd_.value);
    cmd_.op = name == "check"            ? Op::Check
              : name == "expect-enabled" ? Op::ExpectEnabled
              : name == "expect-visible" ? Op::ExpectVisible
                                         : Op::ExpectChecked;
  } else if (name == "expect-selected" || name == "select") {
    ok = id() && Number(cmd_.value, "an index", name == "expect-selected");
    cmd_.op = name == "select" ? Op::Select : Op::ExpectSelected;
  } else if (name == "expect-items") {
    ok = id();
    while (ok && More()) ok = Text(cmd_.texts.emplace_back());
    cmd_.op = Op::ExpectItems;
  } else if (name == "click" || name == "menu" || name == "focus") {
    ok = Number(cmd_.id, name == "menu" ? "a menu item id" : "a control id");
    cmd_.op = name == "click" ? Op::Click : name == "menu" ? Op::Menu : Op::Focus;
  } else if (name == "dblclick") {
    ok = id();
    if (ok && More()) ok = cmd_.hasValue = Number(cmd_.value, "a row");
    cmd_.op = Op::DblClick;
  } else if (name == "key") {
    cmd_.op = Op::Key;
    ok = id() && Word(word, "a key name");
    if (ok) {
      ok = false;
      for (const KeyEntry& k : kKeys) {
        if (base::EqualsNoCase(word, k.name)) {
          cmd_.key = k.key;
          ok = true;
        }
      }
      if (!ok) error_ = "unknown key \"" + tokens_[pos_ - 1].text + "\"";
    }
    while (ok && More()) {
      ok = Word(word, "shift or ctrl");
      bool& flag = word == "shift" ? cmd_.mods.shift : cmd_.mods.ctrl;
      if (ok && ((word != "shift" && word != "ctrl") || flag)) {
        error_ = "unexpected \"" + tokens_[pos_ - 1].text + "\"";
        ok = false;
      }
      if (ok) flag = true;
    }
  } else if (name == "char") {
    ok = id() && Number(cmd_.value, "a character code");
    cmd_.op = Op::Char;
  } else if (name == "mouse") {
    cmd_.op = Op::Mouse;
    ok = id() && Word(word, "down, move, up or dblclick");
    if (ok) {
      if (word == "down") cmd_.mouse = MouseAction::Down;
      else if (word == "move") cmd_.mouse = MouseAction::Move;
      else if (word == "up") cmd_.mouse = MouseAction::Up;
      else if (word == "dblclick") cmd_.mouse = MouseAction::DoubleClick;
      else {
        error_ = "expected down, move, up or dblclick, found \"" + tokens_[pos_ - 1].text + "\"";
        ok = false;
      }
    }
    ok = ok && Number(cmd_.x, "x", true) && Number(cmd_.y, "y", true);
  } else if (name == "ok" || name == "cancel" || name == "controls") {
    cmd_.op = name == "ok" ? Op::Ok : name == "cancel" ? Op::Cancel : Op::Controls;
  } else if (name == "answer") {
    cmd_.op = Op::Answer;
    ok = Word(word, "yes, no, cancel or ok");
    if (ok) {
      if (word == "yes") cmd_.value = 6;
      else if (word == "no") cmd_.value = 7;
      else if (word == "cancel") cmd_.value = 2;
      else if (word == "ok") cmd_.value = 1;
      else {
        error_ = "expected yes, no, cancel or ok, found \"" + tokens_[pos_ - 1].text + "\"";
        ok = false;
      }
    }
  } else if (name == "expect-box" || name == "screenshot") {
    cmd_.texts.resize(1);
    ok = Text(cmd_.texts[0]);
    cmd_.op = name == "screenshot" ? Op::Screenshot : Op::ExpectBox;
  } else if (name == "file" || name == "font" || name == "printer") {
    cmd_.op = name == "file" ? Op::File : name == "font" ? Op::Font : Op::Printer;
    if (More() && !tokens_[pos_].quoted && base::EqualsNoCase(tokens_[pos_].text, "cancel")) {
      ++pos_;
      cmd_.cancel = true;
    } else if (cmd_.op == Op::File) {
      cmd_.texts.resize(1);
      ok = Text(cmd_.texts[0]);
    } else if (cmd_.op == Op::Font) {
      cmd_.texts.resize(1);
      ok = Text(cmd_.texts[0]) && Number(cmd_.value, "a point size");
      if (ok && More()) {
        ok = Word(word, "italic");
        if (ok && word != "italic") {
          error_ = "expected italic, found \"" + tokens_[pos_ - 1].text + "\"";
          ok = false;
        }
        cmd_.italic = ok;
      }
    } else {
      cmd_.texts.resize(1);
      ok = Number(cmd_.value, "a resolution in dpi") && Text(cmd_.texts[0]);
      if (ok && cmd_.value <= 0) {
        error_ = "expected a resolution in dpi, found " + std::to_string(cmd_.value);
        ok = false;
      }
    }
  } else {
    error = "unknown command \"" + tokens_[0].text + "\"";
    return false;
  }
  if (ok) ok = End();
  if (!ok) error = name + ": " + error_;
  return ok;
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
    if (c == '"' || c == '\\') (out += '\\') += char(c);
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c < 32 || (c >= 127 && c <= 0xFF)) (out += "\\x") += std::string{kHex[c >> 4], kHex[c & 15]};
    else AppendUtf8(out, c);
  }
  return out + "\"";
}

const char* KeyName(ui::Key key) {
  for (const KeyEntry& k : kKeys)
    if (k.key == key) return k.name;
  return "?";
}

}  // namespace ui::script
