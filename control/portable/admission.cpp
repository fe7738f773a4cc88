#include "control/portable/admission.h"

namespace brimlet {

Refusal CheckFileLimits(const Limits& limits, std::uint32_t count, std::uint32_t total,
                        std::uint64_t size) {
  if (size > kLargestCountableSize || size > static_cast<std::uint32_t>(limits.maxFileSize)) {
    return Refusal::FileTooLarge;
  }
  if (count >= static_cast<std::uint32_t>(limits.maxFileCount)) return Refusal::TooManyFiles;
  if (std::uint64_t{total} + size > static_cast<std::uint32_t>(limits.maxTotalSize)) {
    return Refusal::TotalTooLarge;
  }
  return Refusal::None;
}

void AdmitFiles(const std::vector<std::wstring>& paths, FileOpener& opener, AdmissionList& list,
                const Limits& limits) {
  for (const std::wstring& path : paths) {
    const std::optional<std::uint64_t> size = opener.OpenedSize(path);
    Refusal why = size ? CheckFileLimits(limits, list.FileCount(), list.TotalSize(), *size)
                       : Refusal::InUse;
    if (why != Refusal::None) {
      list.ShowRefusal(why);
      break;
    }
    list.Insert(path, static_cast<std::uint32_t>(*size));
  }
  list.ShowAddedTitles();
}

void AdmitFolder(const std::vector<ScannedFile>& files, FileOpener& opener, AdmissionList& list,
                 const Limits& limits) {
  // The true total, so that a sum past 4 GiB cannot wrap below the limit.
  std::uint64_t total = list.TotalSize();
  for (const ScannedFile& file : files) {
    Refusal why = Refusal::None;
    if (!opener.OpenedSize(file.path)) {
      why = Refusal::InUse;
    } else if (file.size > kLargestCountableSize ||
               file.size > static_cast<std::uint32_t>(limits.maxFileSize)) {
      why = Refusal::FileTooLarge;
    }
    if (why != Refusal::None) {
      list.ShowRefusal(why);
      list.Reset();
      return;
    }
    list.Insert(file.path, static_cast<std::uint32_t>(file.size));
    total += file.size;
  }
  // The count is compared as a signed number here: a negative limit refuses
  // every folder.
  Refusal why = Refusal::None;
  if (list.RowCount() > limits.maxFileCount) {
    why = Refusal::TooManyFiles;
  } else if (total > static_cast<std::uint32_t>(limits.maxTotalSize)) {
    why = Refusal::TotalTooLarge;
  }
  if (why != Refusal::None) {
    list.ShowRefusal(why);
    list.Reset();
    return;
  }
  list.ShowAddedTitles();
}

}  // namespace brimlet
