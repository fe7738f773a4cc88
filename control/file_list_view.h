// The list-view child that shows the control's files, with the two image
// lists of their shell icons. The image lists belong to this object and are
// only lent to the list view (fw::ListViewImageList), so each is destroyed
// exactly once, here, whoever destroys the list window. Each icon is copied
// into them once, the first time the shell names it, and shared by every row
// that shows it. Each row keeps the size it was listed with as a number.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "control/portable/list_text.h"
#include "framework/list_view_image_list.h"

namespace brimlet {

class FileListView {
 public:
  FileListView() = default;
  FileListView(const FileListView&) = delete;
  FileListView& operator=(const FileListView&) = delete;
  ~FileListView() { Destroy(); }

  // The list filling (0, 0, width, height) of `parent`, its two columns and
  // its two empty image lists; false if the window could not be made.
  bool Create(HWND parent, int width, int height);
  // Destroys the list window (if the parent has not already) and the image lists.
  void Destroy();

  HWND window() const { return m_window; }
  explicit operator bool() const { return m_window != nullptr; }

  int RowCount() const;
  int SelectedCount() const;
  // The selected rows, highest index first.
  std::vector<int> SelectedRowsDescending() const;
  // What the row was listed with: the path (column 0) and the size text
  // (column 1). Read from this object's own record of the rows, not from
  // the list window: a page that uploads 2,000 rows would otherwise send
  // the window 4,000 messages.
  std::wstring RowPath(int row) const;
  std::string RowSizeText(int row) const;
  // What names the row for as long as it is listed: never given to another
  // row of this object, even after the window was made again. 0 for a row
  // that is not there.
  std::uint64_t RowId(int row) const;
  // Appends a row showing `sizeText` and the shell's icon for `path`. The
  // path is written with the wide messages, which every list view takes
  // whatever its parent's character set, so no character of it is lost.
  void AppendRow(const std::wstring& path, std::uint32_t size, const std::string& sizeText);
  void DeleteRow(int row);
  void DeleteAllRows();
  // The size row `row` was listed with; 0 for a row that is not there.
  std::uint32_t RowSize(int row) const;
  // The sizes the rows were listed with, summed modulo 2^32 as the
  // control's counters are.
  std::uint32_t TotalOfRows() const;

  // While held, added and removed rows are not drawn and the list holds no
  // image lists; it gets them back and is drawn once when resumed. Holding
  // again while held changes nothing.
  void HoldRedraw();
  void ResumeRedraw();

  void SetTitles(const ColumnTitles& titles);
  ViewMode Mode() const;
  void SetMode(ViewMode mode);

 private:
  void SetColumnTitle(int column, const std::string& title);
  struct Row {
    std::wstring path;
    std::uint32_t size = 0;
    std::string sizeText;
    std::uint64_t id = 0;
  };
  const Row* RowAt(int row) const;
  // The position in the image lists of the icon for `path`, copied in on
  // first sight; -1 when it could not be added.
  int ImageFor(const std::wstring& path);
  // Lends both image lists to the window once it has had a row, unless they
  // are lent already: lending again would redraw the whole list.
  void LendImages();

  HWND m_window = nullptr;  // a child: its parent's destruction ends it too
  fw::ListViewImageList m_large;  // 32x32, the normal-icon list
  fw::ListViewImageList m_small;  // 16x16, the small-icon list
  // Position in the shell's system image list -> position in ours.
  std::map<int, int> m_imageOfShellIcon;
  bool m_imagesWanted = false;  // from the first row on
  bool m_imagesLent = false;
  std::uint64_t m_lastRowId = 0;  // the id of the newest row ever listed
  std::vector<Row> m_rows;  // by row, as listed, in the list's order; one per row of the window
  bool m_redrawHeld = false;
};

// Holds a list's drawing for one batch of rows.
class RedrawHold {
 public:
  explicit RedrawHold(FileListView& list) : m_list(list) { m_list.HoldRedraw(); }
  RedrawHold(const RedrawHold&) = delete;
  RedrawHold& operator=(const RedrawHold&) = delete;
  ~RedrawHold() { m_list.ResumeRedraw(); }

 private:
  FileListView& m_list;
};

}  // namespace brimlet
