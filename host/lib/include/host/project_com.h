#pragma once
// Helpers of the COM objects over a project: creation, the exception
// barrier at every method, collection indexes and string results.
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "com/barrier.h"
#include "com/object.h"
#include "com/variant.h"
#include "host/project.h"
#include "hostapi/device.h"

namespace host {

// The revision at which a device object (and the parameter objects reached
// from it) read the device's configuration, and so the revision its writes
// expect. Reading extension data takes the revision read: the reader holds
// the current record. Reading a parameter value takes it only when nothing
// was read before, because the plug-in reads each parameter just before it
// writes it, on top of a record it read long before. A successful write
// takes the revision it made; a write before any read is unconditional.
class ReadMark {
 public:
  void ReadRecord(int64_t revision) {
    std::lock_guard lock(mutex_);
    revision_ = revision;
  }
  void ReadValue(int64_t revision) {
    std::lock_guard lock(mutex_);
    if (!revision_) revision_ = revision;
  }
  void Wrote(int64_t revision) { ReadRecord(revision); }
  std::optional<int64_t> Expected() const {
    std::lock_guard lock(mutex_);
    return revision_;
  }

 private:
  mutable std::mutex mutex_;
  std::optional<int64_t> revision_;
};

// The parameters of a device as a device object hands them out, sharing its
// read mark.
HRESULT MakeParametersObject(const Project& project, int64_t deviceId, std::shared_ptr<ReadMark> mark,
                             IDeviceParameters** out);

// Makes `text` the thread's error information and returns hr.
HRESULT ReportError(HRESULT hr, const std::string& text);

// Every method of the project's COM objects runs behind the runtime's
// exception barrier: a ProjectError becomes its code and text.
using com::CallGuarded;

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
