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
// Rows put into the list per frame: a frame of them takes a few tens of
// milliseconds under Wine.
constexpr std::size_t kRowsPerFrame = 500;

struct Column {
  const char* title;
  int format;
  int width;
};
const Column kColumns[] = {
    {kNameColumnTitle, LVCFMT_CENTER, 230},
    {kSizeColumnTitle, LVCFMT_RIGHT, 80},
    {kStatusColumnTitle, LVCFMT_CENTER, 80},
};

void SetSubItemText(HWND list, int row, int column, const char* text) {
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text);
  ::SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

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

  // Lent to the list with the first rows (AddPendingRows).
  m_imageList.Create(16, kImageListInitial, kImageListGrowth);
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
  if (message == WM_NOTIFY && AnswerRowStatus(*reinterpret_cast<const NMHDR*>(lParam))) return TRUE;
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
  if (!frame && m_pendingRows.empty()) return false;
  if (frame) {
    m_pendingRows.insert(m_pendingRows.end(), std::make_move_iterator(frame->newRows.begin()),
                         std::make_move_iterator(frame->newRows.end()));
    for (auto& [row, text] : frame->rowStatuses) m_rowStatuses[row] = std::move(text);
    m_state = std::move(frame->state);
    m_panes[kMessagePane] = m_state.message;
    m_panes[kCountPane] = m_state.count;
  }
  AddPendingRows();
  Redraw();
  return true;
}

// The shell's icon for a name depends only on its extension, and asking
// for it takes milliseconds: a job of many files of one type asks once.
int UploadProgressDialog::ImageFor(const std::wstring& path) {
  const std::wstring extension = NameExtension(path);
  const auto known = m_imageByExtension.find(extension);
  if (known != m_imageByExtension.end()) return known->second;
  const fw::UniqueIcon icon = fw::ShellIconByName(path, fw::IconSize::Small);
  const int image = ::ImageList_AddIcon(m_imageList.get(), icon.get());
  if (image >= 0) m_imageByExtension.emplace(extension, image);
  return image;
}

// A list that redraws shows each insertion at once: its scroll bars and
// its area are recomputed per row (about 8 ms a row under Wine, 16 s for
// 2,000 files). The rows of a frame go in with the list's redrawing off,
// and the list is drawn once after them. The image list is taken back for
// as long: while it is lent, the list's window is watched, and under Wine
// that costs every message to the list a round trip to the window system.
UploadProgressDialog::RowBatch::RowBatch(UploadProgressDialog& dialog) : m_dialog(dialog) {
  ::SendMessageA(m_dialog.m_listFiles, WM_SETREDRAW, FALSE, 0);
  m_dialog.m_imageList.TakeBack();
}

UploadProgressDialog::RowBatch::~RowBatch() {
  m_dialog.m_imageList.LendTo(m_dialog.m_listFiles, LVSIL_SMALL);
  ::SendMessageA(m_dialog.m_listFiles, WM_SETREDRAW, TRUE, 0);
  ::RedrawWindow(m_dialog.m_listFiles, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void UploadProgressDialog::AddPendingRows() {
  if (m_pendingRows.empty()) return;
  // A job of tens of thousands of files would hold the dialog for a second
  // if every row went in at once; a frame takes a share, and the rest go in
  // with the next frames.
  const std::size_t count = std::min(m_pendingRows.size(), kRowsPerFrame);
  const RowBatch batch(*this);
  for (std::size_t taken = 0; taken < count; ++taken) {
    const ProgressRow added = std::move(m_pendingRows.front());
    m_pendingRows.pop_front();
    // The name in the wide message: the list keeps every character of it.
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(added.index);
    item.pszText = const_cast<wchar_t*>(added.name.c_str());
    item.iImage = ImageFor(added.path);
    const int row =
        static_cast<int>(::SendMessageW(m_listFiles, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    SetSubItemText(m_listFiles, row, 1, added.sizeText.c_str());
    SetSubItemText(m_listFiles, row, kStatusColumn, LPSTR_TEXTCALLBACKA);
    if (added.index >= m_statusOf.size()) m_statusOf.resize(added.index + 1, kRowWaiting);
  }
}

void UploadProgressDialog::Redraw() {
  ShowRowStatuses();
  UpdateItemText(IDC_CURRENT_FILE, m_state.currentFile);
  ShowFileProgress(m_state.filePercent);
  ShowTotalProgress(m_state.totalPercent);
  ShowPanes();
}

// The status column is drawn from the dialog's own texts (AnswerRowStatus):
// setting a row's text in the list costs what inserting the row does, and a
// frame of many small files holds hundreds of finished rows, which held
// this thread, and so the upload's end, for a tenth of a second. A status
// now costs a store, and only the rows on screen are drawn again.
void UploadProgressDialog::ShowRowStatuses() {
  if (m_rowStatuses.empty()) return;
  const int top = ListView_GetTopIndex(m_listFiles);
  const int bottom = top + ListView_GetCountPerPage(m_listFiles);
  bool onScreen = false;
  for (auto& [row, text] : m_rowStatuses) {
    // A row still waiting to go in is shown with its latest status.
    if (row >= m_statusOf.size()) m_statusOf.resize(row + 1, kRowWaiting);
    m_statusOf[row] = std::move(text);
    onScreen = onScreen || (static_cast<int>(row) >= top && static_cast<int>(row) <= bottom);
  }
  m_rowStatuses.clear();
  if (onScreen) ListView_RedrawItems(m_listFiles, top, bottom);
}

bool UploadProgressDialog::AnswerRowStatus(const NMHDR& header) {
  if (header.hwndFrom != m_listFiles) return false;
  if (header.code == LVN_GETDISPINFOW) {
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header)).item;
    const std::string* text = StatusOfRow(item);
    if (!text) return false;
    ::MultiByteToWideChar(CP_ACP, 0, text->c_str(), -1, item.pszText, item.cchTextMax);
    item.pszText[item.cchTextMax - 1] = L'\0';
    return true;
  }
  if (header.code == LVN_GETDISPINFOA) {
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA&>(const_cast<NMHDR&>(header)).item;
    const std::string* text = StatusOfRow(item);
    if (!text) return false;
    ::lstrcpynA(item.pszText, text->c_str(), item.cchTextMax);
    return true;
  }
  return false;
}

template <class ListItem>
const std::string* UploadProgressDialog::StatusOfRow(const ListItem& item) const {
  if (item.iSubItem != kStatusColumn || !(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0)
    return nullptr;
  if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= m_statusOf.size()) return nullptr;
  return &m_statusOf[item.iItem];
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
