#include "control/folder_scanner.h"

#include <windows.h>

#include <new>

#include "control/file_picker.h"
#include "control/portable/picker_text.h"
#include "framework/unique_handle.h"
#include "upload/portable/path_text.h"

namespace brimlet {

void FolderScanner::ResetFolders() { m_folders.clear(); }

void FolderScanner::SetRootFolder(const std::wstring& path) {
  m_root = TrimFolderPath(path);
  m_folders.push_back(m_root);
}

bool FolderScanner::ScanFiles(const std::wstring& pattern) {
  for (const std::wstring& folder : m_folders) {
    if (folder.empty()) continue;
    try {
      ScanFolder(folder, pattern);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  return true;
}

void FolderScanner::ScanFolder(const std::wstring& folder, const std::wstring& pattern) {
  const std::wstring base = TrimFolderPath(folder) + L'\\';
  WIN32_FIND_DATAW entry{};
  fw::UniqueFind search(::FindFirstFileW(OpenablePath(base + pattern).c_str(), &entry));
  if (!search) return;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;  // ".", ".." and subfolders
    const std::uint64_t size = (std::uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow;
    m_files.push_back(ScannedFile{base + entry.cFileName, size});
  } while (::FindNextFileW(search.get(), &entry));
}

}  // namespace brimlet
