#include "progress/upload_thread.h"

#include <algorithm>

#include "framework/message_box.h"
#include "framework/message_drain.h"
#include "framework/module.h"
#include "framework/text.h"
#include "framework/window_class.h"
#include "upload/content_type.h"
#include "upload/files_opened_ahead.h"
#include "upload/listed_file.h"
#include "upload/portable/content_type_key.h"
#include "upload/portable/reply_text.h"
#include "upload/portable/upload_messages.h"
#include "upload/portable/wire_name.h"

namespace brimlet {

namespace {

const char kDummyWindowClass[] = "BrimletUploadDummy";
const char kDummyWindowName[] = "CUpload Dummy Window";

// Sent by the sender to the worker's message window: wParam the number of
// the text waiting to be shown.
constexpr UINT WM_TELL_USER = WM_APP + 1;

void Tell(const std::string& text) { fw::AppMessageBox(text); }

// How many files are opened between two looks at the cancel event.
constexpr std::size_t kOpensPerCancelCheck = 32;

}  // namespace

UploadThread::UploadThread(HWND notifyWindow, WPARAM uploadId, std::shared_ptr<UploadReport> report)
    : m_hNotifyWindow(notifyWindow), m_uploadId(uploadId), m_report(std::move(report)),
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

// On the sender's thread: the files are opened there while this thread puts
// up the dialog, and the job is complete before the request starts.
void UploadThread::OpenAndSend() {
  if (!OpenListedFiles()) return m_sender->Abort();
  m_sender->Run();
}

bool UploadThread::OpenListedFiles() {
  std::vector<ListedFile> listed = std::move(m_listedFiles);
  m_job.entries.reserve(listed.size());
  m_jobFiles.reserve(std::min(listed.size(), kFilesHeldOpen));
  // Each file is opened on the opener's thread and measured here, in list
  // order. The opener reads a row's path only before it hands the file
  // over, and only rows ahead of it: once taken, the row is this thread's.
  FilesOpenedAhead opened(listed.size(), [&listed](std::size_t index) {
    return OpenListedFile(listed[index].path, FILE_FLAG_SEQUENTIAL_SCAN);
  });
  for (std::size_t i = 0; i < listed.size(); ++i) {
    // Asking the event is a call into the system: a cancel is looked for
    // every few files, and after every message, which the user may take
    // long to answer.
    if (i % kOpensPerCancelCheck == 0 && Cancelled()) return false;
    fw::UniqueFile handle = opened.TakeNext();
    const ListedFile file = std::move(listed[i]);  // the job keeps its own copy
    const std::optional<std::uint64_t> size = OpenFileSize(handle.get());
    if (!size) {
      // Shown on this worker's thread, over the dialog, as everything the
      // sender tells; the next file is measured once the user has answered.
      m_strLastTold = kFileInUse;
      TellFromSender(m_strLastTold);
      if (Cancelled()) return false;
      continue;
    }
    // The type is looked up by the name as it is sent: for every name the
    // code page holds, exactly the key it always was.
    const std::string wireName = WireName(file.path, &fw::AnsiCharacter);
    brimlet::AddJobFile(m_job, file.path, wireName, file.sizeText, *size, ContentTypeOf(wireName));
    if (m_jobFiles.size() < kFilesHeldOpen) {
      m_jobFiles.push_back(std::move(handle));
    } else {
      m_closer.Close(std::move(handle));
    }
  }
  return !Cancelled();
}

bool UploadThread::Cancelled() const { return ::WaitForSingleObject(m_hCancelEvent.get(), 0) == WAIT_OBJECT_0; }

std::string UploadThread::ContentTypeOf(const std::string& path) {
  const auto key = ContentTypeKey(path, &fw::IsAnsiLeadByte);
  if (!key) return ContentTypeForKey(key);
  const auto known = m_contentTypes.find(*key);
  if (known != m_contentTypes.end()) return known->second;
  return m_contentTypes.emplace(*key, ContentTypeForKey(key)).first->second;
}

void UploadThread::OnAbandoned() {
  m_bAbandoned = true;
  ::SetEvent(m_hCancelEvent.get());
}

void UploadThread::InitInstance() {
  // Cancelled while the job was filled (the page's thread ran messages
  // then): nothing goes out.
  if (Cancelled()) return Finish(false, m_bAbandoned ? kNotStartedReason : kCancelledReason);
  // Without the window it tells through, the sender could tell the user
  // nothing: the upload ends here, and the page still hears of it.
  if (!CreateTellWindow()) return Finish(false, kNotStartedReason);
  m_sender = std::make_unique<UploadSender>(
      m_job, m_jobFiles, m_closer, m_relay, m_hCancelEvent.get(),
      [this](const std::string& text) { TellFromSender(text); }, *m_report,
      UploadSender::ProgressTarget{m_hNotifyWindow, m_uploadId});
  if (!m_senderThread.Start([this] { OpenAndSend(); })) return Finish(false, kNotStartedReason);
  // The files are being opened, and the request then goes out, meanwhile.
  // Without a dialog the upload could be neither watched nor cancelled by
  // the user: it is cancelled.
  const bool shown = CreateDialogOwner() &&
                     m_dlgProgress.CreateModeless(m_wndDummy.get(), m_hCancelEvent.get(), &m_relay);
  if (!shown) ::SetEvent(m_hCancelEvent.get());
  if (!ServiceUntilSentOrCancelled()) {
    // Cancelled: the sender stops at its next step, and its request is
    // closed at once unless a call of its own is using it.
    m_sender->Abort();
    // The user and the page are not kept waiting for it: the upload ends
    // here, and this thread stays only until the sender has left, holding
    // everything the sender uses.
    Finish(false, shown ? kCancelledReason : kNotStartedReason);
    DestroyWindows();
    ServiceUntilSenderEnds();
    return;
  }
  // The user is shown the reply whoever may read it; a page on another
  // origin reads it only when the server said so. The box appears over the
  // dialog as the upload ended; without one, the dialog goes at once, and
  // its last frame would only hold back the page's UploadFinish.
  if (m_job.serverResponse && !m_sender->reply().empty()) {
    m_dlgProgress.FlushProgress();
    const bool utf8 = m_sender->replyIsUtf8();
    fw::AppMessageBox(fw::WideFromNarrow(ShownReply(m_sender->reply(), utf8, &fw::IsAnsiLeadByte), ReplyCodePage(utf8)));
  }
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
  m_report->succeeded = success;
  // Everything above is the control's to read once it sees this.
  m_report->ended.store(true, std::memory_order_release);
  ::PostMessageA(m_hNotifyWindow, WM_UPLOAD_FINISHED, m_uploadId, success ? 1 : 0);
}

// The sender has ended by now (InitInstance waits for it on every path that
// started it): nothing can ask the message window for anything any more.
void UploadThread::ExitInstance() {
  DestroyWindows();
  m_wndTell.Destroy();
}

bool UploadThread::CreateTellWindow() {
  return m_wndTell.Create([this](UINT message, WPARAM wParam, LPARAM) { return OnTellMessage(message, wParam); });
}

bool UploadThread::CreateDialogOwner() {
  // The dialog's owner: a plain top-level window that takes no message of
  // its own.
  if (!fw::RegisterWindowClassOnce(kDummyWindowClass, &::DefWindowProcA)) return false;
  m_wndDummy.reset(::CreateWindowExA(0, kDummyWindowClass, kDummyWindowName, 0, 0, 0, 0, 0, nullptr, nullptr,
                                     fw::ModuleInstance(), nullptr));
  return static_cast<bool>(m_wndDummy);
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
  // Messages are still taken: a sender may be asking the message window to
  // tell the user something, which it now declines.
  HANDLE sender = m_senderThread.handle();
  while (::MsgWaitForMultipleObjectsEx(1, &sender, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0 + 1)
    fw::PumpThreadMessages();
  // The job and the relay the sender uses live here.
  ::WaitForSingleObject(sender, INFINITE);
}

void UploadThread::TellFromSender(const std::string& text) {
  WPARAM number = 0;
  {
    std::lock_guard<std::mutex> hold(m_tellLock);
    number = ++m_nextTell;
    m_pendingTell.emplace(number, text);
  }
  // Returns once this thread has shown the text (or declined to).
  ::SendMessageA(m_wndTell.get(), WM_TELL_USER, number, 0);
  std::lock_guard<std::mutex> hold(m_tellLock);
  m_pendingTell.reset();
}

std::optional<LRESULT> UploadThread::OnTellMessage(UINT message, WPARAM wParam) {
  if (message != WM_TELL_USER) return std::nullopt;
  std::string text;
  {
    std::lock_guard<std::mutex> hold(m_tellLock);
    if (!m_pendingTell || m_pendingTell->first != wParam) return 0;
    text = std::move(m_pendingTell->second);
    m_pendingTell.reset();
  }
  // After a cancel the upload has ended for the user: nothing more is shown.
  if (m_bWindowsGone) return 0;
  // The box appears over the dialog as the sender last reported it.
  m_dlgProgress.FlushProgress();
  Tell(text);
  return 0;
}

void UploadThread::DestroyWindows() {
  m_bWindowsGone = true;
  m_dlgProgress.DestroyWindow();
  m_wndDummy.reset();
}

}  // namespace brimlet
