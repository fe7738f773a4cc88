// Class objects: one static instance per creatable class, alive as long as the
// module is loaded, so their reference count never frees them.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace fw {

class ClassFactory final : public IClassFactory {
 public:
  using CreateFunction = HRESULT (*)(REFIID iid, void** result);
  ClassFactory(const CLSID& clsid, CreateFunction create) : clsid_(clsid), create_(create) {}

  const CLSID& clsid() const { return clsid_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override;
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** result) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  const CLSID& clsid_;
  CreateFunction create_;
};

// DllGetClassObject over the module's class objects.
HRESULT GetClassObject(ClassFactory* const* factories, size_t count, REFCLSID clsid, REFIID iid,
                       void** result);

}  // namespace fw
