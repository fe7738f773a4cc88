#include "upload/upload_sender.h"

#include <memory>
#include <optional>

#include "framework/text.h"
#include "upload/portable/reply_status.h"
#include "upload/portable/reply_text.h"
#include "upload/portable/upload_messages.h"
#include "upload/upload_notices.h"

namespace {

class HandleReader final : public brimlet::FileReader {
 public:
  explicit HandleReader(fw::UniqueFile file) : file_(std::move(file)) {}
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

// Hands out the handles opened when the job was filled: each file is opened
// once for the whole upload.
class JobFiles final : public brimlet::FileSource {
 public:
  explicit JobFiles(std::vector<fw::UniqueFile>& files) : files_(files) {}
  std::unique_ptr<brimlet::FileReader> Open(std::size_t index, const std::string&) override {
    if (index >= files_.size() || !files_[index]) return nullptr;
    return std::make_unique<HandleReader>(std::move(files_[index]));
  }

 private:
  std::vector<fw::UniqueFile>& files_;
};

class TickClock final : public brimlet::Clock {
 public:
  std::uint32_t Ticks() override { return ::GetTickCount(); }
};

// The request's body as the send loop writes it, counted for the page.
class CountedBody final : public brimlet::BodyWriter {
 public:
  CountedBody(brimlet::BodyWriter& body, std::function<void(std::uint64_t)> written)
      : body_(body), written_(std::move(written)) {}
  bool Begin(std::string& failureText) override { return body_.Begin(failureText); }
  bool Write(const void* data, std::size_t size) override {
    if (!body_.Write(data, size)) return false;
    written_(size);
    return true;
  }

 private:
  brimlet::BodyWriter& body_;
  std::function<void(std::uint64_t)> written_;
};

// How often the page may hear of the body's progress.
constexpr DWORD kProgressIntervalMs = 250;

}  // namespace

UploadSender::UploadSender(const brimlet::UploadJob& job, std::vector<fw::UniqueFile> files,
                           brimlet::ProgressSink& progress, HANDLE cancelEvent, Tell tell,
                           brimlet::UploadReport& report, ProgressTarget target)
    : job_(job), files_(std::move(files)), progress_(progress), cancelEvent_(cancelEvent), tell_(std::move(tell)),
      report_(report), target_(target) {}

void UploadSender::Run() {
  // A job whose every file was refused sends nothing and fails.
  succeeded_ = job_.jobFileCount >= 1 && Send();
  http_.Close();
  files_.clear();
}

bool UploadSender::Send() {
  const auto url = SplitUploadUrl(job_.url);
  if (!url) {
    TellUnlessCancelled(brimlet::kUrlSchemeError);
    return false;
  }
  const std::uint64_t length = brimlet::ContentLength(job_);
  if (!http_.Open(*url, length, job_.headerLines, [this](const std::string& text) { TellUnlessCancelled(text); }))
    return false;

  report_.bodyTotal.store(length);
  lastProgressPost_ = ::GetTickCount();
  JobFiles files(files_);
  TickClock clock;
  CountedBody body(http_, [this](std::uint64_t bytes) { ReportWritten(bytes); });
  const brimlet::SendEnvironment environment{files, body, progress_, clock, *this, &fw::IsAnsiLeadByte};
  const brimlet::SendResult result = brimlet::SendFiles(job_, environment);
  switch (result.outcome) {
    case brimlet::SendOutcome::kCancelled:
      return false;
    case brimlet::SendOutcome::kFailed:
      // A write that failed because the request was closed by a cancel is
      // the cancel, not a failure to tell.
      TellUnlessCancelled(result.message);
      return false;
    case brimlet::SendOutcome::kCompleted:
      break;
  }
  // An end without any answer (the server reset the connection, or kept
  // silent past the limit) is as much a failed end as one WinInet reports.
  DWORD status = 0;
  if (!http_.End() || (status = http_.StatusCode()) == 0) {
    TellUnlessCancelled(brimlet::kEndRequestError);
    return false;
  }
  if (Cancelled()) return false;
  progress_.SetStatusMessage(brimlet::kStatusDone);
  // The reply is kept for the page whether or not the user is shown it.
  status_ = static_cast<long>(status);
  replyIsUtf8_ = brimlet::IsUtf8ContentType(http_.ReplyContentType());
  std::string received;
  http_.ReadReply(brimlet::kReplyKeptBytes, &received);
  if (Cancelled()) return false;
  reply_ = brimlet::KeptReply(received);
  return brimlet::IsSuccessStatus(status);
}

void UploadSender::ReportWritten(std::uint64_t bytes) {
  const std::uint64_t sent = report_.bodySent.fetch_add(bytes) + bytes;
  const DWORD now = ::GetTickCount();
  const bool last = sent >= report_.bodyTotal.load();
  if (!last && now - lastProgressPost_ < kProgressIntervalMs) return;
  // One message at a time: a control that has not taken the last one reads
  // the newest counts when it does. The last byte is always told.
  if (report_.progressPosted.exchange(true) && !last) return;
  lastProgressPost_ = now;
  if (!::PostMessageA(target_.window, WM_UPLOAD_PROGRESS, target_.worker, 0)) report_.progressPosted.store(false);
}

void UploadSender::Abort() {
  cancelled_.store(true);
  http_.Abort();
}

void UploadSender::TellUnlessCancelled(const std::string& text) {
  // The event itself is asked too: a cancel the worker has not yet passed
  // on has already ended the upload for the user.
  if (Cancelled() || ::WaitForSingleObject(cancelEvent_, 0) == WAIT_OBJECT_0) return;
  told_ = text;
  tell_(text);
}
