#include "control/brimlet_ctrl.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>

#include "brimlet_idl.h"
#include "control/portable/list_text.h"
#include "control/portable/picker_text.h"
#include "framework/activation_context.h"
#include "framework/dispatch_call.h"
#include "framework/message_drain.h"
#include "framework/page_address.h"
#include "framework/portable/dispatch_text.h"
#include "framework/registry_key.h"
#include "framework/text.h"
#include "module/dispatch_ids.h"
#include "module/module_ids.h"
#include "progress/upload_thread.h"
#include "resources/resource_ids.h"
#include "upload/portable/reply_text.h"
#include "upload/portable/upload_messages.h"
#include "upload/portable/wire_name.h"

namespace {

// Version of the persisted form: major 1, minor 0.
constexpr DWORD kPersistedVersion = MAKELONG(0, 1);
constexpr LONG kDefaultMaxSize = 0x40000000;  // 1 GiB
constexpr LONG kDefaultMaxFileCount = 100;

// Where a deployer lists the sites that may use the control.
const wchar_t kSiteLockKey[] = L"SOFTWARE\\Policies\\BRIMLET";
const wchar_t kSiteLockValue[] = L"AllowedSites";

// The lock's entries; one that is not plain ASCII can name no origin and is
// left out rather than turned into another.
std::optional<std::vector<std::string>> AllowedSites() {
  const auto written = fw::ReadMachinePolicyList(kSiteLockKey, kSiteLockValue);
  if (!written) return std::nullopt;
  std::vector<std::string> entries;
  for (const std::wstring& entry : *written) {
    std::string ascii;
    for (const wchar_t c : entry) {
      if (c < 0x20 || c > 0x7E) break;
      ascii += static_cast<char>(c);
    }
    if (ascii.size() == entry.size()) entries.push_back(ascii);
  }
  return entries;
}

// Numbers the uploads of every control of the process: a number names one
// upload only, so an end or a progress report can never be taken for
// another upload's.
std::atomic<WPARAM> g_lastUploadNumber{0};

}  // namespace

using Ctrl = CBrimletCtrl;
const fw::DispatchMember<Ctrl> CBrimletCtrl::kDispatchTable[26] = {
    fw::StringProperty<Ctrl, &Ctrl::GetScriptURL, &Ctrl::SetScriptURL>(DISPID_BRIMLET_SCRIPTURL, L"ScriptURL"),
    fw::StringProperty<Ctrl, &Ctrl::GetFilter, &Ctrl::SetFilter>(DISPID_BRIMLET_FILTER, L"Filter"),
    fw::LongProperty<Ctrl, &Ctrl::GetMaxFileSize, &Ctrl::SetMaxFileSize>(DISPID_BRIMLET_MAXFILESIZE, L"MaxFileSize"),
    fw::LongProperty<Ctrl, &Ctrl::GetMaxTotalSize, &Ctrl::SetMaxTotalSize>(DISPID_BRIMLET_MAXTOTALSIZE, L"MaxTotalSize"),
    fw::LongProperty<Ctrl, &Ctrl::GetMaxFileCount, &Ctrl::SetMaxFileCount>(DISPID_BRIMLET_MAXFILECOUNT, L"MaxFileCount"),
    fw::BoolProperty<Ctrl, &Ctrl::GetShowProgress, &Ctrl::SetShowProgress>(DISPID_BRIMLET_SHOWPROGRESS, L"ShowProgress"),
    fw::BoolProperty<Ctrl, &Ctrl::GetEnablePopupMenu, &Ctrl::SetEnablePopupMenu>(DISPID_BRIMLET_ENABLEPOPUPMENU, L"EnablePopupMenu"),
    fw::BoolProperty<Ctrl, &Ctrl::GetServerResponse, &Ctrl::SetServerResponse>(DISPID_BRIMLET_SERVERRESPONSE, L"ServerResponse"),
    fw::Method<Ctrl, &Ctrl::Upload>(DISPID_BRIMLET_UPLOAD, L"Upload"),
    fw::Method<Ctrl, &Ctrl::Remove>(DISPID_BRIMLET_REMOVE, L"Remove"),
    fw::Method<Ctrl, &Ctrl::RemoveAll>(DISPID_BRIMLET_REMOVEALL, L"RemoveAll"),
    fw::Method<Ctrl, &Ctrl::AddFile>(DISPID_BRIMLET_ADDFILE, L"AddFile"),
    fw::Method<Ctrl, &Ctrl::SelectFolder>(DISPID_BRIMLET_SELECTFOLDER, L"SelectFolder"),
    fw::Method<Ctrl, &Ctrl::UploadCancel>(DISPID_BRIMLET_UPLOADCANCEL, L"UploadCancel"),
    fw::Method<Ctrl, &Ctrl::AddFolder>(DISPID_BRIMLET_ADDFOLDER, L"AddFolder"),
    fw::Method<Ctrl, &Ctrl::AboutBox>(DISPID_BRIMLET_ABOUTBOX, L"AboutBox"),
    fw::ReadOnlyLong<Ctrl, &Ctrl::GetFileCount>(DISPID_BRIMLET_FILECOUNT, L"FileCount"),
    fw::ReadOnlyDouble<Ctrl, &Ctrl::GetTotalSize>(DISPID_BRIMLET_TOTALSIZE, L"TotalSize"),
    fw::ReadOnlyLong<Ctrl, &Ctrl::GetResponseStatus>(DISPID_BRIMLET_RESPONSESTATUS, L"ResponseStatus"),
    fw::ReadOnlyString<Ctrl, &Ctrl::GetResponseText>(DISPID_BRIMLET_RESPONSETEXT, L"ResponseText"),
    fw::ReadOnlyString<Ctrl, &Ctrl::GetErrorText>(DISPID_BRIMLET_ERRORTEXT, L"ErrorText"),
    fw::MethodWithArgs<Ctrl, &Ctrl::FilePath>(DISPID_BRIMLET_FILEPATH, L"FilePath", 1),
    fw::MethodWithArgs<Ctrl, &Ctrl::FileSize>(DISPID_BRIMLET_FILESIZE, L"FileSize", 1),
    fw::MethodWithArgs<Ctrl, &Ctrl::SetFormField>(DISPID_BRIMLET_SETFORMFIELD, L"SetFormField", 2),
    fw::Method<Ctrl, &Ctrl::ClearFormFields>(DISPID_BRIMLET_CLEARFORMFIELDS, L"ClearFormFields"),
    fw::MethodWithArgs<Ctrl, &Ctrl::SetRequestHeader>(DISPID_BRIMLET_SETREQUESTHEADER, L"SetRequestHeader", 2),
};

