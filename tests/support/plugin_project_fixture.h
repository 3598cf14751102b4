#pragma once
// A temporary project with one DX 47x device at 1.1.5, the host services
// registered, and trace lines collected in a file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/comptr.h"
#include "host/project.h"
#include "host/services.h"
#include "hostapi/device.h"
#include "temp_home.h"

namespace testsupport {

class ProjectFixture : public ::testing::Test {
 protected:
  ProjectFixture();
  ~ProjectFixture() override;

  // The device object of a device in the project.
  com::ComPtr<IDevice> DeviceObject(int64_t id);
  int64_t AddDevice(const std::string& address);
  // Stores a value under "DX470" as the host would.
  void StoreExtData(IDevice* device, const VARIANT& value);
  // A 1-D byte array VARIANT of n bytes with the given first four bytes.
  static com::Variant ByteArray(size_t n, uint32_t firstWord);
  // Everything traced so far; Forget() starts afresh.
  std::string Trace() const;
  void ForgetTrace() const;

  TempHome home;
  host::HostServices services;
  host::Project project;
  int64_t deviceId = 0;
  com::ComPtr<IDevice> device;
  std::string traceFile;
};

}  // namespace testsupport
