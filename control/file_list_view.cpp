#include "control/file_list_view.h"

#include <algorithm>
#include <new>
#include <optional>

#include "framework/module.h"
#include "framework/shell_icon.h"

namespace brimlet {
namespace {

// Child, visible, border; report view with auto-arrange. No single selection,
// no sorting, no label editing, no shared image lists.
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_AUTOARRANGE;
constexpr int kNameColumnMargin = 145;
constexpr int kSizeColumnWidth = 120;
constexpr int kInitialImages = 50;
constexpr int kImageGrowth = 50;

void InsertColumn(HWND list, int index, int format, int width, const std::string& title) {
  LVCOLUMNA column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<char*>(title.c_str());
  column.iSubItem = index;
  ::SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

}  // namespace

bool FileListView::Create(HWND parent, int width, int height) {
  Destroy();
  window_ = ::CreateWindowExA(0, WC_LISTVIEWA, "", kListStyle, 0, 0, width, height, parent,
                              nullptr, fw::ModuleInstance(), nullptr);
  if (!window_) return false;
  ListView_SetExtendedListViewStyle(window_,
                                    ListView_GetExtendedListViewStyle(window_) | LVS_EX_FULLROWSELECT);
  RECT client{};
  ::GetClientRect(window_, &client);
  const ColumnTitles titles = PlainTitles();
  InsertColumn(window_, 0, LVCFMT_CENTER, client.right - kNameColumnMargin, titles.name);
  InsertColumn(window_, 1, LVCFMT_RIGHT, kSizeColumnWidth, titles.size);
  large_.Create(32, kInitialImages, kImageGrowth);
  small_.Create(16, kInitialImages, kImageGrowth);
  return true;
}

void FileListView::Destroy() {
  // The image lists are taken back as the window goes.
  if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
  window_ = nullptr;
  small_.Reset();
  large_.Reset();
  imageOfShellIcon_.clear();
  imagesLent_ = imagesWanted_ = false;
  rows_.clear();
  redrawHeld_ = false;
}

int FileListView::RowCount() const { return window_ ? ListView_GetItemCount(window_) : 0; }

int FileListView::SelectedCount() const {
  return window_ ? static_cast<int>(ListView_GetSelectedCount(window_)) : 0;
}

std::vector<int> FileListView::SelectedRowsDescending() const {
  const int count = SelectedCount();
  std::vector<int> rows(count > 0 ? count : 0);
  // Filled from the last slot towards the first, so the walk's ascending
  // order comes out descending.
  int slot = count;
  for (int row = ListView_GetNextItem(window_, -1, LVNI_SELECTED); row != -1 && slot > 0;
       row = ListView_GetNextItem(window_, row, LVNI_SELECTED)) {
    rows[--slot] = row;
  }
  rows.erase(rows.begin(), rows.begin() + slot);  // in case the walk found fewer
  return rows;
}

const FileListView::Row* FileListView::RowAt(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size() ? &rows_[static_cast<std::size_t>(row)] : nullptr;
}

std::string FileListView::RowPath(int row) const {
  const Row* listed = RowAt(row);
  return listed ? listed->path : std::string();
}

std::string FileListView::RowSizeText(int row) const {
  const Row* listed = RowAt(row);
  return listed ? listed->sizeText : std::string();
}

int FileListView::ImageFor(const std::string& path) {
  const std::optional<int> shellIcon = fw::ShellIconIndexByName(path);
  if (shellIcon) {
    const auto known = imageOfShellIcon_.find(*shellIcon);
    if (known != imageOfShellIcon_.end()) return known->second;
  }
  // The image lists keep copies; the shell's handles are released here.
  const fw::UniqueIcon small = fw::ShellIconByName(path, fw::IconSize::Small);
  const fw::UniqueIcon large = fw::ShellIconByName(path, fw::IconSize::Large);
  const int image = ::ImageList_AddIcon(small_.get(), small.get());
  ::ImageList_AddIcon(large_.get(), large.get());
  if (shellIcon && image >= 0) {
    try {
      imageOfShellIcon_.emplace(*shellIcon, image);
    } catch (const std::bad_alloc&) {
      // Not remembered: the next row of this icon copies it again.
    }
  }
  return image;
}

void FileListView::AppendRow(const std::string& path, std::uint32_t size, const std::string& sizeText) {
  if (!window_) return;
  // The row's record first, so that a row is never listed without it.
  Row listed;
  try {
    if (rows_.size() == rows_.capacity()) rows_.reserve(rows_.size() * 2 + 64);
    listed = Row{path, size, sizeText};
  } catch (const std::bad_alloc&) {
    return;
  }
  const int image = ImageFor(path);
  imagesWanted_ = true;
  if (!redrawHeld_) LendImages();

  LVITEMA item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = static_cast<int>(rows_.size());  // after the last row
  item.pszText = const_cast<char*>(path.c_str());
  item.iImage = image;
  const int row = static_cast<int>(
      ::SendMessageA(window_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return;
  rows_.insert(rows_.begin() + std::min<std::size_t>(static_cast<std::size_t>(row), rows_.size()),
               std::move(listed));
  LVITEMA sizeColumn{};
  sizeColumn.iSubItem = 1;
  sizeColumn.pszText = const_cast<char*>(sizeText.c_str());
  ::SendMessageA(window_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sizeColumn));
}

void FileListView::DeleteRow(int row) {
  if (!window_ || !ListView_DeleteItem(window_, row)) return;
  if (RowAt(row)) rows_.erase(rows_.begin() + row);
}

void FileListView::DeleteAllRows() {
  if (window_) ListView_DeleteAllItems(window_);
  rows_.clear();
}

std::uint32_t FileListView::RowSize(int row) const {
  const Row* listed = RowAt(row);
  return listed ? listed->size : 0;
}

std::uint32_t FileListView::TotalOfRows() const {
  std::uint32_t total = 0;
  for (const Row& listed : rows_) total += listed.size;
  return total;
}

void FileListView::LendImages() {
  if (imagesLent_ || !imagesWanted_ || !window_) return;
  small_.LendTo(window_, LVSIL_SMALL);
  large_.LendTo(window_, LVSIL_NORMAL);
  imagesLent_ = true;
}

void FileListView::HoldRedraw() {
  if (!window_ || redrawHeld_) return;
  ::SendMessageA(window_, WM_SETREDRAW, FALSE, 0);
  redrawHeld_ = true;
  // Lending watches the list window, which costs every message to it a
  // round trip to the window system; the rows of a batch are listed without
  // the images, and the list gets them back with its one repaint.
  if (imagesLent_) {
    small_.TakeBack();
    large_.TakeBack();
    imagesLent_ = false;
  }
}

void FileListView::ResumeRedraw() {
  if (!redrawHeld_) return;
  redrawHeld_ = false;
  if (!window_ || !::IsWindow(window_)) return;
  LendImages();
  ::SendMessageA(window_, WM_SETREDRAW, TRUE, 0);
  // Turning drawing back on does not draw: the list and its header are
  // invalidated for one repaint.
  ::RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void FileListView::SetColumnTitle(int column, const std::string& title) {
  HWND header = ListView_GetHeader(window_);
  if (!header) return;
  HDITEMA item{};
  item.mask = HDI_TEXT;
  item.pszText = const_cast<char*>(title.c_str());
  item.cchTextMax = static_cast<int>(title.size());
  ::SendMessageA(header, HDM_SETITEMA, column, reinterpret_cast<LPARAM>(&item));
}

void FileListView::SetTitles(const ColumnTitles& titles) {
  if (!window_) return;
  SetColumnTitle(0, titles.name);
  SetColumnTitle(1, titles.size);
}

ViewMode FileListView::Mode() const {
  const LONG_PTR style = window_ ? ::GetWindowLongPtrA(window_, GWL_STYLE) : LVS_REPORT;
  return static_cast<ViewMode>(style & LVS_TYPEMASK);
}

void FileListView::SetMode(ViewMode mode) {
  if (!window_) return;
  const LONG_PTR style = ::GetWindowLongPtrA(window_, GWL_STYLE);
  ::SetWindowLongPtrA(window_, GWL_STYLE, (style & ~LONG_PTR{LVS_TYPEMASK}) | static_cast<LONG_PTR>(mode));
}

}  // namespace brimlet