const fw::ControlClassInfo& CBrimletCtrl::ClassInfo() {
  static const fw::ControlClassInfo info{
      &CLSID_Brimlet,        &DIID__DBrimlet,         &DIID__DBrimletEvents,
      &LIBID_BRIMLETLib,     brimlet::kTypeLibMajor,  brimlet::kTypeLibMinor,
      brimlet::kControlMiscStatus, IDS_BRIMLET_TYPE_NAME, &CLSID_BrimletPropPage, 1};
  return info;
}

CBrimletCtrl::CBrimletCtrl() : fw::OleControl(ClassInfo()) {}

// The list goes before the base class takes the window down. A page that
// goes away takes its uploads with it: nobody is left to hear how they ended.
CBrimletCtrl::~CBrimletCtrl() {
  CancelRunningUploads();
  m_wndFileList.Destroy();
}

STDMETHODIMP CBrimletCtrl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return fw::DispatchGetIDsOfNames(kDispatchTable, names, count, ids);
}

STDMETHODIMP CBrimletCtrl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  // Methods open dialogs and message boxes: they take the module's controls.
  fw::ActivationScope scope;
  // The page may drop the control from inside a call (an event handler, or
  // a timer that a dialog's message loop runs): it lives until the call ends.
  const fw::ComPtr<IUnknown> self(static_cast<IOleObject*>(this));
  if (!m_pageStanding.allowed) {
    const DISPPARAMS none{};
    fw::DispatchCall refused(none, result, exception, argError);
    return refused.Refuse(E_ACCESSDENIED, fw::kSiteNotAllowed);
  }
  return fw::DispatchInvoke(*this, kDispatchTable, id, iid, flags, params, result, exception, argError);
}

// ------------------------------------------------------------------ the page
// Read once the site is set, which the control asks for before its stored
// properties are loaded: a refused page never has them applied.
void CBrimletCtrl::OnClientSiteSet(IOleClientSite* site) {
  const std::optional<std::wstring> address = fw::PageAddressOf(site);
  m_strPageOrigin.reset();
  if (address) m_strPageOrigin = brimlet::OriginOf(fw::NarrowFromWide(address->data(), address->size(), CP_UTF8));
  m_pageStanding = brimlet::StandingOf(m_strPageOrigin, AllowedSites());
}

