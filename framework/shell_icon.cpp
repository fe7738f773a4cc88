#include "framework/shell_icon.h"

#include <shellapi.h>

namespace fw {

UniqueIcon ShellIconByName(const std::string& path, IconSize size) {
  SHFILEINFOA info{};
  const UINT flags = SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | (size == IconSize::Small ? SHGFI_SMALLICON : 0);
  if (::SHGetFileInfoA(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags) && info.hIcon) {
    return UniqueIcon(info.hIcon);
  }
  return UniqueIcon(::CopyIcon(::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION))));
}

}  // namespace fw
