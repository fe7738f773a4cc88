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

#include "upload/path_text.h"
#include "upload/upload_job.h"

namespace brimlet {

// File data is read and written in pieces from one buffer. Every write
// through WinInet costs a fixed round of system calls (some 70 us under
// Wine) whatever its size, so on a fast link a piece of 64 KiB spends more
// on that than on its bytes. Pieces start at the smallest size and double
// while each one takes no more than kQuickPieceMs, up to the largest. The
// dialog is serviced only between pieces, and a large piece that meets a
// full socket buffer on a slow link holds it for the piece's size over the
// link's rate; so after one piece slower than kSlowPieceMs they drop back to
// the smallest size at once. The largest is where the gain levels off: under
// Wine on loopback, 64 KiB writes reach some 450 MB/s, 256 KiB 1.1 GB/s,
// 512 KiB 1.8 GB/s and 1 MiB hardly more.
inline constexpr std::size_t kSmallestPieceSize = 65536;
inline constexpr std::size_t kLargestPieceSize = 8 * kSmallestPieceSize;
inline constexpr std::uint32_t kQuickPieceMs = 10;
inline constexpr std::uint32_t kSlowPieceMs = 100;

// The size of the next piece after one of `current` bytes that took
// `elapsedMs` from the end of the piece before it.
std::size_t NextPieceSize(std::size_t current, std::uint32_t elapsedMs);

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
  // Opens a file for reading; null when it cannot be opened.
  virtual std::unique_ptr<FileReader> Open(const std::string& path) = 0;
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
// operations after every piece; a dialog may redraw less often, but the
// values it is given are always the latest.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // One row per job file, in job order, before the body starts: its icon
  // comes from `path`, its text is `name`, its status reads "기다림".
  virtual void AddFileRow(std::size_t index, const std::string& path,
                          const std::string& name,
                          const std::string& sizeText) = 0;
  virtual void SetStatusMessage(const std::string& text) = 0;
  virtual void SetStatusCount(const std::string& text) = 0;
  virtual void SetFileStatus(std::size_t index, const std::string& text) = 0;
  virtual void SetCurrentFileName(const std::string& path) = 0;
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
  // Whether the user has confirmed cancelling; never waits.
  virtual bool Cancelled() = 0;
};

class Drain {
 public:
  virtual ~Drain() = default;
  // Runs after every piece, before the cancel test: the dialog's messages
  // are serviced here so a click on its cancel button can be noticed.
  virtual void Run() = 0;
};

struct SendEnvironment {
  FileSource& files;
  BodyWriter& body;
  ProgressSink& progress;
  Clock& clock;
  CancelTest& cancel;
  Drain& drain;
  LeadBytePredicate isLeadByte;
};

enum class SendOutcome {
  kCompleted,  // whole body written: end the request, then say "전송 완료"
  kCancelled,  // trailer written after a cancel: abandon the request
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
