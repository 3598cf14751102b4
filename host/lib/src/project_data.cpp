// The data of one device: descriptive fields, address, parameters,
// extension data, communication objects; group addresses and associations.
#include <string_view>

#include "host/project.h"

namespace host {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

[[noreturn]] void Gone(const char* what) {
  throw ProjectError(HRESULT_FROM_WIN32(ERROR_NOT_FOUND),
                     std::string("the ") + what + " no longer exists in the project");
}

// Runs a one-row query bound to `id`; throws when the row is gone.
void StepRow(Statement& q, int64_t id, const char* what) {
  q.Bind(1, id);
  if (!q.Step()) Gone(what);
}

// The first column of the row `id` that `sql` selects, read under the
// store's lock; throws when the row is gone.
int64_t LookUp(ProjectStore& s, const char* sql, int64_t id, const char* what) {
  Lock lock(s.Mutex());
  Statement q(s, sql);
  StepRow(q, id, what);
  return q.Int(0);
}

StoredValue ValueColumns(const Statement& q, int first) {
  StoredValue v;
  v.vt = static_cast<VARTYPE>(q.Int(first));
  if (const uint8_t* b = q.BlobData(first + 1)) v.bounds.assign(b, b + q.BlobSize(first + 1));
  if (const uint8_t* d = q.BlobData(first + 2)) v.data.assign(d, d + q.BlobSize(first + 2));
  return v;
}

void BindValue(Statement& q, int first, const StoredValue& v) {
  q.Bind(first, v.vt);
  if (v.bounds.empty())
    q.BindNull(first + 1);
  else
    q.BindBlob(first + 1, v.bounds.data(), v.bounds.size());
  q.BindBlob(first + 2, v.data.data(), v.data.size());
}

CommObjectInfo ObjectColumns(const Statement& q) {
  return {q.Int(0), static_cast<int32_t>(q.Int(1)), q.Text(2), q.Text(3), q.Int(4) != 0};
}

// Throws unless a write changed exactly one row.
void ExpectChanged(ProjectStore& s, const char* what) {
  if (s.Changes() != 1) Gone(what);
}

// The device's revision as a result column of a query over `devices d`; a
// project of a layout without revisions (open for reading only) answers 0.
std::string RevisionColumn(const ProjectStore& s) { return s.HasRevisions() ? "d.revision" : "0"; }

// Inside a write transaction: refuses the write when the device's revision
// is no longer `readAt`, else counts the revision up. The new revision.
int64_t NextRevision(const Project& p, ProjectStore& s, int64_t deviceId, std::optional<int64_t> readAt) {
  const int64_t current = LookUp(s, "SELECT revision FROM devices WHERE id = ?", deviceId, "device");
  if (readAt && *readAt != current)
    throw ProjectError(PROJECT_E_CONFIGURATION_CHANGED,
                       "the configuration of device " + p.AddressOf(deviceId).ToString() +
                           " was changed by another program since it was read; nothing was saved");
  Statement(s, "UPDATE devices SET revision = revision + 1 WHERE id = ?").Bind(1, deviceId).Run();
  return current + 1;
}

// Inserts or replaces the value under (address, key) in `table`: ext_data,
// or ext_data_previous, which also notes when the value was replaced.
void UpsertValue(ProjectStore& s, const char* table, const PhysicalAddress& a, const std::string& key,
                 const StoredValue& value) {
  const bool previous = std::string_view(table) == "ext_data_previous";
  Statement q(s, previous ? "INSERT INTO ext_data_previous (area, line, device, key, vt, bounds, value, "
                            "replaced_at) VALUES (?, ?, ?, ?, ?, ?, ?, "
                            "strftime('%Y-%m-%dT%H:%M:%SZ', 'now')) "
                            "ON CONFLICT (area, line, device, key) DO UPDATE SET vt = excluded.vt, "
                            "bounds = excluded.bounds, value = excluded.value, "
                            "replaced_at = excluded.replaced_at"
                          : "INSERT INTO ext_data (area, line, device, key, vt, bounds, value) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT (area, line, device, key) "
                            "DO UPDATE SET vt = excluded.vt, bounds = excluded.bounds, "
                            "value = excluded.value");
  q.Bind(1, a.area).Bind(2, a.line).Bind(3, a.device).Bind(4, key);
  BindValue(q, 5, value);
  q.Run();
}

// The value under (address, key) in `table`; nullopt when none.
std::optional<StoredValue> SelectValue(ProjectStore& s, const char* table, const PhysicalAddress& a,
                                       const std::string& key) {
  std::string sql = std::string("SELECT vt, bounds, value FROM ") + table +
                    " WHERE area = ? AND line = ? AND device = ? AND key = ?";
  Statement q(s, sql.c_str());
  q.Bind(1, a.area).Bind(2, a.line).Bind(3, a.device).Bind(4, key);
  if (!q.Step()) return std::nullopt;
  return ValueColumns(q, 0);
}

}  // namespace

