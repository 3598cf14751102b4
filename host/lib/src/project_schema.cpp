#include "host/project_schema.h"

#include <string>

#include "host/project_store.h"

namespace host {
namespace {

// Layout 1. Devices hang below lines below areas; their parameters,
// communication objects and associations go with them. Extension data is
// keyed by the physical address, not by the device row, so that data kept
// on deletion is found again by a device added later at the same address.
// Values (parameter values, extension data) are stored as a VARIANT type, the
// array bounds (dimension 1 first: lower bound i32, count u32) and the raw
// little-endian bytes.
constexpr const char* kSchema = R"sql(
CREATE TABLE project_info (
  key   TEXT PRIMARY KEY,
  value TEXT NOT NULL
);
CREATE TABLE areas (
  id      INTEGER PRIMARY KEY,
  address INTEGER NOT NULL UNIQUE CHECK (address BETWEEN 0 AND 15)
);
CREATE TABLE lines (
  id      INTEGER PRIMARY KEY,
  area_id INTEGER NOT NULL REFERENCES areas(id) ON DELETE CASCADE,
  address INTEGER NOT NULL CHECK (address BETWEEN 0 AND 15),
  UNIQUE (area_id, address)
);
CREATE TABLE devices (
  id                INTEGER PRIMARY KEY,
  line_id           INTEGER NOT NULL REFERENCES lines(id),
  address           INTEGER NOT NULL CHECK (address BETWEEN 0 AND 255),
  name              TEXT NOT NULL,
  product_name      TEXT NOT NULL,
  manufacturer_name TEXT NOT NULL,
  order_number      TEXT NOT NULL,
  description       TEXT NOT NULL,
  program_name      TEXT NOT NULL,
  program_version   INTEGER NOT NULL CHECK (program_version BETWEEN 0 AND 65535),
  device_type       INTEGER NOT NULL,
  parameters_loaded INTEGER NOT NULL DEFAULT 0 CHECK (parameters_loaded IN (0, 1)),
  UNIQUE (line_id, address)
);
CREATE TABLE parameters (
  id            INTEGER PRIMARY KEY,
  device_id     INTEGER NOT NULL REFERENCES devices(id) ON DELETE CASCADE,
  position      INTEGER NOT NULL,
  display_order INTEGER NOT NULL,
  vt            INTEGER NOT NULL,
  bounds        BLOB,
  value         BLOB,
  UNIQUE (device_id, position)
);
CREATE TABLE comm_objects (
  id        INTEGER PRIMARY KEY,
  device_id INTEGER NOT NULL REFERENCES devices(id) ON DELETE CASCADE,
  number    INTEGER NOT NULL,
  name      TEXT NOT NULL,
  function  TEXT NOT NULL,
  visible   INTEGER NOT NULL DEFAULT 1 CHECK (visible IN (0, 1)),
  UNIQUE (device_id, number)
);
CREATE TABLE group_addresses (
  address INTEGER PRIMARY KEY CHECK (address BETWEEN 0 AND 65535),
  name    TEXT NOT NULL
);
CREATE TABLE associations (
  id            INTEGER PRIMARY KEY AUTOINCREMENT,
  object_id     INTEGER NOT NULL REFERENCES comm_objects(id) ON DELETE CASCADE,
  group_address INTEGER NOT NULL REFERENCES group_addresses(address) ON DELETE CASCADE,
  UNIQUE (object_id, group_address)
);
CREATE TABLE ext_data (
  id          INTEGER PRIMARY KEY,
  area        INTEGER NOT NULL,
  line        INTEGER NOT NULL,
  device      INTEGER NOT NULL,
  key         TEXT NOT NULL,
  vt          INTEGER NOT NULL,
  bounds      BLOB,
  value       BLOB,
  UNIQUE (area, line, device, key)
);
CREATE INDEX parameters_by_device ON parameters(device_id);
CREATE INDEX associations_by_object ON associations(object_id);
)sql";

// Layout 2: the simulated device behind each device, its 64 KiB memory, how
// often it was restarted and when last (ISO 8601, UTC), so that a download
// survives the process and can be inspected.
constexpr const char* kLayout2 = R"sql(
CREATE TABLE device_memory (
  device_id     INTEGER PRIMARY KEY REFERENCES devices(id) ON DELETE CASCADE,
  memory        BLOB NOT NULL,
  restart_count INTEGER NOT NULL DEFAULT 0,
  last_restart  TEXT
);
)sql";

// The steps from layout `fromVersion` to the current one, oldest first.
void UpgradeSteps(ProjectStore& store, int fromVersion) {
  if (fromVersion < 2) store.Exec(kLayout2);
}

void RecordVersion(ProjectStore& store) {
  Statement(store, "INSERT OR REPLACE INTO project_info (key, value) VALUES ('schema_version', ?)")
      .Bind(1, std::to_string(kProjectSchemaVersion))
      .Run();
  store.Exec(("PRAGMA user_version = " + std::to_string(kProjectSchemaVersion) + ";").c_str());
}

}  // namespace

void CreateProjectSchema(ProjectStore& store, const std::string& name) {
  store.Exec(("PRAGMA application_id = " + std::to_string(kProjectApplicationId) + ";").c_str());
  Transaction tx(store);
  store.Exec(kSchema);
  UpgradeSteps(store, 1);
  Statement info(store, "INSERT INTO project_info (key, value) VALUES (?, ?)");
  info.Bind(1, "name").Bind(2, name).Run();
  RecordVersion(store);
  tx.Commit();
}

void UpgradeProjectSchema(ProjectStore& store, int fromVersion) {
  if (fromVersion >= kProjectSchemaVersion) return;
  Transaction tx(store);
  UpgradeSteps(store, fromVersion);
  RecordVersion(store);
  tx.Commit();
}

}  // namespace host
