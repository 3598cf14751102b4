#include "variant_coerce.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/strings.h"

namespace com::detail {
namespace {

constexpr IID kIidDispatch = MakeGuid("00020400-0000-0000-C000-000000000046");

// A number read from a VARIANT, kept in the widest form of its kind.
struct Number {
  enum Kind { Signed, Unsigned, Real } kind;
  int64_t s = 0;
  uint64_t u = 0;
  double d = 0;
};

Number FromSigned(int64_t v) { return {Number::Signed, v, 0, 0}; }
Number FromUnsigned(uint64_t v) { return {Number::Unsigned, 0, v, 0}; }
Number FromReal(double v) { return {Number::Real, 0, 0, v}; }

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool EqualsAsciiNoCase(std::u16string_view s, std::string_view ascii) {
  if (s.size() != ascii.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
    if (c != char16_t(ascii[i])) return false;
  }
  return true;
}

// Decimal text as the US English locale writes it: surrounding blanks, a
// sign, digits with optional thousands separators, a fraction and an
// exponent. Anything else is DISP_E_TYPEMISMATCH.
HRESULT ParseNumber(std::u16string_view text, Number* out) {
  std::u16string_view s = Trim(text);
  std::string digits;  // the number without separators, for from_chars
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  size_t intDigits = 0, fracDigits = 0;
  bool real = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= u'0' && s[i] <= u'9') {
      digits.push_back(char(s[i]));
      ++intDigits;
    } else if (s[i] == u',' && intDigits > 0) {
      continue;
    } else {
      break;
    }
  }
  if (i < s.size() && s[i] == u'.') {
    real = true;
    digits.push_back('.');
    for (++i; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i, ++fracDigits) digits.push_back(char(s[i]));
  }
  if (intDigits + fracDigits == 0) return DISP_E_TYPEMISMATCH;
  if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
    real = true;
    digits.push_back('e');
    ++i;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) digits.push_back(char(s[i++]));
    size_t expDigits = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i, ++expDigits) digits.push_back(char(s[i]));
    if (expDigits == 0) return DISP_E_TYPEMISMATCH;
  }
  if (i != s.size()) return DISP_E_TYPEMISMATCH;

  const char* first = digits.data();
  const char* last = first + digits.size();
  if (!real) {
    uint64_t magnitude = 0;
    auto [p, ec] = std::from_chars(first, last, magnitude);
    if (ec == std::errc() && p == last) {
      if (!negative) {
        *out = FromUnsigned(magnitude);
      } else if (magnitude <= uint64_t(INT64_MAX) + 1) {
        *out = FromSigned(int64_t(0 - magnitude));
      } else {
        *out = FromReal(-double(magnitude));
      }
      return S_OK;
    }
    // Too many digits for 64 bits: carry on as a real, which overflows later.
  }
  double d = 0;
  auto [p, ec] = std::from_chars(first, last, d);
  if (p != last) return DISP_E_TYPEMISMATCH;
  if (ec == std::errc::result_out_of_range) return DISP_E_OVERFLOW;
  *out = FromReal(negative ? -d : d);
  return S_OK;
}

// The numeric value of a scalar VARIANT.
HRESULT ReadNumber(const VARIANT& v, Number* out) {
  switch (v.vt) {
    case VT_EMPTY: *out = FromSigned(0); return S_OK;
    case VT_I1: *out = FromSigned(int8_t(v.cVal)); return S_OK;
    case VT_I2: *out = FromSigned(v.iVal); return S_OK;
    case VT_I4: *out = FromSigned(v.lVal); return S_OK;
    case VT_INT: *out = FromSigned(v.intVal); return S_OK;
    case VT_I8: *out = FromSigned(v.llVal); return S_OK;
    case VT_BOOL: *out = FromSigned(v.boolVal); return S_OK;
    case VT_UI1: *out = FromUnsigned(v.bVal); return S_OK;
    case VT_UI2: *out = FromUnsigned(v.uiVal); return S_OK;
    case VT_UI4: *out = FromUnsigned(v.ulVal); return S_OK;
    case VT_UINT: *out = FromUnsigned(v.uintVal); return S_OK;
    case VT_UI8: *out = FromUnsigned(v.ullVal); return S_OK;
    case VT_R4: *out = FromReal(v.fltVal); return S_OK;
    case VT_R8: *out = FromReal(v.dblVal); return S_OK;
    case VT_BSTR:
      return ParseNumber(std::u16string_view(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal)), out);
    default: return DISP_E_TYPEMISMATCH;  // VT_NULL, interfaces, errors, and types not converted here
  }
}

