// The send loop: files are read into one buffer, framing and data packed
// together, and the buffer is written whenever it is full; what a write
// carried is reported once it has returned.
#include "upload/portable/send_files.h"

#include <algorithm>
#include <vector>

#include "upload/portable/grouped_number.h"
#include "upload/portable/multipart.h"
#include "upload/portable/transfer_math.h"
#include "upload/portable/upload_messages.h"

namespace brimlet {
namespace {

SendResult Failed(std::string message) {
  return {SendOutcome::kFailed, std::move(message)};
}

const SendResult kCancelledResult{SendOutcome::kCancelled, {}};

// One run of the loop: the buffer and the counters that live across files.
class Transfer {
 public:
  Transfer(const UploadJob& job, const SendEnvironment& env)
      : job_(job), env_(env), buffer_(kPieceSize),
        totalSizeText_(FormatGroupedNumber(job.totalFileSize)) {}

  SendResult Run();

 private:
  // Sends one file's part into the buffer; nothing when it went through.
  std::optional<SendResult> SendFile(std::size_t index);
  // Copies `text` into the buffer, writing the buffer out whenever it fills.
  bool Append(const std::string& text);
  // Writes what the buffer holds, then reports it: the files whose last
  // byte it carried are done, and the current file has that much more sent.
  bool Flush();
  void ShowSending(std::size_t index);
  void ShowFileEnd(std::size_t index);
  void ReportProgress();

