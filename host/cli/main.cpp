// dx47x-host: the replacement host of the DX 47x plug-in.
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include "cli.h"
#include "host/services.h"
#include "printable.h"
#include "win/home.h"

namespace cli {
int CmdExportLcd(Context& ctx);  // cmd_lcd.cpp
int CmdImportLcd(Context& ctx);
}  // namespace cli

namespace {

const char kUsageText[] =
    "usage: dx47x-host [--project FILE] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  register [--unregister]   register the plug-in and server modules beside this program\n"
    "  info                      list the plug-in's registered classes and what they answer\n"
    "  init [--name NAME]        create the project file (an existing file is never replaced)\n"
    "  add-device ADDRESS [--name NAME] [--copy-of ADDRESS]   add (or copy) a DX 47x device with its\n"
    "                            configuration, or set up again a device there that has none\n"
    "  delete-device ADDRESS [--keep-data]   remove a device (optionally keeping its extension data)\n"
    "  list                      list the devices with their BLOB state\n"
    "  show ADDRESS              show a device: data, parameters, objects, BLOB and used messages\n"
    "  device ADDRESS [--name|--product|--manufacturer|--order-number|--description|--program TEXT]...\n"
    "                            show or change a device's descriptive data\n"
    "  objects ADDRESS [--hide N | --show N]...   list (or hide, show) a device's communication objects\n"
    "  blob ADDRESS --export FILE | --import FILE [--force] | --restore-previous\n"
    "                            back up a device's BLOB, store a file as its BLOB (one the plug-in\n"
    "                            would refuse only with --force; the replaced BLOB is kept), or bring\n"
    "                            back the BLOB the last import replaced\n"
    "  group-address add MAIN/MIDDLE/SUB NAME   add a group address\n"
    "  group-address import FILE.csv   add or rename group addresses from a CSV file (all or nothing)\n"
    "  link ADDRESS OBJECT MAIN/MIDDLE/SUB   associate a communication object with a group address\n"
    "  download ADDRESS [--full | --mode N] [--bus knxd:PATH|knxd:tcp:HOST:PORT|ip:HOST[:PORT]\n"
    "           [--verify] [--key HEX]] [--quiet]\n"
    "                            download a device into its simulated device, or over the bus\n"
    "  memory ADDRESS [--from ADDR] [--length N] [--out FILE]   dump the simulated device memory\n"
    "  edit ADDRESS [--script FILE]   open the editor on a device (or run a UI script): exit 3 cancelled, 4 "
    "script failed\n"
    "  export-lcd ADDRESS FILE   write a device's texts, general parameters and fonts to a parameter file\n"
    "  import-lcd ADDRESS FILE   replace a device's configuration with a parameter file's and save it\n"
    "  print ADDRESS --pdf FILE [--dpi N]   print a device's documentation to a PDF file (300 dpi by "
    "default)\n"
    "  demo                      add, configure and download a device in $DX47X_HOME/demo/demo.db\n"
    "\n"
    "The project defaults to $DX47X_HOME/project.db; the registry lives in $DX47X_HOME/registry.\n"
    "Exit codes: 0 success, 1 failure, 2 usage error.\n";

struct Command {
  int (*run)(cli::Context&);
};

const std::map<std::string, Command> kCommands = {
    {"register", {&cli::CmdRegister}},
    {"info", {&cli::CmdInfo}},
    {"init", {&cli::CmdInit}},
    {"add-device", {&cli::CmdAddDevice}},
    {"delete-device", {&cli::CmdDeleteDevice}},
    {"list", {&cli::CmdList}},
    {"show", {&cli::CmdShow}},
    {"blob", {&cli::CmdBlob}},
    {"group-address", {&cli::CmdGroupAddress}},
    {"link", {&cli::CmdLink}},
    {"download", {&cli::CmdDownload}},
    {"memory", {&cli::CmdMemory}},
    {"demo", {&cli::CmdDemo}},
    {"edit", {&cli::CmdEdit}},
    {"export-lcd", {&cli::CmdExportLcd}},
    {"import-lcd", {&cli::CmdImportLcd}},
    {"print", {&cli::CmdPrint}},
    {"device", {&cli::CmdDevice}},
    {"objects", {&cli::CmdObjects}},
};

}  // namespace

namespace cli {
int Fail(const std::string& message) {
  // Messages carry names and texts from the project and from files.
  std::fprintf(stderr, "dx47x-host: %s\n", Printable(message).c_str());
  return kFailure;
}
}  // namespace cli

int main(int argc, char** argv) {
  cli::Context ctx;
  std::string command;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsageText, stdout);
      return cli::kSuccess;
    }
    if (a == "--project") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "dx47x-host: --project needs a file\n%s", kUsageText);
        return cli::kUsage;
      }
      ctx.projectPath = argv[++i];
      continue;
    }
    if (a.rfind("--", 0) == 0) {
      std::fprintf(stderr, "dx47x-host: unknown option %s\n%s", cli::Printable(a).c_str(), kUsageText);
      return cli::kUsage;
    }
    command = a;
    ++i;
    break;
  }
  for (; i < argc; ++i) ctx.args.emplace_back(argv[i]);
  if (command.empty()) {
    std::fputs(kUsageText, stderr);
    return cli::kUsage;
  }
  auto it = kCommands.find(command);
  if (it == kCommands.end()) {
    std::fprintf(stderr, "dx47x-host: unknown command '%s'\n%s", cli::Printable(command).c_str(), kUsageText);
    return cli::kUsage;
  }
  if (ctx.projectPath.empty()) ctx.projectPath = win::HomeDirectory() + "/project.db";

  host::HostServices services;
  try {
    return it->second.run(ctx);
  } catch (const cli::UsageError& e) {
    std::fprintf(stderr, "dx47x-host: %s\n%s", cli::Printable(e.message).c_str(), kUsageText);
    return cli::kUsage;
  } catch (const std::exception& e) {
    return cli::Fail(e.what());
  }
}
