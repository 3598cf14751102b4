#include "host/project_schema.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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

// Layout 3: each device counts the writes of its configuration (extension
// data and parameter values) in `revision`, so that a writer can tell that
// the configuration changed since it read it. ext_data_previous keeps the
// value that the host itself last replaced under a key (an imported BLOB
// replaces the stored one), keyed by address as ext_data is.
constexpr const char* kAddRevision = "ALTER TABLE devices ADD COLUMN revision INTEGER NOT NULL DEFAULT 0;";
constexpr const char* kLayout3 = R"sql(
CREATE TABLE IF NOT EXISTS ext_data_previous (
  area        INTEGER NOT NULL,
  line        INTEGER NOT NULL,
  device      INTEGER NOT NULL,
  key         TEXT NOT NULL,
  vt          INTEGER NOT NULL,
  bounds      BLOB,
  value       BLOB,
  replaced_at TEXT NOT NULL,
  PRIMARY KEY (area, line, device, key)
);
)sql";

// Runs SQL on `db`; failures are described as failures of `store` when it is
// given (the project being changed), else as an internal failure.
void Run(sqlite3* db, const ProjectStore* store, const char* sql) {
  int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return;
  if (store) store->Fail(rc, "changing the layout of the project");
  throw ProjectError(HResultFromSqlite(rc),
                     std::string("building the project layout failed: ") + sqlite3_errmsg(db));
}

// The tables of a database with their columns, in the order created.
using TableColumns = std::vector<std::pair<std::string, std::vector<std::string>>>;

TableColumns ColumnsOf(sqlite3* db, const ProjectStore* store) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db,
                              "SELECT m.name, p.name FROM sqlite_master m "
                              "JOIN pragma_table_info(m.name) p WHERE m.type = 'table' "
                              "ORDER BY m.rowid, p.cid",
                              -1, &stmt, nullptr);
  TableColumns out;
  if (rc == SQLITE_OK) {
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      std::string table = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      if (out.empty() || out.back().first != table) out.push_back({table, {}});
      out.back().second.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
    }
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) {
    if (store) store->Fail(rc, "reading the tables of the project");
    throw ProjectError(HResultFromSqlite(rc),
                       std::string("reading the project layout failed: ") + sqlite3_errmsg(db));
  }
  return out;
}

bool HasColumn(sqlite3* db, const ProjectStore* store, const std::string& table, const std::string& column) {
  for (const auto& [name, columns] : ColumnsOf(db, store))
    if (name == table) return std::find(columns.begin(), columns.end(), column) != columns.end();
  return false;
}

// Brings `db` from layout `from` (0: empty) to layout `to`. Each step can be
// repeated on a file that already has part of it.
void BuildLayout(sqlite3* db, const ProjectStore* store, int from, int to) {
  if (from < 1 && to >= 1) Run(db, store, kSchema);
  if (from < 2 && to >= 2) Run(db, store, kLayout2);
  if (from < 3 && to >= 3) {
    if (!HasColumn(db, store, "devices", "revision")) Run(db, store, kAddRevision);
    Run(db, store, kLayout3);
  }
}

int StoredVersion(ProjectStore& store) {
  Statement v(store, "PRAGMA user_version");
  return v.Step() ? static_cast<int>(v.Int(0)) : 0;
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
  BuildLayout(store.Db(), &store, 0, kProjectSchemaVersion);
  Statement info(store, "INSERT INTO project_info (key, value) VALUES (?, ?)");
  info.Bind(1, "name").Bind(2, name).Run();
  RecordVersion(store);
  tx.Commit();
}

void UpgradeProjectSchema(ProjectStore& store, int fromVersion) {
  if (fromVersion >= kProjectSchemaVersion) return;
  Transaction tx(store);
  // Another program may have upgraded the file while this one waited for
  // the lock.
  fromVersion = StoredVersion(store);
  if (fromVersion >= kProjectSchemaVersion) return;
  BuildLayout(store.Db(), &store, fromVersion, kProjectSchemaVersion);
  RecordVersion(store);
  tx.Commit();
}

void CheckProjectSchema(ProjectStore& store, int version) {
  sqlite3* reference = nullptr;
  int rc = sqlite3_open_v2(":memory:", &reference, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(reference, &sqlite3_close);
  if (rc != SQLITE_OK) throw ProjectError(HResultFromSqlite(rc), "cannot check the project layout");
  BuildLayout(reference, nullptr, 0, version);
  TableColumns expected = ColumnsOf(reference, nullptr);
  TableColumns actual = ColumnsOf(store.Db(), &store);
  auto damaged = [&](const std::string& what) {
    return ProjectError(HRESULT_FROM_WIN32(ERROR_INVALID_DATA),
                        "the project " + store.Path() + " is damaged: " + what);
  };
  for (const auto& [table, columns] : expected) {
    auto found = std::find_if(actual.begin(), actual.end(), [&](const auto& t) { return t.first == table; });
    if (found == actual.end()) throw damaged("no such table: " + table);
    for (const std::string& column : columns)
      if (std::find(found->second.begin(), found->second.end(), column) == found->second.end())
        throw damaged("no such column: " + table + "." + column);
  }
}

}  // namespace host
