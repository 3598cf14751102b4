// xmlweave: prints what the reader reports for a file, copies a file
// through reader and writer, or generates a benchmark document.
#include <cstdio>

#include "cli.h"

namespace cli {

int Fail(const std::string& message) {
  std::fprintf(stderr, "xmlweave: %s\n", message.c_str());
  return 2;
}

}  // namespace cli

namespace {

const char kUsage[] =
    "usage: xmlweave dump FILE             print every handler call, one per line\n"
    "       xmlweave copy IN OUT           read IN and write the same calls to OUT\n"
    "       xmlweave gen --leaves N OUT    write a benchmark document with N typed leaves\n"
    "dump and copy exit with 0 when the parse succeeded, 1 when it failed, 2 on usage errors.\n";

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
