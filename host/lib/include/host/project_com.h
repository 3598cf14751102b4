#pragma once
// Helpers of the COM objects over a project: creation, the exception
// barrier at every method, collection indexes and string results.
#include <new>
#include <string>
#include <utility>

#include "com/object.h"
#include "com/variant.h"
#include "host/project.h"

namespace host {

// Makes `text` the thread's error information and returns hr.
HRESULT ReportError(HRESULT hr, const std::string& text);

// Runs f (returning HRESULT); exceptions become HRESULTs and never leave.
template <class F>
HRESULT Guarded(F&& f) noexcept {
  try {
    return f();
  } catch (const ProjectError& e) {
    return ReportError(e.Code(), e.what());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    return ReportError(E_FAIL, e.what());
  } catch (...) {
    return E_FAIL;
  }
}

// Creates a T, calls its Init(args...) and hands it out as I.
template <class T, class I, class... Args>
HRESULT MakeObject(I** out, Args&&... args) {
  if (!out) return E_POINTER;
  *out = nullptr;
  com::ComObject<T>* obj = nullptr;
  HRESULT hr = com::ComObject<T>::Create(nullptr, &obj);
  if (FAILED(hr)) return hr;
  obj->AddRef();
  obj->Init(std::forward<Args>(args)...);
  hr = obj->QueryInterface(I::iid, reinterpret_cast<void**>(out));
  obj->Release();
  return hr;
}

// The 1-based position a collection index names (VT_I4, VT_I2 or VT_UI1,
// also by reference); E_INVALIDARG for another type or a value outside
// 1..count.
HRESULT CollectionIndex(const VARIANT& index, int32_t count, int32_t* position);

// A new BSTR with a UTF-8 text; E_POINTER for a null slot.
HRESULT ReturnText(const std::string& text, BSTR* out);

// A VT_I4 VARIANT result.
HRESULT ReturnLong(int32_t value, VARIANT* out);

}  // namespace host
