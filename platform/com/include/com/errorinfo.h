#pragma once
// Rich error information: the error object, its creation interface, and the
// per-thread slot through which a failing call hands it to its caller.
#include <string_view>

#include "base/export.h"
#include "base/hresult.h"
#include "com/bstr.h"
#include "com/unknown.h"

struct IErrorInfo : IUnknown {
  virtual HRESULT GetGUID(GUID* pGUID) = 0;
  virtual HRESULT GetSource(BSTR* pBstrSource) = 0;
  virtual HRESULT GetDescription(BSTR* pBstrDescription) = 0;
  virtual HRESULT GetHelpFile(BSTR* pBstrHelpFile) = 0;
  virtual HRESULT GetHelpContext(DWORD* pdwHelpContext) = 0;
  static constexpr IID iid = MakeGuid("1CF2B120-547D-101B-8E65-08002B2BD119");
};

struct ICreateErrorInfo : IUnknown {
  virtual HRESULT SetGUID(REFGUID rguid) = 0;
  virtual HRESULT SetSource(LPOLESTR szSource) = 0;
  virtual HRESULT SetDescription(LPOLESTR szDescription) = 0;
  virtual HRESULT SetHelpFile(LPOLESTR szHelpFile) = 0;
  virtual HRESULT SetHelpContext(DWORD dwHelpContext) = 0;
  static constexpr IID iid = MakeGuid("22F03340-547D-101B-8E65-08002B2BD119");
};

struct ISupportErrorInfo : IUnknown {
  virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;
  static constexpr IID iid = MakeGuid("DF0B3D60-548F-101B-8E65-08002B2BD119");
};

// A new, empty error object answering ICreateErrorInfo and IErrorInfo.
RT_API HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);
// Makes perrinfo (or nothing, for null) the calling thread's error object.
// dwReserved must be 0.
RT_API HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
// Hands the calling thread's error object over and clears the slot; S_FALSE
// and null when there is none.
RT_API HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

namespace com {
// An error object with the given description (and optionally source and
// GUID), as IErrorInfo.
RT_API HRESULT MakeErrorInfo(std::u16string_view description, IErrorInfo** out,
                             std::u16string_view source = {}, const GUID& guid = GUID_NULL);
}  // namespace com
