// The reference-counting core: QueryInterface from a table of
// {IID, offset of that interface in the object}, and a mixin that gives a class
// its IUnknown, its module lock and its creation.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <cstddef>
#include <new>

#include "framework/com_ptr.h"
#include "framework/module.h"

namespace fw {

struct InterfaceEntry {
  const IID* iid;
  std::ptrdiff_t offset;  // of the interface within the object
};

// Offset of interface I (reached through the base path Via) in class C.
template <class C, class I, class Via = I>
std::ptrdiff_t InterfaceOffset() {
  // Any suitably aligned non-null address serves: only the pointer arithmetic
  // of the casts is used, nothing is dereferenced.
  C* object = reinterpret_cast<C*>(0x1000);
  I* itf = static_cast<Via*>(object);
  return reinterpret_cast<char*>(itf) - reinterpret_cast<char*>(object);
}

template <class C, class I, class Via = I>
InterfaceEntry Entry(const IID& iid) {
  return InterfaceEntry{&iid, InterfaceOffset<C, I, Via>()};
}

// IUnknown is answered by the first entry; a table ends with {nullptr, 0}.
HRESULT QueryInterfaceFromTable(void* object, const InterfaceEntry* table, REFIID iid,
                                void** result);

// A COM object of class Derived implementing Interfaces. Derived lists what
// QueryInterface answers in `static const InterfaceEntry* InterfaceTable()`.
template <class Derived, class... Interfaces>
class ComObject : public Interfaces... {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
    return QueryInterfaceFromTable(static_cast<Derived*>(this), Derived::InterfaceTable(), iid,
                                   result);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG remaining = ::InterlockedDecrement(&references_);
    if (remaining == 0) delete this;  // the destructor is virtual
    return remaining;
  }

  // Creates an object holding one reference, owned by the returned pointer.
  template <class... Args>
  static ComPtr<Derived> Create(Args&&... args) {
    return ComPtr<Derived>::Attach(new (std::nothrow) Derived(std::forward<Args>(args)...));
  }

 protected:
  ComObject() { LockModule(); }
  virtual ~ComObject() { UnlockModule(); }

 private:
  LONG references_ = 1;
};

// What a class object does for a class whose objects need a step after
// construction: a new T holding one reference, `prepare` run on it, then the
// interface asked for.
template <class T, class Prepare>
HRESULT CreateInstance(REFIID iid, void** result, Prepare prepare) {
  if (!result) return E_POINTER;
  *result = nullptr;
  T* object = new (std::nothrow) T();
  if (!object) return E_OUTOFMEMORY;
  prepare(*object);
  const HRESULT hr = object->QueryInterface(iid, result);
  object->Release();
  return hr;
}

}  // namespace fw
