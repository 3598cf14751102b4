#include "xmlweave/xmlreader.h"

#include "base/strings.h"
#include "com/barrier.h"
#include "win/file.h"

namespace xmlweave {

// Files are read in blocks of kFileBlockSize: for a large document the
// parser then spends its time in the text, not in the system calls.
CXMLReader::CXMLReader() : m_trace("CXMLReader") { m_oParser.SetBlockSize(kFileBlockSize); }

HRESULT CXMLReader::ParseW(const char16_t* szwFile) {
  return com::CallGuarded([&]() -> HRESULT {
    win::CritSecLock lock(m_cs);
    if (!szwFile) {
      XW_TRACE_ERROR(m_trace) << "ParseW: file name pointer is null";
      return E_POINTER;
    }
    const std::string path = base::Utf16ToUtf8(szwFile);
    win::File file;
    DWORD err = file.Open(path, win::FileMode::Read);
    if (err != ERROR_SUCCESS) {
      XW_TRACE_ERROR(m_trace) << "ParseW: CreateFile failed with GetLastError = " << uint32_t(err);
      return HRESULT_FROM_WIN32(err);
    }
    FileSource source(file);
    HRESULT hr = m_oParser.Parse(&source);
    if (FAILED(hr)) XW_TRACE_ERROR(m_trace) << "ParseW: Parse failed with " << hr;
    return hr;  // the file closes with `file`
  });
}

HRESULT CXMLReader::AddDocumentHandler(IDocumentHandler* newVal) {
  return com::CallGuarded([&]() -> HRESULT {
    win::CritSecLock lock(m_cs);
    if (!newVal) {
      XW_TRACE_ERROR(m_trace) << "AddDocumentHandler: document handler pointer is null";
      return E_POINTER;
    }
    return m_oParser.AddDocumentHandler(newVal);
  });
}

HRESULT CXMLReader::GetActiveDocumentHandler(IDocumentHandler** pVal) {
  return com::CallGuarded([&]() -> HRESULT {
    win::CritSecLock lock(m_cs);
    if (!pVal) {
      XW_TRACE_ERROR(m_trace) << "GetActiveDocumentHandler: document handler pointer is null";
      return E_POINTER;
    }
    // The old value is overwritten, not released: it is an out parameter.
    if (*pVal) XW_TRACE_ERROR(m_trace) << "GetActiveDocumentHandler: document handler is not null";
    *pVal = nullptr;
    return m_oParser.GetActiveDocumentHandler(pVal);
  });
}

}  // namespace xmlweave
