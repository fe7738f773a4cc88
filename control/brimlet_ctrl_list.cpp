// The control's file list: its creation, adding files and folders under the
// limits, removing rows, the column titles, the view modes and the context
// menu. The decisions live in admission.cpp and list_text.cpp; this file
// carries them out on the real list window and the system's dialogs.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <new>
#include <vector>

#include "control/brimlet_ctrl.h"
#include "control/file_picker.h"
#include "control/folder_scanner.h"
#include "control/portable/admission.h"
#include "control/portable/list_text.h"
#include "control/portable/size_text.h"
#include "control/system_number_format.h"
#include "framework/message_box.h"
#include "framework/module.h"
#include "framework/text.h"
#include "framework/unique_handle.h"
#include "module/dispatch_ids.h"
#include "resources/resource_ids.h"
#include "upload/listed_file.h"
#include "upload/portable/upload_messages.h"

namespace brimlet {
namespace {

const char kInitialFolder[] = "c:\\";
const wchar_t kAllFiles[] = L"*.*";

// The in-use test: the file is opened as the upload will open it.
class InUseTest : public FileOpener {
 public:
  std::optional<std::uint64_t> OpenedSize(const std::wstring& path) override {
    return OpenFileSize(OpenListedFile(path, FILE_ATTRIBUTE_NORMAL).get());
  }
};

UINT RefusalMessage(Refusal why) {
  switch (why) {
    case Refusal::FileTooLarge: return IDS_FILE_SIZE_EXCEEDED;
    case Refusal::TooManyFiles: return IDS_FILE_COUNT_EXCEEDED;
    case Refusal::TotalTooLarge: return IDS_TOTAL_SIZE_EXCEEDED;
    default: return 0;
  }
}

}  // namespace
}  // namespace brimlet

// The control's list as admission sees it.
class CBrimletCtrl::ListAdmission : public brimlet::AdmissionList {
 public:
  explicit ListAdmission(CBrimletCtrl& control) : m_control(control) {}
  std::uint32_t FileCount() const override { return m_control.m_nFileCount; }
  std::uint32_t TotalSize() const override { return m_control.m_dwTotalSize; }
  int RowCount() const override { return m_control.m_wndFileList.RowCount(); }
  void Insert(const std::wstring& path, std::uint32_t size) override { m_control.InsertFile(path, size); }
  void Reset() override { m_control.ResetFileList(); }
  void ShowRefusal(brimlet::Refusal why) override {
    // The rows so far are drawn before the message box covers the list.
    m_control.m_wndFileList.ResumeRedraw();
    if (why == brimlet::Refusal::InUse) {
      fw::AppMessageBox(brimlet::kFileInUse);
    } else {
      fw::AppMessageBox(brimlet::RefusalMessage(why));
    }
  }
  void ShowAddedTitles() override { m_control.ShowAddedTitles(); }

 private:
  CBrimletCtrl& m_control;
};

using Ctrl = CBrimletCtrl;
const fw::CommandEntry<Ctrl> CBrimletCtrl::kCommandTable[8] = {
    {ID_DELETE_SELECTED, &Ctrl::Remove, &Ctrl::OnUpdateDeleteSelected},
    {ID_DELETE_ALL, &Ctrl::RemoveAll, &Ctrl::OnUpdateDeleteAll},
    {ID_ADD_FILE, &Ctrl::AddFile, nullptr},
    {ID_ADD_FOLDER, &Ctrl::AddFolder, nullptr},
    {ID_VIEW_LARGE_ICONS, &Ctrl::OnViewLargeIcons, &Ctrl::OnUpdateViewMode},
    {ID_VIEW_SMALL_ICONS, &Ctrl::OnViewSmallIcons, &Ctrl::OnUpdateViewMode},
    {ID_VIEW_LIST, &Ctrl::OnViewList, &Ctrl::OnUpdateViewMode},
    {ID_VIEW_DETAILS, &Ctrl::OnViewDetails, &Ctrl::OnUpdateViewMode},
};

// ------------------------------------------------------------------ the list
int CBrimletCtrl::OnCreate(const CREATESTRUCTA& create) {
  // A list that cannot be made leaves a blank control: the window still
  // exists, and every list operation finds no list and does nothing.
  CreateFileList(create.cx, create.cy);
  return 0;
}

