// blob: backs up a device's BLOB to a file or stores a file as its BLOB.
#include <cstdio>
#include <optional>

#include "cli.h"
#include "host/project.h"
#include "host/project_blob.h"
#include "win/file.h"

namespace cli {

int CmdBlob(Context& ctx) {
  std::optional<std::string> address, exportFile, importFile;
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    if (a == "--export" || a == "--import") {
      if (i + 1 >= ctx.args.size()) throw UsageError{"blob: " + a + " needs a file"};
      (a == "--export" ? exportFile : importFile) = ctx.args[++i];
    } else if (a.rfind("--", 0) == 0 || address) {
      throw UsageError{"blob: unexpected argument " + a};
    } else {
      address = a;
    }
  }
  if (!address) throw UsageError{"blob: the device address is missing"};
  if (exportFile.has_value() == importFile.has_value())
    throw UsageError{"blob: give either --export FILE or --import FILE"};
  host::PhysicalAddress target = AddressArg("blob", *address);

  host::Project project = host::Project::Open(ctx.projectPath);
  int64_t id = project.DeviceAt(target);
  if (exportFile) {
    host::BlobState blob = host::InspectBlob(project.ReadExtData(id, host::kBlobKey));
    if (blob.kind == host::BlobState::Kind::None || blob.bytes.empty())
      return Fail("device " + target.ToString() + " has no BLOB to export (" + blob.text + ")");
    if (DWORD e = win::WriteFileAtomic(*exportFile, blob.bytes); e != ERROR_SUCCESS)
      return Fail("cannot write " + *exportFile + ": " + base::MessageText(HRESULT_FROM_WIN32(e)));
    std::printf("exported the BLOB of device %s to %s: %s\n", target.ToString().c_str(),
                exportFile->c_str(), blob.text.c_str());
    return kSuccess;
  }
  // The bytes are stored exactly as given; the plug-in judges them when it
  // next reads them.
  host::StoredValue value;
  if (DWORD e = win::ReadWholeFile(*importFile, value.data); e != ERROR_SUCCESS)
    return Fail("cannot read " + *importFile + ": " + base::MessageText(HRESULT_FROM_WIN32(e)));
  if (value.data.size() > UINT32_MAX) return Fail(*importFile + " is too large for a BLOB");
  value.vt = VT_ARRAY | VT_UI1;
  uint32_t count = static_cast<uint32_t>(value.data.size());
  value.bounds = {0, 0, 0, 0, uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16),
                  uint8_t(count >> 24)};
  project.WriteExtData(id, host::kBlobKey, value);
  host::BlobState blob = host::InspectBlob(value);
  std::printf("imported %zu bytes from %s as the BLOB of device %s: %s\n", value.data.size(),
              importFile->c_str(), target.ToString().c_str(), blob.text.c_str());
  return kSuccess;
}

}  // namespace cli
