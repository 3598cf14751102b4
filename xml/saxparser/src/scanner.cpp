// Input side of CSaxParser: block reads, tag and value cutting, line counting.
#include <cstring>

#include "xmlweave/saxparser.h"

namespace xmlweave {

DWORD MemorySource::Read(char* dst, uint32_t size, uint32_t* got) {
  *got = 0;
  size_t n = std::min<size_t>(size, m_data.size() - m_pos);
  if (m_pos + n > m_failAt) return ERROR_READ_FAULT;
  std::memcpy(dst, m_data.data() + m_pos, n);
  m_pos += n;
  *got = uint32_t(n);
  return ERROR_SUCCESS;
}

void CSaxParser::Begin(InputSource* source) {
  m_source = source;
  m_sourceValid = source && source->IsValid();
  m_eof = false;
  m_begin = m_end = 0;
  m_line = 1;
}

bool CSaxParser::EnsureRoom(size_t bytes) {
  if (m_cap - m_end >= bytes) return true;
  size_t live = m_end - m_begin;
  // Moving the live text is paid for by the consumed text it replaces.
  if (m_begin > 0 && m_begin >= live && m_cap - live >= bytes) {
    std::memmove(m_buf.get(), m_buf.get() + m_begin, live);
    m_begin = 0;
    m_end = live;
    return true;
  }
  if (live > SIZE_MAX / 2 - bytes) return false;
  size_t cap = std::max(m_cap * 2, live + bytes);
  std::unique_ptr<char[]> grown(new (std::nothrow) char[cap]);
  if (!grown) return false;
  if (live) std::memcpy(grown.get(), m_buf.get() + m_begin, live);
  m_buf = std::move(grown);
  m_cap = cap;
  m_begin = 0;
  m_end = live;
  return true;
}

HRESULT CSaxParser::ReadFileToString() {
  if (!m_sourceValid) {
    XW_TRACE_ERROR(m_trace) << "Invalid file handle";
    return E_INVALIDARG;
  }
  if (!EnsureRoom(m_blockSize)) {
    XW_TRACE_ERROR(m_trace) << "lpszBuffer is null";
    m_eof = true;
    return E_INVALIDARG;
  }
  uint32_t got = 0;
  DWORD err = m_source->Read(m_buf.get() + m_end, m_blockSize, &got);
  if (err != ERROR_SUCCESS) {
    m_eof = true;
    XW_TRACE_ERROR(m_trace) << "ReadFile failed with GetLastError = " << uint32_t(err);
    HRESULT hr = HRESULT_FROM_WIN32(err);
    XW_TRACE_ERROR(m_trace) << "ReadFileToString: ReadFile failed with: " << hr;
    return hr;
  }
  m_end += got;
  if (got < m_blockSize) m_eof = true;
  return S_OK;
}

// Finds `c` at or behind offset `from` of the unconsumed text, reading more
// blocks while it is missing. The search resumes where the last one ended,
// so a long token costs time linear in its length.
HRESULT CSaxParser::FindWithRefill(char c, size_t from, size_t& pos) {
  HRESULT hr = S_OK;
  size_t scanned = from;
  for (;;) {
    size_t live = m_end - m_begin;
    if (scanned < live) {
      const char* base = m_buf.get() + m_begin;
      if (const void* hit = std::memchr(base + scanned, c, live - scanned)) {
        pos = size_t(static_cast<const char*>(hit) - base);
        return hr;
      }
      scanned = live;
    }
    if (m_eof || FAILED(hr)) {
      pos = std::string_view::npos;
      return hr;
    }
    hr = ReadFileToString();
  }
}

void CSaxParser::CountLines(std::string_view piece) {
  if (!piece.empty() && std::memchr(piece.data(), '\n', piece.size())) ++m_line;
}

HRESULT CSaxParser::GetNextTag(std::string_view& tag) {
  tag = {};
  if (!m_sourceValid) {
    XW_TRACE_ERROR(m_trace) << "GetNextTag: invalid file handle";
    return E_INVALIDARG;
  }
  size_t lt = 0;
  HRESULT hr = FindWithRefill('<', 0, lt);
  if (FAILED(hr) || lt == std::string_view::npos) {
    m_eof = true;
    while (m_begin < m_end) {
      char c = m_buf[m_begin];
      if (c != ' ' && c != '\t' && c != '\r' && c != '\n') break;
      ++m_begin;
    }
    return hr;
  }
  if (lt > 0) {
    CountLines({m_buf.get() + m_begin, lt});
    Consume(lt);
  }
  // The '>' is searched behind the '<', so a '>' in the text before a tag
  // cannot cut it short.
  size_t gt = 0;
  hr = FindWithRefill('>', 1, gt);
  if (FAILED(hr)) {
    m_eof = true;
    return hr;
  }
  if (gt == std::string_view::npos) {
    m_eof = true;
    return S_OK;
  }
  tag = std::string_view(m_buf.get() + m_begin, gt + 1);
  Consume(gt + 1);
  CountLines(tag);
  return hr;
}

HRESULT CSaxParser::GetNextValue(std::string_view& value) {
  if (!m_sourceValid) {
    XW_TRACE_ERROR(m_trace) << "GetNextValue: invalid file handle";
    return E_INVALIDARG;
  }
  size_t lt = 0;
  HRESULT hr = FindWithRefill('<', 0, lt);
  if (FAILED(hr) || lt == std::string_view::npos) return hr;
  value = std::string_view(m_buf.get() + m_begin, lt);
  Consume(lt);
  CountLines(value);
  return hr;
}

bool CSaxParser::IsXmlHeaderTag(std::string_view tag) {
  return tag.find("<?xml version=\"1.0\"?>") != std::string_view::npos;
}

HRESULT CSaxParser::CompareBeginNextEndTag(const std::string& name, bool& equal) {
  equal = false;
  std::string_view tag;
  HRESULT hr = GetNextTag(tag);
  if (FAILED(hr)) {
    XW_TRACE_ERROR(m_trace) << "CompareBeginNextEndTag: GetNextTag failed with: " << hr;
    return hr;
  }
  size_t p = tag.find("</");
  if (p == std::string_view::npos) return hr;
  size_t gt = tag.find('>', p);
  if (gt == std::string_view::npos) return hr;
  equal = tag.substr(p + 2, gt - p - 2) == name;
  return hr;
}

}  // namespace xmlweave
