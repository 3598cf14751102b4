#include "com/barrier.h"

#include "base/strings.h"
#include "com/comptr.h"
#include "com/errorinfo.h"

namespace com {

HRESULT ReportFailure(HRESULT hr, const char* text) noexcept {
  try {
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(MakeErrorInfo(base::Utf8ToUtf16(text ? text : ""), &info)))
      SetErrorInfo(0, info.Get());
    else
      SetErrorInfo(0, nullptr);
  } catch (...) {
    SetErrorInfo(0, nullptr);
  }
  return hr;
}

}  // namespace com
