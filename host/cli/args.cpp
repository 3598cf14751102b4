// Argument helpers shared by the commands.
#include "cli.h"

namespace cli {

host::PhysicalAddress AddressArg(const std::string& command, const std::string& text) {
  host::PhysicalAddress a;
  if (!host::ParsePhysicalAddress(text, &a))
    throw UsageError{command + ": '" + text + "' is not a device address (AREA.LINE.DEVICE, e.g. 1.1.5)"};
  return a;
}

std::string OptionValue(const std::string& command, const std::vector<std::string>& args, size_t* i) {
  if (*i + 1 >= args.size()) throw UsageError{command + ": " + args[*i] + " needs a value"};
  return args[++*i];
}

}  // namespace cli
