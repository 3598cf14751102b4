#pragma once
// The dx47x-host command line: global options, commands and their results.
#include <string>
#include <vector>

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
  std::string projectPath;         // --project, else $DX47X_HOME/project.db
  std::vector<std::string> args;   // the command's own arguments
};

// Prints "dx47x-host: <message>" on standard error and returns kFailure.
int Fail(const std::string& message);

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

}  // namespace cli
