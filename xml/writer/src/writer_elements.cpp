// CWriter: lines and elements of the dialect.
#include <algorithm>
#include <climits>

#include "xmlweave/writer.h"

namespace xmlweave {

void CWriter::PutTabs(int32_t count) {
  static constexpr std::string_view kTabs =
      "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
  if (count > 0 && size_t(count) <= kTabs.size()) return Put(kTabs.data(), size_t(count));
  for (int32_t left = count; left > 0; left -= int32_t(kTabs.size()))
    Put(kTabs.substr(0, size_t(std::min<int32_t>(left, int32_t(kTabs.size())))));
}

HRESULT CWriter::Write(std::string_view text, bool lineEnd) {
  if (!m_file.IsOpen()) {
    XW_TRACE_ERROR(m_trace) << "Write: file not open";
    return E_FAIL;
  }
  HRESULT hr = Append(text);
  if (FAILED(hr)) return hr;
  return lineEnd ? WriteCrLf() : S_OK;
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
  if (count < 1) return S_OK;
  PutTabs(count);
  return EndWrite();
}

// What allocates comes before the first byte is written, so that running
// out of memory leaves the document as it was.
HRESULT CWriter::StartDocument(const char* root, const char* version) {
  if (!root || !version) return E_INVALIDARG;
  std::string rootName(root);
  std::string rootTag = "<" + rootName + ">";
  std::string encodedVersion;
  AppendXmlText(encodedVersion, version);
  Write("<?xml version=\"1.0\"?>", true);
  m_depth = 1;
  m_root = std::move(rootName);
  Write(rootTag, true);
  WriteTab(1);
  Write("<schemaversion>");
  Write(encodedVersion);
  return Write("</schemaversion>", true);
}

void CWriter::AppendIndent() {
  if (m_tabs) PutTabs(m_depth);
}

HRESULT CWriter::EndLine(bool lineEnd) {
  if (lineEnd && m_lineEnds) PutLiteral("\r\n");
  return EndWrite();
}

// Elements go straight into the buffer; only a flush can fail there, and a
// failed flush is kept for Close as well. Without an open file the writes
// fail one by one as Write does.
HRESULT CWriter::WriteElement(TagType type, const char* name, const char* value) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteElement: element name is null";
    return E_INVALIDARG;
  }
  const std::string_view quoted = QuotedTypeName(type);
  if (quoted.empty() || type == TAG_BYTEARRAY || type == TAG_LONGARRAY) return E_INVALIDARG;
  if (!m_file.IsOpen()) {
    WriteTab(m_depth);
    return Write(name, value == nullptr);
  }
  const std::string_view n(name);
  if (!value) {
    AppendIndent();
    PutLiteral("<");
    Put(n);
    PutLiteral(" t=");
    Put(quoted);
    PutLiteral("/>");
    return EndLine(true);
  }
  // Text without markup characters goes to the buffer as it is.
  const std::string_view v(value);
  if (!NeedsXmlEncoding(v)) return PutLeaf(n, quoted, v);
  m_scratch.clear();
  AppendXmlText(m_scratch, v);
  return PutLeaf(n, quoted, m_scratch);
}

HRESULT CWriter::WriteNumberElement(TagType type, const char* name, std::string_view text) {
  const std::string_view quoted = QuotedTypeName(type);
  if (!name || quoted.empty() || type == TAG_STRING || type == TAG_BYTEARRAY || type == TAG_LONGARRAY ||
      !m_file.IsOpen()) {
    const std::string value(text);
    return WriteElement(type, name, value.c_str());
  }
  return PutLeaf(name, quoted, text);
}

// <name t="type">text</name> and the line end, into the buffer.
HRESULT CWriter::PutLeaf(std::string_view name, std::string_view quoted, std::string_view text) {
  AppendIndent();
  PutLiteral("<");
  Put(name);
  PutLiteral(" t=");
  Put(quoted);
  PutLiteral(">");
  Put(text);
  PutLiteral("</");
  Put(name);
  PutLiteral(">");
  return EndLine(true);
}

HRESULT CWriter::WriteArrayElement(const char* name, std::string_view quotedType, bool isNull,
                                   HRESULT prepared, const char* failText) {
  if (!m_file.IsOpen()) {
    WriteTab(m_depth);
    return Write(name, isNull);
  }
  const std::string_view n(name);
  AppendIndent();
  PutLiteral("<");
  Put(n);
  PutLiteral(" t=");
  Put(quotedType);
  if (isNull) {
    PutLiteral("/>");
    return EndLine(true);
  }
  PutLiteral(">");
  if (FAILED(prepared)) {
    XW_TRACE_ERROR(m_trace) << failText;
    m_content.clear();
  }
  Put(m_content);
  PutLiteral("</");
  Put(n);
  PutLiteral(">");
  return EndLine(true);
}

HRESULT CWriter::WriteByteArrayElement(const char* name, uint32_t count, const uint8_t* bytes) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteElement: element name is null";
    return E_INVALIDARG;
  }
  HRESULT prepared = bytes ? PrepareByteForString(count, bytes, m_content) : S_OK;
  return WriteArrayElement(name, QuotedTypeName(TAG_BYTEARRAY), bytes == nullptr, prepared,
                           "PrepareByteForString: source std::string is empty");
}

HRESULT CWriter::WriteLongArrayElement(const char* name, uint32_t count, const int32_t* values) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteElement: element name is null";
    return E_INVALIDARG;
  }
  HRESULT prepared = values ? PrepareLongAForString(count, values, m_content) : S_OK;
  return WriteArrayElement(name, QuotedTypeName(TAG_LONGARRAY), values == nullptr, prepared,
                           "PrepareLongAForString: source std::string is empty");
}

HRESULT CWriter::WriteBeginElement(const char* name) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteBeginElement: element name is null";
    return E_INVALIDARG;
  }
  if (!m_file.IsOpen()) {
    WriteTab(m_depth);
    if (m_depth < INT32_MAX) ++m_depth;
    return Write(name, true);
  }
  AppendIndent();
  if (m_depth < INT32_MAX) ++m_depth;
  PutLiteral("<");
  Put(name);
  PutLiteral(">");
  return EndLine(true);
}

HRESULT CWriter::WriteEndElement(const char* name) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteEndElement: element name is null";
    return E_INVALIDARG;
  }
  if (m_depth > INT32_MIN) --m_depth;
  if (!m_file.IsOpen()) {
    WriteTab(m_depth);
    return Write(name, true);
  }
  AppendIndent();
  PutLiteral("</");
  Put(name);
  PutLiteral(">");
  return EndLine(true);
}

HRESULT CWriter::WriteCommentElement(const char* text) {
  if (!text) {
    XW_TRACE_ERROR(m_trace) << "WriteCommentElement: element name is null";
    return E_INVALIDARG;
  }
  // Encoded before the first byte is written (see StartDocument).
  m_scratch.clear();
  AppendXmlText(m_scratch, text);
  WriteTab(m_depth);
  Write("<!-- ");
  Write(m_scratch);
  return Write(" -->", true);
}

}  // namespace xmlweave