DeviceData Project::DataOf(int64_t id) const {
  Lock lock(store_->Mutex());
  Statement q(*store_,
              "SELECT name, product_name, manufacturer_name, order_number, description, "
              "program_name, program_version, device_type FROM devices WHERE id = ?");
  StepRow(q, id, "device");
  DeviceData d;
  d.name = q.Text(0);
  d.productName = q.Text(1);
  d.manufacturerName = q.Text(2);
  d.orderNumber = q.Text(3);
  d.description = q.Text(4);
  d.programName = q.Text(5);
  d.programVersion = static_cast<uint16_t>(q.Int(6));
  d.deviceType = static_cast<int32_t>(q.Int(7));
  return d;
}

void Project::SetName(int64_t id, const std::string& name) {
  Transaction tx(*store_);
  Statement(*store_, "UPDATE devices SET name = ? WHERE id = ?").Bind(1, name).Bind(2, id).Run();
  ExpectChanged(*store_, "device");
  tx.Commit();
}

PhysicalAddress Project::AddressOf(int64_t id) const {
  Lock lock(store_->Mutex());
  Statement q(*store_,
              "SELECT a.address, l.address, d.address FROM devices d "
              "JOIN lines l ON d.line_id = l.id JOIN areas a ON l.area_id = a.id WHERE d.id = ?");
  StepRow(q, id, "device");
  return {static_cast<int>(q.Int(0)), static_cast<int>(q.Int(1)), static_cast<int>(q.Int(2))};
}

int64_t Project::LineOf(int64_t id) const {
  return LookUp(*store_, "SELECT line_id FROM devices WHERE id = ?", id, "device");
}

bool Project::ParametersLoaded(int64_t id) const {
  return LookUp(*store_, "SELECT parameters_loaded FROM devices WHERE id = ?", id, "device") != 0;
}

void Project::SetParametersLoaded(int64_t id, bool loaded) {
  Transaction tx(*store_);
  Statement(*store_, "UPDATE devices SET parameters_loaded = ? WHERE id = ?")
      .Bind(1, loaded ? 1 : 0)
      .Bind(2, id)
      .Run();
  ExpectChanged(*store_, "device");
  tx.Commit();
}

int32_t Project::LineAddress(int64_t lineId) const {
  return static_cast<int32_t>(LookUp(*store_, "SELECT address FROM lines WHERE id = ?", lineId, "line"));
}

int64_t Project::AreaOfLine(int64_t lineId) const {
  return LookUp(*store_, "SELECT area_id FROM lines WHERE id = ?", lineId, "line");
}

int32_t Project::AreaAddress(int64_t areaId) const {
  return static_cast<int32_t>(LookUp(*store_, "SELECT address FROM areas WHERE id = ?", areaId, "area"));
}

int32_t Project::ParameterCount(int64_t deviceId) const {
  return static_cast<int32_t>(LookUp(*store_,
                                     "SELECT (SELECT COUNT(*) FROM parameters WHERE device_id = d.id) "
                                     "FROM devices d WHERE d.id = ?",
                                     deviceId, "device"));
}

std::optional<int64_t> Project::ParameterAt(int64_t deviceId, int32_t position) const {
  if (position < 1) return std::nullopt;
  Lock lock(store_->Mutex());
  Statement q(*store_, "SELECT id FROM parameters WHERE device_id = ? ORDER BY position LIMIT 1 OFFSET ?");
  q.Bind(1, deviceId).Bind(2, position - 1);
  if (!q.Step()) return std::nullopt;
  return q.Int(0);
}

int32_t Project::DisplayOrder(int64_t parameterId) const {
  return static_cast<int32_t>(
      LookUp(*store_, "SELECT display_order FROM parameters WHERE id = ?", parameterId, "parameter"));
}

StoredValue Project::ParameterValue(int64_t parameterId, int64_t* revision) const {
  Lock lock(store_->Mutex());
  // One statement, so that the value and the revision are of one moment.
  std::string sql = "SELECT p.vt, p.bounds, p.value, " + RevisionColumn(*store_) +
                    " FROM parameters p JOIN devices d ON d.id = p.device_id WHERE p.id = ?";
  Statement q(*store_, sql.c_str());
  StepRow(q, parameterId, "parameter");
  if (revision) *revision = q.Int(3);
  return ValueColumns(q, 0);
}

