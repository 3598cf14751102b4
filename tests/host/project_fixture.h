#pragma once
// A fresh project file in a temporary folder, with helpers to reach the
// host's COM objects over it.
#include <gtest/gtest.h>

#include <string>

#include "com/comptr.h"
#include "com/safearray.h"
#include "com/variant.h"
#include "host/project.h"
#include "host/project_objects.h"
#include "hostapi/device.h"
#include "temp_home.h"

namespace projecttest {

class ProjectTest : public ::testing::Test {
 protected:
  ProjectTest() : path(dir.File("project.db")), project(host::Project::Create(path, "Test project")) {}

  host::PhysicalAddress Addr(const std::string& text) {
    host::PhysicalAddress a;
    EXPECT_TRUE(host::ParsePhysicalAddress(text, &a)) << text;
    return a;
  }
  int64_t Add(const std::string& address) {
    return project.AddDevice(Addr(address), host::Dx47xDeviceTemplate());
  }
  com::ComPtr<IDevice> Device(int64_t id) {
    com::ComPtr<IDevice> d;
    EXPECT_EQ(host::MakeDeviceObject(project, id, &d), S_OK);
    return d;
  }
  com::ComPtr<IDeviceExtData> ExtData(int64_t id) {
    com::ComPtr<IDeviceExtData> ext;
    EXPECT_EQ(Device(id).As(&ext), S_OK);
    return ext;
  }

  testsupport::TempDir dir;
  std::string path;
  host::Project project;
};

// A 1-D byte array of n elements, lower bound 0, byte i = (i * 7 + seed).
com::Variant ByteArray(size_t n, uint8_t seed);
// The bytes of a VT_ARRAY|VT_UI1 value.
std::vector<uint8_t> BytesOf(const VARIANT& v);
HRESULT WriteExt(IDeviceExtData* ext, const char16_t* key, const VARIANT& value);
com::Variant ReadExt(IDeviceExtData* ext, const char16_t* key, HRESULT* hr = nullptr);

}  // namespace projecttest