void CBrimletCtrl::OnDestroy() { m_wndFileList.Destroy(); }

void CBrimletCtrl::CreateFileList(int width, int height) {
  m_wndFileList.Create(GetSafeHwnd(), width, height);
  // A window made again after an in-place deactivation starts empty.
  m_nFileCount = 0;
  m_dwTotalSize = 0;
}

int CBrimletCtrl::FileListRowCount() const { return m_wndFileList.RowCount(); }

void CBrimletCtrl::ResetFileList() {
  m_wndFileList.DeleteAllRows();
  m_nFileCount = 0;
  m_dwTotalSize = 0;
  m_wndFileList.SetTitles(brimlet::PlainTitles());
}

void CBrimletCtrl::RefreshListHeader() {
  // The sizes the remaining rows show, as they were when listed: measuring
  // every file again would cost an open per row on each removal. A file that
  // changed since is caught when an upload measures it.
  m_dwTotalSize = m_wndFileList.TotalOfRows();
  m_wndFileList.SetTitles(
      brimlet::RefreshedTitles(m_nFileCount, m_dwTotalSize, brimlet::SystemNumberSeparators()));
}

void CBrimletCtrl::ShowAddedTitles() {
  m_wndFileList.SetTitles(brimlet::AddedTitles(m_wndFileList.RowCount(), m_dwTotalSize,
                                               brimlet::SystemNumberSeparators()));
}

void CBrimletCtrl::InsertFile(const std::wstring& path, DWORD size) {
  m_wndFileList.AppendRow(path, size, brimlet::FormatByteCount(size, brimlet::SystemNumberSeparators()));
  ++m_nFileCount;
  m_dwTotalSize += size;
}

// ------------------------------------------------------------------ adding
void CBrimletCtrl::AddFile() {
  if (!m_wndFileList) return;
  brimlet::FilePicker picker(m_wstrFilterGiven.value_or(fw::WideFromNarrow(m_strFilter)),
                             OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR, GetSafeHwnd());
  if (picker.ShowOpenDialog() != brimlet::FilePicker::kConfirmed) return;
  std::vector<std::wstring> paths;
  for (std::size_t position = picker.FirstSelectedPosition();
       position != brimlet::SelectionReader::kEnd;) {
    paths.push_back(picker.NextSelectedPath(&position));
  }
  const int before = FileListRowCount();
  {
    ListAdmission list(*this);
    brimlet::InUseTest inUse;
    const brimlet::RedrawHold batch(m_wndFileList);
    brimlet::AdmitFiles(paths, inUse, list, {m_lMaxFileSize, m_lMaxTotalSize, m_lMaxFileCount});
  }
  NotifyFilesChanged(before);
}

void CBrimletCtrl::AddFolder() {
  if (!m_wndFileList) return;
  brimlet::FilePicker picker;
  brimlet::FolderScanner scanner;
  if (picker.ChooseFolder(brimlet::kFolderBrowserPrompt, brimlet::kInitialFolder, 0, GetSafeHwnd()) !=
      brimlet::FilePicker::kConfirmed) {
    return;
  }
  scanner.ResetFolders();
  scanner.SetRootFolder(picker.ChosenFolder());
  scanner.ScanFiles(brimlet::kAllFiles);  // what was listed before a failure is used as it is
  const int before = FileListRowCount();
  {
    ListAdmission list(*this);
    brimlet::InUseTest inUse;
    const brimlet::RedrawHold batch(m_wndFileList);
    brimlet::AdmitFolder(scanner.files(), inUse, list, {m_lMaxFileSize, m_lMaxTotalSize, m_lMaxFileCount});
  }
  NotifyFilesChanged(before);
}

// ------------------------------------------------------------------ removing
void CBrimletCtrl::Remove() {
  if (m_wndFileList.SelectedCount() == 0) return;
  std::vector<int> rows;
  try {
    rows = m_wndFileList.SelectedRowsDescending();
  } catch (const std::bad_alloc&) {
    return;
  }
  const int before = FileListRowCount();
  {
    const brimlet::RedrawHold batch(m_wndFileList);
    // Highest index first, so the lower indexes still name their rows.
    for (int row : rows) {
      m_wndFileList.DeleteRow(row);
      if (m_nFileCount > 0) --m_nFileCount;
    }
    if (m_nFileCount != 0) {
      RefreshListHeader();
    } else {
      ResetFileList();
    }
  }
  NotifyFilesChanged(before);
}

