// Changes of descriptive data, object visibility and group addresses that
// the command line makes, each in one transaction.
#include "host/project.h"

namespace host {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// Replaces one text column of a device when a new value is given.
void UpdateColumn(ProjectStore& s, int64_t id, const char* column, const std::optional<std::string>& value) {
  if (!value) return;
  std::string sql = std::string("UPDATE devices SET ") + column + " = ? WHERE id = ?";
  Statement(s, sql.c_str()).Bind(1, *value).Bind(2, id).Run();
}

}  // namespace

void Project::SetDeviceData(int64_t id, const DeviceDataChange& change) {
  // A change of no field writes nothing, so that it also works on a project
  // open for reading only.
  if (!change.name && !change.productName && !change.manufacturerName && !change.orderNumber &&
      !change.description && !change.programName) {
    DataOf(id);  // throws when the device is gone
    return;
  }
  Transaction tx(*store_);
  DataOf(id);  // throws when the device is gone
  UpdateColumn(*store_, id, "name", change.name);
  UpdateColumn(*store_, id, "product_name", change.productName);
  UpdateColumn(*store_, id, "manufacturer_name", change.manufacturerName);
  UpdateColumn(*store_, id, "order_number", change.orderNumber);
  UpdateColumn(*store_, id, "description", change.description);
  UpdateColumn(*store_, id, "program_name", change.programName);
  tx.Commit();
}

void Project::SetCommObjectsVisible(int64_t deviceId, const std::vector<std::pair<int32_t, bool>>& changes) {
  Transaction tx(*store_);
  PhysicalAddress a = AddressOf(deviceId);
  Statement q(*store_, "UPDATE comm_objects SET visible = ? WHERE device_id = ? AND number = ?");
  for (const auto& [number, visible] : changes) {
    q.Reset();
    q.Bind(1, visible ? 1 : 0).Bind(2, deviceId).Bind(3, number).Run();
    if (store_->Changes() != 1)
      throw ProjectError(HRESULT_FROM_WIN32(ERROR_NOT_FOUND),
                         "device " + a.ToString() + " has no communication object " + std::to_string(number));
  }
  tx.Commit();
}

std::vector<GroupAddressEntry> Project::GroupAddresses() const {
  Lock lock(store_->Mutex());
  Statement q(*store_, "SELECT address, name FROM group_addresses ORDER BY address");
  std::vector<GroupAddressEntry> out;
  while (q.Step()) out.push_back({static_cast<uint16_t>(q.Int(0)), q.Text(1), 0});
  return out;
}

GroupAddressImportResult Project::ImportGroupAddresses(const std::vector<GroupAddressEntry>& entries) {
  Transaction tx(*store_);
  Statement upsert(*store_,
                   "INSERT INTO group_addresses (address, name) VALUES (?, ?) "
                   "ON CONFLICT (address) DO UPDATE SET name = excluded.name");
  GroupAddressImportResult result;
  for (const GroupAddressEntry& e : entries) {
    std::optional<std::string> old = GroupAddressName(e.address);
    int& counter = !old ? result.added : *old != e.name ? result.renamed : result.unchanged;
    ++counter;
    upsert.Reset();
    upsert.Bind(1, e.address).Bind(2, e.name).Run();
  }
  tx.Commit();
  return result;
}

}  // namespace host
