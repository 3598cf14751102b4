#pragma once
// The exception barrier of every COM method: an exception never leaves
// through a COM interface. CallGuarded runs the method's body and turns what
// it throws into the HRESULT it stands for, with the thread's error object
// describing it:
//   HResultError (and what derives from it)  its code and text
//   std::bad_alloc                           E_OUTOFMEMORY
//   another std::exception                   E_FAIL and its what()
//   anything else                            E_UNEXPECTED
#include <new>
#include <stdexcept>
#include <string>

#include "base/hresult.h"

namespace com {

// An exception that knows the HRESULT it stands for.
class HResultError : public std::runtime_error {
 public:
  HResultError(HRESULT code, const std::string& what) : std::runtime_error(what), code_(code) {}
  HRESULT Code() const noexcept { return code_; }

 private:
  HRESULT code_;
};

// Makes `text` the calling thread's error description and returns hr; when
// even that fails for want of memory, the thread has no error object.
RT_API HRESULT ReportFailure(HRESULT hr, const char* text) noexcept;

template <class F>
HRESULT CallGuarded(F&& body) noexcept {
  try {
    return body();
  } catch (const HResultError& e) {
    return ReportFailure(e.Code(), e.what());
  } catch (const std::bad_alloc&) {
    return ReportFailure(E_OUTOFMEMORY, "not enough memory");
  } catch (const std::exception& e) {
    return ReportFailure(E_FAIL, e.what());
  } catch (...) {
    return ReportFailure(E_UNEXPECTED, "an unexpected exception");
  }
}

}  // namespace com
