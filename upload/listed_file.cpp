#include "upload/listed_file.h"

#include "upload/portable/path_text.h"

namespace brimlet {

fw::UniqueFile OpenListedFile(const std::wstring& path, DWORD flags) {
  return fw::UniqueFile(::CreateFileW(OpenablePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, flags, nullptr));
}

std::optional<std::uint64_t> OpenFileSize(HANDLE file) {
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file, &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace brimlet
