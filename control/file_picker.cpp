#include "control/file_picker.h"

#include <shlobj.h>

#include "framework/com_ptr.h"
#include "framework/text.h"

namespace brimlet {

FilePicker::FilePicker() = default;

FilePicker::FilePicker(const std::string& filter, DWORD flags, HWND owner)
    : filter_(ConvertFilter(filter, &fw::IsAnsiLeadByte)) {
  request_.hwndOwner = owner;
  request_.lpstrFilter = filter_.c_str();
  request_.lpstrFile = result_.data();
  request_.nMaxFile = static_cast<DWORD>(result_.size());
  request_.lpstrTitle = kPickerTitle;
  request_.Flags = flags | OFN_EXPLORER;
}

int FilePicker::ShowOpenDialog() {
  request_.lStructSize = sizeof(OPENFILENAMEA);
  return ::GetOpenFileNameA(&request_) ? kConfirmed : kNotConfirmed;
}

std::string FilePicker::NextSelectedPath(std::size_t* position) const {
  return SelectionReader(result_.data(), result_.size(), &fw::IsAnsiLeadByte).NextPath(position);
}

int CALLBACK FilePicker::BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data) {
    ::SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
  }
  return 0;
}

int FilePicker::ChooseFolder(const std::string& title, const std::string& initialFolder,
                             UINT flags, HWND owner) {
  fw::ComPtr<IMalloc> allocator;
  if (FAILED(::SHGetMalloc(allocator.put())) || !allocator) return kNotConfirmed;
  BROWSEINFOA request{};
  request.hwndOwner = owner;
  request.pszDisplayName = folder_.data();
  request.lpszTitle = title.c_str();
  request.ulFlags = flags;
  request.lpfn = &FilePicker::BrowseCallback;
  request.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());
  PIDLIST_ABSOLUTE item = ::SHBrowseForFolderA(&request);
  if (!item) return kNotConfirmed;
  const bool hasPath = ::SHGetPathFromIDListA(item, folder_.data()) != FALSE;
  allocator->Free(item);
  return hasPath ? kConfirmed : kNotConfirmed;
}

std::string FilePicker::ChosenFolder() const {
  std::size_t length = 0;
  while (length < folder_.size() && folder_[length]) ++length;
  return std::string(folder_.data(), length);
}

}  // namespace brimlet
