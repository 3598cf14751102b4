#pragma once
// CXMLReader, the class behind the coclass XMLReader: opens the client's
// file and lets its CSaxParser report it. Every method holds the object's
// critical section, which its own thread may enter again from a callback.
#include "com/object.h"
#include "win/critsec.h"
#include "xmlweave.h"
#include "xmlweave/saxparser.h"
#include "xmlweave/trace.h"

namespace xmlweave {

class CXMLReader : public IXMLReader, public com::ObjectRoot {
 public:
  using PrimaryInterface = IXMLReader;
  // The read block size for files (the parser's own default is smaller).
  static constexpr uint32_t kFileBlockSize = 64 * 1024;
  CXMLReader();
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IXMLReader>(this, iid, ppv);
  }

  HRESULT ParseW(const char16_t* szwFile) override;
  HRESULT AddDocumentHandler(IDocumentHandler* newVal) override;
  HRESULT GetActiveDocumentHandler(IDocumentHandler** pVal) override;

 private:
  win::CriticalSection m_cs;
  TraceChannel m_trace;
  CSaxParser m_oParser;
};

}  // namespace xmlweave
