#include "framework/registration.h"

#include <oleauto.h>

#include <cstdlib>

#include "framework/com_ptr.h"
#include "framework/module.h"
#include "framework/registry_key.h"

namespace fw {
namespace {

// What RegisterInprocClass writes below CLSID\{...}; unregistering removes
// exactly these.
const char* const kClassSubkeys[] = {"InprocServer32", "ProgID", "Control", "ToolboxBitmap32",
                                     "MiscStatus", "TypeLib", "Version"};

bool RegisterInprocClass(HINSTANCE module, REFCLSID clsid, UINT typeNameId) {
  const std::string path = ModulePath(module);
  if (path.empty()) return false;
  const std::string key = "CLSID\\" + GuidText(clsid);
  const std::string typeName = LoadResourceString(typeNameId);
  const std::string apartment = "Apartment";
  return SetClassesValue(key, &typeName) &&
         SetClassesValue(key + "\\InprocServer32", &path, "ThreadingModel", &apartment);
}

}  // namespace

bool RegisterModuleTypeLib(HINSTANCE module) {
  std::wstring path = ModulePathW(module);
  if (path.empty()) return false;
  ComPtr<ITypeLib> library;
  if (FAILED(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put()))) return false;
  return SUCCEEDED(::RegisterTypeLib(library.get(), path.data(), nullptr));
}

HRESULT LoadRegisteredTypeLib(REFGUID typeLib, WORD major, WORD minor, LCID lcid, ITypeLib** library) {
  HRESULT hr = ::LoadRegTypeLib(typeLib, major, minor, lcid, library);
  if (SUCCEEDED(hr)) return hr;
  const std::string versionKey = "TypeLib\\" + GuidText(typeLib) + "\\" + std::to_string(major) + "." +
                                 std::to_string(minor);
  UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, versionKey.c_str(), 0, KEY_READ | kOwnRegistryView, key.put()) != ERROR_SUCCESS)
    return hr;
  char name[64];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    if (::RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return hr;
    char* end = nullptr;
    const unsigned long registered = std::strtoul(name, &end, 16);
    if (end == name || *end != '\0') continue;  // FLAGS, HELPDIR
    if (SUCCEEDED(::LoadRegTypeLib(typeLib, major, minor, static_cast<LCID>(registered), library)))
      return S_OK;
  }
}

bool UnregisterModuleTypeLib(REFGUID typeLib, WORD major, WORD minor, LCID lcid) {
  // The library is registered under its own locale, which need not be the
  // one asked for: unregister it under the attributes it was registered with.
  ComPtr<ITypeLib> library;
  if (FAILED(LoadRegisteredTypeLib(typeLib, major, minor, lcid, library.put()))) return false;
  TLIBATTR* attributes = nullptr;
  if (FAILED(library->GetLibAttr(&attributes))) return false;
  const TLIBATTR registered = *attributes;
  library->ReleaseTLibAttr(attributes);
  library.reset();
  return SUCCEEDED(::UnRegisterTypeLib(registered.guid, registered.wMajorVerNum,
                                       registered.wMinorVerNum, registered.lcid, registered.syskind));
}

bool RegisterControlClass(HINSTANCE module, const ControlClassRegistration& control) {
  if (!RegisterInprocClass(module, control.clsid, control.typeNameId)) return false;
  const std::string clsid = GuidText(control.clsid);
  const std::string key = "CLSID\\" + clsid;
  const std::string empty;
  const std::string bitmap = ModulePath(module) + ", " + std::to_string(control.bitmapId);
  const std::string misc = std::to_string(control.miscStatus);
  const std::string zero = "0";
  const std::string typeLib = GuidText(control.typeLib);
  const std::string version = std::to_string(control.typeLibMajor) + "." + std::to_string(control.typeLibMinor);
  const std::string typeName = LoadResourceString(control.typeNameId);
  return SetClassesValue(key + "\\ProgID", &control.progId) &&
         SetClassesValue(key + "\\Control", &empty) &&
         SetClassesValue(key + "\\ToolboxBitmap32", &bitmap) &&
         SetClassesValue(key + "\\MiscStatus", &zero) &&
         SetClassesValue(key + "\\MiscStatus\\1", &misc) &&
         SetClassesValue(key + "\\TypeLib", &typeLib) &&
         SetClassesValue(key + "\\Version", &version) &&
         SetClassesValue(control.progId, &typeName) &&
         SetClassesValue(control.progId + "\\CLSID", &clsid);
}

bool RegisterPropertyPageClass(HINSTANCE module, REFCLSID clsid, UINT typeNameId) {
  return RegisterInprocClass(module, clsid, typeNameId);
}

bool UnregisterClass(REFCLSID clsid, const char* progId) {
  const std::string key = "CLSID\\" + GuidText(clsid);
  bool ok = true;
  for (const char* subkey : kClassSubkeys) ok = DeleteClassesTree(key + "\\" + subkey) && ok;
  ok = DeleteClassesValue(key, "") && ok;
  if (ClassesKeyEmpty(key)) ok = DeleteClassesTree(key) && ok;
  if (progId) ok = DeleteClassesTree(progId) && ok;
  return ok;
}

}  // namespace fw
