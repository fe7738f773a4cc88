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
  m_window = ::CreateWindowExA(0, WC_LISTVIEWA, "", kListStyle, 0, 0, width, height, parent,
                              nullptr, fw::ModuleInstance(), nullptr);
  if (!m_window) return false;
  ListView_SetExtendedListViewStyle(m_window,
                                    ListView_GetExtendedListViewStyle(m_window) | LVS_EX_FULLROWSELECT);
  RECT client{};
  ::GetClientRect(m_window, &client);
  const ColumnTitles titles = PlainTitles();
  InsertColumn(m_window, 0, LVCFMT_CENTER, client.right - kNameColumnMargin, titles.name);
  InsertColumn(m_window, 1, LVCFMT_RIGHT, kSizeColumnWidth, titles.size);
  m_large.Create(32, kInitialImages, kImageGrowth);
  m_small.Create(16, kInitialImages, kImageGrowth);
  return true;
}

void FileListView::Destroy() {
  // The image lists are taken back as the window goes.
  if (m_window && ::IsWindow(m_window)) ::DestroyWindow(m_window);
  m_window = nullptr;
  m_small.Reset();
  m_large.Reset();
  m_imageOfShellIcon.clear();
  m_imagesLent = m_imagesWanted = false;
  m_rows.clear();
  m_redrawHeld = false;
}

int FileListView::RowCount() const { return m_window ? ListView_GetItemCount(m_window) : 0; }

int FileListView::SelectedCount() const {
  return m_window ? static_cast<int>(ListView_GetSelectedCount(m_window)) : 0;
}

std::vector<int> FileListView::SelectedRowsDescending() const {
  const int count = SelectedCount();
  std::vector<int> rows(count > 0 ? count : 0);
  // Filled from the last slot towards the first, so the walk's ascending
  // order comes out descending.
  int slot = count;
  for (int row = ListView_GetNextItem(m_window, -1, LVNI_SELECTED); row != -1 && slot > 0;
       row = ListView_GetNextItem(m_window, row, LVNI_SELECTED)) {
    rows[--slot] = row;
  }
  rows.erase(rows.begin(), rows.begin() + slot);  // in case the walk found fewer
  return rows;
}

const FileListView::Row* FileListView::RowAt(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < m_rows.size() ? &m_rows[static_cast<std::size_t>(row)] : nullptr;
}

std::wstring FileListView::RowPath(int row) const {
  const Row* listed = RowAt(row);
  return listed ? listed->path : std::wstring();
}

std::uint64_t FileListView::RowId(int row) const {
  const Row* listed = RowAt(row);
  return listed ? listed->id : 0;
}

std::string FileListView::RowSizeText(int row) const {
  const Row* listed = RowAt(row);
  return listed ? listed->sizeText : std::string();
}

int FileListView::ImageFor(const std::wstring& path) {
  const std::optional<int> shellIcon = fw::ShellIconIndexByName(path);
  if (shellIcon) {
    const auto known = m_imageOfShellIcon.find(*shellIcon);
    if (known != m_imageOfShellIcon.end()) return known->second;
  }
  // The image lists keep copies; the shell's handles are released here.
  const fw::UniqueIcon small = fw::ShellIconByName(path, fw::IconSize::Small);
  const fw::UniqueIcon large = fw::ShellIconByName(path, fw::IconSize::Large);
  const int image = ::ImageList_AddIcon(m_small.get(), small.get());
  ::ImageList_AddIcon(m_large.get(), large.get());
  if (shellIcon && image >= 0) {
    try {
      m_imageOfShellIcon.emplace(*shellIcon, image);
    } catch (const std::bad_alloc&) {
      // Not remembered: the next row of this icon copies it again.
    }
  }
  return image;
}

