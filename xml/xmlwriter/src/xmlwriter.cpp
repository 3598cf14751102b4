#include "xmlweave/xmlwriter.h"

#include <charconv>
#include <string>

#include "base/strings.h"
#include "com/barrier.h"

namespace xmlweave {

CXMLWriter::CXMLWriter() : m_trace("CXMLWriter") {}

HRESULT CXMLWriter::Check(const char* method, const char* name) {
  if (!m_bFileOpen) {
    XW_TRACE_ERROR(m_trace) << method << ": file not open";
    return E_FAIL;
  }
  if (!name) {
    XW_TRACE_ERROR(m_trace) << method << ": element name is null";
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT CXMLWriter::WriteFileW(const char16_t* szwFile) {
  return Locked([&]() -> HRESULT {
    if (!szwFile) {
      XW_TRACE_ERROR(m_trace) << "WriteFileW: file name is null";
      return E_POINTER;
    }
    const std::string path = base::Utf16ToUtf8(szwFile);
    bool lineEnds = false, tabs = false;
    HRESULT hr = GetXmlFileReturnsEnable(lineEnds);
    if (FAILED(hr)) {
      XW_TRACE_ERROR(m_trace) << "WriteFileW: GetXmlFileReturnsEnable failed " << hr
                              << ", so set disabled default.";
      lineEnds = false;
    }
    hr = GetXmlFileTabsEnable(tabs);
    if (FAILED(hr)) {
      XW_TRACE_ERROR(m_trace) << "WriteFileW: GetXmlFileTabsEnable failed " << hr
                              << ", so set disabled default.";
      tabs = false;
    }
    hr = m_oWriter.CreateFile(path, tabs, lineEnds);
    m_bFileOpen = SUCCEEDED(hr);
    return hr;
  });
}

HRESULT CXMLWriter::StartDocumentA(const char* szName, const char* szVersion) {
  return Locked([&]() -> HRESULT {
    if (!m_bFileOpen) {
      XW_TRACE_ERROR(m_trace) << "StartDocumentA: file not open";
      return E_FAIL;
    }
    if (!szName || !szVersion) {
      XW_TRACE_ERROR(m_trace) << "StartDocumentA: null pointer ";
      return E_POINTER;
    }
    return m_oWriter.StartDocument(szName, szVersion);
  });
}

HRESULT CXMLWriter::EndDocument() {
  return Locked([&] { return m_oWriter.Close(); });
}

void CXMLWriter::AbandonDocument() {
  std::lock_guard lock(m_lock);
  m_oWriter.Abandon();
}

HRESULT CXMLWriter::CommentA(const char* szComment) {
  return Locked([&]() -> HRESULT {
    if (!m_bFileOpen) {
      XW_TRACE_ERROR(m_trace) << "CommentA: file not open";
      return E_FAIL;
    }
    if (!szComment) {
      XW_TRACE_ERROR(m_trace) << "CommentA: comment is null";
      return E_INVALIDARG;
    }
    return m_oWriter.WriteCommentElement(szComment);
  });
}

HRESULT CXMLWriter::StartElementLongA(const char* szName, int32_t nVal) {
  return Locked([&]() -> HRESULT {
    HRESULT hr = Check("StartElementLongA", szName);
    if (FAILED(hr)) return hr;
    char text[16];
    const char* end = std::to_chars(text, text + sizeof text, nVal).ptr;
    return m_oWriter.WriteNumberElement(TAG_LONG, szName, std::string_view(text, size_t(end - text)));
  });
}

HRESULT CXMLWriter::StartElementBoolA(const char* szName, int32_t bVal) {
  return Locked([&]() -> HRESULT {
    HRESULT hr = Check("StartElementBoolA", szName);
    if (FAILED(hr)) return hr;
    return m_oWriter.WriteNumberElement(TAG_BOOL, szName, bVal ? "1" : "0");
  });
}

HRESULT CXMLWriter::StartElementFloatA(const char* szName, float fVal) {
  return Locked([&]() -> HRESULT {
    HRESULT hr = Check("StartElementFloatA", szName);
    if (FAILED(hr)) return hr;
    char text[20];  // the general format with 7 significant digits fits
    const char* end =
        std::to_chars(text, text + sizeof text, double(fVal), std::chars_format::general, 7).ptr;
    return m_oWriter.WriteNumberElement(TAG_FLOAT, szName, std::string_view(text, size_t(end - text)));
  });
}

HRESULT CXMLWriter::StartElementStringA(const char* szName, const char* szVal) {
  return Locked([&]() -> HRESULT {
    HRESULT hr = Check("StartElementStringA", szName);
    if (FAILED(hr)) return hr;
    return m_oWriter.WriteElement(TAG_STRING, szName, szVal);
  });
}

HRESULT CXMLWriter::StartElementByteArrayA(const char* szName, uint32_t dwSize, const uint8_t* rgbyteVal) {
  return Locked([&]() -> HRESULT {
    HRESULT hr = Check("StartElementByteArrayA", szName);
    if (FAILED(hr)) return hr;
    return m_oWriter.WriteByteArrayElement(szName, dwSize, rgbyteVal);
  });
}

HRESULT CXMLWriter::StartElementA(const char* szName) {
  return Locked([&]() -> HRESULT {
    HRESULT hr = Check("StartElementA", szName);
    if (FAILED(hr)) return hr;
    return m_oWriter.WriteBeginElement(szName);
  });
}

HRESULT CXMLWriter::EndElementA(const char* szName) {
  return Locked([&]() -> HRESULT {
    HRESULT hr = Check("EndElementA", szName);
    if (FAILED(hr)) return hr;
    return m_oWriter.WriteEndElement(szName);
  });
}

HRESULT CXMLWriter::StartElementLongArrayA(const char* szName, uint32_t dwSize, const int32_t* rglVal) {
  return Locked([&]() -> HRESULT {
    HRESULT hr = Check("StartElementLongArrayA", szName);
    if (FAILED(hr)) return hr;
    return m_oWriter.WriteLongArrayElement(szName, dwSize, rglVal);
  });
}

HRESULT CXMLWriter::get_ByteCount(int32_t* pVal) {
  return Locked([&]() -> HRESULT {
    if (!pVal) return E_POINTER;
    *pVal = int32_t(m_oWriter.ByteCount());
    return S_OK;
  });
}

HRESULT CXMLWriter::put_ByteCount(int32_t newVal) {
  return Locked([&]() -> HRESULT {
    m_oWriter.SetByteCount(uint32_t(newVal));
    return S_OK;
  });
}

}  // namespace xmlweave
