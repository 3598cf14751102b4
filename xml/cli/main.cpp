// xmlweave: prints what the reader reports for a file, copies a file
// through reader and writer, or generates a benchmark document.
#include <cstdio>

#include "base/strings.h"
#include "cli.h"
#include "xmlweave.h"

namespace cli {

int Fail(const std::string& message) {
  std::fprintf(stderr, "xmlweave: %s\n", message.c_str());
  return 2;
}

std::string ResultText(HRESULT hr) {
  std::string text;
  switch (uint32_t(hr)) {
    case uint32_t(XML_E_SYNTAX):
      text = "syntax error, premature end, mismatched end tag or failed handler call";
      break;
    case uint32_t(XML_E_VERSIONEND): text = "<schemaversion> without </schemaversion>"; break;
    case uint32_t(XML_E_UNTYPEDVALUE): text = "text in an element without a type"; break;
    case uint32_t(XML_E_UNKNOWNTYPE):
      text = "the type attribute names none of b, i4, r4, s, 64Bin, la";
      break;
    default:
      text = base::MessageText(hr);
      if (text.empty()) text = "error";
      break;
  }
  return text + base::Format(" (0x%08X)", uint32_t(hr));
}

void PrintReaderError(const std::string& file, HRESULT hr, uint32_t line) {
  std::fprintf(stderr, "xmlweave: %s:%u: %s\n", file.c_str(), line, ResultText(hr).c_str());
}

}  // namespace cli

namespace {

const char kUsage[] =
    "usage: xmlweave dump FILE             print every handler call, one per line\n"
    "       xmlweave copy IN OUT           read IN and write the same calls to OUT\n"
    "       xmlweave gen --leaves N OUT    write a benchmark document with N typed leaves\n"
    "dump and copy exit with 0 when the document was read without errors, 1 when the reader\n"
    "reported errors or a file could not be read or written (copy then leaves OUT as it was),\n"
    "2 on usage errors. N is 0 to 10000000.\n";

}  // namespace

int main(int argc, char** argv) {
  cli::Args args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  try {
    if (command == "dump") return cli::Dump(args);
    if (command == "copy") return cli::Copy(args);
    if (command == "gen") return cli::Gen(args);
  } catch (const std::exception& e) {
    return cli::Fail(e.what());
  }
  std::fputs(kUsage, stderr);
  return cli::Fail("unknown command " + command);
}
