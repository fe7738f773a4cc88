// The body of an upload and the progress it reports, written over small
// interfaces so the same loop runs against the network and the dialog in the
// module and against fakes in the tests. Opening the connection and the
// request, and ending it, stay with the caller; this loop starts the body,
// streams every file between its framing lines and writes the trailer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "upload/portable/upload_job.h"

namespace brimlet {

// The body goes out in pieces of one size from one buffer, allocated once
// per upload: file data, and for small files their framing and several
// whole files packed together, so that a job of many small files costs a
// write per piece rather than three per file. Every write through WinInet
// costs a fixed round of system calls whatever its size; a large piece
// spends it on more bytes, and since the sender runs on a thread of its own
// a piece that waits for a slow link holds no window. Measured into a
// draining loopback receiver under Wine (./dev bench-upload), writes of
// 1 MiB already reach the transport's rate; larger ones add nothing but
// memory.
inline constexpr std::size_t kPieceSize = 1024 * 1024;

class FileReader {
 public:
  virtual ~FileReader() = default;
  // The file's size now, to compare with the size the job declared.
  virtual std::uint64_t Size() = 0;
  // Up to `capacity` bytes into `buffer`: the count read, 0 at the end,
  // nothing when the read failed.
  virtual std::optional<std::size_t> Read(void* buffer, std::size_t capacity) = 0;
};

class FileSource {
 public:
  virtual ~FileSource() = default;
  // Opens the job's file number `index` (from 0, in job order, each once)
  // for reading; null when it cannot be opened.
  virtual std::unique_ptr<FileReader> Open(std::size_t index, const std::wstring& path) = 0;
};

class BodyWriter {
 public:
  virtual ~BodyWriter() = default;
  // Starts the request whose body follows. On failure fills `failureText`
  // with what the user is told.
  virtual bool Begin(std::string& failureText) = 0;
  // Writes all `size` bytes (size > 0) or reports failure.
  virtual bool Write(const void* data, std::size_t size) = 0;
};

// The progress dialog as the loop drives it. The loop calls the update
// operations after every piece it writes; a dialog may redraw less often,
// but the values it is given are always the latest. A file's end is
// reported (its name, its size text and 100 percent, then its row "완료")
// only once the write holding its last byte has returned.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // One row per job file, in job order, before the body starts: its icon
  // comes from `path`, its text is `name`, its status reads "기다림".
  virtual void AddFileRow(std::size_t index, const std::wstring& path,
                          const std::wstring& name,
                          const std::string& sizeText) = 0;
  virtual void SetStatusMessage(const std::string& text) = 0;
  virtual void SetStatusCount(const std::string& text) = 0;
  virtual void SetFileStatus(std::size_t index, const std::string& text) = 0;
  virtual void SetCurrentFileName(const std::wstring& path) = 0;
  virtual void SetFileSizeText(const std::string& text) = 0;
  virtual void SetTotalSizeText(const std::string& text) = 0;
  virtual void UpdateFileProgress(int percent) = 0;
  virtual void UpdateTotalProgress(int percent) = 0;
  virtual void SetTransferRate(std::uint32_t bytesPerMs) = 0;
  virtual void SetFileTimeLeft(std::uint32_t seconds) = 0;
  virtual void SetTotalTimeLeft(std::uint32_t seconds) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds of a 32-bit counter that may wrap.
  virtual std::uint32_t Ticks() = 0;
};

class CancelTest {
 public:
  virtual ~CancelTest() = default;
  // Whether the upload was cancelled; asked after every write and before
  // every file, so it must be cheap and never wait.
  virtual bool Cancelled() = 0;
};

struct SendEnvironment {
  FileSource& files;
  BodyWriter& body;
  ProgressSink& progress;
  Clock& clock;
  CancelTest& cancel;
};

enum class SendOutcome {
  kCompleted,  // whole body written: end the request, then say "전송 완료"
  kCancelled,  // stopped at once: the request is abandoned unfinished
  kFailed,     // show `message`; the body is incomplete, abandon the request
};

struct SendResult {
  SendOutcome outcome = SendOutcome::kFailed;
  std::string message;
};

// Sends the job's body. A file that cannot be opened, has changed size since
// the job was filled, or cannot be read to its end fails the upload at once
// and its row is never marked done, so a body that disagrees with the
// declared length is never passed off as complete.
SendResult SendFiles(const UploadJob& job, const SendEnvironment& env);

}  // namespace brimlet
