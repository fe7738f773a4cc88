// Admission of files into the control's list: the in-use test, the three
// limits in their fixed order, and the two batch policies (files stop at the
// first refusal and keep what came before; a folder is all or nothing). The
// list and the file system enter through two small interfaces, so every
// decision here runs without a window.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brimlet {

// The page's limits as it set them: 32-bit values, compared as unsigned
// numbers except where the folder policy says otherwise.
struct Limits {
  std::int32_t maxFileSize = 0x40000000;
  std::int32_t maxTotalSize = 0x40000000;
  std::int32_t maxFileCount = 100;
};

enum class Refusal {
  None,
  InUse,          // the file cannot be opened for reading
  FileTooLarge,   // larger than MaxFileSize, or too large to count at all
  TooManyFiles,   // MaxFileCount reached
  TotalTooLarge,  // MaxTotalSize exceeded
};

// The list files are admitted into.
class AdmissionList {
 public:
  virtual ~AdmissionList() = default;
  virtual std::uint32_t FileCount() const = 0;  // files admitted and still listed
  virtual std::uint32_t TotalSize() const = 0;  // their sizes, summed modulo 2^32
  virtual int RowCount() const = 0;
  // Appends a row; the count grows by one and the total by `size`.
  virtual void Insert(const std::wstring& path, std::uint32_t size) = 0;
  // Empties the list, both counters and the titles.
  virtual void Reset() = 0;
  // Tells the user why a file or folder was refused; returns once dismissed.
  virtual void ShowRefusal(Refusal why) = 0;
  // The titles after adding: the row count and the total.
  virtual void ShowAddedTitles() = 0;
};

// The in-use test: opens the file for reading with read sharing only.
class FileOpener {
 public:
  virtual ~FileOpener() = default;
  // The file's full size, or nothing when it cannot be opened.
  virtual std::optional<std::uint64_t> OpenedSize(const std::wstring& path) = 0;
};

// Paths are wide (UTF-16, as the system names them), so a file whose name the
// ANSI code page lacks is still listed, opened and sent.
struct ScannedFile {
  std::wstring path;
  std::uint64_t size = 0;  // as the directory listing reports it
};

// A size that the 32-bit counters cannot hold is never admitted.
constexpr std::uint64_t kLargestCountableSize = 0xFFFFFFFFu;

// The limit tests of one file, in their order: its size, the count, the
// total (the sum taken without overflow).
Refusal CheckFileLimits(const Limits& limits, std::uint32_t count, std::uint32_t total,
                        std::uint64_t size);

// Admits the chosen paths in order, stopping at the first refusal; what was
// admitted before it stays. The titles are refreshed in every case.
void AdmitFiles(const std::vector<std::wstring>& paths, FileOpener& opener, AdmissionList& list,
                const Limits& limits);

// Admits a folder's files, all or nothing: a refused file, or a count or total
// over the limit once all are in, clears the whole list after the message.
void AdmitFolder(const std::vector<ScannedFile>& files, FileOpener& opener, AdmissionList& list,
                 const Limits& limits);

}  // namespace brimlet
