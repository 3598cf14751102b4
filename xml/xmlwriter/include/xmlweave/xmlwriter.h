#pragma once
// CXMLWriter, the class behind the coclass XMLWriter: checks arguments,
// converts typed values to text, reads the two formatting switches when a
// file is opened and leaves the output to its CWriter. Every method holds
// the object's critical section, so concurrent callers interleave whole
// calls.
#include <mutex>

#include "base/light_lock.h"
#include "com/barrier.h"
#include "com/object.h"
#include "xmlweave.h"
#include "xmlweave/trace.h"
#include "xmlweave/writer.h"

namespace xmlweave {

// HKLM\Software\Vornak\Corvanet\OBX, REG_DWORD values; nonzero switches on.
constexpr const char* kSettingsKey = "Software\\Vornak\\Corvanet\\OBX";
constexpr const char* kEnableCrValue = "XMLEnableCr";
constexpr const char* kEnableTabValue = "XMLEnableTab";

// Reads a DWORD; a missing value is traced and stored with the default, and
// the result is then that of the store.
HRESULT GetRegDwordWithDefault(const char* key, const char* valueName, DWORD defaultValue, DWORD& value);
HRESULT GetXmlFileReturnsEnable(bool& enabled);
HRESULT GetXmlFileTabsEnable(bool& enabled);

class CXMLWriter : public IXMLWriter, public com::ObjectRoot {
 public:
  using PrimaryInterface = IXMLWriter;
  CXMLWriter();
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IXMLWriter>(this, iid, ppv);
  }

  HRESULT WriteFileW(const char16_t* szwFile) override;
  HRESULT StartDocumentA(const char* szName, const char* szVersion) override;
  HRESULT EndDocument() override;
  HRESULT CommentA(const char* szComment) override;
  HRESULT StartElementLongA(const char* szName, int32_t nVal) override;
  HRESULT StartElementBoolA(const char* szName, int32_t bVal) override;
  HRESULT StartElementFloatA(const char* szName, float fVal) override;
  HRESULT StartElementStringA(const char* szName, const char* szVal) override;
  HRESULT StartElementByteArrayA(const char* szName, uint32_t dwSize, const uint8_t* rgbyteVal) override;
  HRESULT StartElementA(const char* szName) override;
  HRESULT EndElementA(const char* szName) override;
  HRESULT StartElementLongArrayA(const char* szName, uint32_t dwSize, const int32_t* rglVal) override;
  HRESULT get_ByteCount(int32_t* pVal) override;
  HRESULT put_ByteCount(int32_t newVal) override;

  // Not part of IXMLWriter: drops the open document, which then replaces
  // nothing (CWriter::Abandon). The xmlweave tool's copy uses it when the
  // document it reads has errors.
  void AbandonDocument();

 private:
  // The checks every element method starts with.
  HRESULT Check(const char* method, const char* name);
  // Every method: the lock, behind the exception barrier.
  template <class F>
  HRESULT Locked(F&& body) {
    return com::CallGuarded([&]() -> HRESULT {
      std::lock_guard lock(m_lock);
      return body();
    });
  }

  // No method calls another, so a plain lock serves; a light one, because
  // it is taken once per element written.
  base::LightLock m_lock;
  TraceChannel m_trace;
  CWriter m_oWriter;
  bool m_bFileOpen = false;
};

}  // namespace xmlweave
