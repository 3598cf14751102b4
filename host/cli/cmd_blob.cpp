// blob: backs up a device's BLOB to a file, stores a file as its BLOB
// (keeping the one it replaces), or brings the replaced one back.
#include <sys/stat.h>

#include <cstdio>
#include <optional>

#include "cli.h"
#include "host/project.h"
#include "host/project_blob.h"
#include "printable.h"
#include "win/file.h"

namespace cli {
namespace {

// The most a BLOB file is read: far more than the 112292 bytes of a real one,
// which --force may replace by anything of another size.
constexpr uint64_t kMaxBlobFileBytes = uint64_t{16} << 20;

// A byte array of the given bytes, lower bound 0, as the plug-in stores one.
host::StoredValue ByteArrayValue(std::vector<uint8_t> bytes) {
  host::StoredValue value;
  value.vt = VT_ARRAY | VT_UI1;
  const uint32_t count = static_cast<uint32_t>(bytes.size());
  value.bounds = {
      0, 0, 0, 0, uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16), uint8_t(count >> 24)};
  value.data = std::move(bytes);
  return value;
}

int Export(const host::PhysicalAddress& target, const std::string& file, const std::string& projectPath) {
  host::Project project = host::Project::OpenReadOnly(projectPath);
  int64_t id = project.DeviceAt(target);
  host::BlobState blob = host::InspectBlob(project.ReadExtData(id, host::kBlobKey));
  if (blob.kind == host::BlobState::Kind::None || blob.bytes.empty())
    return Fail("device " + target.ToString() + " has no BLOB to export (" + blob.text + ")");
  if (DWORD e = win::WriteFileAtomic(file, blob.bytes); e != ERROR_SUCCESS)
    return Fail("cannot write " + file + ": " + base::MessageText(HRESULT_FROM_WIN32(e)));
  std::printf("exported the BLOB of device %s to %s: %s\n", target.ToString().c_str(),
              Printable(file).c_str(), Printable(blob.text).c_str());
  return kSuccess;
}

int Import(const host::PhysicalAddress& target, const std::string& file, bool force,
           const std::string& projectPath) {
  // A file of the wrong size is refused before it is read: it may be anything.
  struct stat st {};
  if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !force &&
      static_cast<uint64_t>(st.st_size) != host::kBlobSize)
    return Fail(file + " is not a BLOB the plug-in reads: it is " + std::to_string(st.st_size) +
                " bytes, not " + std::to_string(host::kBlobSize) +
                "; nothing was changed (--force stores it anyway)");
  std::vector<uint8_t> bytes;
  if (DWORD e = win::ReadWholeFile(file, bytes, kMaxBlobFileBytes); e != ERROR_SUCCESS)
    return Fail("cannot read " + file + ": " + win::FileErrorText(e, kMaxBlobFileBytes) +
                " Nothing was changed.");
  host::StoredValue value = ByteArrayValue(std::move(bytes));
  if (std::optional<std::string> defect = host::BlobDefect(value); defect && !force)
    return Fail(file + " is not a BLOB the plug-in reads: it " + *defect +
                "; nothing was changed (--force stores it anyway)");

  host::Project project = host::Project::Open(projectPath);
  int64_t id = project.DeviceAt(target);
  // The BLOB replaced is kept for --restore-previous.
  project.ReplaceExtData(id, host::kBlobKey, value);
  host::BlobState blob = host::InspectBlob(value);
  std::printf("imported %zu bytes from %s as the BLOB of device %s: %s\n", value.data.size(),
              Printable(file).c_str(), target.ToString().c_str(), Printable(blob.text).c_str());
  return kSuccess;
}

int RestorePrevious(const host::PhysicalAddress& target, const std::string& projectPath) {
  host::Project project = host::Project::Open(projectPath);
  int64_t id = project.DeviceAt(target);
  if (!project.RestorePreviousExtData(id, host::kBlobKey))
    return Fail("device " + target.ToString() +
                " has no previous BLOB to bring back (one is kept when 'blob --import' replaces one)");
  host::BlobState blob = host::InspectBlob(project.ReadExtData(id, host::kBlobKey));
  std::printf("brought back the previous BLOB of device %s: %s\n", target.ToString().c_str(),
              Printable(blob.text).c_str());
  return kSuccess;
}

}  // namespace

int CmdBlob(Context& ctx) {
  std::optional<std::string> address, exportFile, importFile;
  bool force = false, restore = false;
  for (size_t i = 0; i < ctx.args.size(); ++i) {
    const std::string& a = ctx.args[i];
    if (a == "--export" || a == "--import") {
      if (i + 1 >= ctx.args.size()) throw UsageError{"blob: " + a + " needs a file"};
      (a == "--export" ? exportFile : importFile) = ctx.args[++i];
    } else if (a == "--force") {
      force = true;
    } else if (a == "--restore-previous") {
      restore = true;
    } else if (a.rfind("--", 0) == 0 || address) {
      throw UsageError{"blob: unexpected argument " + a};
    } else {
      address = a;
    }
  }
  if (!address) throw UsageError{"blob: the device address is missing"};
  if (int(exportFile.has_value()) + int(importFile.has_value()) + int(restore) != 1)
    throw UsageError{"blob: give one of --export FILE, --import FILE or --restore-previous"};
  if (force && !importFile) throw UsageError{"blob: --force goes with --import"};
  host::PhysicalAddress target = AddressArg("blob", *address);

  if (exportFile) return Export(target, *exportFile, ctx.projectPath);
  if (importFile) return Import(target, *importFile, force, ctx.projectPath);
  return RestorePrevious(target, ctx.projectPath);
}

}  // namespace cli
