#include "com/errorinfo.h"

#include <mutex>
#include <new>

#include "com/comptr.h"
#include "com/object.h"

namespace {

class ErrorObject final : public ICreateErrorInfo, public IErrorInfo {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IUnknown::iid || riid == ICreateErrorInfo::iid) {
      *ppv = static_cast<ICreateErrorInfo*>(this);
    } else if (riid == IErrorInfo::iid) {
      *ppv = static_cast<IErrorInfo*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override {
    ULONG n = refs_.Drop();
    if (n == 0) delete this;
    return n;
  }

  HRESULT SetGUID(REFGUID rguid) override {
    std::lock_guard g(lock_);
    guid_ = rguid;
    return S_OK;
  }
  HRESULT SetSource(LPOLESTR s) override { return Set(source_, s); }
  HRESULT SetDescription(LPOLESTR s) override { return Set(description_, s); }
  HRESULT SetHelpFile(LPOLESTR s) override { return Set(helpFile_, s); }
  HRESULT SetHelpContext(DWORD context) override {
    std::lock_guard g(lock_);
    helpContext_ = context;
    return S_OK;
  }

  HRESULT GetGUID(GUID* out) override {
    if (!out) return E_INVALIDARG;
    std::lock_guard g(lock_);
    *out = guid_;
    return S_OK;
  }
  HRESULT GetSource(BSTR* out) override { return Get(source_, out); }
  HRESULT GetDescription(BSTR* out) override { return Get(description_, out); }
  HRESULT GetHelpFile(BSTR* out) override { return Get(helpFile_, out); }
  HRESULT GetHelpContext(DWORD* out) override {
    if (!out) return E_INVALIDARG;
    std::lock_guard g(lock_);
    *out = helpContext_;
    return S_OK;
  }

 private:
  ~ErrorObject() = default;

  HRESULT Set(com::Bstr& field, LPOLESTR s) {
    com::Bstr value(s);
    if (s && !value.Get()) return E_OUTOFMEMORY;
    std::lock_guard g(lock_);
    field = std::move(value);
    return S_OK;
  }
  HRESULT Get(const com::Bstr& field, BSTR* out) {
    if (!out) return E_INVALIDARG;
    std::lock_guard g(lock_);
    *out = field.Copy();
    return field.Get() && !*out ? E_OUTOFMEMORY : S_OK;
  }

  com::RefCount refs_{1};  // the creator holds the first reference
  std::mutex lock_;
  GUID guid_ = GUID_NULL;
  com::Bstr source_, description_, helpFile_;
  DWORD helpContext_ = 0;
};

// The calling thread's error object; released when the thread ends.
thread_local com::ComPtr<IErrorInfo> t_errorInfo;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  auto* object = new (std::nothrow) ErrorObject;
  *pperrinfo = object;  // the object starts with one reference, through this interface
  return object ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
  if (dwReserved != 0) return E_INVALIDARG;
  // Replace before releasing: the old object's Release may set error info itself.
  com::ComPtr<IErrorInfo> old = std::move(t_errorInfo);
  t_errorInfo = com::ComPtr<IErrorInfo>(perrinfo);
  return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = nullptr;
  if (dwReserved != 0) return E_INVALIDARG;
  *pperrinfo = t_errorInfo.Detach();
  return *pperrinfo ? S_OK : S_FALSE;
}

namespace com {

HRESULT MakeErrorInfo(std::u16string_view description, IErrorInfo** out, std::u16string_view source,
                      const GUID& guid) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  ComPtr<ICreateErrorInfo> create;
  HRESULT hr = CreateErrorInfo(&create);
  if (FAILED(hr)) return hr;
  Bstr text(description), from(source);
  if ((!description.empty() && !text.Get()) || (!source.empty() && !from.Get())) return E_OUTOFMEMORY;
  create->SetGUID(guid);
  if (!source.empty()) create->SetSource(from.Get());
  create->SetDescription(text.Get());
  return create->QueryInterface(IErrorInfo::iid, reinterpret_cast<void**>(out));
}

}  // namespace com
