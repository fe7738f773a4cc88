#include "control/file_picker.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>

#include "framework/com_ptr.h"
#include "framework/text.h"

namespace brimlet {
namespace {

// The longest path the system can name: a folder deeper than MAX_PATH is
// still a folder the user may choose.
constexpr DWORD kLongestPath = 32768;
constexpr UINT_PTR kOpenDialogSubclass = 1;

}  // namespace

FilePicker::FilePicker() = default;

// The dialog is the wide one, so the names it returns lose nothing, and the
// filter's separators are found in whole characters.
FilePicker::FilePicker(const std::wstring& filter, DWORD flags, HWND owner)
    : m_filter(ConvertFilter(filter)),
      m_title(fw::WideFromNarrow(kPickerTitle)) {
  m_request.hwndOwner = owner;
  m_request.lpstrFilter = m_filter.c_str();
  m_request.lpstrFile = m_result.data();
  m_request.nMaxFile = static_cast<DWORD>(m_result.size());
  m_request.lpstrTitle = m_title.c_str();
  m_request.Flags = flags | OFN_EXPLORER | OFN_ENABLEHOOK;
  m_request.lpfnHook = &FilePicker::OpenHook;
}

// A selection longer than the result fails the dialog (FNERR_BUFFERTOOSMALL).
// Some implementations of the wide dialog copy it whole regardless, past the
// end of the result; so before the dialog takes OK, a selection that might
// not fit ends the dialog as not confirmed, as an overlong one does anyway.
// The bound is generous: the folder, the typed names with their quotes and
// separators, and the final NULs.
UINT_PTR CALLBACK FilePicker::OpenHook(HWND hook, UINT message, WPARAM, LPARAM data) {
  if (message == WM_INITDIALOG && data) {
    ::SetWindowSubclass(::GetParent(hook), &FilePicker::OpenDialogProc, kOpenDialogSubclass,
                        static_cast<DWORD_PTR>(reinterpret_cast<const OPENFILENAMEW*>(data)->nMaxFile));
  }
  return 0;
}

LRESULT CALLBACK FilePicker::OpenDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR resultLength) {
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    // Each answer is a length with its NUL, or negative when there is none
    // (a folder outside the file system).
    const LRESULT folder = std::max<LRESULT>(0, ::SendMessageW(dialog, CDM_GETFOLDERPATH, 0, 0));
    const LRESULT typedNames = std::max<LRESULT>(0, ::SendMessageW(dialog, CDM_GETSPEC, 0, 0));
    if (static_cast<DWORD_PTR>(folder + typedNames) + 2 > resultLength) {
      ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      return 0;
    }
  } else if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(dialog, &FilePicker::OpenDialogProc, id);
  }
  return ::DefSubclassProc(dialog, message, wParam, lParam);
}

int FilePicker::ShowOpenDialog() {
  m_request.lStructSize = sizeof(OPENFILENAMEW);
  return ::GetOpenFileNameW(&m_request) ? kConfirmed : kNotConfirmed;
}

std::wstring FilePicker::NextSelectedPath(std::size_t* position) const {
  return SelectionReader(m_result.data(), m_result.size()).NextPath(position);
}

int CALLBACK FilePicker::BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data) {
    ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
  }
  return 0;
}

int FilePicker::ChooseFolder(const std::string& title, const std::string& initialFolder,
                             UINT flags, HWND owner) {
  fw::ComPtr<IMalloc> allocator;
  if (FAILED(::SHGetMalloc(allocator.put())) || !allocator) return kNotConfirmed;
  const std::wstring wideTitle = fw::WideFromNarrow(title);
  const std::wstring wideInitial = fw::WideFromNarrow(initialFolder);
  std::array<wchar_t, MAX_PATH> displayName{};
  BROWSEINFOW request{};
  request.hwndOwner = owner;
  request.pszDisplayName = displayName.data();
  request.lpszTitle = wideTitle.c_str();
  request.ulFlags = flags;
  request.lpfn = &FilePicker::BrowseCallback;
  request.lParam = reinterpret_cast<LPARAM>(wideInitial.c_str());
  PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&request);
  if (!item) return kNotConfirmed;
  std::wstring folder(kLongestPath, L'\0');
  const bool hasPath = ::SHGetPathFromIDListEx(item, folder.data(), kLongestPath, GPFIDL_DEFAULT) != FALSE;
  allocator->Free(item);
  if (!hasPath) return kNotConfirmed;
  folder.resize(folder.find(L'\0'));
  m_folder = std::move(folder);
  return kConfirmed;
}

std::wstring FilePicker::ChosenFolder() const { return m_folder; }

}  // namespace brimlet