int64_t Project::SetParameterValue(int64_t parameterId, const StoredValue& value,
                                   std::optional<int64_t> readAt) {
  Transaction tx(*store_);
  const int64_t deviceId =
      LookUp(*store_, "SELECT device_id FROM parameters WHERE id = ?", parameterId, "parameter");
  const int64_t revision = NextRevision(*this, *store_, deviceId, readAt);
  Statement q(*store_, "UPDATE parameters SET vt = ?, bounds = ?, value = ? WHERE id = ?");
  BindValue(q, 1, value);
  q.Bind(4, parameterId).Run();
  ExpectChanged(*store_, "parameter");
  tx.Commit();
  return revision;
}

void Project::CopyParameterValues(int64_t targetId, int64_t sourceId) {
  Transaction tx(*store_);
  DataOf(sourceId);  // throws when the source is gone
  NextRevision(*this, *store_, targetId, std::nullopt);
  Statement(*store_,
            "UPDATE parameters SET (vt, bounds, value) = (SELECT s.vt, s.bounds, s.value "
            "FROM parameters s WHERE s.device_id = ?2 AND s.position = parameters.position) "
            "WHERE device_id = ?1 AND EXISTS (SELECT 1 FROM parameters s "
            "WHERE s.device_id = ?2 AND s.position = parameters.position)")
      .Bind(1, targetId)
      .Bind(2, sourceId)
      .Run();
  tx.Commit();
}

int64_t Project::Revision(int64_t deviceId) const {
  std::string sql = "SELECT " + RevisionColumn(*store_) + " FROM devices d WHERE d.id = ?";
  return LookUp(*store_, sql.c_str(), deviceId, "device");
}

std::optional<StoredValue> Project::ReadExtData(int64_t deviceId, const std::string& key,
                                                int64_t* revision) const {
  Lock lock(store_->Mutex());
  // One statement, so that the value and the revision are of one moment.
  std::string sql = "SELECT e.vt, e.bounds, e.value, " + RevisionColumn(*store_) +
                    " FROM devices d JOIN lines l ON d.line_id = l.id "
                    "JOIN areas a ON l.area_id = a.id "
                    "LEFT JOIN ext_data e ON e.area = a.address AND e.line = l.address "
                    "AND e.device = d.address AND e.key = ?2 WHERE d.id = ?1";
  Statement q(*store_, sql.c_str());
  q.Bind(2, key);
  StepRow(q, deviceId, "device");
  if (revision) *revision = q.Int(3);
  if (q.IsNull(0)) return std::nullopt;
  return ValueColumns(q, 0);
}

int64_t Project::WriteExtData(int64_t deviceId, const std::string& key, const StoredValue& value,
                              std::optional<int64_t> readAt) {
  Transaction tx(*store_);
  PhysicalAddress a = AddressOf(deviceId);
  const int64_t revision = NextRevision(*this, *store_, deviceId, readAt);
  UpsertValue(*store_, "ext_data", a, key, value);
  tx.Commit();
  return revision;
}

int64_t Project::ReplaceExtData(int64_t deviceId, const std::string& key, const StoredValue& value) {
  Transaction tx(*store_);
  PhysicalAddress a = AddressOf(deviceId);
  const int64_t revision = NextRevision(*this, *store_, deviceId, std::nullopt);
  if (std::optional<StoredValue> old = SelectValue(*store_, "ext_data", a, key))
    UpsertValue(*store_, "ext_data_previous", a, key, *old);
  UpsertValue(*store_, "ext_data", a, key, value);
  tx.Commit();
  return revision;
}

std::optional<StoredValue> Project::PreviousExtData(int64_t deviceId, const std::string& key) const {
  Lock lock(store_->Mutex());
  PhysicalAddress a = AddressOf(deviceId);
  if (store_->Layout() < 3) return std::nullopt;  // an older project, open for reading only
  return SelectValue(*store_, "ext_data_previous", a, key);
}

bool Project::RestorePreviousExtData(int64_t deviceId, const std::string& key) {
  Transaction tx(*store_);
  PhysicalAddress a = AddressOf(deviceId);
  std::optional<StoredValue> previous = SelectValue(*store_, "ext_data_previous", a, key);
  if (!previous) return false;
  std::optional<StoredValue> current = SelectValue(*store_, "ext_data", a, key);
  NextRevision(*this, *store_, deviceId, std::nullopt);
  UpsertValue(*store_, "ext_data", a, key, *previous);
  if (current)
    UpsertValue(*store_, "ext_data_previous", a, key, *current);
  else
    Statement(*store_, "DELETE FROM ext_data_previous WHERE area = ? AND line = ? AND device = ? AND key = ?")
        .Bind(1, a.area)
        .Bind(2, a.line)
        .Bind(3, a.device)
        .Bind(4, key)
        .Run();
  tx.Commit();
  return true;
}

