#include "framework/shell_icon.h"

#include <shellapi.h>

namespace fw {

UniqueIcon ShellIconByName(const std::wstring& path, IconSize size) {
  SHFILEINFOW info{};
  const UINT flags = SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | (size == IconSize::Small ? SHGFI_SMALLICON : 0);
  if (::SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags) && info.hIcon) {
    return UniqueIcon(info.hIcon);
  }
  return UniqueIcon(::CopyIcon(::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION))));
}

std::optional<int> ShellIconIndexByName(const std::wstring& path) {
  SHFILEINFOW info{};
  // With SHGFI_SYSICONINDEX the answer is the system image list, which
  // belongs to the shell and must not be destroyed; only its index is kept.
  const UINT flags = SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_SMALLICON;
  if (!::SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags)) return std::nullopt;
  return info.iIcon;
}

}  // namespace fw
