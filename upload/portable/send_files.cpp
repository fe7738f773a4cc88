// The send loop: files are read into one buffer, framing and data packed
// together, and the buffer is written whenever it is full; what a write
// carried is reported once it has returned.
#include "upload/portable/send_files.h"

#include <algorithm>
#include <vector>

#include "upload/portable/delimiter_watch.h"
#include "upload/portable/grouped_number.h"
#include "upload/portable/multipart.h"
#include "upload/portable/path_text.h"
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
      : m_job(job), m_env(env), m_buffer(kPieceSize),
        m_totalSizeText(FormatGroupedNumber(job.totalFileSize)) {}

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

  const UploadJob& m_job;
  const SendEnvironment& m_env;
  std::vector<char> m_buffer;
  std::size_t m_fill = 0;
  DelimiterWatch m_watch;
  const std::string m_totalSizeText;
  // What the buffer holds and no write has carried yet.
  std::uint64_t m_bufferedData = 0;         // data bytes of every file in it
  std::uint64_t m_bufferedFileData = 0;     // data bytes of the current file
  std::vector<std::size_t> m_endsInBuffer;  // files whose last byte is in it
  // The file whose part is going into the buffer, until all of it is in.
  std::optional<std::size_t> m_current;
  std::uint32_t m_tStart = 0;
  std::uint32_t m_tFile = 0;
  std::uint32_t m_tSample = 0;
  std::uint64_t m_fileSent = 0;
  std::uint64_t m_sampleBytes = 0;
  std::uint64_t m_allSent = 0;
};

SendResult Transfer::Run() {
  ProgressSink& progress = m_env.progress;
  m_tStart = m_env.clock.Ticks();
  for (std::size_t i = 0; i < m_job.entries.size(); ++i) {
    const UploadJobEntry& entry = m_job.entries[i];
    progress.AddFileRow(i, entry.path, BaseName(entry.path), entry.sizeText);
  }

  std::string failure;
  if (!m_env.body.Begin(failure)) return Failed(failure);
  if (!Append(m_job.fieldParts)) return Failed(kWriteError);

  for (std::size_t i = 0; i < m_job.entries.size(); ++i) {
    if (m_env.cancel.Cancelled()) return kCancelledResult;
    if (auto failed = SendFile(i)) return *failed;
  }
  if (!Append(Trailer()) || !Flush()) return Failed(kWriteError);
  if (m_env.cancel.Cancelled()) return kCancelledResult;
  progress.SetStatusMessage(kStatusAwaitingReply);
  return {SendOutcome::kCompleted, {}};
}

std::optional<SendResult> Transfer::SendFile(std::size_t index) {
  const UploadJobEntry& entry = m_job.entries[index];
  ShowSending(index);
  m_env.progress.SetFileStatus(index, kRowSending);

  // The file is opened and measured before its framing goes in, so a file
  // that has gone or changed adds nothing to the body.
  const std::unique_ptr<FileReader> reader = m_env.files.Open(index, entry.path);
  if (!reader) return Failed(kFileInUse);
  if (reader->Size() != entry.size) return Failed(kFileChanged);

  m_current = index;
  m_env.progress.UpdateFileProgress(0);
  m_env.progress.SetCurrentFileName(entry.path);
  m_tFile = m_tSample = m_env.clock.Ticks();
  m_fileSent = 0;
  m_sampleBytes = 0;
  m_bufferedFileData = 0;
  if (!Append(entry.boundaryLine) || !Append(entry.partHeader)) return Failed(kWriteError);
  m_watch.Start(entry.partHeader);
  std::uint64_t read = 0;
  for (;;) {
    const std::size_t room = m_buffer.size() - m_fill;
    const std::optional<std::size_t> got = reader->Read(m_buffer.data() + m_fill, room);
    // A reader claiming more than it was asked for is as broken as one
    // that fails; its count is never trusted for the write.
    if (!got || *got > room) return Failed(kFileReadError);
    if (*got > entry.size - read) return Failed(kFileChanged);
    // The piece that would complete the delimiter is never written, so no
    // receiver sees the part end there; the request is abandoned unfinished.
    if (m_watch.Found(m_buffer.data() + m_fill, *got)) return Failed(FormatDelimiterInFile(entry.wireName));
    read += *got;
    m_fill += *got;
    m_bufferedData += *got;
    m_bufferedFileData += *got;
    if (m_fill == m_buffer.size()) {
      if (!Flush()) return Failed(kWriteError);
      if (m_env.cancel.Cancelled()) return kCancelledResult;
    }
    if (*got < room) break;
  }
  if (read != entry.size) return Failed(kFileChanged);
  m_current.reset();
  // A part whose last byte already went out (the buffer filled exactly at
  // its end) is done now; otherwise with the write that carries it.
  if (m_fill == 0) {
    ShowFileEnd(index);
  } else {
    m_endsInBuffer.push_back(index);
  }
  return std::nullopt;
}

