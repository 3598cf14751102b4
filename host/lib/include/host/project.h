#pragma once
// A host project: topology, devices with their descriptive data, parameters,
// communication objects and extension data, group addresses and associations,
// all kept in one SQLite file. Every change is one transaction. Operations
// throw ProjectError; the COM objects over a project (project_objects.h)
// turn that into HRESULTs.
//
// Each device has a revision: every write of its extension data or of a
// parameter value counts it up by one. A write given the revision at which
// its writer read the configuration (`readAt`) fails with
// PROJECT_E_CONFIGURATION_CHANGED, and writes nothing, when another write
// came in between; without `readAt` it writes unconditionally.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/project_address.h"
#include "host/project_store.h"
#include "host/project_value.h"

namespace host {

// Descriptive data of a device and its application program.
struct DeviceData {
  std::string name;
  std::string productName;
  std::string manufacturerName;
  std::string orderNumber;
  std::string description;
  std::string programName;
  uint16_t programVersion = 0;
  int32_t deviceType = 0;
};

// A change of a device's descriptive data: the fields given are replaced.
struct DeviceDataChange {
  std::optional<std::string> name;
  std::optional<std::string> productName;
  std::optional<std::string> manufacturerName;
  std::optional<std::string> orderNumber;
  std::optional<std::string> description;
  std::optional<std::string> programName;
};

// A group address with its name, and the line of the file it came from.
struct GroupAddressEntry {
  uint16_t address = 0;
  std::string name;
  int line = 0;
};

// What an import of group addresses did.
struct GroupAddressImportResult {
  int added = 0;
  int renamed = 0;
  int unchanged = 0;
};

struct CommObjectSpec {
  int32_t number = 0;
  std::string name;
  std::string function;
  bool visible = true;
};

// What a device of a product brings along when it is added.
struct DeviceTemplate {
  DeviceData data;
  std::vector<int32_t> displayOrders;  // one parameter each, value VT_I4 0
  std::vector<CommObjectSpec> objects;
};

// A DX 47x display: 33 parameters (display orders 1..33) and 35
// communication objects (0 backlight, 1..16 receive, 17..32 send, 33 alarm
// state, 34 alarm confirmation).
DeviceTemplate Dx47xDeviceTemplate();

struct DeviceSummary {
  int64_t id = 0;
  PhysicalAddress address;
  std::string name;
  bool parametersLoaded = false;
};

struct CommObjectInfo {
  int64_t id = 0;
  int32_t number = 0;
  std::string name;
  std::string function;
  bool visible = true;
};

class Project {
 public:
  explicit Project(std::shared_ptr<ProjectStore> store) : store_(std::move(store)) {}
  static Project Open(const std::string& path) { return Project(ProjectStore::Open(path)); }
  // For commands that only read: works in a read-only folder or mount.
  static Project OpenReadOnly(const std::string& path) { return Project(ProjectStore::OpenReadOnly(path)); }
  static Project Create(const std::string& path, const std::string& name) {
    return Project(ProjectStore::Create(path, name));
  }

  ProjectStore& Store() const { return *store_; }
  const std::shared_ptr<ProjectStore>& SharedStore() const { return store_; }
  std::string Name() const;

  // Topology and devices. Adding refuses an address that is taken.
  int64_t AddDevice(const PhysicalAddress& address, const DeviceTemplate& product);
  // A new device with the source's descriptive data, parameters (with their
  // values) and communication objects; neither extension data nor
  // associations are copied.
  int64_t CopyDevice(const PhysicalAddress& address, int64_t sourceId,
                     const std::optional<std::string>& name = std::nullopt);
  // Removes a device; with keepExtData its extension data (with the values
  // ReplaceExtData kept) stays under its address for a device added there
  // later.
  void DeleteDevice(int64_t id, bool keepExtData);
  std::optional<int64_t> FindDevice(const PhysicalAddress& address) const;
  // Throws when no device has that address.
  int64_t DeviceAt(const PhysicalAddress& address) const;
  std::vector<DeviceSummary> Devices() const;

