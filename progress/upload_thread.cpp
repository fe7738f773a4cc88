#include "progress/upload_thread.h"

#include "framework/message_box.h"
#include "framework/message_drain.h"
#include "framework/module.h"
#include "framework/text.h"
#include "framework/window_class.h"
#include "upload/content_type.h"
#include "upload/listed_file.h"
#include "upload/portable/content_type_key.h"
#include "upload/portable/reply_text.h"
#include "upload/portable/upload_messages.h"
#include "upload/portable/wire_name.h"

namespace brimlet {

namespace {

const char kDummyWindowClass[] = "BrimletUploadDummy";
const char kDummyWindowName[] = "CUpload Dummy Window";

// Sent by the sender to the hidden window: lParam the text to show.
constexpr UINT WM_TELL_USER = WM_APP + 1;

void Tell(const std::string& text) { fw::AppMessageBox(text); }

}  // namespace

UploadThread::UploadThread(HWND controlWindow, std::shared_ptr<UploadReport> report)
    : m_hControlWindow(controlWindow), m_report(std::move(report)),
      m_hCancelEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

// The sender thread is waited for first (m_senderThread is declared last).
UploadThread::~UploadThread() = default;

void UploadThread::SetDestination(const std::string& url, bool serverResponse) {
  m_job.url = url;
  m_job.serverResponse = serverResponse;
  m_job.entries.clear();
  m_jobFiles.clear();
}

void UploadThread::SetPageParts(std::string fieldParts, std::vector<std::string> headerLines) {
  SetJobFields(m_job, std::move(fieldParts));
  m_job.headerLines = std::move(headerLines);
}

void UploadThread::AddJobFile(const std::wstring& path, const std::string& sizeText) {
  fw::UniqueFile file = OpenListedFile(path, FILE_FLAG_SEQUENTIAL_SCAN);
  const std::optional<std::uint64_t> size = OpenFileSize(file.get());
  if (!size) {
    m_strLastTold = kFileInUse;
    Tell(m_strLastTold);
    return;
  }
  // The type is looked up by the name as it is sent: for every name the
  // code page holds, exactly the key it always was.
  const std::string wireName = WireName(path, &fw::AnsiCharacter);
  brimlet::AddJobFile(m_job, path, wireName, sizeText, *size, ContentTypeOf(wireName));
  m_jobFiles.push_back(std::move(file));
}

std::string UploadThread::ContentTypeOf(const std::string& path) {
  const auto key = ContentTypeKey(path, &fw::IsAnsiLeadByte);
  if (!key) return ContentTypeForKey(key);
  const auto known = m_contentTypes.find(*key);
  if (known != m_contentTypes.end()) return known->second;
  return m_contentTypes.emplace(*key, ContentTypeForKey(key)).first->second;
}

void UploadThread::InitInstance() {
  // Without its hidden window the sender could tell the user nothing: the
  // upload ends here, and the page still hears of it.
  if (!CreateHiddenWindow()) return Finish(false, kNotStartedReason);
  m_sender = std::make_unique<UploadSender>(
      m_job, std::move(m_jobFiles), m_relay, m_hCancelEvent.get(),
      [this](const std::string& text) { TellFromSender(text); }, *m_report,
      UploadSender::ProgressTarget{m_hControlWindow, reinterpret_cast<WPARAM>(this)});
  if (!m_senderThread.Start([this] { m_sender->Run(); })) return Finish(false, kNotStartedReason);
  // The request is on its way meanwhile. Without a dialog the upload could
  // be neither watched nor cancelled by the user: it is cancelled.
  const bool shown = m_dlgProgress.CreateModeless(m_wndDummy.get(), m_hCancelEvent.get(), &m_relay);
  if (!shown) ::SetEvent(m_hCancelEvent.get());
  if (!ServiceUntilSentOrCancelled()) {
    // Cancelled: closing the request ends the sender's blocked call at once
    // on Windows; some WinInet implementations finish that call first (a
    // write the socket still takes, a wait for the reply).
    m_sender->Abort();
    // The user and the page are not kept waiting for it: the upload ends
    // here, and this thread stays only until the sender has left, holding
    // everything the sender uses.
    Finish(false, shown ? kCancelledReason : kNotStartedReason);
    DestroyWindows();
    ServiceUntilSenderEnds();
    return;
  }
  m_dlgProgress.FlushProgress();

  // The user is shown the reply whoever may read it; a page on another
  // origin reads it only when the server said so.
  if (m_job.serverResponse && !m_sender->reply().empty())
    Tell(ShownReply(m_sender->reply(), &fw::IsAnsiLeadByte));
  if (m_sender->replyReadable()) {
    m_report->status = m_sender->status();
    m_report->reply = m_sender->reply();
    m_report->replyIsUtf8 = m_sender->replyIsUtf8();
  }
  // The reason the page reads: what the user was told last, else why.
  std::string reason = m_sender->told();
  if (!shown) {
    reason = kNotStartedReason;
  } else if (m_sender->cancelled()) {
    reason = kCancelledReason;
  } else if (reason.empty() && m_report->status != 0) {
    reason = FormatStatusReason(m_report->status);
  } else if (reason.empty() && m_sender->status() != 0) {
    reason = kWithheldStatusReason;
  } else if (reason.empty()) {
    reason = m_strLastTold;  // every file was refused when the job was filled
  }
  Finish(shown && m_sender->succeeded(), reason);
  DestroyWindows();
}

void UploadThread::Finish(bool success, const std::string& reason) {
  m_report->errorText = success ? std::string() : reason;
  ::PostMessageA(m_hControlWindow, WM_UPLOAD_FINISHED, reinterpret_cast<WPARAM>(this), success ? 1 : 0);
}

void UploadThread::ExitInstance() { DestroyWindows(); }

bool UploadThread::CreateHiddenWindow() {
  if (!fw::RegisterWindowClassOnce(kDummyWindowClass, &HiddenWindowProc)) return false;
  m_wndDummy.reset(::CreateWindowExA(0, kDummyWindowClass, kDummyWindowName, 0, 0, 0, 0, 0, nullptr, nullptr,
                                     fw::ModuleInstance(), nullptr));
  if (!m_wndDummy) return false;
  ::SetWindowLongPtrA(m_wndDummy.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

bool UploadThread::ServiceUntilSentOrCancelled() {
  const HANDLE ends[] = {m_senderThread.handle(), m_hCancelEvent.get()};
  for (;;) {
    const DWORD woke = ::MsgWaitForMultipleObjectsEx(2, ends, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) return true;
    if (woke != WAIT_OBJECT_0 + 2) break;  // cancelled (or the wait itself failed)
    m_dlgProgress.PumpDialogMessages();
  }
  return false;
}

void UploadThread::ServiceUntilSenderEnds() {
  // Messages are still taken: a sender may be sending one to the hidden
  // window (which then answers as a window that has gone).
  HANDLE sender = m_senderThread.handle();
  while (::MsgWaitForMultipleObjectsEx(1, &sender, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 + 1)
    fw::PumpThreadMessages();
  // The job and the relay the sender uses live here.
  ::WaitForSingleObject(sender, INFINITE);
}

void UploadThread::TellFromSender(const std::string& text) {
  ::SendMessageA(m_wndDummy.get(), WM_TELL_USER, 0, reinterpret_cast<LPARAM>(&text));
}

LRESULT CALLBACK UploadThread::HiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TELL_USER) {
    auto* self = reinterpret_cast<UploadThread*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    // The box appears over the dialog as the sender last reported it.
    if (self) self->m_dlgProgress.FlushProgress();
    Tell(*reinterpret_cast<const std::string*>(lParam));
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

void UploadThread::DestroyWindows() {
  m_dlgProgress.DestroyWindow();
  m_wndDummy.reset();
}

}  // namespace brimlet
