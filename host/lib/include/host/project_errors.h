#pragma once
// Results of the host's project objects that no system code describes.
#include "base/hresult.h"

namespace host {

// A write of a device's configuration (its extension data or a parameter
// value) through a device object found that the stored configuration was
// changed since that object read it, for example by an editor saving while a
// download ran. Nothing was written; the error information says which device
// ("the configuration of device 1.1.5 was changed by another program since it
// was read"). Reading the configuration again through the object (or a new
// object) and repeating the change is safe.
constexpr HRESULT PROJECT_E_CONFIGURATION_CHANGED = MakeHResult(0x80040301);

}  // namespace host
