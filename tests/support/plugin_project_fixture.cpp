#include "plugin_project_fixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "com/safearray.h"
#include "host/project_objects.h"
#include "hostapi/dx47x_blob.h"

namespace testsupport {

ProjectFixture::ProjectFixture()
    : project(host::Project::Create(home.Path() + "/project.db", "Test project")) {
  traceFile = home.Path() + "/trace.txt";
  setenv("DX47X_TRACE", "4", 1);
  setenv("DX47X_TRACE_FILE", traceFile.c_str(), 1);
  deviceId = AddDevice("1.1.5");
  device = DeviceObject(deviceId);
}

ProjectFixture::~ProjectFixture() {
  unsetenv("DX47X_TRACE");
  unsetenv("DX47X_TRACE_FILE");
}

int64_t ProjectFixture::AddDevice(const std::string& address) {
  host::PhysicalAddress a;
  EXPECT_TRUE(host::ParsePhysicalAddress(address, &a));
  return project.AddDevice(a, host::Dx47xDeviceTemplate());
}

com::ComPtr<IDevice> ProjectFixture::DeviceObject(int64_t id) {
  com::ComPtr<IDevice> d;
  EXPECT_EQ(host::MakeDeviceObject(project, id, &d), S_OK);
  return d;
}

void ProjectFixture::StoreExtData(IDevice* d, const VARIANT& value) {
  com::ComPtr<IDeviceExtData> ext;
  ASSERT_EQ(d->QueryInterface(IDeviceExtData::iid, ext.PpvSlot()), S_OK);
  com::Bstr key(dx47x::blob::kKeyWide);
  ASSERT_EQ(ext->WriteExtData(key.Get(), value), S_OK);
}

com::Variant ProjectFixture::ByteArray(size_t n, uint32_t firstWord) {
  com::Variant v;
  SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, ULONG(n));
  void* data = nullptr;
  SafeArrayAccessData(a, &data);
  auto* b = static_cast<uint8_t*>(data);
  for (int i = 0; i < 4 && size_t(i) < n; ++i) b[i] = uint8_t(firstWord >> (8 * i));
  SafeArrayUnaccessData(a);
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = a;
  return v;
}

std::string ProjectFixture::Trace() const {
  std::ifstream in(traceFile);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void ProjectFixture::ForgetTrace() const { std::ofstream(traceFile, std::ios::trunc); }

}  // namespace testsupport
