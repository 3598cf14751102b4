#pragma once
// Building blocks of COM class implementations.
//
// A class T derives from its interfaces and from com::ObjectRoot, names its
// primary interface (`using PrimaryInterface = I;`) and answers
// `HRESULT InternalQueryInterface(REFIID, void**)` for the interfaces other
// than IUnknown (com::QueryInterfaceOf helps). It never implements AddRef,
// Release or QueryInterface itself: ComObject<T> (a plain object) or
// ComAggObject<T> (an aggregated part of an outer object) supply them, so the
// same class serves both ways of creation.
#include <atomic>
#include <new>

#include "com/comptr.h"
#include "com/module.h"
#include "com/unknown.h"

namespace com {

class ObjectRoot {
 public:
  // Second construction step, after the object is complete; a failure
  // destroys the object and is returned by the creator.
  HRESULT FinalConstruct() { return S_OK; }
  // Called before the object is destroyed.
  void FinalRelease() {}
};

// Answers the listed interfaces of self. AddRef goes through the answered
// interface, so an aggregated object counts on its outer object.
template <class... Interfaces, class T>
HRESULT QueryInterfaceOf(T* self, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  bool found = ((iid == Interfaces::iid &&
                 (*ppv = static_cast<Interfaces*>(self), true)) || ...);
  if (!found) return E_NOINTERFACE;
  static_cast<IUnknown*>(*ppv)->AddRef();
  return S_OK;
}

namespace detail {
// Second construction step of a new object (null when memory ran out): runs
// `finalConstruct` under a guarding reference, so that the object's own
// AddRef/Release there cannot destroy it, and destroys the object when it
// fails. On success the object is handed out with a reference count of 0.
template <class Obj, class FinalConstruct>
HRESULT FinishCreate(Obj* obj, Obj** out, FinalConstruct finalConstruct) {
  if (!obj) return E_OUTOFMEMORY;
  obj->AddRef();
  HRESULT hr = finalConstruct(obj);
  obj->ReleaseWithoutDestroying();
  if (FAILED(hr)) {
    delete obj;
    return hr;
  }
  *out = obj;
  return S_OK;
}
}  // namespace detail

// A plain object: owns its reference count and holds a lock on the module
// for its lifetime.
template <class T>
class ComObject final : public T {
 public:
  explicit ComObject(Module* module) : module_(module) {
    if (module_) module_->Lock();
  }
  ~ComObject() {
    this->FinalRelease();
    if (module_) module_->Unlock();
  }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (iid == IUnknown::iid) {
      *ppv = static_cast<IUnknown*>(static_cast<typename T::PrimaryInterface*>(this));
      AddRef();
      return S_OK;
    }
    return this->InternalQueryInterface(iid, ppv);
  }
  ULONG AddRef() override { return ++ref_; }
  ULONG Release() override {
    ULONG n = --ref_;
    if (n == 0) delete this;
    return n;
  }
  // Drops the guarding reference of construction (see detail::FinishCreate).
  void ReleaseWithoutDestroying() { --ref_; }

  // Creates the object with a reference count of 0.
  static HRESULT Create(Module* module, ComObject** out) {
    *out = nullptr;
    return detail::FinishCreate(new (std::nothrow) ComObject(module), out,
                                [](ComObject* o) { return o->FinalConstruct(); });
  }

 private:
  Module* module_;
  std::atomic<ULONG> ref_{0};
};

// The part of an aggregated object that the outer object exposes: its
// IUnknown calls go to the outer object.
template <class T>
class ComContainedObject final : public T {
 public:
  explicit ComContainedObject(IUnknown* outer) : outer_(outer) {}
  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    return outer_->QueryInterface(iid, ppv);
  }
  ULONG AddRef() override { return outer_->AddRef(); }
  ULONG Release() override { return outer_->Release(); }

 private:
  IUnknown* outer_;
};

// An aggregated object: its own IUnknown is the non-delegating one that only
// the outer object holds.
template <class T>
class ComAggObject final : public IUnknown {
 public:
  ComAggObject(Module* module, IUnknown* outer) : module_(module), contained_(outer) {
    if (module_) module_->Lock();
  }
  ~ComAggObject() {
    contained_.FinalRelease();
    if (module_) module_->Unlock();
  }
  ComAggObject(const ComAggObject&) = delete;
  ComAggObject& operator=(const ComAggObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (iid == IUnknown::iid) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return contained_.InternalQueryInterface(iid, ppv);
  }
  ULONG AddRef() override { return ++ref_; }
  ULONG Release() override {
    ULONG n = --ref_;
    if (n == 0) delete this;
    return n;
  }
  // Drops the guarding reference of construction (see detail::FinishCreate).
  void ReleaseWithoutDestroying() { --ref_; }

  T* Inner() { return &contained_; }

  static HRESULT Create(Module* module, IUnknown* outer, ComAggObject** out) {
    *out = nullptr;
    return detail::FinishCreate(new (std::nothrow) ComAggObject(module, outer), out,
                                [](ComAggObject* o) { return o->contained_.FinalConstruct(); });
  }

 private:
  Module* module_;
  std::atomic<ULONG> ref_{0};
  ComContainedObject<T> contained_;
};

// Creates an instance of T, plain or aggregated, and queries it for iid.
// An outer object must ask for IUnknown.
template <class T>
HRESULT CreateInstance(Module* module, IUnknown* outer, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) {
    if (!(iid == IUnknown::iid)) return CLASS_E_NOAGGREGATION;
    ComAggObject<T>* obj = nullptr;
    HRESULT hr = ComAggObject<T>::Create(module, outer, &obj);
    if (FAILED(hr)) return hr;
    obj->AddRef();
    hr = obj->QueryInterface(iid, ppv);
    obj->Release();
    return hr;
  }
  ComObject<T>* obj = nullptr;
  HRESULT hr = ComObject<T>::Create(module, &obj);
  if (FAILED(hr)) return hr;
  obj->AddRef();
  hr = obj->QueryInterface(iid, ppv);
  obj->Release();
  return hr;
}

}  // namespace com

namespace com {

// A class factory for a class that a process registers itself
// (CoRegisterClassObject), e.g. the host's own services.
template <class T>
class ClassFactoryFor final : public IClassFactory {
 public:
  explicit ClassFactoryFor(Module* module = nullptr) : module_(module) {}
  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    return QueryInterfaceOf<IUnknown, IClassFactory>(this, iid, ppv);
  }
  ULONG AddRef() override { return ++ref_; }
  ULONG Release() override {
    ULONG n = --ref_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** ppv) override {
    return com::CreateInstance<T>(module_, outer, iid, ppv);
  }
  HRESULT LockServer(BOOL lock) override {
    if (module_) lock ? module_->Lock() : module_->Unlock();
    return S_OK;
  }
  static ComPtr<IClassFactory> Make(Module* module = nullptr) {
    auto* f = new (std::nothrow) ClassFactoryFor(module);
    return ComPtr<IClassFactory>(f);
  }

 private:
  Module* module_;
  std::atomic<ULONG> ref_{0};
};

}  // namespace com
