#include "framework/class_factory.h"

#include "framework/module.h"

namespace fw {

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** result) {
  if (!result) return E_POINTER;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IClassFactory)) {
    *result = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *result = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return create_(iid, result);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock) LockModule(); else UnlockModule();
  return S_OK;
}

HRESULT GetClassObject(ClassFactory* const* factories, size_t count, REFCLSID clsid, REFIID iid,
                       void** result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  for (size_t i = 0; i < count; ++i) {
    if (::IsEqualCLSID(clsid, factories[i]->clsid())) return factories[i]->QueryInterface(iid, result);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace fw
