#pragma once
// An in-memory host device whose calls can be made to fail, for the cases a
// real project cannot produce on demand.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "com/object.h"
#include "hostapi/device.h"

namespace testsupport {

struct FakeDeviceState {
  std::vector<int32_t> displayOrders;  // one parameter per entry
  std::vector<int32_t> values;
  std::map<std::u16string, com::Variant> extData;
  int32_t parametersLoaded = -1;
  int parameterPuts = 0;
  int extWrites = 0;
  // Failures to inject.
  HRESULT failReadExtData = S_OK;
  HRESULT failWriteExtData = S_OK;
  HRESULT failPutValue = S_OK;
  int failPutValueAt = 0;  // 1-based parameter whose put fails (0: all, when failPutValue set)
  HRESULT failParametersLoaded = S_OK;
  HRESULT failGetName = S_OK;
  bool noExtData = false;  // the device does not answer IDeviceExtData
  // Called first by ReadExtData: a host that misbehaves by throwing.
  std::function<void()> onReadExtData;
};

// Creates a device over `state` (which must outlive it).
com::ComPtr<IDevice> MakeFakeDevice(FakeDeviceState* state);

// A state with the 33 parameters of a DX 47x device, display orders 1..33.
FakeDeviceState Dx47xState();

}  // namespace testsupport
