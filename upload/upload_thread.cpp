#include "upload/upload_thread.h"

#include <memory>

#include "framework/message_box.h"
#include "framework/module.h"
#include "framework/text.h"
#include "progress/progress_text.h"
#include "upload/content_type.h"
#include "upload/content_type_key.h"
#include "upload/http_upload.h"
#include "upload/reply_text.h"
#include "upload/reply_status.h"
#include "upload/send_files.h"
#include "upload/upload_messages.h"

namespace {

const char kDummyWindowClass[] = "BrimletUploadDummy";
const char kDummyWindowName[] = "CUpload Dummy Window";

bool RegisterDummyClass() {
  WNDCLASSEXA existing{sizeof existing};
  if (::GetClassInfoExA(fw::ModuleInstance(), kDummyWindowClass, &existing)) return true;
  WNDCLASSEXA wc{sizeof wc};
  wc.lpfnWndProc = ::DefWindowProcA;
  wc.hInstance = fw::ModuleInstance();
  wc.lpszClassName = kDummyWindowClass;
  return ::RegisterClassExA(&wc) != 0;
}

// The files as the send loop reads them: opened for reading while others
// may read too, as the list admitted them.
class DiskFileReader final : public brimlet::FileReader {
 public:
  explicit DiskFileReader(fw::UniqueFile file) : file_(std::move(file)) {}
  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(file_.get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
  }
  std::optional<std::size_t> Read(void* buffer, std::size_t capacity) override {
    DWORD got = 0;
    if (!::ReadFile(file_.get(), buffer, static_cast<DWORD>(capacity), &got, nullptr)) return std::nullopt;
    return got;
  }

