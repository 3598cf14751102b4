// CWriter: lines and elements of the dialect.
#include <algorithm>
#include <array>
#include <climits>

#include "xmlweave/writer.h"

namespace xmlweave {

namespace {
constexpr std::string_view kTabs = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
}  // namespace

void CWriter::PutTabs(int32_t count) {
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

namespace {

// ` t="TYPE"` of a typed element, at the start of a block that is copied
// whole (the line's later pieces overwrite the rest of it).
struct TypeAttribute {
  char block[16] = {};
  size_t size = 0;
};

constexpr TypeAttribute MakeTypeAttribute(TagType type) {
  TypeAttribute attribute;
  const std::string_view quoted = QuotedTypeName(type);
  if (quoted.empty()) return attribute;
  for (char c : std::string_view(" t=")) attribute.block[attribute.size++] = c;
  for (char c : quoted) attribute.block[attribute.size++] = c;
  return attribute;
}

// Indexed by TagType; the kinds without a type have an empty attribute.
constexpr auto kTypeAttributes = [] {
  std::array<TypeAttribute, TAG_LONGARRAY + 1> table{};
  for (int32_t type = 0; type <= TAG_LONGARRAY; ++type)
    table[size_t(type)] = MakeTypeAttribute(TagType(type));
  return table;
}();

// Only for the typed kinds, which the callers have checked.
const TypeAttribute& AttributeOf(TagType type) { return kTypeAttributes[size_t(type)]; }

// The pieces of a line: literals, whose length the compiler knows (their
// copies become plain stores), type attributes (one block copy each) and
// views of names and values.
template <size_t N>
constexpr size_t PieceSize(const char (&)[N]) {
  return N - 1;
}
inline size_t PieceSize(const TypeAttribute& piece) { return piece.size; }
inline size_t PieceSize(std::string_view piece) { return piece.size(); }

inline std::string_view PieceView(std::string_view piece) { return piece; }
inline std::string_view PieceView(const TypeAttribute& piece) { return {piece.block, piece.size}; }

template <size_t N>
inline char* CopyPiece(char* out, const char (&piece)[N]) {
  std::memcpy(out, piece, N - 1);
  return out + (N - 1);
}
inline char* CopyPiece(char* out, const TypeAttribute& piece) {
  std::memcpy(out, piece.block, sizeof piece.block);
  return out + piece.size;
}
// Names and short values are copied as two overlapping words of the
// largest width that fits, without a call; longer ones by memcpy.
template <class Word>
inline void CopyOverlapping(char* out, const char* in, size_t size) {
  Word head, tail;
  std::memcpy(&head, in, sizeof head);
  std::memcpy(&tail, in + size - sizeof tail, sizeof tail);
  std::memcpy(out, &head, sizeof head);
  std::memcpy(out + size - sizeof tail, &tail, sizeof tail);
}

inline char* CopyPiece(char* out, std::string_view piece) {
  const size_t size = piece.size();
  const char* in = piece.data();
  if (size > 16) {
    std::memcpy(out, in, size);
  } else if (size >= 8) {
    CopyOverlapping<uint64_t>(out, in, size);
  } else if (size >= 4) {
    CopyOverlapping<uint32_t>(out, in, size);
  } else if (size >= 2) {
    CopyOverlapping<uint16_t>(out, in, size);
  } else if (size == 1) {
    *out = *in;
  }
  return out + size;
}

}  // namespace

// A line that fits the buffer (nearly every one) is counted once and copied
// piece by piece; deeper indents and longer lines take the general path.
// Block copies may write up to kLineSlack bytes past the line; the buffer
// has that room behind its end, and the next line overwrites them.
template <class... Pieces>
[[gnu::always_inline]] inline HRESULT CWriter::PutLine(const Pieces&... pieces) {
  static_assert(kTabs.size() <= kLineSlack && sizeof(TypeAttribute::block) <= kLineSlack);
  const size_t tabs = m_tabs && m_depth > 0 ? size_t(m_depth) : 0;
  const size_t lineEnd = m_lineEnds ? 2 : 0;
  const size_t size = tabs + (PieceSize(pieces) + ...) + lineEnd;
  if (tabs > kTabs.size() || size > kBufferSize - m_len) {
    AppendIndent();
    (Put(PieceView(pieces)), ...);
    return EndLine(true);
  }
  char* out = m_buf.get() + m_len;
  std::memcpy(out, kTabs.data(), kTabs.size());
  out += tabs;
  ((out = CopyPiece(out, pieces)), ...);
  if (lineEnd) CopyPiece(out, "\r\n");
  m_len += size;
  m_byteCount += uint32_t(size);
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
  if (!value) return PutLine("<", n, AttributeOf(type), "/>");
  // Text without markup characters goes to the buffer as it is.
  const std::string_view v(value);
  if (!NeedsXmlEncoding(v)) return PutLeaf(n, type, v);
  m_scratch.clear();
  AppendXmlText(m_scratch, v);
  return PutLeaf(n, type, m_scratch);
}

HRESULT CWriter::WriteNumberElement(TagType type, const char* name, std::string_view text) {
  const std::string_view quoted = QuotedTypeName(type);
  if (!name || quoted.empty() || type == TAG_STRING || type == TAG_BYTEARRAY || type == TAG_LONGARRAY ||
      !m_file.IsOpen()) {
    const std::string value(text);
    return WriteElement(type, name, value.c_str());
  }
  return PutLeaf(name, type, text);
}

// <name t="type">text</name> and the line end, into the buffer.
HRESULT CWriter::PutLeaf(std::string_view name, TagType type, std::string_view text) {
  return PutLine("<", name, AttributeOf(type), ">", text, "</", name, ">");
}

HRESULT CWriter::WriteArrayElement(const char* name, TagType type, bool isNull, HRESULT prepared,
                                   const char* failText) {
  if (!m_file.IsOpen()) {
    WriteTab(m_depth);
    return Write(name, isNull);
  }
  const std::string_view n(name);
  if (isNull) return PutLine("<", n, AttributeOf(type), "/>");
  if (FAILED(prepared)) {
    XW_TRACE_ERROR(m_trace) << failText;
    m_content.clear();
  }
  return PutLine("<", n, AttributeOf(type), ">", std::string_view(m_content), "</", n, ">");
}

HRESULT CWriter::WriteByteArrayElement(const char* name, uint32_t count, const uint8_t* bytes) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteElement: element name is null";
    return E_INVALIDARG;
  }
  HRESULT prepared = bytes ? PrepareByteForString(count, bytes, m_content) : S_OK;
  return WriteArrayElement(name, TAG_BYTEARRAY, bytes == nullptr, prepared,
                           "PrepareByteForString: source std::string is empty");
}

HRESULT CWriter::WriteLongArrayElement(const char* name, uint32_t count, const int32_t* values) {
  if (!name) {
    XW_TRACE_ERROR(m_trace) << "WriteElement: element name is null";
    return E_INVALIDARG;
  }
  HRESULT prepared = values ? PrepareLongAForString(count, values, m_content) : S_OK;
  return WriteArrayElement(name, TAG_LONGARRAY, values == nullptr, prepared,
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
  const HRESULT hr = PutLine("<", std::string_view(name), ">");
  if (m_depth < INT32_MAX) ++m_depth;
  return hr;
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
  return PutLine("</", std::string_view(name), ">");
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
