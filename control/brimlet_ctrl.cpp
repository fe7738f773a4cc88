#include "control/brimlet_ctrl.h"

#include <commctrl.h>

#include "brimlet_idl.h"
#include "module/module_ids.h"
#include "resource_ids.h"

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

CBrimletCtrl::~CBrimletCtrl() = default;

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
  if (FileListRowCount() == 0) {
    // Nothing to send is not a failure: the page hears of it at once.
    FireUploadFinish(true);
    return;
  }
  // Files reach the list with the file list itself; the transfer of a
  // non-empty list starts here once the upload engine exists.
}

// The list operations act on the file list, which the control builds in its
// window; until then there is nothing to remove or add to.
void CBrimletCtrl::Remove() {}
void CBrimletCtrl::RemoveAll() {}
void CBrimletCtrl::AddFile() {}
void CBrimletCtrl::AddFolder() {}

// Declared in the type library for pages that call them; the control gives
// them no behaviour.
void CBrimletCtrl::SelectFolder() {}
void CBrimletCtrl::UploadCancel() {}

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

LRESULT CBrimletCtrl::OnUploadFinished(WPARAM, LPARAM lParam) {
  FireUploadFinish(lParam != 0);
  ResetFileList();
  return 0;
}