 private:
  fw::UniqueFile file_;
};

fw::UniqueFile OpenForReading(const std::string& path) {
  return fw::UniqueFile(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

class DiskFiles final : public brimlet::FileSource {
 public:
  std::unique_ptr<brimlet::FileReader> Open(const std::string& path) override {
    fw::UniqueFile file = OpenForReading(path);
    if (!file) return nullptr;
    return std::make_unique<DiskFileReader>(std::move(file));
  }
};

class TickClock final : public brimlet::Clock {
 public:
  std::uint32_t Ticks() override { return ::GetTickCount(); }
};

class EventCancel final : public brimlet::CancelTest {
 public:
  explicit EventCancel(HANDLE event) : event_(event) {}
  bool Cancelled() override { return ::WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }

 private:
  HANDLE event_;
};

class DialogDrain final : public brimlet::Drain {
 public:
  explicit DialogDrain(UploadProgressDialog& dialog) : dialog_(dialog) {}
  void Run() override { dialog_.PumpDialogMessages(); }

 private:
  UploadProgressDialog& dialog_;
};

void Tell(const std::string& text) { fw::AppMessageBox(text); }

}  // namespace

UploadThread::UploadThread(HWND controlWindow)
    : m_hControlWindow(controlWindow), m_hCancelEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

UploadThread::~UploadThread() = default;

void UploadThread::SetDestination(const std::string& url, bool serverResponse) {
  m_job.url = url;
  m_job.serverResponse = serverResponse;
  m_job.entries.clear();
}

void UploadThread::AddJobFile(const std::string& path, const std::string& sizeText) {
  fw::UniqueFile file = OpenForReading(path);
  if (!file) {
    Tell(brimlet::kFileInUse);
    return;
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) {
    Tell(brimlet::kFileInUse);
    return;
  }
  brimlet::AddJobFile(m_job, path, sizeText, static_cast<std::uint64_t>(size.QuadPart), ContentTypeOf(path));
}

std::string UploadThread::ContentTypeOf(const std::string& path) {
  const auto key = brimlet::ContentTypeKey(path, &fw::IsAnsiLeadByte);
  if (!key) return ContentTypeForKey(key);
  const auto known = m_contentTypes.find(*key);
  if (known != m_contentTypes.end()) return known->second;
  return m_contentTypes.emplace(*key, ContentTypeForKey(key)).first->second;
}

void UploadThread::InitInstance() {
  if (!CreateWindows()) {
    // Without its dialog the upload cannot be shown or cancelled: it ends
    // here, and the page still hears of it.
    ::PostMessageA(m_hControlWindow, WM_UPLOAD_FINISHED, reinterpret_cast<WPARAM>(this), 0);
    return;
  }
  WaitForProgressWindow();

  bool success = false;
  if (m_job.jobFileCount >= 1) {
    // Every byte going out is not enough: the server must have answered,
    // and not with an error (a connection reset after the last byte leaves
    // no status at all).
    success = SendFiles() && !Cancelled() && brimlet::IsSuccessStatus(m_dwStatusCode);
  }
  if (m_job.serverResponse && ReadServerReply()) Tell(brimlet::ShownReply(m_strReply, &fw::IsAnsiLeadByte));
  m_http.Close();
  ::PostMessageA(m_hControlWindow, WM_UPLOAD_FINISHED, reinterpret_cast<WPARAM>(this), success ? 1 : 0);
  DestroyWindows();
}

void UploadThread::ExitInstance() { DestroyWindows(); }

bool UploadThread::CreateWindows() {
  if (!RegisterDummyClass()) return false;
  m_wndDummy.reset(::CreateWindowExA(0, kDummyWindowClass, kDummyWindowName, 0, 0, 0, 0, 0, nullptr, nullptr,
                                     fw::ModuleInstance(), nullptr));
  if (!m_wndDummy) return false;
  return m_dlgProgress.CreateModeless(m_wndDummy.get(), m_hCancelEvent.get());
}

void UploadThread::WaitForProgressWindow() {
  while (!m_dlgProgress.window() || !::IsWindow(m_dlgProgress.window())) m_dlgProgress.PumpDialogMessages();
  m_dlgProgress.PumpDialogMessages();
}

bool UploadThread::SendFiles() {
  const auto url = SplitUploadUrl(m_job.url);
  if (!url) {
    Tell(brimlet::kUrlSchemeError);
    return false;
  }
  if (!m_http.Open(*url, brimlet::ContentLength(m_job), &Tell)) return false;

  DiskFiles files;
  TickClock clock;
  EventCancel cancel(m_hCancelEvent.get());
  DialogDrain drain(m_dlgProgress);
  const brimlet::SendEnvironment environment{files, m_http, m_dlgProgress, clock, cancel, drain,
                                             &fw::IsAnsiLeadByte};
  const brimlet::SendResult result = brimlet::SendFiles(m_job, environment);
  m_dlgProgress.FlushProgress();
  switch (result.outcome) {
    case brimlet::SendOutcome::kCancelled:
      // The request is abandoned unended; the handles close afterwards.
      return true;
    case brimlet::SendOutcome::kFailed:
      Tell(result.message);
      return false;
    case brimlet::SendOutcome::kCompleted:
      break;
  }
  // An end without any answer (the server reset the connection, or kept
  // silent past the limit) is as much a failed end as one WinInet reports.
  if (!m_http.End() || (m_dwStatusCode = m_http.StatusCode()) == 0) {
    Tell(brimlet::kEndRequestError);
    return false;
  }
  m_bRequestEnded = true;
  m_dlgProgress.SetStatusMessage(brimlet::kStatusDone);
  m_dlgProgress.FlushProgress();
  return true;
}

bool UploadThread::ReadServerReply() {
  // After a cancel or a failure the request was never ended: no reply.
  if (!m_http.HasRequest() || !m_bRequestEnded) return false;
  std::string received;
  m_http.ReadReply(brimlet::kReplyKeptBytes, &received);
  m_strReply = brimlet::KeptReply(received);
  return !m_strReply.empty();
}

void UploadThread::DestroyWindows() {
  m_dlgProgress.DestroyWindow();
  m_wndDummy.reset();
}
