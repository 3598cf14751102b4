#pragma once
// PNG output of a bitmap (8-bit RGB).
#include <string>

#include "base/hresult.h"
#include "gfx/bitmap.h"

namespace gfx {

// Writes `bitmap` to `path` through a temporary file in the same folder that
// replaces `path` only when complete. E_INVALIDARG for an empty bitmap;
// Win32 file errors as HRESULTs.
HRESULT SavePng(const Bitmap& bitmap, const std::string& path);

}  // namespace gfx
