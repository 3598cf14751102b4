// Topology and devices of a project: adding, copying, deleting, listing.
#include "host/project.h"

namespace host {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// The row of an area or line, created when missing.
int64_t EnsureArea(ProjectStore& s, int area) {
  Statement(s, "INSERT OR IGNORE INTO areas (address) VALUES (?)").Bind(1, area).Run();
  Statement q(s, "SELECT id FROM areas WHERE address = ?");
  q.Bind(1, area).Step();
  return q.Int(0);
}

int64_t EnsureLine(ProjectStore& s, int area, int line) {
  int64_t areaId = EnsureArea(s, area);
  Statement(s, "INSERT OR IGNORE INTO lines (area_id, address) VALUES (?, ?)")
      .Bind(1, areaId)
      .Bind(2, line)
      .Run();
  Statement q(s, "SELECT id FROM lines WHERE area_id = ? AND address = ?");
  q.Bind(1, areaId).Bind(2, line).Step();
  return q.Int(0);
}

void RefuseTaken(const Project& p, const PhysicalAddress& address) {
  if (p.FindDevice(address))
    throw ProjectError(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS),
                       "address " + address.ToString() + " is already taken by a device");
}

int64_t InsertDevice(ProjectStore& s, const PhysicalAddress& address, const DeviceData& d) {
  int64_t lineId = EnsureLine(s, address.area, address.line);
  Statement ins(s,
                "INSERT INTO devices (line_id, address, name, product_name, manufacturer_name, "
                "order_number, description, program_name, program_version, device_type) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  ins.Bind(1, lineId).Bind(2, address.device).Bind(3, d.name).Bind(4, d.productName);
  ins.Bind(5, d.manufacturerName).Bind(6, d.orderNumber).Bind(7, d.description);
  ins.Bind(8, d.programName).Bind(9, d.programVersion).Bind(10, d.deviceType).Run();
  return s.LastInsertId();
}

constexpr const char* kInsertObject =
    "INSERT INTO comm_objects (device_id, number, name, function, visible) VALUES (?, ?, ?, ?, ?)";

}  // namespace

std::string Project::Name() const {
  Lock lock(store_->Mutex());
  Statement q(*store_, "SELECT value FROM project_info WHERE key = 'name'");
  return q.Step() ? q.Text(0) : std::string();
}

int64_t Project::AddDevice(const PhysicalAddress& address, const DeviceTemplate& product) {
  Transaction tx(*store_);
  RefuseTaken(*this, address);
  int64_t id = InsertDevice(*store_, address, product.data);
  Statement par(*store_,
                "INSERT INTO parameters (device_id, position, display_order, vt, value) "
                "VALUES (?, ?, ?, ?, ?)");
  const int32_t zero = 0;
  for (size_t i = 0; i < product.displayOrders.size(); ++i) {
    par.Reset();
    par.Bind(1, id).Bind(2, static_cast<int64_t>(i + 1)).Bind(3, product.displayOrders[i]);
    par.Bind(4, VT_I4).BindBlob(5, &zero, sizeof zero).Run();
  }
  Statement obj(*store_, kInsertObject);
  for (const CommObjectSpec& o : product.objects) {
    obj.Reset();
    obj.Bind(1, id).Bind(2, o.number).Bind(3, o.name).Bind(4, o.function);
    obj.Bind(5, o.visible ? 1 : 0).Run();
  }
  tx.Commit();
  return id;
}

int64_t Project::CopyDevice(const PhysicalAddress& address, int64_t sourceId,
                            const std::optional<std::string>& name) {
  Transaction tx(*store_);
  RefuseTaken(*this, address);
  DeviceData data = DataOf(sourceId);
  if (name) data.name = *name;
  int64_t id = InsertDevice(*store_, address, data);
  Statement(*store_,
            "INSERT INTO parameters (device_id, position, display_order, vt, bounds, value) "
            "SELECT ?, position, display_order, vt, bounds, value FROM parameters "
            "WHERE device_id = ? ORDER BY position")
      .Bind(1, id)
      .Bind(2, sourceId)
      .Run();
  Statement(*store_,
            "INSERT INTO comm_objects (device_id, number, name, function, visible) "
            "SELECT ?, number, name, function, visible FROM comm_objects WHERE device_id = ? "
            "ORDER BY number")
      .Bind(1, id)
      .Bind(2, sourceId)
      .Run();
  tx.Commit();
  return id;
}

void Project::DeleteDevice(int64_t id, bool keepExtData) {
  Transaction tx(*store_);
  PhysicalAddress a = AddressOf(id);
  if (!keepExtData)
    for (const char* sql : {"DELETE FROM ext_data WHERE area = ? AND line = ? AND device = ?",
                            "DELETE FROM ext_data_previous WHERE area = ? AND line = ? AND device = ?"})
      Statement(*store_, sql).Bind(1, a.area).Bind(2, a.line).Bind(3, a.device).Run();
  Statement(*store_, "DELETE FROM devices WHERE id = ?").Bind(1, id).Run();
  tx.Commit();
}

std::optional<int64_t> Project::FindDevice(const PhysicalAddress& address) const {
  Lock lock(store_->Mutex());
  Statement q(*store_,
              "SELECT d.id FROM devices d JOIN lines l ON d.line_id = l.id "
              "JOIN areas a ON l.area_id = a.id "
              "WHERE a.address = ? AND l.address = ? AND d.address = ?");
  q.Bind(1, address.area).Bind(2, address.line).Bind(3, address.device);
  if (!q.Step()) return std::nullopt;
  return q.Int(0);
}

int64_t Project::DeviceAt(const PhysicalAddress& address) const {
  std::optional<int64_t> id = FindDevice(address);
  if (!id)
    throw ProjectError(HRESULT_FROM_WIN32(ERROR_NOT_FOUND),
                       "there is no device with the address " + address.ToString());
  return *id;
}

std::vector<DeviceSummary> Project::Devices() const {
  Lock lock(store_->Mutex());
  Statement q(*store_,
              "SELECT d.id, a.address, l.address, d.address, d.name, d.parameters_loaded "
              "FROM devices d JOIN lines l ON d.line_id = l.id JOIN areas a ON l.area_id = a.id "
              "ORDER BY a.address, l.address, d.address");
  std::vector<DeviceSummary> out;
  while (q.Step()) {
    DeviceSummary d;
    d.id = q.Int(0);
    d.address = {static_cast<int>(q.Int(1)), static_cast<int>(q.Int(2)), static_cast<int>(q.Int(3))};
    d.name = q.Text(4);
    d.parametersLoaded = q.Int(5) != 0;
    out.push_back(std::move(d));
  }
  return out;
}

}  // namespace host
