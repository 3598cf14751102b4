// CWriter: lines and elements of the dialect.
#include "xmlweave/writer.h"

namespace xmlweave {

HRESULT CWriter::Write(std::string_view text, bool lineEnd) {
  if (!m_file.IsOpen()) {
    XW_TRACE_ERROR(m_trace) << "Write: file not open";
    return E_FAIL;
  }
  HRESULT hr = Append(text);
  if (FAILED(hr)) return hr;
  return lineEnd ? WriteCrLf() : S_OK;
}

// Write() of entity-encoded text, encoded straight into the buffer.
HRESULT CWriter::WriteEncoded(std::string_view text) {
  if (!m_file.IsOpen()) {
    XW_TRACE_ERROR(m_trace) << "Write: file not open";
    return E_FAIL;
  }
  return AppendEncoded(text);
}

HRESULT CWriter::WriteCrLf() {
  if (!m_lineEnds) return S_OK;
  if (!m_file.IsOpen()) {
    XW_TRACE_ERROR(m_trace) << "WriteCrLf: file is not open";
    return E_FAIL;
  }
  return Append("\r\n");
}

HRESULT CWriter::WriteTab(int32_t count) {
  if (!m_tabs) return S_OK;
  if (!m_file.IsOpen()) {
    XW_TRACE_ERROR(m_trace) << "WriteTab: file not open";
    return E_FAIL;
  }
  static const std::string kTabs(64, '\t');
  HRESULT hr = S_OK;
  for (int32_t left = count; left > 0; left -= 64)
    hr = Append(std::string_view(kTabs).substr(0, size_t(std::min(left, 64))));
  return hr;
}

HRESULT CWriter::StartDocument(const char* root, const char* version) {
  if (!root || !version) return E_INVALIDARG;
  Write("<?xml version=\"1.0\"?>", true);
  m_depth = 1;
  m_root = root;
  m_scratch.assign("<").append(root).append(">");
  Write(m_scratch, true);
  WriteTab(1);
  Write("<schemaversion>");
  WriteEncoded(version);
  return Write("</schemaversion>", true);
}

HRESULT CWriter::WriteElement(TagType type, const char* name, const char* value) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteElement: element name is null";
    return E_INVALIDARG;
  }
  const char* quoted = QuotedTypeName(type);
  if (!quoted || type == TAG_BYTEARRAY || type == TAG_LONGARRAY) return E_INVALIDARG;
  m_scratch.assign("<").append(name).append(" t=").append(quoted);
  m_scratch.append(value ? ">" : "/>");
  WriteTab(m_depth);
  HRESULT hr = Write(m_scratch, value == nullptr);
  if (!value) return hr;
  WriteEncoded(value);
  m_scratch.assign("</").append(name).append(">");
  return Write(m_scratch, true);
}

HRESULT CWriter::WriteArrayElement(const char* name, const char* quotedType, bool isNull,
                                   HRESULT prepared, const char* failText) {
  // m_scratch holds the prepared content; the tags are built separately.
  std::string content = std::move(m_scratch);
  m_scratch.assign("<").append(name).append(" t=").append(quotedType);
  m_scratch.append(isNull ? "/>" : ">");
  WriteTab(m_depth);
  HRESULT hr = Write(m_scratch, isNull);
  if (isNull) return hr;
  if (FAILED(prepared)) {
    XW_TRACE_ERROR(m_trace) << failText;
    content.clear();
  }
  Write(content);
  m_scratch.assign("</").append(name).append(">");
  return Write(m_scratch, true);
}

HRESULT CWriter::WriteByteArrayElement(const char* name, uint32_t count, const uint8_t* bytes) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteElement: element name is null";
    return E_INVALIDARG;
  }
  HRESULT prepared = bytes ? PrepareByteForString(count, bytes, m_scratch) : S_OK;
  if (!bytes) m_scratch.clear();
  return WriteArrayElement(name, "\"64Bin\"", bytes == nullptr, prepared,
                           "PrepareByteForString: source std::string is empty");
}

HRESULT CWriter::WriteLongArrayElement(const char* name, uint32_t count, const int32_t* values) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteElement: element name is null";
    return E_INVALIDARG;
  }
  HRESULT prepared = values ? PrepareLongAForString(count, values, m_scratch) : S_OK;
  if (!values) m_scratch.clear();
  return WriteArrayElement(name, "\"la\"", values == nullptr, prepared,
                           "PrepareLongAForString: source std::string is empty");
}

HRESULT CWriter::WriteBeginElement(const char* name) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteBeginElement: element name is null";
    return E_INVALIDARG;
  }
  WriteTab(m_depth);
  ++m_depth;
  m_scratch.assign("<").append(name).append(">");
  return Write(m_scratch, true);
}

HRESULT CWriter::WriteEndElement(const char* name) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteEndElement: element name is null";
    return E_INVALIDARG;
  }
  --m_depth;
  WriteTab(m_depth);
  m_scratch.assign("</").append(name).append(">");
  return Write(m_scratch, true);
}

HRESULT CWriter::WriteCommentElement(const char* text) {
  if (!text) {
    XW_TRACE_ERROR(m_trace) << "WriteCommentElement: element name is null";
    return E_INVALIDARG;
  }
  WriteTab(m_depth);
  Write("<!-- ");
  WriteEncoded(text);
  return Write(" -->", true);
}

}  // namespace xmlweave
