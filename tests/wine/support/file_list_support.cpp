#include "tests/wine/support/file_list_support.h"

#include <commctrl.h>
#include <winioctl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "framework/message_drain.h"
#include "tests/wine/support/scenario.h"

namespace scenario {
namespace {

constexpr UINT kGetMenuHandle = 0x01E1;  // MN_GETHMENU
constexpr DWORD kPopupWaitMs = 5000;

std::string ClassOf(HWND window) {
  char name[64] = {};
  const int length = ::GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? length : 0);
}

struct PopupSearch {
  std::vector<HWND> popups;
};

BOOL CALLBACK CollectPopup(HWND window, LPARAM context) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) &&
      ClassOf(window) == "#32768") {
    reinterpret_cast<PopupSearch*>(context)->popups.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> VisiblePopups() {
  PopupSearch search;
  ::EnumWindows(CollectPopup, reinterpret_cast<LPARAM>(&search));
  return search.popups;
}

// Waits for the count of visible popups to reach `count`; the newest one.
HWND WaitForPopups(size_t count, const std::vector<HWND>& known) {
  const ULONGLONG deadline = ::GetTickCount64() + kPopupWaitMs;
  while (::GetTickCount64() < deadline) {
    const auto popups = VisiblePopups();
    if (popups.size() >= count) {
      for (HWND popup : popups) {
        bool seen = false;
        for (HWND old : known) seen = seen || old == popup;
        if (!seen) return popup;
      }
    }
    ::Sleep(20);
  }
  return nullptr;
}

std::vector<MenuItemSeen> ReadMenu(HWND popup) {
  std::vector<MenuItemSeen> items;
  DWORD_PTR handle = 0;
  if (!::SendMessageTimeoutA(popup, kGetMenuHandle, 0, 0, SMTO_NORMAL, 2000, &handle) || !handle)
    return items;
  HMENU menu = reinterpret_cast<HMENU>(handle);
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MenuItemSeen item;
    item.id = ::GetMenuItemID(menu, i);
    char text[256] = {};
    ::GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
    item.text = text;
    const UINT state = ::GetMenuState(menu, i, MF_BYPOSITION);
    item.enabled = !(state & (MF_GRAYED | MF_DISABLED));
    item.checked = (state & MF_CHECKED) != 0;
    items.push_back(item);
  }
  return items;
}

void Key(HWND popup, UINT key) {
  ::PostMessageA(popup, WM_KEYDOWN, key, 0);
  ::Sleep(100);
}

}  // namespace

TempFolder::TempFolder(const std::string& name, const std::string& parent) {
  std::string base = parent;
  if (base.empty()) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    base = temp;
  }
  if (!base.empty() && base.back() == '\\') base.pop_back();
  path_ = base + "\\" + name;
  RemoveTree(path_);  // what an interrupted run left
  ::CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

bool WriteContent(const std::string& path, const std::string& content) {
  fw::UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size();
}

bool WriteFileOfSize(const std::string& path, std::uint64_t size) {
  if (size <= (1u << 20)) return WriteContent(path, std::string(static_cast<size_t>(size), 'x'));
  // Larger files are only extended, and read as zeros: quick at any size.
  fw::UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  return file && ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get());
}

std::string TempFolder::File(const std::string& name, std::uint64_t size) const {
  const std::string path = path_ + "\\" + name;
  EXPECT_TRUE(WriteFileOfSize(path, size)) << path;
  return path;
}

std::string TempFolder::Subfolder(const std::string& name) const {
  const std::string path = path_ + "\\" + name;
  ::CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

namespace {

// Wine's own request to its mount manager (as in Wine's ddk/mountmgr.h, which
// differs from the toolchain's header of the same name).
constexpr DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
constexpr ULONG kFsTypeNtfs = 0;
struct WineUnixDrive {
  ULONG size;
  ULONG type;
  ULONG fs_type;
  DWORD serial;
  ULONGLONG unix_dev;
  WCHAR letter;
  USHORT mount_point_offset;
  USHORT device_offset;
  USHORT label_offset;
};

fw::UniqueFile MountManager() {
  return fw::UniqueFile(::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      0, nullptr));
}

// Defines `letter` as a fixed drive at the Unix folder, or removes the
// definition when `unixFolder` is empty.
bool DefineUnixDrive(char letter, const std::string& unixFolder) {
  fw::UniqueFile manager = MountManager();
  if (!manager) return false;
  std::vector<char> request(sizeof(WineUnixDrive) + unixFolder.size() + 1, '\0');
  auto* drive = reinterpret_cast<WineUnixDrive*>(request.data());
  drive->size = static_cast<ULONG>(request.size());
  drive->letter = static_cast<WCHAR>(letter - 'A' + 'a');
  drive->type = unixFolder.empty() ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
  drive->fs_type = kFsTypeNtfs;
  if (!unixFolder.empty()) {
    drive->mount_point_offset = sizeof(WineUnixDrive);
    unixFolder.copy(request.data() + sizeof(WineUnixDrive), unixFolder.size());
  }
  DWORD returned = 0;
  return ::DeviceIoControl(manager.get(), kDefineUnixDrive, request.data(),
                           static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr) != FALSE;
}

}  // namespace

