// device, objects: a device's descriptive data and its communication
// objects with their visibility and group addresses.
#include <charconv>
#include <cstdio>
#include <optional>

#include "cli.h"
#include "host/project.h"
#include "printable.h"

namespace cli {
namespace {

// The option's field of a device data change, or null for another option.
std::optional<std::string>* DeviceField(host::DeviceDataChange& c, const std::string& option) {
  if (option == "--name") return &c.name;
  if (option == "--product") return &c.productName;
  if (option == "--manufacturer") return &c.manufacturerName;
  if (option == "--order-number") return &c.orderNumber;
  if (option == "--description") return &c.description;
  if (option == "--program") return &c.programName;
  return nullptr;
}

void PrintDeviceData(const host::PhysicalAddress& address, const host::DeviceData& d) {
  std::printf("Device %s\n", address.ToString().c_str());
  std::printf("  Name:                %s\n", Printable(d.name).c_str());
  std::printf("  Product:             %s\n", Printable(d.productName).c_str());
  std::printf("  Manufacturer:        %s\n", Printable(d.manufacturerName).c_str());
  std::printf("  Order number:        %s\n", Printable(d.orderNumber).c_str());
  std::printf("  Description:         %s\n", Printable(d.description).c_str());
  std::printf("  Application program: %s\n", Printable(d.programName).c_str());
}

int32_t ObjectNumberArg(const std::string& text) {
  int32_t n = -1;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 0)
    throw UsageError{"objects: '" + text + "' is not a communication object number"};
  return n;
}

void PrintObjects(const host::Project& project, int64_t id, const host::PhysicalAddress& address) {
  std::vector<host::CommObjectInfo> objects = project.CommObjects(id, false);
  std::printf("device %s: %zu communication objects\n", address.ToString().c_str(), objects.size());
  std::printf("%6s  %-22s  %-14s  %-6s  %s\n", "NUMBER", "NAME", "FUNCTION", "HIDDEN", "GROUP ADDRESSES");
  for (const host::CommObjectInfo& o : objects) {
    std::string links;
    for (uint16_t ga : project.Associations(o.id))
      links += (links.empty() ? "" : " ") + host::GroupAddressText(ga);
    std::printf("%6d  %-22s  %-14s  %-6s  %s\n", o.number, Printable(o.name).c_str(),
                Printable(o.function).c_str(), o.visible ? "no" : "yes", links.c_str());
  }
}

}  // namespace

int CmdDevice(Context& ctx) {
  std::optional<std::string> address;
  host::DeviceDataChange change;
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    if (std::optional<std::string>* field = DeviceField(change, a))
      *field = OptionValue("device", ctx.args, &i);
    else if (a.rfind("--", 0) == 0 || address)
      throw UsageError{"device: unexpected argument " + a};
    else
      address = a;
  }
  if (!address) throw UsageError{"device: the device address is missing"};
  host::PhysicalAddress target = AddressArg("device", *address);
  host::Project project = host::Project::Open(ctx.projectPath);
  int64_t id = project.DeviceAt(target);
  project.SetDeviceData(id, change);
  PrintDeviceData(target, project.DataOf(id));
  return kSuccess;
}

int CmdObjects(Context& ctx) {
  std::optional<std::string> address;
  std::vector<std::pair<int32_t, bool>> changes;
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    if (a == "--hide" || a == "--show")
      changes.emplace_back(ObjectNumberArg(OptionValue("objects", ctx.args, &i)), a == "--show");
    else if (a.rfind("--", 0) == 0 || address)
      throw UsageError{"objects: unexpected argument " + a};
    else
      address = a;
  }
  if (!address) throw UsageError{"objects: the device address is missing"};
  host::PhysicalAddress target = AddressArg("objects", *address);
  host::Project project = host::Project::Open(ctx.projectPath);
  int64_t id = project.DeviceAt(target);
  if (!changes.empty()) project.SetCommObjectsVisible(id, changes);
  PrintObjects(project, id, target);
  return kSuccess;
}

}  // namespace cli
