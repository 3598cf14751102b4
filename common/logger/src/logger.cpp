#include "logger/logger.h"

#include <cstdarg>
#include <cstdio>

#include "base/strings.h"
#include "com/cocreate.h"

CLogger::CLogger(const char* channel) {
  if (FAILED(com::CreateInstance(CLSID_TraceService, &m_spTrace))) return;
  if (channel && *channel) {
    com::ComPtr<ITraceChannel> name;
    if (SUCCEEDED(m_spTrace.As(&name))) name->SetChannelName(base::Utf8ToUtf16(channel).c_str());
  }
}

bool CLogger::IsEnabled(LONG level) const {
  if (!m_spTrace) return false;
  BOOL enabled = FALSE;
  return SUCCEEDED(m_spTrace->IsLevelEnabled(level, &enabled)) && enabled;
}

void CLogger::Trace(LONG level, const char* format, ...) const {
  if (!IsEnabled(level)) return;
  char line[kTraceLineLimit + 1];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) return;
  m_spTrace->Trace(level, base::Utf8ToUtf16(line).c_str());
}