MappedDrive::MappedDrive(const std::string& name) {
  folder_ = BuildDir() + "\\" + name;
  RemoveTree(folder_);
  if (!::CreateDirectoryA(folder_.c_str(), nullptr)) return;
  const DWORD used = ::GetLogicalDrives();
  for (char letter = 'R'; letter <= 'Y'; ++letter) {
    if (used & (1u << (letter - 'A'))) continue;
    if (DefineUnixDrive(letter, std::string(BRIMLET_BUILD_DIR) + "/" + name)) {
      letter_ = letter;
      root_ = std::string(1, letter) + ":\\";
      return;
    }
  }
}

MappedDrive::~MappedDrive() {
  if (letter_) DefineUnixDrive(letter_, {});
  RemoveTree(folder_);
}

FileHolder::FileHolder(const std::string& path) {
  const std::string tag = std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount());
  const std::string readyName = "brimlet-hold-ready-" + tag;
  const std::string releaseName = "brimlet-hold-release-" + tag;
  ready_.reset(::CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
  release_.reset(::CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str()));
  std::string line = "\"" + BuildDir() + "\\scenarios\\hold_file.exe\" \"" + path + "\" " +
                     readyName + " " + releaseName;
  if (!StartProcess(line, &process_)) return;
  HANDLE either[] = {ready_.get(), process_.get()};
  holding_ = ::WaitForMultipleObjects(2, either, FALSE, 20000) == WAIT_OBJECT_0;
}

FileHolder::~FileHolder() {
  if (release_) ::SetEvent(release_.get());
  if (process_) ::WaitForSingleObject(process_.get(), 10000);
}

HWND FileListOf(container::HostedControl& control) {
  HWND window = control.controlWindow();
  return window ? ::FindWindowExA(window, nullptr, WC_LISTVIEWA, nullptr) : nullptr;
}

std::vector<std::string> RowTexts(HWND list, int column) {
  std::vector<std::string> rows;
  const int count = ListView_GetItemCount(list);
  for (int row = 0; row < count; ++row) {
    char text[1024] = {};
    ListView_GetItemText(list, row, column, text, sizeof text);
    rows.push_back(text);
  }
  return rows;
}

std::string ColumnTitle(HWND list, int column) {
  HWND header = ListView_GetHeader(list);
  char text[256] = {};
  HDITEMA item{};
  item.mask = HDI_TEXT;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  ::SendMessageA(header, HDM_GETITEMA, column, reinterpret_cast<LPARAM>(&item));
  return text;
}

int ColumnWidth(HWND list, int column) { return ListView_GetColumnWidth(list, column); }

int ColumnFormat(HWND list, int column) {
  LVCOLUMNA info{};
  info.mask = LVCF_FMT;
  ::SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&info));
  return info.fmt & LVCFMT_JUSTIFYMASK;
}

unsigned ViewMode(HWND list) {
  return static_cast<unsigned>(::GetWindowLongPtrA(list, GWL_STYLE) & LVS_TYPEMASK);
}

void SelectRows(HWND list, const std::vector<int>& rows) {
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
  for (int row : rows) ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
}

PopupSeen ShowContextMenu(container::HostedControl& control, POINT screenPoint, bool openSubmenu,
                          int pick) {
  PopupSeen seen;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    HWND popup = WaitForPopups(1, {});
    if (!popup) return;
    seen.shown = true;
    ::GetWindowRect(popup, &seen.where);
    seen.items = ReadMenu(popup);
    // Keys go to the main popup: the menu loop of the owner's thread reads
    // them whatever window they are addressed to, and it lives until the end.
    if (openSubmenu) {
      Key(popup, VK_UP);  // from no selection to the last item: the view submenu
      Key(popup, VK_RIGHT);
      if (HWND sub = WaitForPopups(2, {popup})) seen.submenu = ReadMenu(sub);
    }
    if (pick < 0) {
      for (int i = 0; i < 3 && !done; ++i) Key(popup, VK_ESCAPE);
      return;
    }
    // The submenu opens with its first item highlighted; the main popup with
    // none, so the first press of "down" reaches its first item.
    const int presses = openSubmenu ? pick : pick + 1;
    for (int i = 0; i < presses; ++i) Key(popup, VK_DOWN);
    Key(popup, VK_RETURN);
  });
  HWND window = control.controlWindow();
  ::SendMessageA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(FileListOf(control)),
                 MAKELPARAM(screenPoint.x, screenPoint.y));
  done = true;
  reader.join();
  control.PumpUntil(nullptr, 200);  // the picked command is posted
  return seen;
}

}  // namespace scenario