  const UploadJob& job_;
  const SendEnvironment& env_;
  std::vector<char> buffer_;
  std::size_t fill_ = 0;
  const std::string totalSizeText_;
  // What the buffer holds and no write has carried yet.
  std::uint64_t bufferedData_ = 0;         // data bytes of every file in it
  std::uint64_t bufferedFileData_ = 0;     // data bytes of the current file
  std::vector<std::size_t> endsInBuffer_;  // files whose last byte is in it
  // The file whose part is going into the buffer, until all of it is in.
  std::optional<std::size_t> current_;
  std::uint32_t tStart_ = 0;
  std::uint32_t tFile_ = 0;
  std::uint32_t tSample_ = 0;
  std::uint64_t fileSent_ = 0;
  std::uint64_t sampleBytes_ = 0;
  std::uint64_t allSent_ = 0;
};

SendResult Transfer::Run() {
  ProgressSink& progress = env_.progress;
  tStart_ = env_.clock.Ticks();
  for (std::size_t i = 0; i < job_.entries.size(); ++i) {
    const UploadJobEntry& entry = job_.entries[i];
    progress.AddFileRow(i, entry.path, BaseName(entry.path, env_.isLeadByte), entry.sizeText);
  }

  std::string failure;
  if (!env_.body.Begin(failure)) return Failed(failure);
  if (!Append(job_.fieldParts)) return Failed(kWriteError);

  for (std::size_t i = 0; i < job_.entries.size(); ++i) {
    if (env_.cancel.Cancelled()) return kCancelledResult;
    if (auto failed = SendFile(i)) return *failed;
  }
  if (!Append(Trailer()) || !Flush()) return Failed(kWriteError);
  if (env_.cancel.Cancelled()) return kCancelledResult;
  progress.SetStatusMessage(kStatusAwaitingReply);
  return {SendOutcome::kCompleted, {}};
}

std::optional<SendResult> Transfer::SendFile(std::size_t index) {
  const UploadJobEntry& entry = job_.entries[index];
  ShowSending(index);
  env_.progress.SetFileStatus(index, kRowSending);

  // The file is opened and measured before its framing goes in, so a file
  // that has gone or changed adds nothing to the body.
  const std::unique_ptr<FileReader> reader = env_.files.Open(index, entry.path);
  if (!reader) return Failed(kFileInUse);
  if (reader->Size() != entry.size) return Failed(kFileChanged);

  current_ = index;
  env_.progress.UpdateFileProgress(0);
  env_.progress.SetCurrentFileName(entry.path);
  tFile_ = tSample_ = env_.clock.Ticks();
  fileSent_ = 0;
  sampleBytes_ = 0;
  bufferedFileData_ = 0;
  if (!Append(entry.boundaryLine) || !Append(entry.partHeader)) return Failed(kWriteError);
  std::uint64_t read = 0;
  for (;;) {
    const std::size_t room = buffer_.size() - fill_;
    const std::optional<std::size_t> got = reader->Read(buffer_.data() + fill_, room);
    // A reader claiming more than it was asked for is as broken as one
    // that fails; its count is never trusted for the write.
    if (!got || *got > room) return Failed(kFileReadError);
    if (*got > entry.size - read) return Failed(kFileChanged);
    read += *got;
    fill_ += *got;
    bufferedData_ += *got;
    bufferedFileData_ += *got;
    if (fill_ == buffer_.size()) {
      if (!Flush()) return Failed(kWriteError);
      if (env_.cancel.Cancelled()) return kCancelledResult;
    }
    if (*got < room) break;
  }
  if (read != entry.size) return Failed(kFileChanged);
  current_.reset();
  // A part whose last byte already went out (the buffer filled exactly at
  // its end) is done now; otherwise with the write that carries it.
  if (fill_ == 0) {
    ShowFileEnd(index);
  } else {
    endsInBuffer_.push_back(index);
  }
  return std::nullopt;
}

bool Transfer::Append(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t part = std::min(text.size() - at, buffer_.size() - fill_);
    std::copy_n(text.data() + at, part, buffer_.data() + fill_);
    fill_ += part;
    at += part;
    if (fill_ == buffer_.size() && !Flush()) return false;
  }
  return true;
}

bool Transfer::Flush() {
  if (fill_ == 0) return true;
  if (!env_.body.Write(buffer_.data(), fill_)) return false;
  fill_ = 0;
  allSent_ += bufferedData_;
  bufferedData_ = 0;
  for (const std::size_t ended : endsInBuffer_) ShowFileEnd(ended);
  endsInBuffer_.clear();
  if (current_) {
    fileSent_ += bufferedFileData_;
    bufferedFileData_ = 0;
    ShowSending(*current_);
    ReportProgress();
  }
  return true;
}

void Transfer::ShowSending(std::size_t index) {
  env_.progress.SetStatusCount(FormatFileCount(job_.jobFileCount, static_cast<std::uint32_t>(index + 1)));
  env_.progress.SetStatusMessage(kStatusSending);
}

// Both bars and the file's texts at its end, then its row and the panes.
void Transfer::ShowFileEnd(std::size_t index) {
  const UploadJobEntry& entry = job_.entries[index];
  ProgressSink& progress = env_.progress;
  progress.SetCurrentFileName(entry.path);
  progress.SetFileSizeText(FormatFileSizeText(FormatGroupedNumber(entry.size), entry.size));
  progress.SetTotalSizeText(FormatTotalSizeText(totalSizeText_, allSent_));
  progress.UpdateFileProgress(100);
  progress.UpdateTotalProgress(Percent(allSent_, job_.totalFileSize));
  progress.SetStatusCount(FormatFileCountDone(job_.jobFileCount, static_cast<std::uint32_t>(index + 1)));
  progress.SetFileStatus(index, kRowDone);
  progress.SetStatusMessage(kStatusDone);
}

void Transfer::ReportProgress() {
  const UploadJobEntry& entry = job_.entries[*current_];
  ProgressSink& progress = env_.progress;
  progress.SetCurrentFileName(entry.path);
  progress.SetFileSizeText(FormatFileSizeText(FormatGroupedNumber(entry.size), fileSent_));
  progress.SetTotalSizeText(FormatTotalSizeText(totalSizeText_, allSent_));
  progress.UpdateFileProgress(Percent(fileSent_, entry.size));
  progress.UpdateTotalProgress(Percent(allSent_, job_.totalFileSize));

  const std::uint32_t now = env_.clock.Ticks();
  if (!SampleDue(now, tSample_)) return;
  progress.SetTransferRate(BytesPerMillisecond(fileSent_ - sampleBytes_, ElapsedTicks(now, tSample_)));
  tSample_ = now;
  progress.SetFileTimeLeft(SecondsLeft(ElapsedTicks(now, tFile_), fileSent_, entry.size));
  sampleBytes_ = fileSent_;
  progress.SetTotalTimeLeft(SecondsLeft(ElapsedTicks(now, tStart_), allSent_, job_.totalFileSize));
}

}  // namespace

SendResult SendFiles(const UploadJob& job, const SendEnvironment& env) {
  return Transfer(job, env).Run();
}

}  // namespace brimlet
