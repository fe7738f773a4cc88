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
  if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE | kOwnRegistryView, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
    return false;
  auto set = [&](const char* name, const std::string& data) {
    return ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            // NOLINTNEXTLINE(bugprone-misplaced-widening-cast): size_t is DWORD's width on i686
                            static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
  };
  if (defaultValue && !set(nullptr, *defaultValue)) return false;
  if (valueName && value && !set(valueName, *value)) return false;
  return true;
}

bool DeleteClassesTree(const std::string& path) {
  // RegDeleteTree takes no view: open the key's parent in ours.
  const size_t split = path.rfind('\\');
  const std::string parentPath = split == std::string::npos ? std::string() : path.substr(0, split);
  const std::string leaf = split == std::string::npos ? path : path.substr(split + 1);
  UniqueHKey parent;
  const LSTATUS opened = ::RegOpenKeyExA(HKEY_CLASSES_ROOT, parentPath.empty() ? nullptr : parentPath.c_str(),
                                         0, KEY_READ | KEY_WRITE | kOwnRegistryView, parent.put());
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  const LSTATUS status = ::RegDeleteTreeA(parent.get(), leaf.c_str());
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return false;
  const LSTATUS removed = ::RegDeleteKeyExA(parent.get(), leaf.c_str(), kOwnRegistryView, 0);
  return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

bool DeleteClassesValue(const std::string& path, const char* valueName) {
  UniqueHKey key;
  const LSTATUS status = ::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_WRITE | kOwnRegistryView, key.put());
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return false;
  const LSTATUS removed = ::RegDeleteValueA(key.get(), valueName);
  return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

bool ClassesKeyExists(const std::string& path) {
  UniqueHKey key;
  return ::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | kOwnRegistryView, key.put()) == ERROR_SUCCESS;
}

bool ClassesKeyEmpty(const std::string& path) {
  UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | kOwnRegistryView, key.put()) != ERROR_SUCCESS)
    return true;
  DWORD subkeys = 0, values = 0;
  if (::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  return subkeys == 0 && values == 0;
}

std::optional<std::vector<std::wstring>> ReadMachinePolicyList(const wchar_t* path, const wchar_t* name) {
  UniqueHKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0, size = 0;
  const LSTATUS found = ::RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size);
  if (found == ERROR_FILE_NOT_FOUND) return std::nullopt;
  std::vector<std::wstring> entries;
  if (found != ERROR_SUCCESS || (type != REG_MULTI_SZ && type != REG_SZ)) return entries;
  // Room for the terminators a writer may have left off.
  std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
  DWORD got = size;
  if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got) != ERROR_SUCCESS ||
      got > size)
    return entries;
  const std::size_t length = got / sizeof(wchar_t);
  for (std::size_t at = 0; at < length;) {
    const std::wstring entry(data.data() + at);
    if (entry.empty()) break;
    entries.push_back(entry);
    at += entry.size() + 1;
    if (type == REG_SZ) break;
  }
  return entries;
}

}  // namespace fw
