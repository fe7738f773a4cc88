// The files lying directly in a folder, as the system lists them: hidden and
// system files included, subfolders and their contents left out.
#pragma once

#include <string>
#include <vector>

#include "control/portable/admission.h"

namespace brimlet {

class FolderScanner {
 public:
  FolderScanner() = default;
  FolderScanner(const FolderScanner&) = delete;
  FolderScanner& operator=(const FolderScanner&) = delete;
  virtual ~FolderScanner() = default;

  void ResetFolders();
  // Stores the folder, trimmed of trailing separators, and queues it.
  void SetRootFolder(const std::wstring& path);
  // Appends a record for every matching entry that is not a folder, folder by
  // folder in queue order; false if listing ran out of memory, keeping what
  // was collected. Names are the system's wide names; a search or path of
  // MAX_PATH or more goes through the extended form.
  bool ScanFiles(const std::wstring& pattern);

  const std::wstring& root() const { return m_root; }
  const std::vector<ScannedFile>& files() const { return m_files; }

 private:
  void ScanFolder(const std::wstring& folder, const std::wstring& pattern);

  std::wstring m_root;
  std::vector<std::wstring> m_folders;
  std::vector<ScannedFile> m_files;
};

}  // namespace brimlet
