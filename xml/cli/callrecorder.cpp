#include "callrecorder.h"

#include <cstdio>

#include "base/strings.h"

namespace xmlweave {

std::string QuoteText(const char* s) {
  if (!s) return "null";
  std::string out = "\"";
  for (; *s; ++s) {
    unsigned char c = static_cast<unsigned char>(*s);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F)
          out += base::Format("\\x%02X", c);
        else
          out += char(c);
    }
  }
  return out + "\"";
}

com::ComPtr<CallRecorder> CallRecorder::Make() {
  com::ComObject<CallRecorder>* obj = nullptr;
  if (FAILED(com::ComObject<CallRecorder>::Create(nullptr, &obj))) return nullptr;
  return com::ComPtr<CallRecorder>(obj);
}

HRESULT CallRecorder::Done(const char* method, const std::string& line) {
  if (sink) sink(line);
  return result ? result(method) : S_OK;
}

HRESULT CallRecorder::StartDocument() { return Done("StartDocument", "StartDocument()"); }
HRESULT CallRecorder::EndDocument() { return Done("EndDocument", "EndDocument()"); }

HRESULT CallRecorder::FileVersionA(const char* szName, const char* szVersion) {
  return Done("FileVersionA", "FileVersionA(" + QuoteText(szName) + ", " + QuoteText(szVersion) + ")");
}

HRESULT CallRecorder::CommentA(const char* szComment) {
  return Done("CommentA", "CommentA(" + QuoteText(szComment) + ")");
}

HRESULT CallRecorder::StartElementLongA(const char* szName, int32_t nVal) {
  return Done("StartElementLongA",
              base::Format("StartElementLongA(%s, %d)", QuoteText(szName).c_str(), nVal));
}

HRESULT CallRecorder::StartElementBoolA(const char* szName, int32_t bVal) {
  return Done("StartElementBoolA",
              base::Format("StartElementBoolA(%s, %d)", QuoteText(szName).c_str(), bVal));
}

HRESULT CallRecorder::StartElementFloatA(const char* szName, float fVal) {
  return Done("StartElementFloatA",
              base::Format("StartElementFloatA(%s, %.9g)", QuoteText(szName).c_str(), double(fVal)));
}

HRESULT CallRecorder::StartElementStringA(const char* szName, const char* szVal) {
  return Done("StartElementStringA",
              "StartElementStringA(" + QuoteText(szName) + ", " + QuoteText(szVal) + ")");
}

HRESULT CallRecorder::StartElementByteArrayA(const char* szName, uint32_t dwSize, const uint8_t* rgbyteVal) {
  std::string line = base::Format("StartElementByteArrayA(%s, %u, {", QuoteText(szName).c_str(), dwSize);
  for (uint32_t i = 0; rgbyteVal && i < dwSize; ++i)
    line += base::Format(i ? ", 0x%02X" : "0x%02X", rgbyteVal[i]);
  return Done("StartElementByteArrayA", line + "})");
}

HRESULT CallRecorder::StartElementA(const char* szName) {
  return Done("StartElementA", "StartElementA(" + QuoteText(szName) + ")");
}

HRESULT CallRecorder::EndElementA(const char* szName) {
  return Done("EndElementA", "EndElementA(" + QuoteText(szName) + ")");
}

HRESULT CallRecorder::Error(HRESULT hr, uint32_t dwLine) {
  if (error) error(hr, dwLine);
  return Done("Error", base::Format("Error(0x%08X, %u)", uint32_t(hr), dwLine));
}

HRESULT CallRecorder::StartElementLongArrayA(const char* szName, uint32_t dwSize, const int32_t* rglVal) {
  std::string line = base::Format("StartElementLongArrayA(%s, %u, {", QuoteText(szName).c_str(), dwSize);
  for (uint32_t i = 0; rglVal && i < dwSize; ++i) line += base::Format(i ? ", %d" : "%d", rglVal[i]);
  return Done("StartElementLongArrayA", line + "})");
}

}  // namespace xmlweave
