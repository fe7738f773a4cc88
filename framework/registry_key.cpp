#include "framework/registry_key.h"

#include <objbase.h>

#include "framework/text.h"

namespace fw {

std::string GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return NarrowFromWide(text, ::wcslen(text));
}

bool SetClassesValue(const std::string& path, const std::string* defaultValue,
                     const char* valueName, const std::string* value) {
  UniqueHKey key;
  if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
    return false;
  auto set = [&](const char* name, const std::string& data) {
    return ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
  };
  if (defaultValue && !set(nullptr, *defaultValue)) return false;
  if (valueName && value && !set(valueName, *value)) return false;
  return true;
}

bool DeleteClassesTree(const std::string& path) {
  const LSTATUS status = ::RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return false;
  const LSTATUS removed = ::RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
  return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

bool DeleteClassesValue(const std::string& path, const char* valueName) {
  UniqueHKey key;
  const LSTATUS status = ::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_WRITE, key.put());
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return false;
  const LSTATUS removed = ::RegDeleteValueA(key.get(), valueName);
  return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

bool ClassesKeyExists(const std::string& path) {
  UniqueHKey key;
  return ::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool ClassesKeyEmpty(const std::string& path) {
  UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return true;
  DWORD subkeys = 0, values = 0;
  if (::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  return subkeys == 0 && values == 0;
}

}  // namespace fw
