#include "control/file_picker.h"

#include <shlobj.h>

#include "framework/com_ptr.h"
#include "framework/text.h"

namespace brimlet {

FilePicker::FilePicker() = default;

FilePicker::FilePicker(const std::string& filter, DWORD flags, HWND owner)
    : m_filter(ConvertFilter(filter, &fw::IsAnsiLeadByte)) {
  m_request.hwndOwner = owner;
  m_request.lpstrFilter = m_filter.c_str();
  m_request.lpstrFile = m_result.data();
  m_request.nMaxFile = static_cast<DWORD>(m_result.size());
  m_request.lpstrTitle = kPickerTitle;
  m_request.Flags = flags | OFN_EXPLORER;
}

int FilePicker::ShowOpenDialog() {
  m_request.lStructSize = sizeof(OPENFILENAMEA);
  return ::GetOpenFileNameA(&m_request) ? kConfirmed : kNotConfirmed;
}

std::string FilePicker::NextSelectedPath(std::size_t* position) const {
  return SelectionReader(m_result.data(), m_result.size(), &fw::IsAnsiLeadByte).NextPath(position);
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
  request.pszDisplayName = m_folder.data();
  request.lpszTitle = title.c_str();
  request.ulFlags = flags;
  request.lpfn = &FilePicker::BrowseCallback;
  request.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());
  PIDLIST_ABSOLUTE item = ::SHBrowseForFolderA(&request);
  if (!item) return kNotConfirmed;
  const bool hasPath = ::SHGetPathFromIDListA(item, m_folder.data()) != FALSE;
  allocator->Free(item);
  return hasPath ? kConfirmed : kNotConfirmed;
}

std::string FilePicker::ChosenFolder() const {
  std::size_t length = 0;
  while (length < m_folder.size() && m_folder[length]) ++length;
  return std::string(m_folder.data(), length);
}

}  // namespace brimlet