// After UploadFinish: what the page listed meanwhile (in its handler, for
// the next batch) stays, and so does what a new window lists after an
// in-place deactivation, whose rows no upload took.
void CBrimletCtrl::RemoveUploadedRows(const std::vector<std::uint64_t>& taken) {
  const int before = FileListRowCount();
  {
    const brimlet::RedrawHold batch(m_wndFileList);
    for (int row = before - 1; row >= 0; --row) {
      if (!std::binary_search(taken.begin(), taken.end(), m_wndFileList.RowId(row))) continue;
      m_wndFileList.DeleteRow(row);
      if (m_nFileCount > 0) --m_nFileCount;
    }
    if (FileListRowCount() == 0) {
      ResetFileList();
    } else if (FileListRowCount() != before) {
      RefreshListHeader();
    }
  }
  NotifyFilesChanged(before);
}

void CBrimletCtrl::RemoveAll() {
  const int before = FileListRowCount();
  m_wndFileList.DeleteAllRows();
  ResetFileList();
  NotifyFilesChanged(before);
}

// Once per action, after the list is drawn: a page may enable its own
// controls from here, or call back into the control.
void CBrimletCtrl::NotifyFilesChanged(int rowsBefore) {
  const int rows = FileListRowCount();
  if (rows == rowsBefore) return;
  VARIANT count;
  count.vt = VT_I4;
  count.lVal = rows;
  FireEvent(DISPID_BRIMLET_FILESCHANGED, &count, 1);
}

// ------------------------------------------------------------------ menu
bool CBrimletCtrl::OnContextMenu(HWND, POINT point) {
  // A page the site lock refuses gets no menu: its items open the dialogs.
  if (!PageAllowed()) return true;
  // Loaded afresh for every request: nothing carries over between showings.
  fw::UniqueMenu menu(::LoadMenuA(fw::ModuleInstance(), MAKEINTRESOURCEA(IDR_POPUP_MENU)));
  if (!menu) return true;
  HMENU popup = ::GetSubMenu(menu.get(), 0);
  if (popup) {
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, GetSafeHwnd(),
                     nullptr);
  }
  return true;
}

bool CBrimletCtrl::OnCommand(UINT id, UINT, HWND) {
  // A command may open a dialog whose message loop runs the page's timers,
  // and the page may drop the control meanwhile: it lives until the command ends.
  const fw::ComPtr<IUnknown> self(static_cast<IOleObject*>(this));
  return fw::RouteCommand(*this, kCommandTable, id);
}

bool CBrimletCtrl::OnInitMenuPopup(HMENU menu, UINT, bool windowMenu) {
  if (windowMenu) return false;
  fw::UpdateMenuItems(*this, kCommandTable, menu);
  return true;
}

void CBrimletCtrl::OnViewLargeIcons() { m_wndFileList.SetMode(brimlet::ViewMode::Icon); }
void CBrimletCtrl::OnViewSmallIcons() { m_wndFileList.SetMode(brimlet::ViewMode::SmallIcon); }
void CBrimletCtrl::OnViewList() { m_wndFileList.SetMode(brimlet::ViewMode::List); }
void CBrimletCtrl::OnViewDetails() { m_wndFileList.SetMode(brimlet::ViewMode::Report); }

void CBrimletCtrl::OnUpdateDeleteSelected(fw::CommandUI& ui) {
  if (m_wndFileList.SelectedCount() == 0) ui.Enable(false);
}

void CBrimletCtrl::OnUpdateDeleteAll(fw::CommandUI& ui) {
  if (m_nFileCount == 0) ui.Enable(false);
}

void CBrimletCtrl::OnUpdateViewMode(fw::CommandUI& ui) {
  const auto mode = brimlet::ViewModeOfCommand(ui.id());
  ui.SetCheck(mode && *mode == m_wndFileList.Mode());
}
