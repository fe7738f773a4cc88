// What the file-list scenarios need besides the control: test files in a
// folder of their own, a drive letter whose root they own, a second process
// holding a file open, and the list and its popup menu read through their
// windows as a person sees them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "container/hosted_control.h"
#include "framework/unique_handle.h"

namespace scenario {

// A new folder under the temporary folder (or under `parent`), removed with
// everything in it when the object goes.
class TempFolder {
 public:
  explicit TempFolder(const std::string& name, const std::string& parent = {});
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();

  const std::string& path() const { return path_; }
  // Creates (or replaces) a file of `size` bytes; returns its full path. A
  // file of several GiB is made sparse, so it costs no disk space.
  std::string File(const std::string& name, std::uint64_t size) const;
  std::string Subfolder(const std::string& name) const;

 private:
  std::string path_;
};

// Writes `size` bytes to `path`, replacing what was there: 'x' up to 1 MiB,
// zeros beyond.
bool WriteFileOfSize(const std::string& path, std::uint64_t size);
// Creates or replaces a file holding exactly `content`.
bool WriteContent(const std::string& path, const std::string& content);

// A drive letter (R: first, or the next free one) standing for a folder of
// the build tree, made for the purpose and removed again, so that the
// drive's root holds only what a scenario puts there. The letter is defined
// through Wine's mount manager, as its configuration tool does.
class MappedDrive {
 public:
  explicit MappedDrive(const std::string& name);
  MappedDrive(const MappedDrive&) = delete;
  MappedDrive& operator=(const MappedDrive&) = delete;
  ~MappedDrive();
  bool ok() const { return letter_ != 0; }
  const std::string& root() const { return root_; }  // "R:\"

 private:
  char letter_ = 0;
  std::string root_;
  std::string folder_;  // the same folder by its Z: path
};

// Another process holding a file open for writing until the object goes.
class FileHolder {
 public:
  explicit FileHolder(const std::string& path);
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;
  ~FileHolder();
  bool holding() const { return holding_; }

 private:
  fw::UniqueHandle ready_, release_, process_;
  bool holding_ = false;
};

// The control's list view and what it shows.
HWND FileListOf(container::HostedControl& control);
std::vector<std::string> RowTexts(HWND list, int column = 0);
std::string ColumnTitle(HWND list, int column);
int ColumnWidth(HWND list, int column);
int ColumnFormat(HWND list, int column);
unsigned ViewMode(HWND list);  // the two low style bits
void SelectRows(HWND list, const std::vector<int>& rows);

struct MenuItemSeen {
  UINT id = 0;  // 0 for separators, -1 for a submenu
  std::string text;
  bool enabled = true;
  bool checked = false;
};

// What a popup menu showed while it was open: the main popup and, when it
// was opened, the view submenu.
struct PopupSeen {
  bool shown = false;
  RECT where{};  // the popup window's screen rectangle
  std::vector<MenuItemSeen> items;
  std::vector<MenuItemSeen> submenu;
};

// Asks the control's window for its context menu as the system does, reads
// the real popup from another thread while it is open, opens its last item's
// submenu when `openSubmenu`, then either dismisses the menu or picks an
// item with the keyboard: the `pick`-th item (from 0, separators not
// counted) of the submenu when it was opened, else of the main popup; -1
// dismisses. Pumps afterwards so a picked command arrives.
PopupSeen ShowContextMenu(container::HostedControl& control, POINT screenPoint, bool openSubmenu,
                          int pick = -1);

}  // namespace scenario
