#pragma once
// How a VARIANT is kept in the project: its type, the bounds of an array
// (per dimension, dimension 1 first: lower bound i32, element count u32,
// little-endian) and the raw bytes of its value or elements.
#include <cstdint>
#include <vector>

#include "com/variant.h"

namespace host {

struct StoredValue {
  VARTYPE vt = VT_NULL;
  std::vector<uint8_t> bounds;  // empty for a scalar
  std::vector<uint8_t> data;
};

// Encodes a value. Scalars of fixed size, BSTR, VT_EMPTY/VT_NULL and arrays
// of fixed-size elements are kept; anything else (interfaces, references,
// arrays of strings or VARIANTs) is refused with DISP_E_BADVARTYPE.
HRESULT EncodeValue(const VARIANT& value, StoredValue* out);

// Rebuilds a VARIANT from its stored form into `out` (which must not own
// anything). HRESULT_FROM_WIN32(ERROR_INVALID_DATA) for a stored form that
// does not add up.
HRESULT DecodeValue(VARTYPE vt, const uint8_t* bounds, size_t boundsSize, const uint8_t* data,
                    size_t dataSize, VARIANT* out);

}  // namespace host