// ------------------------------------------------------------------ persistence
void CBrimletCtrl::DoPropExchange(fw::PropExchange& px) {
  ExchangeVersion(px, kPersistedVersion);
  fw::OleControl::DoPropExchange(px);
  // The order is the layout of the stream form: do not reorder.
  fw::PX_String(px, "ScriptURL", m_strScriptURL);  // no default: a reset keeps it
  if (px.loading()) m_bScriptURLFits = !px.lastLossyText();
  fw::PX_String(px, "Filter", m_strFilter, std::string(brimlet::kDefaultFilter));
  if (px.mode() != fw::PropExchange::Mode::Save) m_wstrFilterGiven = px.lastLossyText();
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

// Servers may rely on Korean path characters going out as code page 949
// bytes, so the address stays in the code page; one it cannot spell is
// refused when an upload starts rather than sent as '?'.
void CBrimletCtrl::SetScriptURL(const std::wstring& value) {
  const std::optional<std::string> exact = fw::AnsiText(value.data(), value.size());
  m_bScriptURLFits = exact.has_value();
  SetBound(m_strScriptURL, exact ? *exact : fw::NarrowFromWide(value.data(), value.size()), DISPID_BRIMLET_SCRIPTURL);
}
// The dialog gets the filter as the page gave it: a pattern whose character
// the code page lacks would otherwise become '?', which matches any.
void CBrimletCtrl::SetFilter(const std::wstring& value) {
  const std::optional<std::string> exact = fw::AnsiText(value.data(), value.size());
  m_wstrFilterGiven.reset();
  if (!exact) m_wstrFilterGiven = value;
  SetBound(m_strFilter, exact ? *exact : fw::NarrowFromWide(value.data(), value.size()), DISPID_BRIMLET_FILTER);
}
void CBrimletCtrl::SetMaxFileSize(LONG value) { SetBound(m_lMaxFileSize, value, DISPID_BRIMLET_MAXFILESIZE); }
void CBrimletCtrl::SetMaxTotalSize(LONG value) { SetBound(m_lMaxTotalSize, value, DISPID_BRIMLET_MAXTOTALSIZE); }
void CBrimletCtrl::SetMaxFileCount(LONG value) { SetBound(m_lMaxFileCount, value, DISPID_BRIMLET_MAXFILECOUNT); }
void CBrimletCtrl::SetServerResponse(BOOL value) { SetBound(m_bServerResponse, value, DISPID_BRIMLET_SERVERRESPONSE); }

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
  // The job is a snapshot of the rows as the page asked for the upload,
  // taken before anything runs a message loop: the drain below may deliver
  // the end of an earlier upload, which removes that upload's rows. Only
  // the snapshot is taken here; the worker opens the files.
  const int count = FileListRowCount();
  std::vector<brimlet::UploadThread::ListedFile> rows;
  std::vector<std::uint64_t> rowIds;
  rows.reserve(count);
  rowIds.reserve(count);
  for (int row = 0; row < count; ++row) {
    rows.push_back({m_wndFileList.RowPath(row), m_wndFileList.RowSizeText(row)});
    rowIds.push_back(m_wndFileList.RowId(row));
  }
  if (rows.empty()) {
    // Nothing to send is not a failure: the page hears of it at once.
    FinishUpload(true, brimlet::UploadReport{});
    return;
  }
  std::sort(rowIds.begin(), rowIds.end());
  const bool reachable =
      m_wndUploads || m_wndUploads.Create([this](UINT message, WPARAM upload, LPARAM) {
        return OnUploadMessage(message, upload);
      });
  const WPARAM number = ++g_lastUploadNumber;
  auto report = std::make_shared<brimlet::UploadReport>();
  auto worker = reachable ? fw::WorkerThread::CreateSuspended(
                                std::make_unique<brimlet::UploadThread>(m_wndUploads.get(), number, report))
                          : fw::Suspended<brimlet::UploadThread>(nullptr);
  if (!worker) {
    // A page waits for the end of every upload it starts; the list is kept
    // so that the user may try again.
    report->errorText = brimlet::kNotStartedReason;
    FinishUpload(false, *report);
    return;
  }
  // Recorded before the drain, which runs the page's messages: an
  // UploadCancel from them finds it. Whatever leaves early
  // lets the worker run abandoned, and it ends the upload as not started.
  HANDLE cancel = nullptr;
  ::DuplicateHandle(::GetCurrentProcess(), worker->cancelEvent(), ::GetCurrentProcess(), &cancel,
                    EVENT_MODIFY_STATE, FALSE, 0);
  m_runningUploads.push_back({number, fw::UniqueHandle(cancel), report, std::move(rowIds)});
  fw::PumpThreadMessages();
  worker->SetPriority(THREAD_PRIORITY_NORMAL);
  // Later changes to the list or the properties do not reach this upload.
  // An address the code page cannot spell goes as none, which the worker
  // refuses as it refuses every address it cannot send.
  worker->SetDestination(m_bScriptURLFits ? m_strScriptURL : std::string(), m_bServerResponse != FALSE);
  worker->SetPageOrigin(m_strPageOrigin.value_or(std::string()));
  worker->SetPageParts(brimlet::FormFieldParts(m_formFields), brimlet::RequestHeaderLines(m_requestHeaders));
  worker->SetListedFiles(std::move(rows));
  // A cancel meanwhile is in the worker's event: it ends at once, unsent.
  worker.Resume();
}

