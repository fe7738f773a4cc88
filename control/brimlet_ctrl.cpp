#include "control/brimlet_ctrl.h"

#include <commctrl.h>

#include "brimlet_idl.h"
#include "module/module_ids.h"
#include "resource_ids.h"
#include "upload/upload_thread.h"
#include "framework/message_drain.h"

namespace {

// Version of the persisted form: major 1, minor 0.
constexpr DWORD kPersistedVersion = MAKELONG(0, 1);
constexpr LONG kDefaultMaxSize = 0x40000000;  // 1 GiB
constexpr LONG kDefaultMaxFileCount = 100;
const char kDefaultFilter[] = "모든 파일|*.*|";

enum Dispid : DISPID {
  kScriptURL = 1, kFilter, kMaxFileSize, kMaxTotalSize, kMaxFileCount,
  kShowProgress, kEnablePopupMenu, kServerResponse,
  kUpload, kRemove, kRemoveAll, kAddFile, kSelectFolder, kUploadCancel,
  kAddFolder = 16,
};
constexpr DISPID kUploadFinishEvent = 1;

}  // namespace

using Ctrl = CBrimletCtrl;
const fw::DispatchMember<Ctrl> CBrimletCtrl::kDispatchTable[16] = {
    fw::StringProperty<Ctrl, &Ctrl::GetScriptURL, &Ctrl::SetScriptURL>(kScriptURL, L"ScriptURL"),
    fw::StringProperty<Ctrl, &Ctrl::GetFilter, &Ctrl::SetFilter>(kFilter, L"Filter"),
    fw::LongProperty<Ctrl, &Ctrl::GetMaxFileSize, &Ctrl::SetMaxFileSize>(kMaxFileSize, L"MaxFileSize"),
    fw::LongProperty<Ctrl, &Ctrl::GetMaxTotalSize, &Ctrl::SetMaxTotalSize>(kMaxTotalSize, L"MaxTotalSize"),
    fw::LongProperty<Ctrl, &Ctrl::GetMaxFileCount, &Ctrl::SetMaxFileCount>(kMaxFileCount, L"MaxFileCount"),
    fw::BoolProperty<Ctrl, &Ctrl::GetShowProgress, &Ctrl::SetShowProgress>(kShowProgress, L"ShowProgress"),
    fw::BoolProperty<Ctrl, &Ctrl::GetEnablePopupMenu, &Ctrl::SetEnablePopupMenu>(kEnablePopupMenu, L"EnablePopupMenu"),
    fw::BoolProperty<Ctrl, &Ctrl::GetServerResponse, &Ctrl::SetServerResponse>(kServerResponse, L"ServerResponse"),
    fw::Method<Ctrl, &Ctrl::Upload>(kUpload, L"Upload"),
    fw::Method<Ctrl, &Ctrl::Remove>(kRemove, L"Remove"),
    fw::Method<Ctrl, &Ctrl::RemoveAll>(kRemoveAll, L"RemoveAll"),
    fw::Method<Ctrl, &Ctrl::AddFile>(kAddFile, L"AddFile"),
    fw::Method<Ctrl, &Ctrl::SelectFolder>(kSelectFolder, L"SelectFolder"),
    fw::Method<Ctrl, &Ctrl::UploadCancel>(kUploadCancel, L"UploadCancel"),
    fw::Method<Ctrl, &Ctrl::AddFolder>(kAddFolder, L"AddFolder"),
    fw::Method<Ctrl, &Ctrl::AboutBox>(DISPID_ABOUTBOX, L"AboutBox"),
};

const fw::ControlClassInfo& CBrimletCtrl::ClassInfo() {
  static const fw::ControlClassInfo info{
      &CLSID_Brimlet,        &DIID__DBrimlet,         &DIID__DBrimletEvents,
      &LIBID_BRIMLETLib,     brimlet::kTypeLibMajor,  brimlet::kTypeLibMinor,
      brimlet::kControlMiscStatus, IDS_BRIMLET_TYPE_NAME, &CLSID_BrimletPropPage, 1};
  return info;
}

CBrimletCtrl::CBrimletCtrl() : fw::OleControl(ClassInfo()) {}

// A page that goes away takes its uploads with it: nobody is left to hear
// how they ended.
CBrimletCtrl::~CBrimletCtrl() { CancelRunningUploads(); }

STDMETHODIMP CBrimletCtrl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return fw::DispatchGetIDsOfNames(kDispatchTable, names, count, ids);
}

STDMETHODIMP CBrimletCtrl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO*, UINT* argError) {
  return fw::DispatchInvoke(*this, kDispatchTable, id, iid, flags, params, result, argError);
}

// ------------------------------------------------------------------ persistence
void CBrimletCtrl::DoPropExchange(fw::PropExchange& px) {
  ExchangeVersion(px, kPersistedVersion);
  fw::OleControl::DoPropExchange(px);
  // The order is the layout of the stream form: do not reorder.
  fw::PX_String(px, "ScriptURL", m_strScriptURL);  // no default: a reset keeps it
  fw::PX_String(px, "Filter", m_strFilter, std::string(kDefaultFilter));
  fw::PX_Long(px, "MaxTotalSize", m_lMaxTotalSize, kDefaultMaxSize);
  fw::PX_Long(px, "MaxFileSize", m_lMaxFileSize, kDefaultMaxSize);
  fw::PX_Long(px, "MaxFileCount", m_lMaxFileCount, kDefaultMaxFileCount);
  fw::PX_Bool(px, "ServerResponse", m_bServerResponse, FALSE);
}

// ------------------------------------------------------------------ properties
// A bound property tells the container it changed; every property marks the
// control's persisted state as modified.
template <class T>
void CBrimletCtrl::SetBound(T& member, const T& value, DISPID id) {
  member = value;
  BoundPropertyChanged(id);
  SetModifiedFlag();
}