struct IntRange {
  int64_t lo;
  uint64_t hi;
  double limit;  // hi + 1 as a double, exact
};

bool IntegerRange(VARTYPE vt, IntRange* r) {
  switch (vt) {
    case VT_I1: *r = {INT8_MIN, INT8_MAX, 128.0}; return true;
    case VT_I2: *r = {INT16_MIN, INT16_MAX, 32768.0}; return true;
    case VT_I4:
    case VT_INT: *r = {INT32_MIN, INT32_MAX, 2147483648.0}; return true;
    case VT_I8: *r = {INT64_MIN, INT64_MAX, 9223372036854775808.0}; return true;
    case VT_UI1: *r = {0, UINT8_MAX, 256.0}; return true;
    case VT_UI2: *r = {0, UINT16_MAX, 65536.0}; return true;
    case VT_UI4:
    case VT_UINT: *r = {0, UINT32_MAX, 4294967296.0}; return true;
    case VT_UI8: *r = {0, UINT64_MAX, 18446744073709551616.0}; return true;
    default: return false;
  }
}

void StoreInteger(VARTYPE vt, uint64_t bits, VARIANT* out) {
  out->vt = vt;
  switch (vt) {
    case VT_I1: out->cVal = CHAR(bits); break;
    case VT_I2: out->iVal = SHORT(bits); break;
    case VT_I4: out->lVal = LONG(bits); break;
    case VT_INT: out->intVal = INT(bits); break;
    case VT_I8: out->llVal = int64_t(bits); break;
    case VT_UI1: out->bVal = BYTE(bits); break;
    case VT_UI2: out->uiVal = USHORT(bits); break;
    case VT_UI4: out->ulVal = ULONG(bits); break;
    case VT_UINT: out->uintVal = UINT(bits); break;
    case VT_UI8: out->ullVal = bits; break;
    default: break;
  }
}

// Reals are rounded half to even; values outside the target's range are
// DISP_E_OVERFLOW.
HRESULT WriteInteger(const Number& n, VARTYPE vt, const IntRange& r, VARIANT* out) {
  uint64_t bits = 0;
  switch (n.kind) {
    case Number::Signed:
      if (n.s < r.lo || (n.s > 0 && uint64_t(n.s) > r.hi)) return DISP_E_OVERFLOW;
      bits = uint64_t(n.s);
      break;
    case Number::Unsigned:
      if (n.u > r.hi) return DISP_E_OVERFLOW;
      bits = n.u;
      break;
    case Number::Real: {
      double d = std::nearbyint(n.d);
      if (!(d >= double(r.lo) && d < r.limit)) return DISP_E_OVERFLOW;  // NaN fails too
      bits = d < 0 ? uint64_t(int64_t(d)) : uint64_t(d);
      break;
    }
  }
  StoreInteger(vt, bits, out);
  return S_OK;
}

double AsReal(const Number& n) {
  return n.kind == Number::Signed ? double(n.s) : n.kind == Number::Unsigned ? double(n.u) : n.d;
}

bool IsZero(const Number& n) {
  return n.kind == Number::Signed ? n.s == 0 : n.kind == Number::Unsigned ? n.u == 0 : n.d == 0;
}

HRESULT ToNumber(const VARIANT& v, VARTYPE vt, VARIANT* out) {
  if (vt == VT_BOOL && v.vt == VT_BSTR) {
    std::u16string_view s = Trim(std::u16string_view(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal)));
    if (EqualsAsciiNoCase(s, "true") || EqualsAsciiNoCase(s, "false")) {
      out->vt = VT_BOOL;
      out->boolVal = EqualsAsciiNoCase(s, "true") ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    }
  }
  Number n;
  HRESULT hr = ReadNumber(v, &n);
  if (FAILED(hr)) return hr;
  IntRange range;
  if (IntegerRange(vt, &range)) {
    // A boolean keeps its bits in an unsigned type: True becomes all ones.
    if (v.vt == VT_BOOL && range.lo == 0) {
      StoreInteger(vt, uint64_t(int64_t(v.boolVal)), out);
      return S_OK;
    }
    return WriteInteger(n, vt, range, out);
  }
  switch (vt) {
    case VT_BOOL:
      out->vt = VT_BOOL;
      out->boolVal = IsZero(n) ? VARIANT_FALSE : VARIANT_TRUE;
      return S_OK;
    case VT_R4: {
      double d = AsReal(n);
      if (std::isfinite(d) && std::fabs(d) > 3.402823466e38) return DISP_E_OVERFLOW;
      out->vt = VT_R4;
      out->fltVal = float(d);
      return S_OK;
    }
    case VT_R8:
      out->vt = VT_R8;
      out->dblVal = AsReal(n);
      return S_OK;
    default: return DISP_E_TYPEMISMATCH;
  }
}

