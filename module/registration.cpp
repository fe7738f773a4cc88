#include "module/registration.h"

#include <comcat.h>
#include <olectl.h>

#include <algorithm>
#include <cwchar>

#include "brimlet_idl.h"
#include "framework/com_ptr.h"
#include "framework/module.h"
#include "framework/registration.h"
#include "module/module_ids.h"
#include "module/portable/registration_table.h"

namespace brimlet {
namespace {

// {7DD95801-9882-11CF-9FA9-00AA006C42C4}
const CATID kCatidSafeForScripting = {
    0x7dd95801, 0x9882, 0x11cf, {0x9f, 0xa9, 0x00, 0xaa, 0x00, 0x6c, 0x42, 0xc4}};
// {7DD95802-9882-11CF-9FA9-00AA006C42C4}
const CATID kCatidSafeForInitializing = {
    0x7dd95802, 0x9882, 0x11cf, {0x9f, 0xa9, 0x00, 0xaa, 0x00, 0x6c, 0x42, 0xc4}};
constexpr LCID kCategoryLocale = 0x0409;

// The control's and the property page's classes and the control's ProgID,
// as the module's registry list holds them (the page's ProgID belongs to its
// class object only and is not registered).
bool UpdateRegistryAll(bool registering) {
  const auto entries = ModuleRegistryEntries(sizeof(void*) == 8 ? 64 : 32);
  return registering ? fw::RegisterEntries(fw::ModuleInstance(), entries) : fw::UnregisterEntries(entries);
}

fw::ComPtr<ICatRegister> CreateCategoryManager(HRESULT* hr) {
  fw::ComPtr<ICatRegister> manager;
  *hr = ::CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                           IID_ICatRegister, manager.put_void());
  return manager;
}

}  // namespace

HRESULT CreateComponentCategory(REFGUID category, const wchar_t* description) {
  HRESULT hr;
  fw::ComPtr<ICatRegister> manager = CreateCategoryManager(&hr);
  if (FAILED(hr)) return hr;
  CATEGORYINFO info{};
  info.catid = category;
  info.lcid = kCategoryLocale;
  // CATEGORYINFO holds at most 127 characters and the terminating zero.
  const size_t length = std::min<size_t>(std::wcslen(description), 127);
  std::wmemcpy(info.szDescription, description, length);
  info.szDescription[length] = L'\0';
  return manager->RegisterCategories(1, &info);
}

HRESULT RegisterClassInCategory(REFCLSID clsid, REFGUID category) {
  HRESULT hr;
  fw::ComPtr<ICatRegister> manager = CreateCategoryManager(&hr);
  if (FAILED(hr)) return hr;
  CATID categories[] = {category};
  return manager->RegisterClassImplCategories(clsid, 1, categories);
}

HRESULT RegisterModule() {
  if (!fw::RegisterModuleTypeLib(fw::ModuleInstance())) return SELFREG_E_TYPELIB;
  if (!UpdateRegistryAll(true)) return SELFREG_E_CLASS;
  if (FAILED(CreateComponentCategory(kCatidSafeForScripting, L"Controls that are safely scriptable")) ||
      FAILED(CreateComponentCategory(kCatidSafeForInitializing,
                                     L"Controls safely initializable from persistent data")) ||
      FAILED(RegisterClassInCategory(CLSID_Brimlet, kCatidSafeForScripting)) ||
      FAILED(RegisterClassInCategory(CLSID_Brimlet, kCatidSafeForInitializing)))
    return SELFREG_E_CLASS;
  return S_OK;
}

HRESULT UnregisterModule() {
  if (!fw::UnregisterModuleTypeLib(LIBID_BRIMLETLib, kTypeLibMajor, kTypeLibMinor, 0))
    return SELFREG_E_TYPELIB;
  if (!UpdateRegistryAll(false)) return SELFREG_E_CLASS;
  return S_OK;
}

}  // namespace brimlet
