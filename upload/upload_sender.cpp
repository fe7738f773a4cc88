#include "upload/upload_sender.h"

#include <memory>
#include <optional>

#include "framework/event_watch.h"
#include "framework/text.h"
#include "progress/progress_text.h"
#include "upload/reply_status.h"
#include "upload/reply_text.h"
#include "upload/upload_messages.h"

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

}  // namespace

UploadSender::UploadSender(const brimlet::UploadJob& job, std::vector<fw::UniqueFile> files,
                           brimlet::ProgressSink& progress, HANDLE cancelEvent, Tell tell)
    : job_(job), files_(std::move(files)), progress_(progress), cancelEvent_(cancelEvent), tell_(std::move(tell)) {}

void UploadSender::Run() {
  const fw::EventWatch watch(cancelEvent_, [this] { Abort(); });
  watched_ = watch.watching();
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
  if (!http_.Open(*url, brimlet::ContentLength(job_),
                  [this](const std::string& text) { TellUnlessCancelled(text); }))
    return false;

  JobFiles files(files_);
  TickClock clock;
  const brimlet::SendEnvironment environment{files, http_, progress_, clock, *this, &fw::IsAnsiLeadByte};
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
  if (job_.serverResponse) {
    std::string received;
    http_.ReadReply(brimlet::kReplyKeptBytes, &received);
    if (!Cancelled()) reply_ = brimlet::KeptReply(received);
  }
  return brimlet::IsSuccessStatus(status);
}

bool UploadSender::Cancelled() {
  if (cancelled_.load()) return true;
  if (!watched_ && ::WaitForSingleObject(cancelEvent_, 0) == WAIT_OBJECT_0) Abort();
  return cancelled_.load();
}

// On the watch's pool thread, or on the sender's own when the event could
// not be watched.
void UploadSender::Abort() {
  cancelled_.store(true);
  http_.Abort();
}

void UploadSender::TellUnlessCancelled(const std::string& text) {
  // The event itself is asked too: a cancel whose watch has not yet run
  // has already ended the upload for the user.
  if (Cancelled() || ::WaitForSingleObject(cancelEvent_, 0) == WAIT_OBJECT_0) return;
  tell_(text);
}
