#pragma once
// The plug-in's trace logger: one per object, created from the host's trace
// service and named by channel. Without the service tracing is silently off.
#include "base/hresult.h"
#include "com/comptr.h"
#include "hostapi/services.h"

// Longest line sent, in characters of the formatted text.
constexpr size_t kTraceLineLimit = 256;

class CLogger {
 public:
  // channel: "DX470", "DX470PlugIn.DX470UI"; null or empty leaves it unnamed.
  explicit CLogger(const char* channel = nullptr);
  CLogger(const CLogger&) = delete;
  CLogger& operator=(const CLogger&) = delete;

  bool IsEnabled(LONG level) const;
  // Formats into at most kTraceLineLimit characters and sends the line when
  // the service has the level enabled.
  void Trace(LONG level, const char* format, ...) const __attribute__((format(printf, 3, 4)));

 private:
  com::ComPtr<ITraceService> m_spTrace;
};

// A failing call, with the call site's own fixed text naming the call:
//   TRACE_FAILED(m_oLog, "m_spDevice->get_Name", hr);
// writes "Line:<line> - Die Funktion 'm_spDevice->get_Name' ist leider
// fehlgeschlagen <error text>".
#define TRACE_FAILED(logger, call, hr)                                                                \
  (logger).Trace(TRACE_LEVEL_ERROR, "Line:%d - Die Funktion '" call "' ist leider fehlgeschlagen %s", \
                 __LINE__, base::ErrorText(hr).c_str())

// A broken precondition (null argument, unbound host link).
#define TRACE_ASSERT(logger) (logger).Trace(TRACE_LEVEL_ERROR, "Line:%d VERIFY or ASSERT ", __LINE__)
