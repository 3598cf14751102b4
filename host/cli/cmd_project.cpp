// init, add-device, delete-device: creating a project and changing its
// devices.
#include <cstdio>
#include <optional>

#include "base/strings.h"
#include "cli.h"
#include "com/cocreate.h"
#include "com/comptr.h"
#include "com/errorinfo.h"
#include "host/project.h"
#include "host/project_blob.h"
#include "host/project_objects.h"
#include "hostapi/plugin.h"
#include "printable.h"

namespace cli {
namespace {

// The file name without folder and extension.
std::string ProjectNameFromPath(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  if (size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace

int CmdInit(Context& ctx) {
  std::optional<std::string> name;
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    if (ctx.args[i] == "--name")
      name = OptionValue("init", ctx.args, &i);
    else
      throw UsageError{"init: unexpected argument " + ctx.args[i]};
  }
  host::Project project =
      host::Project::Create(ctx.projectPath, name.value_or(ProjectNameFromPath(ctx.projectPath)));
  std::printf("created project '%s' in %s\n", Printable(project.Name()).c_str(),
              Printable(ctx.projectPath).c_str());
  return kSuccess;
}

// A device is added together with the configuration the plug-in stores for
// it, in one transaction: a failure of the plug-in (or of the registry that
// finds it) and a killed process leave no device without configuration. A
// device that has none all the same (left by an older version of this
// program) is set up again in place by adding it at its address.
int CmdAddDevice(Context& ctx) {
  std::optional<std::string> address, name, copyOf;
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    if (a == "--name")
      name = OptionValue("add-device", ctx.args, &i);
    else if (a == "--copy-of")
      copyOf = OptionValue("add-device", ctx.args, &i);
    else if (a.rfind("--", 0) == 0 || address)
      throw UsageError{"add-device: unexpected argument " + a};
    else
      address = a;
  }
  if (!address) throw UsageError{"add-device: the device address is missing"};
  host::PhysicalAddress target = AddressArg("add-device", *address);
  std::optional<host::PhysicalAddress> source;
  if (copyOf) source = AddressArg("add-device", *copyOf);

  host::Project project = host::Project::Open(ctx.projectPath);
  host::Transaction tx(project.Store());
  std::optional<int64_t> sourceId;
  if (source) {
    sourceId = project.DeviceAt(*source);
    if (std::optional<std::string> problem = host::ConfigurationProblem(project, *sourceId))
      return Fail("cannot copy device " + source->ToString() + ": " + *problem);
  }
  std::optional<int64_t> existing = project.FindDevice(target);
  const bool repair = existing && host::InspectBlob(project.ReadExtData(*existing, host::kBlobKey)).kind ==
                                      host::BlobState::Kind::None;
  int64_t id = 0;
  if (repair) {
    id = *existing;
    if (name) project.SetName(id, *name);
    if (sourceId) project.CopyParameterValues(id, *sourceId);
  } else if (sourceId) {
    id = project.CopyDevice(target, *sourceId, name);  // refuses a taken address
  } else {
    host::DeviceTemplate product = host::Dx47xDeviceTemplate();
    if (name) product.data.name = *name;
    id = project.AddDevice(target, product);
  }
  std::string what = repair   ? "set up device " + target.ToString() + " again, which had no configuration"
                     : source ? "copied device " + source->ToString() + " to " + target.ToString()
                              : "added device " + target.ToString();
  const std::string nothing = repair ? "the device is left as it was" : "the device was not added";
  std::string error;
  if (FAILED(NotifyPlugin(project, id, sourceId, &error)))
    return Fail("the plug-in could not set up device " + target.ToString() + ": " + error + "; " + nothing);
  if (std::optional<std::string> problem = host::ConfigurationProblem(project, id))
    return Fail("the plug-in did not store a configuration: " + *problem + "; " + nothing);
  std::string deviceName = project.DataOf(id).name;
  tx.Commit();
  std::printf("%s (%s)\n", what.c_str(), Printable(deviceName).c_str());
  return kSuccess;
}

int CmdDeleteDevice(Context& ctx) {
  std::optional<std::string> address;
  bool keep = false;
  for (const std::string& a : ctx.args) {
    if (a == "--keep-data")
      keep = true;
    else if (a.rfind("--", 0) == 0 || address)
      throw UsageError{"delete-device: unexpected argument " + a};
    else
      address = a;
  }
  if (!address) throw UsageError{"delete-device: the device address is missing"};
  host::PhysicalAddress target = AddressArg("delete-device", *address);
  host::Project project = host::Project::Open(ctx.projectPath);
  project.DeleteDevice(project.DeviceAt(target), keep);
  std::printf("deleted device %s%s\n", target.ToString().c_str(),
              keep ? " (its extension data is kept for a device added at this address)" : "");
  return kSuccess;
}

}  // namespace cli
