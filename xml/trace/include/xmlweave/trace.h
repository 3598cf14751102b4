#pragma once
// Trace channels of the XML server's classes: each traced object holds one
// reference to a trace component, named after the class. A line is the
// message, a space, the source file and the source line; it is built only
// when the component wants lines of its severity.
//
//   XW_TRACE_ERROR(m_trace) << "ReadFile failed with GetLastError = " << err;
#include <string>
#include <string_view>

#include "com/comptr.h"
#include "xmlweave/traceserver.h"

namespace xmlweave {

class TraceChannel {
 public:
  // Creates the trace component and names it; without one, nothing is traced.
  explicit TraceChannel(const char* className);
  // A channel on a given component (tests), or none.
  TraceChannel(const char* className, com::ComPtr<ITraceServer> server);
  ITraceServer* Server() const { return m_spServer.Get(); }

 private:
  com::ComPtr<ITraceServer> m_spServer;
};

enum class TraceSeverity { Error, Warning, RegistryWarning };

// One line under construction; sent by the destructor.
class TraceMessage {
 public:
  TraceMessage(ITraceServer* server, TraceSeverity severity, const char* file, int line);
  TraceMessage(const TraceChannel& channel, TraceSeverity severity, const char* file, int line)
      : TraceMessage(channel.Server(), severity, file, line) {}
  ~TraceMessage();
  TraceMessage(const TraceMessage&) = delete;
  TraceMessage& operator=(const TraceMessage&) = delete;

  // Strings byte for byte ("(NULL)" for null), HRESULTs and LONGs signed,
  // DWORDs unsigned.
  TraceMessage& operator<<(const char* s);
  TraceMessage& operator<<(std::string_view s);
  TraceMessage& operator<<(const std::string& s) { return *this << std::string_view(s); }
  TraceMessage& operator<<(int32_t v);
  TraceMessage& operator<<(uint32_t v);

 private:
  com::ComPtr<ITraceServer> m_spServer;  // null when the line is not wanted
  TraceSeverity m_severity;
  const char* m_file;
  int m_line;
  std::string m_text;
};

// The registry reads of the writer keep no channel: one component per line.
com::ComPtr<ITraceServer> OpenTraceServer(const char* className);

}  // namespace xmlweave

#define XW_TRACE_ERROR(channel) \
  ::xmlweave::TraceMessage((channel), ::xmlweave::TraceSeverity::Error, __FILE_NAME__, __LINE__)
#define XW_TRACE_WARNING(channel) \
  ::xmlweave::TraceMessage((channel), ::xmlweave::TraceSeverity::Warning, __FILE_NAME__, __LINE__)
