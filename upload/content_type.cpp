#include "upload/content_type.h"

#include <windows.h>

#include "framework/unique_handle.h"
#include "upload/portable/content_type_key.h"

namespace brimlet {

std::string ContentTypeForKey(const std::optional<std::string>& key) {
  std::optional<std::string> value;
  fw::UniqueHKey extension;
  if (key && ::RegOpenKeyExA(HKEY_CLASSES_ROOT, key->c_str(), 0, KEY_QUERY_VALUE, extension.put()) ==
                 ERROR_SUCCESS) {
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;  // room for the terminator a stored value may lack
    if (::RegQueryValueExA(extension.get(), "Content Type", nullptr, nullptr,
                           reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS) {
      value = std::string(buffer);
    }
  }
  return ContentTypeOrDefault(value);
}

}  // namespace brimlet