void CBrimletCtrl::UploadCancel() { CancelRunningUploads(); }

void CBrimletCtrl::CancelRunningUploads() {
  for (const auto& upload : m_runningUploads) {
    if (upload.cancel) ::SetEvent(upload.cancel.get());
  }
}

// Declared in the type library for pages that call it; the control gives it
// no behaviour.
void CBrimletCtrl::SelectFolder() {}

// The control has no about box.
void CBrimletCtrl::AboutBox() {}

LONG CBrimletCtrl::GetFileCount() const { return FileListRowCount(); }

std::wstring CBrimletCtrl::GetErrorText() const { return fw::WideFromNarrow(m_lastErrorText); }

// Bytes as listed, exactly: a double holds every sum of 32-bit sizes a
// list can reach.
double CBrimletCtrl::GetTotalSize() const {
  std::uint64_t total = 0;
  for (int row = 0, rows = FileListRowCount(); row < rows; ++row) total += m_wndFileList.RowSize(row);
  return static_cast<double>(total);
}

bool CBrimletCtrl::RowOfIndex(fw::DispatchCall& call, const char* member, int* row) const {
  LONG index = 0;
  if (!call.LongArg(0, &index)) return false;
  if (index < 0 || index >= FileListRowCount()) {
    call.Refuse(DISP_E_BADINDEX, brimlet::IndexRefusal(member, index, FileListRowCount()));
    return false;
  }
  *row = static_cast<int>(index);
  return true;
}

HRESULT CBrimletCtrl::FilePath(fw::DispatchCall& call) {
  int row = 0;
  if (!RowOfIndex(call, "FilePath", &row)) return call.refusal();
  const std::wstring path = m_wndFileList.RowPath(row);
  call.ReturnString(m_pageStanding.seesFullPaths ? path : brimlet::FakePath(path));
  return S_OK;
}

HRESULT CBrimletCtrl::FileSize(fw::DispatchCall& call) {
  int row = 0;
  if (!RowOfIndex(call, "FileSize", &row)) return call.refusal();
  call.ReturnDouble(m_wndFileList.RowSize(row));
  return S_OK;
}

// A field goes out as a form page in the ANSI code page sends it: each
// character the code page lacks as a character reference, not as '?'.
HRESULT CBrimletCtrl::SetFormField(fw::DispatchCall& call) {
  std::wstring givenName, givenValue;
  if (!call.StringArg(0, &givenName) || !call.StringArg(1, &givenValue)) return call.refusal();
  const std::string name = brimlet::WireName(givenName, &fw::AnsiCharacter);
  const std::string value = brimlet::WireName(givenValue, &fw::AnsiCharacter);
  if (const auto why = brimlet::FormFieldRefusal(name, value)) return call.Refuse(E_INVALIDARG, "SetFormField: " + *why);
  m_formFields.Set(name, value);
  return S_OK;
}

void CBrimletCtrl::ClearFormFields() { m_formFields.Clear(); }