std::string RealText(double d, int digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*G", digits, d);
  return buf;
}

HRESULT ToText(const VARIANT& v, USHORT flags, VARIANT* out) {
  std::string text;
  switch (v.vt) {
    case VT_EMPTY: break;
    case VT_BOOL:
      if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
        text = v.boolVal ? "True" : "False";
      else
        text = v.boolVal ? "-1" : "0";
      break;
    case VT_R4: text = RealText(v.fltVal, 7); break;
    case VT_R8: text = RealText(v.dblVal, 15); break;
    default: {
      Number n;
      if (v.vt == VT_NULL || FAILED(ReadNumber(v, &n))) return DISP_E_TYPEMISMATCH;
      text = n.kind == Number::Signed ? std::to_string(n.s) : std::to_string(n.u);
    }
  }
  std::u16string wide = base::Utf8ToUtf16(text);
  out->bstrVal = SysAllocStringLen(wide.data(), UINT(wide.size()));
  if (!out->bstrVal) return E_OUTOFMEMORY;
  out->vt = VT_BSTR;
  return S_OK;
}

HRESULT ToInterface(const VARIANT& v, VARTYPE vt, VARIANT* out) {
  if (v.vt != VT_UNKNOWN && v.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
  out->vt = vt;
  if (!v.punkVal) return S_OK;
  void* p = nullptr;
  HRESULT hr = v.punkVal->QueryInterface(vt == VT_UNKNOWN ? IUnknown::iid : kIidDispatch, &p);
  if (FAILED(hr)) {
    out->vt = VT_EMPTY;
    return hr == E_NOINTERFACE ? DISP_E_TYPEMISMATCH : hr;
  }
  out->byref = p;
  return S_OK;
}

}  // namespace

HRESULT Dereference(const VARIANT& src, VARIANT* value) {
  VariantInit(value);
  if (!(src.vt & VT_BYREF)) {
    std::memcpy(value, &src, sizeof src);
    return S_OK;
  }
  if (!src.byref) return E_INVALIDARG;
  VARTYPE vt = src.vt & VARTYPE(~VT_BYREF);
  if (vt == VT_VARIANT) {
    if (src.pvarVal->vt & VT_BYREF) return E_INVALIDARG;
    std::memcpy(value, src.pvarVal, sizeof(VARIANT));
    return S_OK;
  }
  size_t size = 0;
  if (vt & VT_ARRAY) {
    size = sizeof(SAFEARRAY*);
  } else {
    switch (vt) {
      case VT_I1:
      case VT_UI1: size = 1; break;
      case VT_I2:
      case VT_UI2:
      case VT_BOOL: size = 2; break;
      case VT_I4:
      case VT_UI4:
      case VT_INT:
      case VT_UINT:
      case VT_R4:
      case VT_ERROR: size = 4; break;
      case VT_I8:
      case VT_UI8:
      case VT_R8:
      case VT_CY:
      case VT_DATE: size = 8; break;
      case VT_BSTR: size = sizeof(BSTR); break;
      case VT_UNKNOWN:
      case VT_DISPATCH: size = sizeof(IUnknown*); break;
      default: return DISP_E_TYPEMISMATCH;
    }
  }
  value->vt = vt;
  std::memcpy(&value->llVal, src.byref, size);
  return S_OK;
}

HRESULT Coerce(const VARIANT& v, USHORT flags, VARTYPE vt, VARIANT* out) {
  if (v.vt == vt) return VariantCopy(out, &v);
  if ((v.vt | vt) & VT_ARRAY) return DISP_E_TYPEMISMATCH;
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
      // Any scalar may be emptied or nulled, except that NULL does not become EMPTY.
      if ((vt == VT_EMPTY && v.vt == VT_NULL) || v.vt > VT_UINT || v.vt == 15 || v.vt == VT_ERROR)
        return DISP_E_TYPEMISMATCH;
      out->vt = vt;
      return S_OK;
    case VT_BSTR: return ToText(v, flags, out);
    case VT_UNKNOWN:
    case VT_DISPATCH: return ToInterface(v, vt, out);
    default: return ToNumber(v, vt, out);
  }
}

}  // namespace com::detail
