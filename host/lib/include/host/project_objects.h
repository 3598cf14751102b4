#pragma once
// The host's COM objects over a project: the device (IDevice with
// IDeviceExtData), its line and area, application program, parameters,
// communication objects, associations, group addresses and the project
// itself. Each object holds a shared reference to the open project file and
// reads the current state on every call; a device deleted meanwhile answers
// HRESULT_FROM_WIN32(ERROR_NOT_FOUND). Failures carry their text as the
// thread's error information (GetErrorInfo).
#include "host/project.h"
#include "hostapi/device.h"

namespace host {

HRESULT MakeDeviceObject(const Project& project, int64_t deviceId, IDevice** out);
HRESULT MakeProjectObject(const Project& project, IProject** out);
HRESULT MakeLineObject(const Project& project, int64_t lineId, ILine** out);
HRESULT MakeAreaObject(const Project& project, int64_t areaId, IArea** out);
HRESULT MakeProgramObject(const Project& project, int64_t deviceId, IApplicationProgram** out);
HRESULT MakeParametersObject(const Project& project, int64_t deviceId, IDeviceParameters** out);
HRESULT MakeCommObjectsObject(const Project& project, int64_t deviceId, IDeviceCommunicationObjects** out);
HRESULT MakeGroupAddressObject(const Project& project, uint16_t address, IGroupAddress** out);

}  // namespace host
