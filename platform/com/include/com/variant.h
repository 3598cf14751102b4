#pragma once
// VARIANT: the tagged value of automation calls, 24 bytes as on 64-bit
// Windows, with its type codes and the conversions between them.
#include <cstring>
#include <string_view>

#include "base/export.h"
#include "base/hresult.h"
#include "com/bstr.h"
#include "com/unknown.h"

struct SAFEARRAY;
struct IDispatch;  // defined with the automation interfaces that use it

using SCODE = LONG;
using CHAR = char;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_RECORD = 36,
  VT_VECTOR = 0x1000,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

// Flags of VariantChangeType.
constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
constexpr USHORT VARIANT_ALPHABOOL = 0x02;  // VT_BOOL → VT_BSTR gives "True"/"False"
constexpr USHORT VARIANT_NOUSEROVERRIDE = 0x04;
constexpr USHORT VARIANT_LOCALBOOL = 0x10;

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    int64_t llVal;
    uint64_t ullVal;
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    double date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    CHAR cVal;
    USHORT uiVal;
    ULONG ulVal;
    INT intVal;
    UINT uintVal;
    BYTE* pbVal;
    SHORT* piVal;
    LONG* plVal;
    float* pfltVal;
    double* pdblVal;
    VARIANT_BOOL* pboolVal;
    SCODE* pscode;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    SAFEARRAY** pparray;
    VARIANT* pvarVal;
    void* byref;
    CHAR* pcVal;
    USHORT* puiVal;
    ULONG* pulVal;
    INT* pintVal;
    UINT* puintVal;
    struct {
      void* pvRecord;
      void* pRecInfo;
    } brecVal;
  };
};
static_assert(sizeof(VARIANT) == 24);
using VARIANTARG = VARIANT;

// Bytes of one value of a type that holds its value in place (numbers,
// booleans, currency, dates, error codes); 0 for every other type.
constexpr size_t FixedValueSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE: return 8;
    default: return 0;
  }
}

RT_API void VariantInit(VARIANT* pvarg);
// Frees what the value owns (BSTR, interface reference, array) and leaves
// VT_EMPTY. DISP_E_BADVARTYPE for an unknown type (the value is left alone).
RT_API HRESULT VariantClear(VARIANT* pvarg);
// Deep copy into dest after clearing it: a new BSTR, an added reference, a
// copied array; by-reference values copy the pointer. dest may equal src.
RT_API HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// Converts src to type vt into dest (dest may equal src; on failure dest is
// unchanged). Numbers ⇄ decimal text, booleans as -1/0 or "True"/"False"
// (VARIANT_ALPHABOOL). DISP_E_OVERFLOW when the value does not fit,
// DISP_E_TYPEMISMATCH for text that is no number or a conversion that does
// not exist (VT_NULL to a number, for one).
RT_API HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt);
RT_API HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID lcid, USHORT flags, VARTYPE vt);

namespace com {

// A VARIANT that clears itself; copies are deep.
class Variant : public VARIANT {
 public:
  Variant() { VariantInit(this); }
  explicit Variant(int32_t v) {
    Set(VT_I4);
    lVal = v;
  }
  explicit Variant(int16_t v) {
    Set(VT_I2);
    iVal = v;
  }
  explicit Variant(uint8_t v) {
    Set(VT_UI1);
    bVal = v;
  }
  explicit Variant(bool v) {
    Set(VT_BOOL);
    boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
  }
  explicit Variant(double v) {
    Set(VT_R8);
    dblVal = v;
  }
  explicit Variant(const OLECHAR* s) {
    Set(VT_BSTR);
    bstrVal = SysAllocString(s);
  }
  explicit Variant(std::u16string_view s) {
    Set(VT_BSTR);
    bstrVal = Bstr(s).Detach();
  }
  explicit Variant(const char*) = delete;  // would silently become VT_BOOL
  // Takes a new reference to p.
  explicit Variant(IUnknown* p) {
    Set(VT_UNKNOWN);
    punkVal = p;
    if (p) p->AddRef();
  }
  Variant(const Variant& o) {
    VariantInit(this);
    VariantCopy(this, &o);
  }
  Variant(const VARIANT& o) {
    VariantInit(this);
    VariantCopy(this, &o);
  }
  Variant(Variant&& o) noexcept {
    std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&o), sizeof(VARIANT));
    VariantInit(&o);
  }
  Variant& operator=(const Variant& o) {
    VariantCopy(this, &o);
    return *this;
  }
  Variant& operator=(Variant&& o) noexcept {
    if (this != &o) {
      VariantClear(this);
      std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&o), sizeof(VARIANT));
      VariantInit(&o);
    }
    return *this;
  }
  ~Variant() { VariantClear(this); }

  HRESULT Clear() { return VariantClear(this); }
  // Converts in place.
  HRESULT ChangeType(VARTYPE type, USHORT flags = 0) { return VariantChangeType(this, this, flags, type); }
  // Takes ownership of an array; vt becomes VT_ARRAY | its element type.
  RT_API HRESULT AttachArray(SAFEARRAY* psa);
  // Takes ownership of src's value; src becomes VT_EMPTY.
  void Attach(VARIANT* src) {
    VariantClear(this);
    std::memcpy(static_cast<VARIANT*>(this), src, sizeof(VARIANT));
    VariantInit(src);
  }
  // Hands the value to dest (which must not own anything); this becomes VT_EMPTY.
  void Detach(VARIANT* dest) {
    std::memcpy(dest, static_cast<VARIANT*>(this), sizeof(VARIANT));
    VariantInit(this);
  }

 private:
  void Set(VARTYPE type) {
    VariantInit(this);
    vt = type;
  }
};

}  // namespace com
