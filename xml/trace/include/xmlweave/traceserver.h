#pragma once
// The trace component's interface as the XML server uses it: slots 3 to 11
// behind IUnknown. Slots 4, 7 and 8 exist for the layout only.
#include <cstdint>

#include "com/unknown.h"

namespace xmlweave {

constexpr CLSID CLSID_TraceServer = MakeGuid("3B64B9DC-1A01-4D1F-88F4-04E9CDF8A3CF");

struct ITraceServer : IUnknown {
  // Slot 3: names the channel that later lines belong to.
  virtual HRESULT SetChannelName(int32_t reserved, const char* name) = 0;
  virtual HRESULT Reserved4() = 0;
  // Slots 5 and 6: one line (ending in CR LF).
  virtual HRESULT WriteWarning(const char* line) = 0;
  virtual HRESULT WriteError(const char* line) = 0;
  virtual HRESULT Reserved7() = 0;
  virtual HRESULT Reserved8() = 0;
  // Slot 9: *wanted (preset 1) becomes 0 when error lines are not wanted.
  virtual HRESULT IsErrorWanted(int32_t* wanted) = 0;
  // Slot 10: *suppressed (preset 0) becomes 1 when warnings are not wanted;
  // asked only before the warning about a missing registry value.
  virtual HRESULT IsWarningSuppressed(int32_t* suppressed) = 0;
  // Slot 11: *wanted (preset 0) becomes 1 when warning lines are wanted.
  virtual HRESULT IsWarningWanted(int32_t* wanted) = 0;
  static constexpr IID iid = MakeGuid("597B64FF-E997-48A4-935A-6A781AE8867C");
};

}  // namespace xmlweave
