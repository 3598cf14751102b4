// group-address, link: group addresses and the associations of
// communication objects with them.
#include <charconv>
#include <cstdio>

#include "cli.h"
#include "host/project.h"
#include "printable.h"

namespace cli {
namespace {

uint16_t GroupAddressArg(const std::string& command, const std::string& text) {
  uint16_t ga = 0;
  if (!host::ParseGroupAddress(text, &ga))
    throw UsageError{command + ": '" + text +
                     "' is not a group address (MAIN/MIDDLE/SUB, main 0..31, middle 0..7, sub 0..255)"};
  return ga;
}

}  // namespace

int CmdGroupAddress(Context& ctx) {
  if (!ctx.args.empty() && ctx.args[0] == "import") return CmdGroupAddressImport(ctx);
  if (ctx.args.empty() || ctx.args[0] != "add")
    throw UsageError{
        "group-address: use 'group-address add MAIN/MIDDLE/SUB NAME' or "
        "'group-address import FILE.csv'"};
  if (ctx.args.size() != 3) throw UsageError{"group-address add: give the address and a name"};
  uint16_t ga = GroupAddressArg("group-address add", ctx.args[1]);
  host::Project project = host::Project::Open(ctx.projectPath);
  project.AddGroupAddress(ga, ctx.args[2]);
  std::printf("added group address %s (%s)\n", host::GroupAddressText(ga).c_str(),
              Printable(ctx.args[2]).c_str());
  return kSuccess;
}

int CmdLink(Context& ctx) {
  if (ctx.args.size() != 3) throw UsageError{"link: give ADDRESS OBJECT MAIN/MIDDLE/SUB"};
  host::PhysicalAddress address;
  if (!host::ParsePhysicalAddress(ctx.args[0], &address))
    throw UsageError{"link: '" + ctx.args[0] + "' is not a device address (AREA.LINE.DEVICE)"};
  const std::string& objectText = ctx.args[1];
  int32_t number = -1;
  auto [end, ec] = std::from_chars(objectText.data(), objectText.data() + objectText.size(), number);
  if (ec != std::errc() || end != objectText.data() + objectText.size() || number < 0)
    throw UsageError{"link: '" + objectText + "' is not a communication object number"};
  uint16_t ga = GroupAddressArg("link", ctx.args[2]);
  host::Project project = host::Project::Open(ctx.projectPath);
  project.Link(project.DeviceAt(address), number, ga);
  std::printf("linked object %d of device %s to %s\n", number, address.ToString().c_str(),
              host::GroupAddressText(ga).c_str());
  return kSuccess;
}

}  // namespace cli
