#include "control/folder_scanner.h"

#include <windows.h>

#include <new>

#include "control/file_picker.h"
#include "control/portable/picker_text.h"
#include "framework/text.h"
#include "framework/unique_handle.h"

namespace brimlet {

void FolderScanner::ResetFolders() { m_folders.clear(); }

void FolderScanner::SetRootFolder(const std::string& path) {
  m_root = TrimFolderPath(path, &fw::IsAnsiLeadByte);
  m_folders.push_back(m_root);
}

bool FolderScanner::ScanFiles(const std::string& pattern) {
  for (const std::string& folder : m_folders) {
    if (folder.empty()) continue;
    try {
      ScanFolder(folder, pattern);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  return true;
}

void FolderScanner::ScanFolder(const std::string& folder, const std::string& pattern) {
  const std::string base = TrimFolderPath(folder, &fw::IsAnsiLeadByte) + '\\';
  WIN32_FIND_DATAA entry{};
  fw::UniqueFind search(::FindFirstFileA((base + pattern).c_str(), &entry));
  if (!search) return;
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;  // ".", ".." and subfolders
    const std::uint64_t size = (std::uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow;
    m_files.push_back(ScannedFile{base + entry.cFileName, size});
  } while (::FindNextFileA(search.get(), &entry));
}

}  // namespace brimlet
