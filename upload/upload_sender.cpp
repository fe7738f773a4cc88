#include "upload/upload_sender.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "framework/text.h"
#include "upload/files_opened_ahead.h"
#include "upload/listed_file.h"
#include "upload/portable/cross_origin.h"
#include "upload/portable/page_origin.h"
#include "upload/portable/reply_status.h"
#include "upload/portable/reply_text.h"
#include "upload/portable/upload_messages.h"
#include "upload/upload_notices.h"

namespace brimlet {

namespace {

class HandleReader final : public FileReader {
 public:
  HandleReader(fw::UniqueFile file, FileCloser& closer) : m_file(std::move(file)), m_closer(closer) {}
  ~HandleReader() override { m_closer.Close(std::move(m_file)); }
  HandleReader(const HandleReader&) = delete;
  HandleReader& operator=(const HandleReader&) = delete;
  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(m_file.get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
  }
  std::optional<std::size_t> Read(void* buffer, std::size_t capacity) override {
    DWORD got = 0;
    if (!::ReadFile(m_file.get(), buffer, static_cast<DWORD>(capacity), &got, nullptr)) return std::nullopt;
    return got;
  }

 private:
  fw::UniqueFile m_file;
  FileCloser& m_closer;
};

// Hands out the handles kept open when the job was filled, each file opened
// once for the whole upload; the files past them (kFilesHeldOpen) are opened
// again as their turn nears, a few ahead of the one being sent. Every file
// is closed beside the loop once it is read.
class JobFiles final : public FileSource {
 public:
  JobFiles(const UploadJob& job, std::vector<fw::UniqueFile>& files, FileCloser& closer)
      : m_files(files), m_closer(closer), m_firstReopened(std::min(files.size(), job.entries.size())),
        m_reopened(job.entries.size() - m_firstReopened, [&job, first = m_firstReopened](std::size_t index) {
          return OpenListedFile(job.entries[first + index].path, FILE_FLAG_SEQUENTIAL_SCAN);
        }),
        m_nextReopened(m_firstReopened) {}
  std::unique_ptr<FileReader> Open(std::size_t index, const std::wstring& path) override {
    fw::UniqueFile file;
    if (index < m_files.size()) {
      file = std::move(m_files[index]);
    } else if (index == m_nextReopened) {
      file = m_reopened.TakeNext();
      ++m_nextReopened;
    } else {
      file = OpenListedFile(path, FILE_FLAG_SEQUENTIAL_SCAN);  // asked out of turn
    }
    if (!file) return nullptr;
    return std::make_unique<HandleReader>(std::move(file), m_closer);
  }

 private:
  std::vector<fw::UniqueFile>& m_files;
  FileCloser& m_closer;
  const std::size_t m_firstReopened;
  FilesOpenedAhead m_reopened;
  std::size_t m_nextReopened;
};

class TickClock final : public Clock {
 public:
  std::uint32_t Ticks() override { return ::GetTickCount(); }
};

// The request's body as the send loop writes it, counted for the page.
class CountedBody final : public BodyWriter {
 public:
  CountedBody(BodyWriter& body, std::function<void(std::uint64_t)> written)
      : m_body(body), m_written(std::move(written)) {}
  bool Begin(std::string& failureText) override { return m_body.Begin(failureText); }
  bool Write(const void* data, std::size_t size) override {
    if (!m_body.Write(data, size)) return false;
    m_written(size);
    return true;
  }

