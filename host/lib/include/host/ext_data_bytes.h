#pragma once
// A device's extension data as plain bytes, through the device's
// IDeviceExtData as any caller of the host sees it: a one-dimensional byte
// array (VT_ARRAY | VT_UI1, lower bound 0).
#include <cstdint>
#include <vector>

#include "hostapi/device.h"

namespace host {

// E_UNEXPECTED when the stored value is not a one-dimensional byte array,
// HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when nothing is stored under the key.
HRESULT ReadExtDataBytes(IDevice* device, const char16_t* key, std::vector<uint8_t>* bytes);
HRESULT WriteExtDataBytes(IDevice* device, const char16_t* key, const void* data, size_t size);

}  // namespace host
