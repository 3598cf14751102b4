// list, show: the devices of a project and the details of one.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/strings.h"
#include "cli.h"
#include "data/charset.h"
#include "host/project.h"
#include "host/project_blob.h"
#include "printable.h"

namespace cli {
namespace {

// A parameter value as text: numbers and strings as such, arrays by type.
std::string ValueText(const host::StoredValue& stored) {
  com::Variant v;
  VARIANT raw;
  if (FAILED(host::DecodeValue(stored.vt, stored.bounds.data(), stored.bounds.size(), stored.data.data(),
                               stored.data.size(), &raw)))
    return "(damaged)";
  v.Attach(&raw);
  if (v.vt == VT_NULL) return "null";
  if (v.vt == VT_EMPTY) return "empty";
  if (v.vt & VT_ARRAY) return base::Format("(array of type 0x%04X)", v.vt);
  if (FAILED(v.ChangeType(VT_BSTR))) return base::Format("(value of type 0x%04X)", v.vt);
  return com::Bstr(v.bstrVal).ToUtf8();
}

}  // namespace

int CmdList(Context& ctx) {
  if (!ctx.args.empty()) throw UsageError{"list: unexpected argument " + ctx.args[0]};
  host::Project project = host::Project::OpenReadOnly(ctx.projectPath);
  std::vector<host::DeviceSummary> devices = project.Devices();
  std::printf("project '%s': %zu device%s\n", Printable(project.Name()).c_str(), devices.size(),
              devices.size() == 1 ? "" : "s");
  if (devices.empty()) return kSuccess;
  std::printf("%-10s  %-30s  %-6s  %s\n", "ADDRESS", "NAME", "LOADED", "BLOB");
  std::vector<std::string> problems;
  for (const host::DeviceSummary& d : devices) {
    host::BlobState blob = host::InspectBlob(project.ReadExtData(d.id, host::kBlobKey));
    std::printf("%-10s  %-30s  %-6s  %s\n", d.address.ToString().c_str(), Printable(d.name).c_str(),
                d.parametersLoaded ? "yes" : "no", Printable(blob.text).c_str());
    if (std::optional<std::string> problem = host::ConfigurationProblem(project, d.id))
      problems.push_back(*problem);
  }
  // What the table only hints at, with the way out, below it.
  for (const std::string& problem : problems) std::printf("note: %s\n", Printable(problem).c_str());
  return kSuccess;
}

int CmdShow(Context& ctx) {
  if (ctx.args.size() != 1) throw UsageError{"show: give exactly one device address"};
  host::PhysicalAddress address = AddressArg("show", ctx.args[0]);
  host::Project project = host::Project::OpenReadOnly(ctx.projectPath);
  int64_t id = project.DeviceAt(address);
  host::DeviceData d = project.DataOf(id);
  std::printf("Device %s\n", address.ToString().c_str());
  std::printf("  Name:                %s\n", Printable(d.name).c_str());
  std::printf("  Product:             %s\n", Printable(d.productName).c_str());
  std::printf("  Manufacturer:        %s\n", Printable(d.manufacturerName).c_str());
  std::printf("  Order number:        %s\n", Printable(d.orderNumber).c_str());
  std::printf("  Description:         %s\n", Printable(d.description).c_str());
  std::printf("  Application program: %s, version %.2x, device type %X\n", Printable(d.programName).c_str(),
              d.programVersion, static_cast<unsigned>(d.deviceType));
  std::printf("  Parameters loaded:   %s\n", project.ParametersLoaded(id) ? "yes" : "no");

  int32_t count = project.ParameterCount(id);
  std::printf("Parameters (%d, display order=value):", count);
  for (int32_t i = 1; i <= count; ++i) {
    std::optional<int64_t> p = project.ParameterAt(id, i);
    if (!p) break;
    std::printf("%s%d=%s", (i - 1) % 11 == 0 ? "\n  " : " ", project.DisplayOrder(*p),
                Printable(ValueText(project.ParameterValue(*p))).c_str());
  }
  std::printf("\n");

  std::printf("Communication objects:\n");
  for (const host::CommObjectInfo& o : project.CommObjects(id, false)) {
    std::string links;
    for (uint16_t ga : project.Associations(o.id)) links += " " + host::GroupAddressText(ga);
    std::printf("  %2d %-22s %-14s%s%s\n", o.number, Printable(o.name).c_str(), Printable(o.function).c_str(),
                o.visible ? "" : " (hidden)", links.empty() ? "" : (" ->" + links).c_str());
  }

  host::BlobState blob = host::InspectBlob(project.ReadExtData(id, host::kBlobKey));
  std::printf("BLOB: %s\n", Printable(blob.text).c_str());
  if (std::optional<std::string> problem = host::ConfigurationProblem(project, id))
    std::printf("note: %s\n", Printable(*problem).c_str());
  if (blob.kind == host::BlobState::Kind::Ok) {
    std::vector<host::MessageSummary> used = host::UsedMessages(blob.bytes);
    std::printf("Used messages: %zu\n", used.size());
    for (const host::MessageSummary& m : used)
      std::printf("  slot %2d: receive type %2u, send type %2u, text \"%s\"\n", m.slot + 1, m.receiveType,
                  m.sendType, Printable(dx470::DeviceTextToUtf8(m.firstRow)).c_str());
  }
  return kSuccess;
}

}  // namespace cli
