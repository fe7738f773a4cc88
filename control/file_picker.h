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
  FilePicker(const std::string& filter, DWORD flags, HWND owner);
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
  std::string NextSelectedPath(std::size_t* position) const;

  // Modal folder browser opening on `initialFolder`; kConfirmed when the user
  // chose an item with a file-system path.
  int ChooseFolder(const std::string& title, const std::string& initialFolder, UINT flags,
                   HWND owner);
  std::string ChosenFolder() const;

 private:
  static int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data);

  OPENFILENAMEA m_request{};
  std::array<char, 4096> m_result{};
  std::array<char, MAX_PATH> m_folder{};
  std::string m_filter;  // the request points into it
};

}  // namespace brimlet
