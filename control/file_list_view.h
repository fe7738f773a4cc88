// The list-view child that shows the control's files, with the two image
// lists of their shell icons. The image lists belong to this object and are
// only lent to the list view (fw::ListViewImageList), so each is destroyed
// exactly once, here, whoever destroys the list window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "control/list_text.h"
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

  HWND window() const { return window_; }
  explicit operator bool() const { return window_ != nullptr; }

  int RowCount() const;
  int SelectedCount() const;
  // The selected rows, highest index first.
  std::vector<int> SelectedRowsDescending() const;
  std::string RowPath(int row) const { return RowText(row, 0); }
  // Column 1: the size text the row was listed with.
  std::string RowSizeText(int row) const { return RowText(row, 1); }
  // Appends a row whose icons are copied into the image lists.
  void AppendRow(const std::string& path, const std::string& sizeText, HICON small, HICON large);
  void DeleteRow(int row);
  void DeleteAllRows();

  void SetTitles(const ColumnTitles& titles);
  ViewMode Mode() const;
  void SetMode(ViewMode mode);

 private:
  void SetColumnTitle(int column, const std::string& title);
  std::string RowText(int row, int column) const;

  HWND window_ = nullptr;  // a child: its parent's destruction ends it too
  fw::ListViewImageList large_;  // 32x32, the normal-icon list
  fw::ListViewImageList small_;  // 16x16, the small-icon list
};

}  // namespace brimlet
