// The system's open-file dialog (multi-select) and folder browser, for one
// call of AddFile or AddFolder.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <array>
#include <cstddef>
#include <string>

#include "control/portable/picker_text.h"

namespace brimlet {


class FilePicker {
 public:
  static constexpr int kConfirmed = 1;
  static constexpr int kNotConfirmed = 2;

  // For the folder browser only.
  FilePicker();
  // For the open-file dialog: the '|'-separated filter, OFN_ flags (explorer
  // style is added) and the owner.
  FilePicker(const std::wstring& filter, DWORD flags, HWND owner);
  FilePicker(const FilePicker&) = delete;
  FilePicker& operator=(const FilePicker&) = delete;
  virtual ~FilePicker() = default;

  // Modal; kConfirmed when the user confirmed a selection, kNotConfirmed when
  // cancelled or when the dialog failed (a selection too long for the result
  // among them).
  virtual int ShowOpenDialog();
  std::size_t FirstSelectedPosition() const { return SelectionReader::FirstPosition(); }
  // The next full path of the selection; the position becomes
  // SelectionReader::kEnd after the last.
  std::wstring NextSelectedPath(std::size_t* position) const;

  // Modal folder browser opening on `initialFolder`; kConfirmed when the user
  // chose an item with a file-system path. The title and the folder are in
  // the ANSI code page; the chosen folder comes back wide, as the system
  // names it, and may be longer than MAX_PATH.
  int ChooseFolder(const std::string& title, const std::string& initialFolder, UINT flags,
                   HWND owner);
  std::wstring ChosenFolder() const;

 private:
  static int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data);
  static UINT_PTR CALLBACK OpenHook(HWND hook, UINT message, WPARAM, LPARAM data);
  static LRESULT CALLBACK OpenDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR resultLength);

  OPENFILENAMEW m_request{};
  std::array<wchar_t, 4096> m_result{};
  std::wstring m_folder;
  std::wstring m_filter;  // the request points into it
  std::wstring m_title;   // and into this
};

}  // namespace brimlet