void FileListView::AppendRow(const std::wstring& path, std::uint32_t size, const std::string& sizeText) {
  if (!m_window) return;
  // The row's record first, so that a row is never listed without it.
  Row listed;
  try {
    if (m_rows.size() == m_rows.capacity()) m_rows.reserve(m_rows.size() * 2 + 64);
    listed = Row{path, size, sizeText, ++m_lastRowId};
  } catch (const std::bad_alloc&) {
    return;
  }
  const int image = ImageFor(path);
  m_imagesWanted = true;
  if (!m_redrawHeld) LendImages();

  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = static_cast<int>(m_rows.size());  // after the last row
  item.pszText = const_cast<wchar_t*>(path.c_str());
  item.iImage = image;
  const int row = static_cast<int>(
      ::SendMessageW(m_window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return;
  m_rows.insert(m_rows.begin() + std::min<std::size_t>(static_cast<std::size_t>(row), m_rows.size()),
               std::move(listed));
  LVITEMA sizeColumn{};
  sizeColumn.iSubItem = 1;
  sizeColumn.pszText = const_cast<char*>(sizeText.c_str());
  ::SendMessageA(m_window, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sizeColumn));
}

void FileListView::DeleteRow(int row) {
  if (!m_window || !ListView_DeleteItem(m_window, row)) return;
  if (RowAt(row)) m_rows.erase(m_rows.begin() + row);
}

void FileListView::DeleteAllRows() {
  if (m_window) ListView_DeleteAllItems(m_window);
  m_rows.clear();
}

std::uint32_t FileListView::RowSize(int row) const {
  const Row* listed = RowAt(row);
  return listed ? listed->size : 0;
}

std::uint32_t FileListView::TotalOfRows() const {
  std::uint32_t total = 0;
  for (const Row& listed : m_rows) total += listed.size;
  return total;
}

void FileListView::LendImages() {
  if (m_imagesLent || !m_imagesWanted || !m_window) return;
  m_small.LendTo(m_window, LVSIL_SMALL);
  m_large.LendTo(m_window, LVSIL_NORMAL);
  m_imagesLent = true;
}

void FileListView::HoldRedraw() {
  if (!m_window || m_redrawHeld) return;
  ::SendMessageA(m_window, WM_SETREDRAW, FALSE, 0);
  m_redrawHeld = true;
  // Lending watches the list window, which costs every message to it a
  // round trip to the window system; the rows of a batch are listed without
  // the images, and the list gets them back with its one repaint.
  if (m_imagesLent) {
    m_small.TakeBack();
    m_large.TakeBack();
    m_imagesLent = false;
  }
}

void FileListView::ResumeRedraw() {
  if (!m_redrawHeld) return;
  m_redrawHeld = false;
  if (!m_window || !::IsWindow(m_window)) return;
  LendImages();
  ::SendMessageA(m_window, WM_SETREDRAW, TRUE, 0);
  // Turning drawing back on does not draw: the list and its header are
  // invalidated for one repaint.
  ::RedrawWindow(m_window, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void FileListView::SetColumnTitle(int column, const std::string& title) {
  HWND header = ListView_GetHeader(m_window);
  if (!header) return;
  HDITEMA item{};
  item.mask = HDI_TEXT;
  item.pszText = const_cast<char*>(title.c_str());
  item.cchTextMax = static_cast<int>(title.size());
  ::SendMessageA(header, HDM_SETITEMA, column, reinterpret_cast<LPARAM>(&item));
}

void FileListView::SetTitles(const ColumnTitles& titles) {
  if (!m_window) return;
  SetColumnTitle(0, titles.name);
  SetColumnTitle(1, titles.size);
}

ViewMode FileListView::Mode() const {
  const LONG_PTR style = m_window ? ::GetWindowLongPtrA(m_window, GWL_STYLE) : LVS_REPORT;
  return static_cast<ViewMode>(style & LVS_TYPEMASK);
}

void FileListView::SetMode(ViewMode mode) {
  if (!m_window) return;
  const LONG_PTR style = ::GetWindowLongPtrA(m_window, GWL_STYLE);
  ::SetWindowLongPtrA(m_window, GWL_STYLE, (style & ~LONG_PTR{LVS_TYPEMASK}) | static_cast<LONG_PTR>(mode));
}

}  // namespace brimlet