HRESULT CBrimletCtrl::SetRequestHeader(fw::DispatchCall& call) {
  std::wstring givenName, givenValue;
  if (!call.StringArg(0, &givenName) || !call.StringArg(1, &givenValue)) return call.refusal();
  // Only ASCII makes a header name; one the code page would turn into
  // another (é into e) is refused as it was given.
  const std::optional<std::string> exactName = fw::AnsiText(givenName.data(), givenName.size());
  if (!exactName) return call.Refuse(E_INVALIDARG, std::string("SetRequestHeader: ") + brimlet::kHeaderNameCharacters);
  const std::string& name = *exactName;
  const std::optional<std::string> inCodePage = brimlet::CodePageText(givenValue, &fw::AnsiCharacter);
  if (!inCodePage) return call.Refuse(E_INVALIDARG, std::string("SetRequestHeader: ") + brimlet::kHeaderValueCodePage);
  const std::string& value = *inCodePage;
  if (value.empty()) {
    // An empty value removes the line; a name that could never be set is
    // still refused, so a typo does not pass unnoticed.
    if (const auto why = brimlet::RequestHeaderRefusal(name, "-")) return call.Refuse(E_INVALIDARG, "SetRequestHeader: " + *why);
    m_requestHeaders.Remove(name);
    return S_OK;
  }
  if (const auto why = brimlet::RequestHeaderRefusal(name, value))
    return call.Refuse(E_INVALIDARG, "SetRequestHeader: " + *why);
  m_requestHeaders.Set(name, value);
  return S_OK;
}

void CBrimletCtrl::FireUploadFinish(bool success) {
  VARIANT arg;
  ::VariantInit(&arg);
  arg.vt = VT_BOOL;
  arg.boolVal = success ? VARIANT_TRUE : VARIANT_FALSE;
  FireEvent(DISPID_BRIMLET_UPLOADFINISH, &arg, 1);
}

// ------------------------------------------------------------------ window
void CBrimletCtrl::OnDraw(HDC dc, const RECT& bounds) {
  ::FillRect(dc, &bounds, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

std::optional<LRESULT> CBrimletCtrl::OnUploadMessage(UINT message, WPARAM upload) {
  if (message == WM_UPLOAD_FINISHED) return OnUploadFinished(upload);
  if (message == WM_UPLOAD_PROGRESS) return OnUploadProgress(upload);
  return std::nullopt;
}

CBrimletCtrl::RunningUpload* CBrimletCtrl::FindRunningUpload(WPARAM upload) {
  for (RunningUpload& running : m_runningUploads)
    if (running.number == upload) return &running;
  return nullptr;
}

LRESULT CBrimletCtrl::OnUploadFinished(WPARAM upload) {
  // The page's handler may drop the control; it lives until the rows are
  // removed after the event.
  const fw::ComPtr<IUnknown> self(static_cast<IOleObject*>(this));
  RunningUpload* running = FindRunningUpload(upload);
  // Only the upload's own report says it has ended: a message naming no
  // running upload, or one still running, changes nothing.
  if (!running || !running->report->ended.load(std::memory_order_acquire)) return 0;
  const std::shared_ptr<brimlet::UploadReport> report = running->report;
  const std::vector<std::uint64_t> taken = std::move(running->rows);
  m_runningUploads.erase(m_runningUploads.begin() + (running - m_runningUploads.data()));
  FinishUpload(report->succeeded, *report);
  RemoveUploadedRows(taken);
  return 0;
}

LRESULT CBrimletCtrl::OnUploadProgress(WPARAM number) {
  RunningUpload* upload = FindRunningUpload(number);
  if (!upload) return 0;
  const std::shared_ptr<brimlet::UploadReport> report = upload->report;
  // Taken before the counts are read: a count written after this is posted
  // again.
  report->progressPosted.store(false);
  const std::uint64_t sent = report->bodySent.load();
  if (sent == upload->progressFired) return 0;
  upload->progressFired = sent;
  VARIANT args[2];
  args[0].vt = args[1].vt = VT_R8;
  args[0].dblVal = static_cast<double>(sent);
  args[1].dblVal = static_cast<double>(report->bodyTotal.load());
  const fw::ComPtr<IUnknown> self(static_cast<IOleObject*>(this));
  FireEvent(DISPID_BRIMLET_UPLOADPROGRESS, args, 2);
  return 0;
}

void CBrimletCtrl::FinishUpload(bool success, const brimlet::UploadReport& report) {
  m_lastResponseStatus = report.status;
  m_lastResponseText = fw::WideFromNarrow(report.reply, brimlet::ReplyCodePage(report.replyIsUtf8));
  m_lastErrorText = success ? std::string() : report.errorText;
  FireUploadFinish(success);
}
