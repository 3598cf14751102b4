// Fuzz target of the UI script parser: any bytes as a script, one command a
// line. Every text the parser hands out, quoted as scripts quote texts
// (script::Quote), must parse back to the same text when it is UTF-8.
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "script_parser.h"

namespace {

namespace script = ui::script;

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "ui script: %s\n%s\n", what, detail.c_str());
  std::abort();
}

// Well-formed UTF-8 without surrogates, the texts Quote keeps as they are.
bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80                 ? 1
               : c >= 0xC2 && c <= 0xDF ? 2
               : c >= 0xE0 && c <= 0xEF ? 3
               : c >= 0xF0 && c <= 0xF4 ? 4
                                        : 0;
    if (n == 0 || s.size() - i < n) return false;
    uint32_t code = n == 1 ? c : c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
      const unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      code = code << 6 | (d & 0x3F);
    }
    static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

void QuoteAndParseBack(const std::string& text) {
  const std::string quoted = script::Quote(text);
  if (!IsUtf8(text)) return;
  std::istringstream in("expect-title " + quoted + "\n");
  script::ParseResult back = script::Parse(in);
  if (!back.errors.empty()) Fail("a quoted text does not parse", quoted + "\n" + back.errors[0]);
  if (back.commands.size() != 1 || back.commands[0].texts.size() != 1 || back.commands[0].texts[0] != text)
    Fail("a quoted text parses as another text", quoted);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  script::ParseResult parsed = script::Parse(in);
  for (const script::Command& command : parsed.commands) {
    if (command.line < 1) Fail("a command without its line", command.name);
    if (command.op == script::Op::Key) script::KeyName(command.key);
    for (const std::string& text : command.texts) QuoteAndParseBack(text);
  }
  for (const std::string& error : parsed.errors)
    if (error.rfind("script:", 0) != 0) Fail("an error without its line", error);
  return 0;
}
