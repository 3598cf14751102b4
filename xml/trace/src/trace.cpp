#include "xmlweave/trace.h"

#include <charconv>
#include <new>

#include "com/cocreate.h"

namespace xmlweave {

com::ComPtr<ITraceServer> OpenTraceServer(const char* className) {
  com::ComPtr<ITraceServer> server;
  if (FAILED(CoCreateInstance(CLSID_TraceServer, nullptr, CLSCTX_ALL, ITraceServer::iid, server.PpvSlot())) ||
      !server)
    return nullptr;
  server->SetChannelName(0, className);
  return server;
}

TraceChannel::TraceChannel(const char* className) : m_spServer(OpenTraceServer(className)) {}

TraceChannel::TraceChannel(const char* className, com::ComPtr<ITraceServer> server)
    : m_spServer(std::move(server)) {
  if (m_spServer) m_spServer->SetChannelName(0, className);
}

TraceMessage::TraceMessage(ITraceServer* server, TraceSeverity severity, const char* file, int line)
    : m_severity(severity), m_file(file), m_line(line) {
  if (!server) return;
  int32_t flag = 0;
  switch (severity) {
    case TraceSeverity::Error:
      flag = 1;
      server->IsErrorWanted(&flag);
      break;
    case TraceSeverity::Warning:
      flag = 0;
      server->IsWarningWanted(&flag);
      break;
    case TraceSeverity::RegistryWarning:
      flag = 0;
      server->IsWarningSuppressed(&flag);
      flag = !flag;
      break;
  }
  if (flag) m_spServer = com::ComPtr<ITraceServer>(server);
}

// A line that cannot be completed for want of memory is dropped: the
// destructor also runs while a std::bad_alloc unwinds, and nothing may leave it.
TraceMessage::~TraceMessage() {
  if (!m_spServer || m_text.empty()) return;
  try {
    m_text += ' ';
    m_text += m_file;
    m_text += ' ';
    *this << int32_t(m_line);
    m_text += "\r\n";
  } catch (const std::bad_alloc&) {
    return;
  }
  if (m_severity == TraceSeverity::Error)
    m_spServer->WriteError(m_text.c_str());
  else
    m_spServer->WriteWarning(m_text.c_str());
}

TraceMessage& TraceMessage::operator<<(const char* s) {
  if (m_spServer) m_text += s ? s : "(NULL)";
  return *this;
}

TraceMessage& TraceMessage::operator<<(std::string_view s) {
  if (m_spServer) m_text += s;
  return *this;
}

TraceMessage& TraceMessage::operator<<(int32_t v) {
  if (m_spServer) {
    char buf[16];
    m_text.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
  }
  return *this;
}

TraceMessage& TraceMessage::operator<<(uint32_t v) {
  if (m_spServer) {
    char buf[16];
    m_text.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
  }
  return *this;
}

}  // namespace xmlweave