  // One device (throws when it no longer exists).
  DeviceData DataOf(int64_t id) const;
  void SetName(int64_t id, const std::string& name);
  void SetDeviceData(int64_t id, const DeviceDataChange& change);
  PhysicalAddress AddressOf(int64_t id) const;
  int64_t LineOf(int64_t id) const;
  bool ParametersLoaded(int64_t id) const;
  void SetParametersLoaded(int64_t id, bool loaded);

  // Lines and areas by row.
  int32_t LineAddress(int64_t lineId) const;
  int64_t AreaOfLine(int64_t lineId) const;
  int32_t AreaAddress(int64_t areaId) const;

  // Parameters in collection order (1-based positions).
  int32_t ParameterCount(int64_t deviceId) const;
  std::optional<int64_t> ParameterAt(int64_t deviceId, int32_t position) const;
  int32_t DisplayOrder(int64_t parameterId) const;
  // The value and, in *revision, the device's revision it belongs to.
  StoredValue ParameterValue(int64_t parameterId, int64_t* revision = nullptr) const;
  // Returns the device's new revision.
  int64_t SetParameterValue(int64_t parameterId, const StoredValue& value,
                            std::optional<int64_t> readAt = std::nullopt);
  // Sets the target's parameter values to the source's, by position.
  void CopyParameterValues(int64_t targetId, int64_t sourceId);

  // The revision of a device's configuration (0 for a project of a layout
  // without revisions, open for reading only).
  int64_t Revision(int64_t deviceId) const;

  // Extension data; nullopt for a key never written. *revision receives the
  // device's revision the value belongs to.
  std::optional<StoredValue> ReadExtData(int64_t deviceId, const std::string& key,
                                         int64_t* revision = nullptr) const;
  // Returns the device's new revision.
  int64_t WriteExtData(int64_t deviceId, const std::string& key, const StoredValue& value,
                       std::optional<int64_t> readAt = std::nullopt);
  // Stores a value under `key` as WriteExtData does and keeps the value it
  // replaces (if any) as the key's previous value, in one transaction.
  int64_t ReplaceExtData(int64_t deviceId, const std::string& key, const StoredValue& value);
  // The value ReplaceExtData last replaced under `key`; nullopt when none.
  std::optional<StoredValue> PreviousExtData(int64_t deviceId, const std::string& key) const;
  // Swaps the value under `key` with its previous value, so that a second
  // call undoes the first; false (and nothing changed) when there is none.
  bool RestorePreviousExtData(int64_t deviceId, const std::string& key);

  // Communication objects, ordered by number.
  std::vector<CommObjectInfo> CommObjects(int64_t deviceId, bool visibleOnly) const;
  CommObjectInfo CommObject(int64_t objectId) const;
  void SetCommObjectVisible(int64_t deviceId, int32_t number, bool visible);
  // Several objects at once (number, visible), in one transaction: an
  // unknown number changes nothing.
  void SetCommObjectsVisible(int64_t deviceId, const std::vector<std::pair<int32_t, bool>>& changes);

  // Group addresses and associations (in the order linked).
  void AddGroupAddress(uint16_t address, const std::string& name);
  std::optional<std::string> GroupAddressName(uint16_t address) const;
  // All group addresses with their names, by address.
  std::vector<GroupAddressEntry> GroupAddresses() const;
  // Adds the new addresses and gives existing ones the new name, in one
  // transaction.
  GroupAddressImportResult ImportGroupAddresses(const std::vector<GroupAddressEntry>& entries);
  void Link(int64_t deviceId, int32_t objectNumber, uint16_t groupAddress);
  std::vector<uint16_t> Associations(int64_t objectId) const;

 private:
  std::shared_ptr<ProjectStore> store_;
};

}  // namespace host
