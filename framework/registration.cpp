#include "framework/registration.h"

#include <oleauto.h>

#include <cstdlib>

#include "framework/com_ptr.h"
#include "framework/module.h"
#include "framework/registry_key.h"

namespace fw {

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

bool RegisterEntries(HINSTANCE module, const std::vector<RegistryEntry>& entries) {
  const std::string path = ModulePath(module);
  if (path.empty()) return false;
  for (const RegistryEntry& entry : entries) {
    if (entry.writer != RegistryWriter::kModule) continue;
    const std::string value = WithModulePath(entry.value, path);
    const bool written = entry.name.empty() ? SetClassesValue(entry.key, &value)
                                            : SetClassesValue(entry.key, nullptr, entry.name.c_str(), &value);
    if (!written) return false;
  }
  return true;
}

bool UnregisterEntries(const std::vector<RegistryEntry>& entries) {
  bool ok = true;
  // A key's entries come before those of the keys below it.
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    if (entry->writer != RegistryWriter::kModule) continue;
    ok = DeleteClassesValue(entry->key, entry->name.c_str()) && ok;
    if (ClassesKeyEmpty(entry->key)) ok = DeleteClassesTree(entry->key) && ok;
  }
  return ok;
}

}  // namespace fw
