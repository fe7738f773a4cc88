// Answers for the system's file pickers, as a person gives them: typing into
// the open-file dialog's file-name field and confirming, or selecting a
// folder in the folder browser and confirming. For use from a
// DialogWatcher's thread while the picker's own thread sits in its modal loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/drivers/dialog_watcher.h"

namespace drivers {

// An explorer-style open-file dialog: it has the file-name combo (id 1148).
bool IsOpenFileDialog(HWND dialog);
// The shell's folder browser: a dialog holding a tree view.
bool IsFolderBrowser(HWND dialog);

// Types `text` into the file-name field and presses Open; false when the
// dialog has no such field. Returns once the dialog handled the press, or
// after a bounded wait if the press opened something modal.
bool TypeAndConfirm(HWND openDialog, const std::wstring& text);
// Selects `folder` (a path) in the browser and presses OK.
bool SelectFolderAndConfirm(HWND browser, const std::string& folder);

// What the pickers are to be told during one call of AddFile or AddFolder.
struct PickerScript {
  // Typed into the open-file dialog one after the other, each confirmed: a
  // folder to go to, then the names ("\"a.txt\" \"b.txt\"") or one path.
  std::vector<std::string> fileEntries;
  std::string folder;  // chosen in the folder browser
  bool cancel = false; // cancel whichever picker opens instead
  // The file entries are UTF-8, typed with the wide messages: names the
  // ANSI code page lacks reach the open-file dialog whole.
  bool utf8 = false;
};

// An answer that drives the pickers by `script` and presses OK on any other
// dialog (message boxes). `onOther`, if set, sees each other dialog first,
// on the watcher's thread, while the dialog is still open.
DialogWatcher::Answer AnswerPickers(PickerScript script,
                                    std::function<void(const DialogSeen&)> onOther = nullptr);

}  // namespace drivers
