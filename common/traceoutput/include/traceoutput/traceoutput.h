#pragma once
// Where the trace components of this system write: standard error, or the
// file named by DX47X_TRACE_FILE, when DX47X_TRACE names a level (2 errors,
// 3 warnings too, 4 information too); without DX47X_TRACE nothing is wanted.
#include <string>

namespace traceoutput {

// The highest level wanted, 0 when tracing is off. Read from the environment
// on every call, so a process can switch it.
int EnabledLevel();
inline bool IsEnabled(int level) { return level > 0 && level <= EnabledLevel(); }

// Writes one line ("<channel>: <text>") with a level letter (E, W, I) and a
// time stamp; safe from any thread. Lines are appended whole.
void WriteLine(int level, const std::string& channel, const std::string& text);

}  // namespace traceoutput
