#pragma once
// The host's own download object (CLSID_HostDownload), registered in-process
// with the other host services.
#include "com/comptr.h"

namespace host {

com::ComPtr<IClassFactory> MakeHostDownloadFactory();

}  // namespace host
