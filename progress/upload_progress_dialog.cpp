#include "progress/upload_progress_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "framework/message_box.h"
#include "framework/message_drain.h"
#include "framework/module.h"
#include "framework/shell_icon.h"
#include "framework/text.h"
#include "progress/portable/progress_text.h"
#include "resources/resource_ids.h"
#include "upload/portable/path_text.h"

namespace brimlet {

namespace {

constexpr int kImageListInitial = 50, kImageListGrowth = 50;

// The relay is read this often; a frame is drawn only when something changed.
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFrameIntervalMs = 50;

struct Column {
  const char* title;
  int format;
  int width;
};
enum ColumnIndex { kNameColumn, kSizeColumn, kStatusColumn };
const Column kColumns[] = {
    {kNameColumnTitle, LVCFMT_CENTER, 230},
    {kSizeColumnTitle, LVCFMT_RIGHT, 80},
    {kStatusColumnTitle, LVCFMT_CENTER, 80},
};

// A row's text into the list's buffer, in the width the list asked in.
void CopyRowText(LVITEMW& item, const std::wstring& text) {
  ::lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
}
void CopyRowText(LVITEMW& item, const std::string& text) {
  if (::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, item.pszText, item.cchTextMax) == 0)
    item.pszText[0] = L'\0';
  item.pszText[item.cchTextMax - 1] = L'\0';
}
void CopyRowText(LVITEMA& item, const std::string& text) { ::lstrcpynA(item.pszText, text.c_str(), item.cchTextMax); }
void CopyRowText(LVITEMA& item, const std::wstring& text) { CopyRowText(item, fw::NarrowFromWide(text.c_str(), text.size())); }

// The message box of this thread that shows `text`, if one is open.
struct BoxSearch {
  const std::string& text;
  HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<BoxSearch*>(parameter);
  char className[16] = {};
  char shown[512] = {};
  if (::GetClassNameA(window, className, sizeof className) > 0 && std::string(className) == "#32770" &&
      ::GetDlgItemTextA(window, 0xFFFF, shown, sizeof shown) > 0 && search->text == shown) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND OpenBoxShowing(const std::string& text) {
  BoxSearch search{text, nullptr};
  ::EnumThreadWindows(::GetCurrentThreadId(), &MatchBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

UploadProgressDialog::UploadProgressDialog() : fw::Dialog(IDD_UPLOAD_PROGRESS) {}

bool UploadProgressDialog::CreateModeless(HWND parent, HANDLE cancelEvent, ProgressRelay* relay) {
  m_hCancelEvent = cancelEvent;
  m_relay = relay;
  return fw::Dialog::CreateModeless(parent);
}

bool UploadProgressDialog::OnInitDialog() {
  m_listFiles = Item(IDC_FILE_LIST);
  m_progressFile = Item(IDC_PROGRESS_FILE);
  m_progressTotal = Item(IDC_PROGRESS_TOTAL);

  m_pStatusBar = ::CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                   window(), nullptr, fw::ModuleInstance(), nullptr);
  RECT client{};
  ::GetClientRect(window(), &client);
  const auto edges = StatusPaneRightEdges(client.right - client.left);
  int parts[3] = {edges[0], edges[1], edges[2]};
  ::SendMessageA(m_pStatusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
  m_panes[kMessagePane] = kStatusReady;
  ShowPanes();
  ::ShowWindow(m_pStatusBar, SW_SHOW);

  m_imageList.Create(16, kImageListInitial, kImageListGrowth);
  m_imageList.LendTo(m_listFiles, LVSIL_SMALL);
  ListView_SetExtendedListViewStyleEx(m_listFiles, LVS_EX_GRIDLINES, LVS_EX_GRIDLINES);
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = kColumns[i].format;
    column.cx = kColumns[i].width;
    column.pszText = const_cast<char*>(kColumns[i].title);
    column.iSubItem = i;
    ::SendMessageA(m_listFiles, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
  // The upload may have been running for a while: what it reported so far
  // is shown at once. A dialog without its timer is still drawn at each
  // message box and at the end.
  ShowNextFrame();
  ::SetTimer(window(), kFrameTimer, kFrameIntervalMs, nullptr);
  return true;
}

std::optional<INT_PTR> UploadProgressDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kFrameTimer) {
    ShowNextFrame();
    // The box's own loop runs this timer: a cancel from the page while the
    // user is asked answers the question, so the upload ends now and not
    // when the user comes back.
    if (m_bAsking && m_hCancelEvent && ::WaitForSingleObject(m_hCancelEvent, 0) == WAIT_OBJECT_0) {
      m_bAsking = false;
      if (HWND box = OpenBoxShowing(fw::LoadResourceString(IDS_CONFIRM_CANCEL)))
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
    }
    return TRUE;
  }
  if (message == WM_NOTIFY && AnswerRow(*reinterpret_cast<const NMHDR*>(lParam))) return TRUE;
  if (message == WM_DESTROY) ::KillTimer(window(), kFrameTimer);
  return std::nullopt;
}

bool UploadProgressDialog::OnCommand(int id, int notifyCode) {
  if (id == IDC_CANCEL_UPLOAD && notifyCode == BN_CLICKED) {
    OnCancelUpload();
    return true;
  }
  return fw::Dialog::OnCommand(id, notifyCode);
}

void UploadProgressDialog::OnCancelUpload() {
  if (m_bAsking) return;  // already asked
  m_bAsking = true;
  const int answer = fw::AppMessageBox(IDS_CONFIRM_CANCEL, MB_YESNO | MB_ICONQUESTION);
  m_bAsking = false;
  if (answer == IDYES && m_hCancelEvent) ::SetEvent(m_hCancelEvent);
}

void UploadProgressDialog::PumpDialogMessages() { fw::PumpThreadMessages(window()); }

void UploadProgressDialog::FlushProgress() {
  // A file the dialog showed unfinished comes first at its end, then the
  // latest state.
  while (ShowNextFrame()) {
  }
}

bool UploadProgressDialog::ShowNextFrame() {
  if (!window() || !m_relay) return false;
  std::optional<ProgressFrame> frame = m_relay->Take();
  if (!frame) return false;
  AddRows(std::move(frame->newRows));
  for (auto& [row, text] : frame->rowStatuses) m_rowStatuses[row] = std::move(text);
  m_state = std::move(frame->state);
  m_panes[kMessagePane] = m_state.message;
  m_panes[kCountPane] = m_state.count;
  Redraw();
  return true;
}

// The shell's icon for a name depends only on its extension, and asking
// for it takes milliseconds: a job of many files of one type asks once.
int UploadProgressDialog::ImageFor(const std::wstring& name) {
  const std::wstring extension = NameExtension(name);
  const auto known = m_imageByExtension.find(extension);
  if (known != m_imageByExtension.end()) return known->second;
  const fw::UniqueIcon icon = fw::ShellIconByName(name, fw::IconSize::Small);
  const int image = ::ImageList_AddIcon(m_imageList.get(), icon.get());
  if (image >= 0) m_imageByExtension.emplace(extension, image);
  return image;
}

// Rows inserted one by one cost the list a window message each, and under
// Wine a frame of 500 of them held this thread for tens of milliseconds,
// while the upload's end waited for it. Here a frame's rows are a count
// for the list, which asks only for the rows it draws.
void UploadProgressDialog::AddRows(std::vector<ProgressRow> rows) {
  if (rows.empty()) return;
  for (ProgressRow& added : rows) {
    if (added.index >= m_rows.size()) m_rows.resize(added.index + 1, ShownRow{{}, {}, kRowWaiting});
    ShownRow& row = m_rows[added.index];
    row.name = std::move(added.name);
    row.sizeText = std::move(added.sizeText);
  }
  ::SendMessageA(m_listFiles, LVM_SETITEMCOUNT, m_rows.size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void UploadProgressDialog::Redraw() {
  ShowRowStatuses();
  UpdateItemText(IDC_CURRENT_FILE, m_state.currentFile);
  ShowFileProgress(m_state.filePercent);
  ShowTotalProgress(m_state.totalPercent);
  ShowPanes();
}

// A status costs a store; only the rows on screen are drawn again.
void UploadProgressDialog::ShowRowStatuses() {
  if (m_rowStatuses.empty()) return;
  const int top = ListView_GetTopIndex(m_listFiles);
  const int bottom = top + ListView_GetCountPerPage(m_listFiles);
  bool onScreen = false;
  for (auto& [row, text] : m_rowStatuses) {
    if (row >= m_rows.size()) continue;  // a row never reported has nothing to show
    m_rows[row].status = std::move(text);
    onScreen = onScreen || (static_cast<int>(row) >= top && static_cast<int>(row) <= bottom);
  }
  m_rowStatuses.clear();
  if (onScreen) ListView_RedrawItems(m_listFiles, top, bottom);
}

bool UploadProgressDialog::AnswerRow(const NMHDR& header) {
  if (header.hwndFrom != m_listFiles) return false;
  if (header.code == LVN_GETDISPINFOW) {
    FillRowItem(reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header)).item);
    return true;
  }
  if (header.code == LVN_GETDISPINFOA) {
    FillRowItem(reinterpret_cast<NMLVDISPINFOA&>(const_cast<NMHDR&>(header)).item);
    return true;
  }
  return false;
}

template <class ListItem>
void UploadProgressDialog::FillRowItem(ListItem& item) {
  if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= m_rows.size()) return;
  ShownRow& row = m_rows[item.iItem];
  if ((item.mask & LVIF_IMAGE) && item.iSubItem == kNameColumn) {
    if (row.image == kImageNotAsked) row.image = ImageFor(row.name);
    item.iImage = row.image;
  }
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
  switch (item.iSubItem) {
    case kNameColumn:
      return CopyRowText(item, row.name);
    case kSizeColumn:
      return CopyRowText(item, row.sizeText);
    case kStatusColumn:
      return CopyRowText(item, row.status);
    default:
      item.pszText[0] = 0;
  }
}

// A status bar repaints a pane inside the call that sets it, even to the same
// text on some systems; only panes whose text changed are sent.
void UploadProgressDialog::ShowPanes() {
  if (!m_pStatusBar) return;
  for (int pane = 0; pane < kPaneCount; ++pane) {
    if (m_panes[pane] == m_shownPanes[pane]) continue;
    ::SendMessageA(m_pStatusBar, SB_SETTEXTA, pane, reinterpret_cast<LPARAM>(m_panes[pane].c_str()));
    m_shownPanes[pane] = m_panes[pane];
  }
}

void UploadProgressDialog::ShowFileProgress(int percent) {
  const std::string rate = FormatRateText(m_state.bytesPerMs, fw::LoadResourceString(IDS_RATE_KILOBYTES),
                                                   fw::LoadResourceString(IDS_RATE_BYTES));
  const std::string timeLine = FormatFileTimeLine(m_state.fileSecondsLeft, m_state.fileSizeText);
  const auto position = BarPosition(percent, m_nRangeMin, m_nRangeMax);
  if (!position) return;
  ::SendMessageA(m_progressFile, PBM_SETPOS, *position, 0);
  m_panes[kRatePane] = rate;
  UpdateItemText(IDC_FILE_TIME_LEFT, timeLine);
  UpdateItemText(IDC_FILE_PERCENT, FormatPercent(*position));
}

void UploadProgressDialog::ShowTotalProgress(int percent) {
  const auto position = BarPosition(percent, m_nRangeMin, m_nRangeMax);
  if (!position) return;
  ::SendMessageA(m_progressTotal, PBM_SETPOS, *position, 0);
  fw::UpdateWindowText(window(), FormatCaption(*position));
  UpdateItemText(IDC_TOTAL_TIME_LEFT, FormatTotalTimeLine(m_state.totalSecondsLeft, m_state.totalSizeText));
  UpdateItemText(IDC_TOTAL_PERCENT, FormatPercent(*position));
}

}  // namespace brimlet
