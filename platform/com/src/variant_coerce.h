#pragma once
// Conversions between VARIANT types, shared by VariantChangeType.
#include "com/variant.h"

namespace com::detail {

bool IsValidBaseType(VARTYPE base);
// DISP_E_BADVARTYPE unless vt is a type a VARIANT may hold.
HRESULT ValidateVariantType(VARTYPE vt);
// The value a by-reference VARIANT points at, as a borrowed (not owned)
// VARIANT; other values are copied shallowly.
HRESULT Dereference(const VARIANT& src, VARIANT* value);
// Converts a valid, not by-reference value into out (which is VT_EMPTY).
HRESULT Coerce(const VARIANT& value, USHORT flags, VARTYPE vt, VARIANT* out);

}  // namespace com::detail