std::vector<CommObjectInfo> Project::CommObjects(int64_t deviceId, bool visibleOnly) const {
  Lock lock(store_->Mutex());
  LineOf(deviceId);  // throws when the device is gone
  Statement q(*store_, visibleOnly ? "SELECT id, number, name, function, visible FROM comm_objects "
                                     "WHERE device_id = ? AND visible = 1 ORDER BY number"
                                   : "SELECT id, number, name, function, visible FROM comm_objects "
                                     "WHERE device_id = ? ORDER BY number");
  q.Bind(1, deviceId);
  std::vector<CommObjectInfo> out;
  while (q.Step()) out.push_back(ObjectColumns(q));
  return out;
}

CommObjectInfo Project::CommObject(int64_t objectId) const {
  Lock lock(store_->Mutex());
  Statement q(*store_, "SELECT id, number, name, function, visible FROM comm_objects WHERE id = ?");
  StepRow(q, objectId, "communication object");
  return ObjectColumns(q);
}

void Project::SetCommObjectVisible(int64_t deviceId, int32_t number, bool visible) {
  Transaction tx(*store_);
  Statement(*store_, "UPDATE comm_objects SET visible = ? WHERE device_id = ? AND number = ?")
      .Bind(1, visible ? 1 : 0)
      .Bind(2, deviceId)
      .Bind(3, number)
      .Run();
  ExpectChanged(*store_, "communication object");
  tx.Commit();
}

void Project::AddGroupAddress(uint16_t address, const std::string& name) {
  Transaction tx(*store_);
  if (GroupAddressName(address))
    throw ProjectError(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS),
                       "group address " + GroupAddressText(address) + " already exists");
  Statement(*store_, "INSERT INTO group_addresses (address, name) VALUES (?, ?)")
      .Bind(1, address)
      .Bind(2, name)
      .Run();
  tx.Commit();
}

std::optional<std::string> Project::GroupAddressName(uint16_t address) const {
  Lock lock(store_->Mutex());
  Statement q(*store_, "SELECT name FROM group_addresses WHERE address = ?");
  q.Bind(1, address);
  if (!q.Step()) return std::nullopt;
  return q.Text(0);
}

void Project::Link(int64_t deviceId, int32_t objectNumber, uint16_t groupAddress) {
  Transaction tx(*store_);
  PhysicalAddress a = AddressOf(deviceId);
  Statement obj(*store_, "SELECT id FROM comm_objects WHERE device_id = ? AND number = ?");
  obj.Bind(1, deviceId).Bind(2, objectNumber);
  if (!obj.Step())
    throw ProjectError(
        HRESULT_FROM_WIN32(ERROR_NOT_FOUND),
        "device " + a.ToString() + " has no communication object " + std::to_string(objectNumber));
  int64_t objectId = obj.Int(0);
  if (!GroupAddressName(groupAddress))
    throw ProjectError(HRESULT_FROM_WIN32(ERROR_NOT_FOUND),
                       "group address " + GroupAddressText(groupAddress) +
                           " does not exist (add it with 'group-address add')");
  Statement dup(*store_, "SELECT 1 FROM associations WHERE object_id = ? AND group_address = ?");
  dup.Bind(1, objectId).Bind(2, groupAddress);
  if (dup.Step())
    throw ProjectError(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS),
                       "object " + std::to_string(objectNumber) + " of device " + a.ToString() +
                           " is already linked to " + GroupAddressText(groupAddress));
  Statement(*store_, "INSERT INTO associations (object_id, group_address) VALUES (?, ?)")
      .Bind(1, objectId)
      .Bind(2, groupAddress)
      .Run();
  tx.Commit();
}

std::vector<uint16_t> Project::Associations(int64_t objectId) const {
  Lock lock(store_->Mutex());
  CommObject(objectId);  // throws when the object is gone
  Statement q(*store_, "SELECT group_address FROM associations WHERE object_id = ? ORDER BY id");
  q.Bind(1, objectId);
  std::vector<uint16_t> out;
  while (q.Step()) out.push_back(static_cast<uint16_t>(q.Int(0)));
  return out;
}

}  // namespace host
