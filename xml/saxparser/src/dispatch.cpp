// Parse loop, header, per-tag dispatch to the document handlers.
#include <climits>
#include <new>

#include "xmlweave/saxparser.h"

namespace xmlweave {
namespace {

void StripLeadingBlanks(std::string_view& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
  s.remove_prefix(i);
}

// A value cut from the buffer ends where its '<' stands; while a handler
// looks at it, that byte is its terminating zero.
class TerminatedValue {
 public:
  explicit TerminatedValue(std::string_view value) {
    if (value.empty()) return;
    m_end = const_cast<char*>(value.data() + value.size());
    m_saved = *m_end;
    *m_end = '\0';
    m_text = value.data();
  }
  ~TerminatedValue() {
    if (m_end) *m_end = m_saved;
  }
  TerminatedValue(const TerminatedValue&) = delete;
  TerminatedValue& operator=(const TerminatedValue&) = delete;
  const char* c_str() const { return m_text; }

 private:
  char* m_end = nullptr;
  char m_saved = 0;
  const char* m_text = "";
};

}  // namespace

CSaxParser::CSaxParser() : CSaxParser(TraceChannel("CSaxParser")) {}

CSaxParser::CSaxParser(TraceChannel channel) : m_trace(std::move(channel)) { ReleaseAllHandlers(); }

CSaxParser::~CSaxParser() { ReleaseAllHandlers(); }

void CSaxParser::ReportHandlerError(HRESULT code) {
  if (!m_pDocumentHandler) return;
  if (FAILED(m_pDocumentHandler->Error(code, m_line))) {
    m_eof = true;
    m_begin = m_end;
    XW_TRACE_ERROR(m_trace) << "DocumentHandler abort";
  }
}

HRESULT CSaxParser::AddDocumentHandler(IDocumentHandler* handler) {
  if (!handler) {
    XW_TRACE_ERROR(m_trace) << "AddDocumentHandler failed: NULL pointer ";
    return E_POINTER;
  }
  m_pDocumentHandler = com::ComPtr<IDocumentHandler>(handler);
  m_handlerStack.emplace_back(handler);
  m_levelStack.push_back(m_depth < INT32_MAX ? m_depth + 1 : INT32_MAX);
  return S_OK;
}

HRESULT CSaxParser::RemoveDocumentHandler() {
  if (m_handlerStack.empty()) {
    XW_TRACE_ERROR(m_trace) << "RemoveDocumentHandler failed: stack is empty ";
    return E_FAIL;
  }
  m_pDocumentHandler = nullptr;
  com::ComPtr<IDocumentHandler> top = std::move(m_handlerStack.back());
  m_handlerStack.pop_back();
  top = nullptr;
  if (m_levelStack.empty()) {
    XW_TRACE_ERROR(m_trace) << "RemoveDocumentHandler failed: Level stack is empty ";
    return E_FAIL;
  }
  int32_t level = m_levelStack.back();
  m_levelStack.pop_back();
  if (m_depth < level && !m_handlerStack.empty()) m_pDocumentHandler = m_handlerStack.back();
  return S_OK;
}

HRESULT CSaxParser::GetActiveDocumentHandler(IDocumentHandler** handler) {
  if (!handler) {
    XW_TRACE_ERROR(m_trace) << "GetActiveDocumentHandler failed: NULL pointer not allowed ";
    return E_POINTER;
  }
  return m_pDocumentHandler.CopyTo(handler);
}

void CSaxParser::ReleaseAllHandlers() {
  // The references go after the state is consistent, so that a handler's
  // Release cannot observe a half-emptied stack.
  auto stack = std::move(m_handlerStack);
  auto active = std::move(m_pDocumentHandler);
  m_handlerStack.clear();
  m_levelStack.clear();
  m_elementNameStack.clear();
  m_pDocumentHandler = nullptr;
}

HRESULT CSaxParser::Parse(InputSource* source) {
  if (m_parsing) return E_UNEXPECTED;  // a handler called Parse from a callback
  Begin(nullptr);
  m_depth = -1;
  if (!source || !source->IsValid()) {
    XW_TRACE_ERROR(m_trace) << "Invalid file handle";
    return E_INVALIDARG;
  }
  Begin(source);
  m_parsing = true;
  // However the parse ends (a handler may throw; the caller's barrier turns
  // that into an HRESULT), the handlers are let go and the parser is ready
  // for the next document.
  struct EndOfParse {
    CSaxParser& parser;
    ~EndOfParse() {
      parser.ReleaseAllHandlers();
      parser.Begin(nullptr);
      parser.m_parsing = false;
    }
  } end{*this};
  try {
    return ParseLoop();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT CSaxParser::ParseLoop() {
  HRESULT hr = ParseHeader();
  if (FAILED(hr)) XW_TRACE_ERROR(m_trace) << "Parse: ParseHeader failed with: " << hr;
  while (m_depth > -1) {
    std::string_view tag;
    hr = GetNextTag(tag);
    if (FAILED(hr)) {
      if (m_depth > 0 && m_eof) {
        m_depth = 0;
        XW_TRACE_ERROR(m_trace) << "GetNextTag() failed: XML file syntax error hr = " << hr;
        hr = XML_E_SYNTAX;
        ReportHandlerError(hr);
      }
      continue;
    }
    hr = ParseTag(tag);
    if (m_depth < 0) break;
    if (FAILED(hr)) {
      m_depth = -1;
      XW_TRACE_ERROR(m_trace) << "ParseTag() failed: XML file syntax error hr = " << hr;
      if (m_eof && m_begin == m_end) ReportHandlerError(hr);
    }
  }
  return hr;
}

HRESULT CSaxParser::ParseHeader() {
  m_depth = 0;
  if (m_pDocumentHandler) m_pDocumentHandler->StartDocument();
  std::string_view tag;
  HRESULT hr = GetNextTag(tag);
  if (FAILED(hr)) {
    XW_TRACE_ERROR(m_trace) << "ParseHeader: GetNextTag failed with: " << hr;
    return hr;
  }
  if (IsXmlHeaderTag(tag)) return hr;
  if (tag.find("<!--") != std::string_view::npos) {
    // One comment may stand before the header; what follows it is read
    // whatever became of the comment.
    ParseTag(tag);
    hr = GetNextTag(tag);
    if (FAILED(hr)) {
      XW_TRACE_ERROR(m_trace) << "ParseHeader: GetNextTag failed with: " << hr;
      return hr;
    }
    if (IsXmlHeaderTag(tag)) return hr;
    hr = ParseTag(tag);
  } else {
    hr = ParseTag(tag);
  }
  if (FAILED(hr)) XW_TRACE_ERROR(m_trace) << "ParseHeader: ParseTag failed with: " << hr;
  return hr;
}

HRESULT CSaxParser::ParseTag(std::string_view tag) {
  TagType type = TAG_NONE;
  bool empty = false;
  HRESULT hr = GetTagType(tag, m_name, type, empty);
  if (FAILED(hr)) {
    XW_TRACE_ERROR(m_trace) << "ParseTag: GetTagType failed with: " << hr;
    return hr;
  }
  if (!m_levelStack.empty() && m_levelStack.back() > m_depth) RemoveDocumentHandler();
  switch (type) {
    case TAG_BEGIN: return BeginElement();
    case TAG_END: return EndElement();
    case TAG_BOOL:
    case TAG_LONG:
    case TAG_FLOAT:
    case TAG_STRING: return ParseTypedLeaf(type, empty);
    case TAG_BYTEARRAY:
    case TAG_LONGARRAY: return ParseArrayLeaf(type, empty);
    case TAG_COMMENT: return Comment();
    case TAG_VERSION: return FileVersion();
    case TAG_EMPTY: return EmptyElement();
    default: return hr;
  }
}

// <name>: the handler's StartElementA; text right behind it has no type.
HRESULT CSaxParser::BeginElement() {
  const std::string& name = m_name;
  HRESULT hr = S_OK;
  if (m_depth == INT32_MAX) {  // deeper than the depth counter reaches
    ReportHandlerError(XML_E_SYNTAX);
    return XML_E_SYNTAX;
  }
  if (m_pDocumentHandler) {
    m_elementNameStack.push_back(name);
    hr = m_pDocumentHandler->StartElementA(name.c_str());
    if (FAILED(hr)) {
      XW_TRACE_ERROR(m_trace) << "ParseTag: m_pDocumentHandler->StartElementA() failed " << hr;
      ReportHandlerError(XML_E_SYNTAX);
    } else {
      std::string_view value;
      if (SUCCEEDED(GetNextValue(value))) {
        StripLeadingBlanks(value);
        if (!value.empty() && m_pDocumentHandler) {
          ReportHandlerError(XML_E_UNTYPEDVALUE);
          XW_TRACE_ERROR(m_trace) << "ParseTag: attribute missing for Value: " << value;
        }
      }
    }
  }
  ++m_depth;
  return hr;
}

// </name>: the handler's EndElementA, and EndDocument at the root.
HRESULT CSaxParser::EndElement() {
  const std::string& name = m_name;
  HRESULT hr = S_OK;
  --m_depth;
  if (m_pDocumentHandler) {
    if (!m_levelStack.empty() && m_levelStack.back() > m_depth) RemoveDocumentHandler();
    if (m_pDocumentHandler) {
      if (!m_elementNameStack.empty()) {
        if (m_elementNameStack.back() != name) {
          XW_TRACE_ERROR(m_trace) << "ParseTag: EndElement: " << name
                                  << " is different BeginElement: " << m_elementNameStack.back()
                                  << " line = " << m_line << " failed " << hr;
          ReportHandlerError(XML_E_SYNTAX);
        }
        m_elementNameStack.pop_back();
      }
      HRESULT he = m_pDocumentHandler->EndElementA(name.c_str());
      if (FAILED(he)) {
        XW_TRACE_ERROR(m_trace) << "ParseTag: m_pDocumentHandler->EndElementA() tag= " << name
                                << " line = " << m_line << " failed " << he;
        ReportHandlerError(XML_E_SYNTAX);
        hr = he;
      }
    }
  }
  if (m_depth < 1) {
    if (m_pDocumentHandler) {
      hr = m_pDocumentHandler->EndDocument();
      if (FAILED(hr)) {
        XW_TRACE_ERROR(m_trace) << "ParseTag: m_pDocumentHandler->EndDocument() tag= " << name
                                << " line = " << m_line << " failed " << hr;
        ReportHandlerError(XML_E_SYNTAX);
      }
      RemoveDocumentHandler();
    }
    m_depth = -1;
  }
  return hr;
}

// <!-- text -->, decoded when it can be.
HRESULT CSaxParser::Comment() {
  const std::string& name = m_name;
  HRESULT hr = S_OK;
  if (m_pDocumentHandler) {
    std::string decoded;
    const std::string& text = SUCCEEDED(XmlTextToString(name, decoded)) ? decoded : name;
    m_pDocumentHandler->CommentA(text.c_str());
  }
  return hr;
}

// The schema version of the document.
HRESULT CSaxParser::FileVersion() {
  const std::string& name = m_name;
  HRESULT hr = S_OK;
  if (m_pDocumentHandler) {
    hr = m_pDocumentHandler->FileVersionA("schemaversion", name.c_str());
    if (FAILED(hr)) {
      XW_TRACE_ERROR(m_trace) << "ParseTag: m_pDocumentHandler->FileVersionA() line = " << m_line
                              << " failed " << hr;
      ReportHandlerError(XML_E_SYNTAX);
    }
  }
  return hr;
}

// <name/>: a start and an end.
HRESULT CSaxParser::EmptyElement() {
  const std::string& name = m_name;
  HRESULT hr = S_OK;
  if (m_pDocumentHandler) {
    hr = m_pDocumentHandler->StartElementA(name.c_str());
    if (FAILED(hr)) {
      XW_TRACE_ERROR(m_trace) << "ParseTag: m_pDocumentHandler->StartElementA() failed " << hr;
      ReportHandlerError(XML_E_SYNTAX);
      return hr;
    }
    if (m_pDocumentHandler) hr = m_pDocumentHandler->EndElementA(name.c_str());
    if (FAILED(hr)) {
      XW_TRACE_ERROR(m_trace) << "ParseTag: m_pDocumentHandler->EndElementA() failed " << hr;
      ReportHandlerError(XML_E_SYNTAX);
    }
  }
  return hr;
}

// Bool, long, float and string leaves.
HRESULT CSaxParser::ParseTypedLeaf(TagType type, bool empty) {
  const std::string& name = m_name;
  HRESULT hr = S_OK;
  if (empty && type != TAG_STRING) {
    XW_TRACE_WARNING(m_trace) << "ParseTag: No value exist for tag " << name << " in line = " << m_line;
    return hr;
  }
  std::string_view value;
  hr = GetNextValue(value);
  if (FAILED(hr)) {
    static const char* const kWhat[] = {"bool", "long", "float", "std::string"};
    XW_TRACE_ERROR(m_trace) << "ParseTag: GetNextValue " << kWhat[type - TAG_BOOL] << " failed with: " << hr;
    return hr;
  }
  if (m_pDocumentHandler) {
    HRESULT hc = S_OK;
    const char* call = "";
    switch (type) {
      case TAG_BOOL:
        hc = m_pDocumentHandler->StartElementBoolA(name.c_str(), ParseBool(value));
        call = "ParseTag: m_pDocumentHandler->StartElementBoolA() line = ";
        break;
      case TAG_LONG:
        hc = m_pDocumentHandler->StartElementLongA(name.c_str(), ParseLong(value));
        call = "ParseTag: m_pDocumentHandler->StartElementLongA() line = ";
        break;
      case TAG_FLOAT:
        hc = m_pDocumentHandler->StartElementFloatA(name.c_str(), ParseFloat(value));
        call = "ParseTag: m_pDocumentHandler->StartElementFloatA() line = ";
        break;
      default: {
        bool decoded = false;
        if (value.find('&') != std::string_view::npos) {
          decoded = SUCCEEDED(XmlTextToString(value, m_text));
          if (!decoded) XW_TRACE_ERROR(m_trace) << "PrepareString: XmlTextToString failed with: " << E_FAIL;
        }
        if (decoded) {
          hc = m_pDocumentHandler->StartElementStringA(name.c_str(), m_text.c_str());
        } else {
          TerminatedValue text(value);
          hc = m_pDocumentHandler->StartElementStringA(name.c_str(), text.c_str());
        }
        if (FAILED(hc)) {
          ReportHandlerError(XML_E_SYNTAX);
          XW_TRACE_ERROR(m_trace) << "ParseTag: m_pDocumentHandler->StartElementStringA() tag: '" << name
                                  << "' value: '" << (decoded ? std::string_view(m_text) : value)
                                  << "' line = " << m_line << " failed " << hc;
          return hc;
        }
        break;
      }
    }
    if (FAILED(hc)) {
      ReportHandlerError(XML_E_SYNTAX);
      XW_TRACE_ERROR(m_trace) << call << m_line << " failed " << hc;
      return hc;
    }
  }
  if (type == TAG_STRING && empty) return hr;
  return CheckEndTag();
}

// Byte-array and long-array leaves.
HRESULT CSaxParser::ParseArrayLeaf(TagType type, bool empty) {
  const std::string& name = m_name;
  HRESULT hr = S_OK;
  if (empty) {
    XW_TRACE_ERROR(m_trace) << "ParseTag: GetNextValue std::string failed with: " << hr;
    return hr;
  }
  std::string_view value;
  hr = GetNextValue(value);
  if (FAILED(hr)) {
    XW_TRACE_ERROR(m_trace) << (type == TAG_BYTEARRAY ? "ParseTag: GetNextValue byte array failed with: "
                                                      : "ParseTag: GetNextValue long array failed with: ")
                            << hr;
    return hr;
  }
  if (m_pDocumentHandler) {
    const bool bytes = type == TAG_BYTEARRAY;
    HRESULT hd = bytes ? Base64StringToByte(value, m_bytes) : StringToLongA(value, m_longs);
    if (FAILED(hd)) {
      XW_TRACE_ERROR(m_trace) << (bytes ? "ParseTag: Base64StringToByte() failed "
                                        : "ParseTag: StringToLongA() failed ")
                              << hd;
    } else if (bytes ? m_bytes.empty() : m_longs.empty()) {
      hr = E_INVALIDARG;
      XW_TRACE_ERROR(m_trace) << "ParseTag: CoDynamicMemory.Resize() failed " << hr;
    } else {
      // The arrays belong to the parser and stay valid for the call.
      HRESULT hc = bytes ? m_pDocumentHandler->StartElementByteArrayA(name.c_str(), uint32_t(m_bytes.size()),
                                                                      m_bytes.data())
                         : m_pDocumentHandler->StartElementLongArrayA(name.c_str(), uint32_t(m_longs.size()),
                                                                      m_longs.data());
      if (FAILED(hc)) {
        ReportHandlerError(XML_E_SYNTAX);
        XW_TRACE_ERROR(m_trace) << (bytes ? "ParseTag: m_pDocumentHandler->StartElementByteArrayA() line = "
                                          : "ParseTag: m_pDocumentHandler->StartElementLongArrayA() line = ")
                                << m_line << " failed " << hc;
        hr = hc;
      }
    }
  }
  if (SUCCEEDED(hr)) return CheckEndTag();
  return hr;
}

HRESULT CSaxParser::CheckEndTag() {
  bool equal = false;
  HRESULT hr = CompareBeginNextEndTag(m_name, equal);
  if (FAILED(hr)) {
    XW_TRACE_ERROR(m_trace) << "ParseTag: CompareBeginNextEndTag() failed " << hr;
    return hr;
  }
  if (!equal) {
    ReportHandlerError(XML_E_SYNTAX);
    XW_TRACE_ERROR(m_trace) << "ParseTag: end tag is not equal with begin tag";
    return XML_E_SYNTAX;
  }
  return hr;
}

}  // namespace xmlweave