void CBrimletCtrl::SetScriptURL(const std::string& value) { SetBound(m_strScriptURL, value, kScriptURL); }
void CBrimletCtrl::SetFilter(const std::string& value) { SetBound(m_strFilter, value, kFilter); }
void CBrimletCtrl::SetMaxFileSize(LONG value) { SetBound(m_lMaxFileSize, value, kMaxFileSize); }
void CBrimletCtrl::SetMaxTotalSize(LONG value) { SetBound(m_lMaxTotalSize, value, kMaxTotalSize); }
void CBrimletCtrl::SetMaxFileCount(LONG value) { SetBound(m_lMaxFileCount, value, kMaxFileCount); }
void CBrimletCtrl::SetServerResponse(BOOL value) { SetBound(m_bServerResponse, value, kServerResponse); }

void CBrimletCtrl::SetShowProgress(BOOL value) {
  m_bShowProgress = value;
  SetModifiedFlag();
}

void CBrimletCtrl::SetEnablePopupMenu(BOOL value) {
  m_bEnablePopupMenu = value;
  SetModifiedFlag();
}

// ------------------------------------------------------------------ methods
void CBrimletCtrl::Upload() {
  const int rows = FileListRowCount();
  if (rows == 0) {
    // Nothing to send is not a failure: the page hears of it at once.
    FireUploadFinish(true);
    return;
  }
  UploadThread* worker = fw::WorkerThread::CreateSuspended(std::make_unique<UploadThread>(GetSafeHwnd()));
  if (!worker) return;
  fw::PumpThreadMessages();
  worker->SetPriority(THREAD_PRIORITY_NORMAL);
  // The job is a snapshot: later changes to the list or the properties do
  // not reach this upload.
  worker->SetDestination(m_strScriptURL, m_bServerResponse != FALSE);
  for (int row = 0; row < rows; ++row) {
    const std::string sizeText = RowText(row, 1);
    worker->AddJobFile(RowText(row, 0), sizeText);
  }
  HANDLE cancel = nullptr;
  ::DuplicateHandle(::GetCurrentProcess(), worker->cancelEvent(), ::GetCurrentProcess(), &cancel,
                    EVENT_MODIFY_STATE, FALSE, 0);
  m_runningUploads.emplace_back(worker, fw::UniqueHandle(cancel));
  worker->Resume();
}

void CBrimletCtrl::UploadCancel() { CancelRunningUploads(); }

void CBrimletCtrl::CancelRunningUploads() {
  for (const auto& upload : m_runningUploads) {
    if (upload.second) ::SetEvent(upload.second.get());
  }
}

std::string CBrimletCtrl::RowText(int row, int column) const {
  // The list view copies at most the buffer it is given; grow until the
  // text fits.
  std::string text(260, '\0');
  for (;;) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = &text[0];
    item.cchTextMax = static_cast<int>(text.size());
    const auto length = static_cast<size_t>(
        ::SendMessageA(m_wndFileList, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < text.size()) {
      text.resize(length);
      return text;
    }
    text.resize(text.size() * 2);
  }
}

// The list operations act on the file list, which the control builds in its
// window; until then there is nothing to remove or add to.
void CBrimletCtrl::Remove() {}
void CBrimletCtrl::RemoveAll() {}
void CBrimletCtrl::AddFile() {}
void CBrimletCtrl::AddFolder() {}

// Declared in the type library for pages that call it; the control gives it
// no behaviour.
void CBrimletCtrl::SelectFolder() {}

// The control has no about box.
void CBrimletCtrl::AboutBox() {}

void CBrimletCtrl::FireUploadFinish(bool success) {
  VARIANT arg;
  ::VariantInit(&arg);
  arg.vt = VT_BOOL;
  arg.boolVal = success ? VARIANT_TRUE : VARIANT_FALSE;
  FireEvent(kUploadFinishEvent, &arg, 1);
}

int CBrimletCtrl::FileListRowCount() const {
  return m_wndFileList ? ListView_GetItemCount(m_wndFileList) : 0;
}

void CBrimletCtrl::ResetFileList() {
  if (m_wndFileList) ListView_DeleteAllItems(m_wndFileList);
  m_nFileCount = 0;
  m_dwTotalSize = 0;
}

// ------------------------------------------------------------------ window
void CBrimletCtrl::OnDraw(HDC dc, const RECT& bounds) {
  ::FillRect(dc, &bounds, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

int CBrimletCtrl::OnCreate(const CREATESTRUCTA&) { return 0; }

std::optional<LRESULT> CBrimletCtrl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_UPLOAD_FINISHED:
      return OnUploadFinished(wParam, lParam);
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam));
    default:
      return std::nullopt;
  }
}

std::optional<LRESULT> CBrimletCtrl::OnCommand(UINT id) {
  switch (id) {
    case ID_DELETE_SELECTED: Remove(); return 0;
    case ID_DELETE_ALL: RemoveAll(); return 0;
    case ID_ADD_FILE: AddFile(); return 0;
    case ID_ADD_FOLDER: AddFolder(); return 0;
    default: return std::nullopt;
  }
}

LRESULT CBrimletCtrl::OnUploadFinished(WPARAM worker, LPARAM lParam) {
  // The oldest record of this worker: a later upload may have been given
  // the same address once this one had ended.
  for (auto it = m_runningUploads.begin(); it != m_runningUploads.end(); ++it) {
    if (it->first == reinterpret_cast<const void*>(worker)) {
      m_runningUploads.erase(it);
      break;
    }
  }
  FireUploadFinish(lParam != 0);
  ResetFileList();
  return 0;
}
