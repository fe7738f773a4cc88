// The send loop: per piece, count, report, sample, drain, test for cancel.
#include "upload/send_files.h"

#include <algorithm>
#include <vector>

#include "progress/progress_math.h"
#include "progress/progress_text.h"
#include "upload/grouped_number.h"
#include "upload/multipart.h"
#include "upload/upload_messages.h"

namespace brimlet {
namespace {

SendResult Failed(std::string message) {
  return {SendOutcome::kFailed, std::move(message)};
}

bool WriteText(BodyWriter& body, const std::string& text) {
  return text.empty() || body.Write(text.data(), text.size());
}

// Room kept in front of the pieces for a part's framing, which then goes out
// in the same write as the file's first piece: for many small files a write
// per file instead of three. Framing longer than this (a very long path)
// is written on its own.
constexpr std::size_t kFramingRoom = 4096;

// One run of the loop: the counters that live across files.
class Transfer {
 public:
  Transfer(const UploadJob& job, const SendEnvironment& env)
      : job_(job), env_(env), buffer_(kFramingRoom + kLargestPieceSize),
        totalSizeText_(FormatGroupedNumber(job.totalFileSize)) {}

  SendResult Run();

 private:
  // Sends one file's part; nothing when it went through.
  std::optional<SendResult> SendFile(std::size_t index);
  void ReportPiece(const UploadJobEntry& entry, const std::string& fileSizeText);

  const UploadJob& job_;
  const SendEnvironment& env_;
  std::vector<char> buffer_;
  const std::string totalSizeText_;
  std::uint32_t tStart_ = 0;
  std::uint32_t tFile_ = 0;
  std::uint32_t tSample_ = 0;
  std::uint32_t tPiece_ = 0;
  std::size_t pieceSize_ = kSmallestPieceSize;
  std::uint64_t fileSent_ = 0;
  std::uint64_t sampleBytes_ = 0;
  std::uint64_t allSent_ = 0;
  bool cancelled_ = false;
};

SendResult Transfer::Run() {
  ProgressSink& progress = env_.progress;
  tStart_ = env_.clock.Ticks();
  for (std::size_t i = 0; i < job_.entries.size(); ++i) {
    const UploadJobEntry& entry = job_.entries[i];
    progress.AddFileRow(i, entry.path, BaseName(entry.path, env_.isLeadByte),
                        entry.sizeText);
  }

  std::string failure;
  if (!env_.body.Begin(failure)) return Failed(failure);

  for (std::size_t i = 0; i < job_.entries.size() && !cancelled_; ++i) {
    if (auto failed = SendFile(i)) return *failed;
  }

  if (!WriteText(env_.body, Trailer())) return Failed(kWriteError);
  progress.SetStatusMessage(kStatusAwaitingReply);
  if (cancelled_ || env_.cancel.Cancelled()) return {SendOutcome::kCancelled, {}};
  return {SendOutcome::kCompleted, {}};
}

std::optional<SendResult> Transfer::SendFile(std::size_t index) {
  const UploadJobEntry& entry = job_.entries[index];
  const auto number = static_cast<std::uint32_t>(index + 1);
  ProgressSink& progress = env_.progress;

  progress.SetStatusCount(FormatFileCount(job_.jobFileCount, number));
  progress.SetFileStatus(index, kRowSending);
  progress.SetStatusMessage(kStatusSending);

  // The file is opened and measured before its framing goes out, so a file
  // that has gone or changed adds nothing to the body.
  const std::unique_ptr<FileReader> reader = env_.files.Open(entry.path);
  if (!reader) return Failed(kFileInUse);
  if (reader->Size() != entry.size) return Failed(kFileChanged);

  // The framing waits in front of the first piece, or goes at once if it
  // does not fit there.
  std::size_t framing = entry.boundaryLine.size() + entry.partHeader.size();
  if (framing <= kFramingRoom) {
    char* at = buffer_.data() + kFramingRoom - framing;
    at = std::copy(entry.boundaryLine.begin(), entry.boundaryLine.end(), at);
    std::copy(entry.partHeader.begin(), entry.partHeader.end(), at);
  } else {
    if (!WriteText(env_.body, entry.boundaryLine) || !WriteText(env_.body, entry.partHeader))
      return Failed(kWriteError);
    framing = 0;
  }

  progress.UpdateFileProgress(0);
  progress.SetCurrentFileName(entry.path);
  const std::string fileSizeText = FormatGroupedNumber(entry.size);

  tFile_ = tSample_ = tPiece_ = env_.clock.Ticks();
  fileSent_ = 0;
  sampleBytes_ = 0;
  char* const piece = buffer_.data() + kFramingRoom;
  for (;;) {
    const std::size_t asked = pieceSize_;
    const std::optional<std::size_t> read = reader->Read(piece, asked);
    // A reader claiming more than it was asked for is as broken as one
    // that fails; its count is never trusted for the write.
    if (!read || *read > asked) return Failed(kFileReadError);
    if (*read > entry.size - fileSent_) return Failed(kFileChanged);
    const std::size_t writing = framing + *read;
    if (writing > 0 && !env_.body.Write(piece - framing, writing)) return Failed(kWriteError);
    framing = 0;
    fileSent_ += *read;
    allSent_ += *read;
    ReportPiece(entry, fileSizeText);

    env_.drain.Run();
    if (env_.cancel.Cancelled()) cancelled_ = true;
    if (*read != asked || cancelled_) break;
  }

  if (fileSent_ != entry.size) {
    // Cancelled in the middle: the part stays unfinished, and so does its row.
    if (cancelled_) return std::nullopt;
    return Failed(kFileChanged);
  }
  progress.SetStatusCount(FormatFileCountDone(job_.jobFileCount, number));
  progress.SetFileStatus(index, kRowDone);
  progress.SetStatusMessage(kStatusDone);
  return std::nullopt;
}

void Transfer::ReportPiece(const UploadJobEntry& entry,
                           const std::string& fileSizeText) {
  ProgressSink& progress = env_.progress;
  progress.SetFileSizeText(FormatFileSizeText(fileSizeText, fileSent_));
  progress.SetTotalSizeText(FormatTotalSizeText(totalSizeText_, allSent_));
  progress.UpdateFileProgress(Percent(fileSent_, entry.size));
  progress.UpdateTotalProgress(Percent(allSent_, job_.totalFileSize));

  const std::uint32_t now = env_.clock.Ticks();
  pieceSize_ = NextPieceSize(pieceSize_, ElapsedTicks(now, tPiece_));
  tPiece_ = now;
  if (!SampleDue(now, tSample_)) return;
  progress.SetTransferRate(
      BytesPerMillisecond(fileSent_ - sampleBytes_, ElapsedTicks(now, tSample_)));
  tSample_ = now;
  progress.SetFileTimeLeft(
      SecondsLeft(ElapsedTicks(now, tFile_), fileSent_, entry.size));
  sampleBytes_ = fileSent_;
  progress.SetTotalTimeLeft(
      SecondsLeft(ElapsedTicks(now, tStart_), allSent_, job_.totalFileSize));
}

}  // namespace

std::size_t NextPieceSize(std::size_t current, std::uint32_t elapsedMs) {
  if (elapsedMs <= kQuickPieceMs) return std::min(current * 2, kLargestPieceSize);
  if (elapsedMs > kSlowPieceMs) return kSmallestPieceSize;
  return current;
}

SendResult SendFiles(const UploadJob& job, const SendEnvironment& env) {
  return Transfer(job, env).Run();
}

}  // namespace brimlet