bool Transfer::Append(const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t part = std::min(text.size() - at, m_buffer.size() - m_fill);
    std::copy_n(text.data() + at, part, m_buffer.data() + m_fill);
    m_fill += part;
    at += part;
    if (m_fill == m_buffer.size() && !Flush()) return false;
  }
  return true;
}

bool Transfer::Flush() {
  if (m_fill == 0) return true;
  if (!m_env.body.Write(m_buffer.data(), m_fill)) return false;
  m_fill = 0;
  m_allSent += m_bufferedData;
  m_bufferedData = 0;
  for (const std::size_t ended : m_endsInBuffer) ShowFileEnd(ended);
  m_endsInBuffer.clear();
  if (m_current) {
    m_fileSent += m_bufferedFileData;
    m_bufferedFileData = 0;
    ShowSending(*m_current);
    ReportProgress();
  }
  return true;
}

void Transfer::ShowSending(std::size_t index) {
  m_env.progress.SetStatusCount(FormatFileCount(m_job.jobFileCount, static_cast<std::uint32_t>(index + 1)));
  m_env.progress.SetStatusMessage(kStatusSending);
}

// Both bars and the file's texts at its end, then its row and the panes.
void Transfer::ShowFileEnd(std::size_t index) {
  const UploadJobEntry& entry = m_job.entries[index];
  ProgressSink& progress = m_env.progress;
  progress.SetCurrentFileName(entry.path);
  progress.SetFileSizeText(FormatFileSizeText(FormatGroupedNumber(entry.size), entry.size));
  progress.SetTotalSizeText(FormatTotalSizeText(m_totalSizeText, m_allSent));
  progress.UpdateFileProgress(100);
  progress.UpdateTotalProgress(Percent(m_allSent, m_job.totalFileSize));
  progress.SetStatusCount(FormatFileCountDone(m_job.jobFileCount, static_cast<std::uint32_t>(index + 1)));
  progress.SetFileStatus(index, kRowDone);
  progress.SetStatusMessage(kStatusDone);
}

void Transfer::ReportProgress() {
  const UploadJobEntry& entry = m_job.entries[*m_current];
  ProgressSink& progress = m_env.progress;
  progress.SetCurrentFileName(entry.path);
  progress.SetFileSizeText(FormatFileSizeText(FormatGroupedNumber(entry.size), m_fileSent));
  progress.SetTotalSizeText(FormatTotalSizeText(m_totalSizeText, m_allSent));
  progress.UpdateFileProgress(Percent(m_fileSent, entry.size));
  progress.UpdateTotalProgress(Percent(m_allSent, m_job.totalFileSize));

  const std::uint32_t now = m_env.clock.Ticks();
  if (!SampleDue(now, m_tSample)) return;
  progress.SetTransferRate(BytesPerMillisecond(m_fileSent - m_sampleBytes, ElapsedTicks(now, m_tSample)));
  m_tSample = now;
  progress.SetFileTimeLeft(SecondsLeft(ElapsedTicks(now, m_tFile), m_fileSent, entry.size));
  m_sampleBytes = m_fileSent;
  progress.SetTotalTimeLeft(SecondsLeft(ElapsedTicks(now, m_tStart), m_allSent, m_job.totalFileSize));
}

}  // namespace

SendResult SendFiles(const UploadJob& job, const SendEnvironment& env) {
  return Transfer(job, env).Run();
}

}  // namespace brimlet
