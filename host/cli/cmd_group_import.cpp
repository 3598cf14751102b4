// group-address import: group addresses with their names from a CSV file,
// all or nothing.
#include <cstdio>

#include "cli.h"
#include "host/group_address_csv.h"
#include "host/project.h"
#include "printable.h"
#include "win/file.h"

namespace cli {
namespace {

// The most a CSV file is read: a whole group address range (65536 rows) with
// long names stays far below it.
constexpr uint64_t kMaxCsvFileBytes = uint64_t{64} << 20;

}  // namespace

int CmdGroupAddressImport(Context& ctx) {
  if (ctx.args.size() != 2) throw UsageError{"group-address import: give one CSV file"};
  const std::string& file = ctx.args[1];
  std::vector<uint8_t> bytes;
  if (DWORD e = win::ReadWholeFile(file, bytes, kMaxCsvFileBytes); e != ERROR_SUCCESS)
    return Fail("cannot read the file " + file + ": " + win::FileErrorText(e, kMaxCsvFileBytes));
  std::vector<host::GroupAddressEntry> entries = host::ParseGroupAddressCsv(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), file);
  host::Project project = host::Project::Open(ctx.projectPath);
  host::GroupAddressImportResult r = project.ImportGroupAddresses(entries);
  std::printf("imported %zu group addresses from %s: %d added, %d renamed, %d unchanged\n", entries.size(),
              Printable(file).c_str(), r.added, r.renamed, r.unchanged);
  return kSuccess;
}

}  // namespace cli
