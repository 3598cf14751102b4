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

// The base every COM class implementation names beside its interfaces; see
// above for what such a class provides.
class ObjectRoot {};

// Answers the listed interfaces of self. AddRef goes through the answered
// interface, so an aggregated object counts on its outer object.
template <class... Interfaces, class T>
HRESULT QueryInterfaceOf(T* self, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  bool found = ((iid == Interfaces::iid && (*ppv = static_cast<Interfaces*>(self), true)) || ...);
  if (!found) return E_NOINTERFACE;
  static_cast<IUnknown*>(*ppv)->AddRef();
  return S_OK;
}

// A thread-safe reference count. Add and Drop answer the new count.
class RefCount {
 public:
  explicit RefCount(ULONG initial = 0) : count_(initial) {}
  RefCount(const RefCount&) = delete;
  RefCount& operator=(const RefCount&) = delete;
  ULONG Add() { return ++count_; }
  ULONG Drop() { return --count_; }

 private:
  std::atomic<ULONG> count_;
};

// AddRef and Release of an object that owns its reference count and
// deletes itself, as Derived, when the last reference goes.
template <class Derived, class Base>
class SelfDeleting : public Base {
 public:
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override {
    ULONG n = refs_.Drop();
    if (n == 0) delete static_cast<Derived*>(this);
    return n;
  }

 private:
  RefCount refs_;
};

// LockServer of a class factory: counts on the module, when there is one.
inline HRESULT LockServerOf(Module* module, BOOL lock) {
  if (module) lock ? module->Lock() : module->Unlock();
  return S_OK;
}

namespace detail {
// Holds a lock on the module (when there is one) for its lifetime.
class ModuleLock {
 public:
  explicit ModuleLock(Module* module) : module_(module) {
    if (module_) module_->Lock();
  }
  ~ModuleLock() {
    if (module_) module_->Unlock();
  }
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;

 private:
  Module* module_;
};

// QueryInterface of an object's own IUnknown: `identity` for IUnknown, the
// implementation's InternalQueryInterface for everything else.
template <class T>
HRESULT QueryIdentity(IUnknown* identity, T& implementation, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (iid == IUnknown::iid) {
    *ppv = identity;
    identity->AddRef();
    return S_OK;
  }
  return implementation.InternalQueryInterface(iid, ppv);
}

// Hands a new object (null when memory ran out) out as iid: the guarding
// reference keeps it alive through QueryInterface and destroys it when the
// query fails.
template <class Obj>
HRESULT HandOut(Obj* obj, REFIID iid, void** ppv) {
  if (!obj) return E_OUTOFMEMORY;
  obj->AddRef();
  HRESULT hr = obj->QueryInterface(iid, ppv);
  obj->Release();
  return hr;
}
}  // namespace detail

// A plain object: owns its reference count and holds a lock on the module
// for its lifetime.
template <class T>
class ComObject final : public SelfDeleting<ComObject<T>, T> {
 public:
  explicit ComObject(Module* module) : moduleLock_(module) {}
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    return detail::QueryIdentity(static_cast<IUnknown*>(static_cast<typename T::PrimaryInterface*>(this)),
                                 *this, iid, ppv);
  }

  // Creates the object with a reference count of 0.
  static HRESULT Create(Module* module, ComObject** out) {
    *out = new (std::nothrow) ComObject(module);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  detail::ModuleLock moduleLock_;
};

// The part of an aggregated object that the outer object exposes: its
// IUnknown calls go to the outer object.
template <class T>
class ComContainedObject final : public T {
 public:
  explicit ComContainedObject(IUnknown* outer) : outer_(outer) {}
  HRESULT QueryInterface(REFIID iid, void** ppv) override { return outer_->QueryInterface(iid, ppv); }
  ULONG AddRef() override { return outer_->AddRef(); }
  ULONG Release() override { return outer_->Release(); }

 private:
  IUnknown* outer_;
};

// An aggregated object: its own IUnknown is the non-delegating one that only
// the outer object holds.
template <class T>
class ComAggObject final : public SelfDeleting<ComAggObject<T>, IUnknown> {
 public:
  ComAggObject(Module* module, IUnknown* outer) : contained_(outer), moduleLock_(module) {}
  ComAggObject(const ComAggObject&) = delete;
  ComAggObject& operator=(const ComAggObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    return detail::QueryIdentity(this, contained_, iid, ppv);
  }

 private:
  ComContainedObject<T> contained_;
  // After the contained part: the module is locked while that part exists.
  detail::ModuleLock moduleLock_;
};

// Creates an instance of T, plain or aggregated, and queries it for iid.
// An outer object must ask for IUnknown.
template <class T>
HRESULT CreateInstance(Module* module, IUnknown* outer, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) {
    if (!(iid == IUnknown::iid)) return CLASS_E_NOAGGREGATION;
    return detail::HandOut(new (std::nothrow) ComAggObject<T>(module, outer), iid, ppv);
  }
  return detail::HandOut(new (std::nothrow) ComObject<T>(module), iid, ppv);
}

}  // namespace com

namespace com {

// A class factory for a class that a process registers itself
// (CoRegisterClassObject), e.g. the host's own services.
template <class T>
class ClassFactoryFor final : public SelfDeleting<ClassFactoryFor<T>, IClassFactory> {
 public:
  explicit ClassFactoryFor(Module* module = nullptr) : module_(module) {}
  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    return QueryInterfaceOf<IUnknown, IClassFactory>(this, iid, ppv);
  }
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** ppv) override {
    return com::CreateInstance<T>(module_, outer, iid, ppv);
  }
  HRESULT LockServer(BOOL lock) override { return LockServerOf(module_, lock); }
  static ComPtr<IClassFactory> Make(Module* module = nullptr) {
    auto* f = new (std::nothrow) ClassFactoryFor(module);
    return ComPtr<IClassFactory>(f);
  }

 private:
  Module* module_;
};

}  // namespace com
