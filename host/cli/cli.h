#pragma once
// The dx47x-host command line: global options, commands and their results.
#include <optional>
#include <string>
#include <vector>

#include "base/hresult.h"
#include "host/project.h"
#include "host/project_address.h"

namespace cli {

// Exit codes.
constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

// Raised for a usage error; main prints it with the usage hint, exit 2.
struct UsageError {
  std::string message;
};

struct Context {
  std::string projectPath;        // --project, else $DX47X_HOME/project.db
  std::vector<std::string> args;  // the command's own arguments
};

// Prints "dx47x-host: <message>" on standard error and returns kFailure.
int Fail(const std::string& message);

// A device address argument (AREA.LINE.DEVICE); a UsageError names the command.
host::PhysicalAddress AddressArg(const std::string& command, const std::string& text);
// The value of the option at args[*i]; advances *i past it.
std::string OptionValue(const std::string& command, const std::vector<std::string>& args, size_t* i);

// The text of a failed call, with the callee's error description if it left one.
std::string CallError(HRESULT hr);
// The description of the error object the last call left, or "".
std::string ErrorDescription();
// Tells the plug-in about a new device (or a copy of `sourceId`), as a host
// does after adding one; `error` describes a failure.
HRESULT NotifyPlugin(const host::Project& project, int64_t id, std::optional<int64_t> sourceId,
                     std::string* error);

int CmdRegister(Context& ctx);
int CmdInfo(Context& ctx);
int CmdInit(Context& ctx);
int CmdAddDevice(Context& ctx);
int CmdDeleteDevice(Context& ctx);
int CmdList(Context& ctx);
int CmdShow(Context& ctx);
int CmdBlob(Context& ctx);
int CmdGroupAddress(Context& ctx);
int CmdLink(Context& ctx);
int CmdDownload(Context& ctx);
int CmdMemory(Context& ctx);
int CmdDemo(Context& ctx);
int CmdEdit(Context& ctx);
int CmdPrint(Context& ctx);  // cmd_lcd.cpp
int CmdDevice(Context& ctx);
int CmdObjects(Context& ctx);
int CmdGroupAddressImport(Context& ctx);

}  // namespace cli