 private:
  BodyWriter& m_body;
  std::function<void(std::uint64_t)> m_written;
};

// How often the page may hear of the body's progress.
constexpr DWORD kProgressIntervalMs = 250;

}  // namespace

UploadSender::UploadSender(const UploadJob& job, std::vector<fw::UniqueFile>& files, FileCloser& closer,
                           ProgressSink& progress, HANDLE cancelEvent, Tell tell,
                           UploadReport& report, ProgressTarget target)
    : m_job(job), m_files(files), m_closer(closer), m_progress(progress), m_cancelEvent(cancelEvent), m_tell(std::move(tell)),
      m_report(report), m_target(target) {}

void UploadSender::Run() {
  // A job whose every file was refused sends nothing and fails.
  m_succeeded = m_job.jobFileCount >= 1 && Send();
  m_http.Close();
  m_files.clear();
}

bool UploadSender::Send() {
  const auto url = SplitUploadUrl(m_job.url);
  if (!url) {
    TellUnlessCancelled(kUrlSchemeError);
    return false;
  }
  // A page with an address is held to the rules browsers hold their pages
  // to; without one the request is what it always was.
  const std::string& page = m_job.pageOrigin;
  const std::string target = OriginOf(*url);
  if (!page.empty() && MixedContent(page, *url)) {
    TellUnlessCancelled(kMixedContentError);
    return false;
  }
  const HttpUpload::Tell tell = [this](const std::string& text) { TellUnlessCancelled(text); };
  if (NeedsPreflight(page, target, m_job.headerLines)) {
    CorsAnswer answer;
    if (!m_http.Preflight(*url, PreflightHeaderLines(page, m_job.headerLines), &answer, tell)) return false;
    if (!PreflightAllows(answer, page, m_job.headerLines)) {
      TellUnlessCancelled(kCrossOriginRefused);
      return false;
    }
  }
  std::vector<std::string> headerLines = m_job.headerLines;
  if (!page.empty()) headerLines.push_back(OriginHeaderLine(page));
  const std::uint64_t length = ContentLength(m_job);
  if (!m_http.Open(*url, length, headerLines, tell)) return false;

  m_report.bodyTotal.store(length);
  m_lastProgressPost = ::GetTickCount();
  JobFiles files(m_job, m_files, m_closer);
  TickClock clock;
  CountedBody body(m_http, [this](std::uint64_t bytes) { ReportWritten(bytes); });
  const SendEnvironment environment{files, body, m_progress, clock, *this};
  const SendResult result = SendFiles(m_job, environment);
  // No file stays held while the server takes its time to answer.
  m_closer.CloseHandedOver();
  switch (result.outcome) {
    case SendOutcome::kCancelled:
      return false;
    case SendOutcome::kFailed:
      // A write that failed because the request was closed by a cancel is
      // the cancel, not a failure to tell.
      TellUnlessCancelled(result.message);
      return false;
    case SendOutcome::kCompleted:
      break;
  }
  // An end without any answer (the server reset the connection, or kept
  // silent past the limit) is as much a failed end as one WinInet reports.
  DWORD status = 0;
  if (!m_http.End() || (status = m_http.StatusCode()) == 0) {
    TellUnlessCancelled(kEndRequestError);
    return false;
  }
  if (Cancelled()) return false;
  m_progress.SetStatusMessage(kStatusDone);
  // The reply is kept for the page whether or not the user is shown it.
  m_status = static_cast<long>(status);
  m_replyReadable = PageReadsReply(page, target, m_http.ReplyCors());
  m_replyIsUtf8 = IsUtf8ContentType(m_http.ReplyContentType());
  std::string received;
  m_http.ReadReply(kReplyKeptBytes, &received);
  if (Cancelled()) return false;
  m_reply = KeptReply(received);
  return IsSuccessStatus(status);
}

void UploadSender::ReportWritten(std::uint64_t bytes) {
  const std::uint64_t sent = m_report.bodySent.fetch_add(bytes) + bytes;
  const DWORD now = ::GetTickCount();
  const bool last = sent >= m_report.bodyTotal.load();
  if (!last && now - m_lastProgressPost < kProgressIntervalMs) return;
  // One message at a time: a control that has not taken the last one reads
  // the newest counts when it does. The last byte is always told.
  if (m_report.progressPosted.exchange(true) && !last) return;
  m_lastProgressPost = now;
  if (!::PostMessageA(m_target.window, WM_UPLOAD_PROGRESS, m_target.upload, 0)) m_report.progressPosted.store(false);
}

void UploadSender::Abort() {
  m_cancelled.store(true);
  m_http.Abort();
}

void UploadSender::TellUnlessCancelled(const std::string& text) {
  // The event itself is asked too: a cancel the worker has not yet passed
  // on has already ended the upload for the user.
  if (Cancelled() || ::WaitForSingleObject(m_cancelEvent, 0) == WAIT_OBJECT_0) return;
  m_told = text;
  m_tell(text);
}

}  // namespace brimlet
