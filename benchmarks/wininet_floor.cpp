#include "benchmarks/wininet_floor.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/text.h"
#include "framework/unique_handle.h"
#include "progress/portable/progress_relay.h"
#include "upload/http_upload.h"
#include "upload/listed_file.h"
#include "upload/portable/multipart.h"
#include "upload/portable/wire_name.h"

namespace bench {
namespace {

std::uint64_t SizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// Gathers body bytes into writes of one size; the buffer is allocated once.
class PieceWriter {
 public:
  PieceWriter(brimlet::HttpUpload& request, std::size_t piece) : request_(request), buffer_(piece) {}

  bool Append(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
      const std::size_t take = std::min(bytes.size() - done, buffer_.size() - used_);
      std::memcpy(buffer_.data() + used_, bytes.data() + done, take);
      used_ += take;
      done += take;
      if (used_ == buffer_.size() && !Flush()) return false;
    }
    return true;
  }

  // Reads the whole file into the writes.
  bool AppendFile(HANDLE file) {
    for (;;) {
      const std::size_t room = buffer_.size() - used_;
      DWORD got = 0;
      if (!::ReadFile(file, buffer_.data() + used_, static_cast<DWORD>(room), &got, nullptr)) return false;
      used_ += got;
      if (used_ == buffer_.size() && !Flush()) return false;
      if (got < room) return true;
    }
  }

  bool Flush() {
    if (used_ > 0 && !request_.Write(buffer_.data(), used_)) return false;
    used_ = 0;
    return true;
  }

 private:
  brimlet::HttpUpload& request_;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Adds the time of each call made through it to one of the replay's phases.
class PhaseTimer {
 public:
  explicit PhaseTimer(double& phase) : phase_(phase), start_(Clock::now()) {}
  PhaseTimer(const PhaseTimer&) = delete;
  PhaseTimer& operator=(const PhaseTimer&) = delete;
  ~PhaseTimer() { phase_ += Since(start_); }

 private:
  double& phase_;
  Clock::time_point start_;
};

class TimedReader final : public brimlet::FileReader {
 public:
  TimedReader(fw::UniqueFile file, double& reads) : file_(std::move(file)), reads_(reads) {}
  ~TimedReader() override {
    const PhaseTimer timer(reads_);
    file_.reset();
  }
  TimedReader(const TimedReader&) = delete;
  TimedReader& operator=(const TimedReader&) = delete;
  std::uint64_t Size() override {
    const PhaseTimer timer(reads_);
    return brimlet::OpenFileSize(file_.get()).value_or(0);
  }
  std::optional<std::size_t> Read(void* buffer, std::size_t capacity) override {
    const PhaseTimer timer(reads_);
    DWORD got = 0;
    if (!::ReadFile(file_.get(), buffer, static_cast<DWORD>(capacity), &got, nullptr)) return std::nullopt;
    return got;
  }

 private:
  fw::UniqueFile file_;
  double& reads_;
};

class TimedFiles final : public brimlet::FileSource {
 public:
  TimedFiles(std::vector<fw::UniqueFile>& files, double& reads) : files_(files), reads_(reads) {}
  std::unique_ptr<brimlet::FileReader> Open(std::size_t index, const std::wstring&) override {
    return std::make_unique<TimedReader>(std::move(files_[index]), reads_);
  }

 private:
  std::vector<fw::UniqueFile>& files_;
  double& reads_;
};

class TimedBody final : public brimlet::BodyWriter {
 public:
  TimedBody(brimlet::HttpUpload& request, Phases& phases) : request_(request), phases_(phases) {}
  bool Begin(std::string& failureText) override {
    const PhaseTimer timer(phases_.request);
    return request_.Begin(failureText);
  }
  bool Write(const void* data, std::size_t size) override {
    const PhaseTimer timer(phases_.writes);
    return request_.Write(data, size);
  }

 private:
  brimlet::HttpUpload& request_;
  Phases& phases_;
};

class TickClock final : public brimlet::Clock {
 public:
  std::uint32_t Ticks() override { return ::GetTickCount(); }
};

class NeverCancelled final : public brimlet::CancelTest {
 public:
  bool Cancelled() override { return false; }
};

}  // namespace

std::vector<std::string> FilesOf(const std::string& folder) {
  std::vector<std::string> paths;
  WIN32_FIND_DATAA found{};
  HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return paths;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) paths.push_back(folder + "\\" + found.cFileName);
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  return paths;
}

brimlet::UploadJob JobOf(const std::vector<std::string>& paths, const std::string& url) {
  brimlet::UploadJob job;
  job.url = url;
  for (const std::string& path : paths) {
    brimlet::AddJobFile(job, fw::WideFromNarrow(path), path, "", SizeOf(path), "application/octet-stream");
  }
  return job;
}

std::optional<double> PostFloor(const brimlet::UploadJob& job, std::size_t piece, FloorWrites writes) {
  const auto url = brimlet::SplitUploadUrl(job.url);
  if (!url || piece == 0) return std::nullopt;
  const auto start = std::chrono::steady_clock::now();
  brimlet::HttpUpload request;
  std::string failure;
  if (!request.Open(*url, brimlet::ContentLength(job), {}, [](const std::string&) {}) || !request.Begin(failure))
    return std::nullopt;
  PieceWriter writer(request, piece);
  for (const brimlet::UploadJobEntry& entry : job.entries) {
    const fw::UniqueFile file(::CreateFileW(entry.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file || !writer.Append(entry.boundaryLine + entry.partHeader) || !writer.AppendFile(file.get()))
      return std::nullopt;
    if (writes == FloorWrites::kOnePerFile && !writer.Flush()) return std::nullopt;
  }
  if (!writer.Append(brimlet::Trailer()) || !writer.Flush() || !request.End()) return std::nullopt;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::optional<double> FloorRate(const brimlet::UploadJob& job, std::optional<double> seconds) {
  if (!seconds || !(*seconds > 0)) return std::nullopt;
  return static_cast<double>(brimlet::ContentLength(job)) / *seconds;
}

}  // namespace bench

namespace bench {

std::optional<Phases> ReplayPhases(const std::vector<std::string>& paths, const std::string& url) {
  const auto parts = brimlet::SplitUploadUrl(url);
  if (!parts) return std::nullopt;
  Phases phases;
  std::vector<fw::UniqueFile> files;
  std::vector<std::uint64_t> sizes;
  {
    const PhaseTimer timer(phases.opens);
    for (const std::string& path : paths) {
      fw::UniqueFile file = brimlet::OpenListedFile(fw::WideFromNarrow(path), FILE_FLAG_SEQUENTIAL_SCAN);
      const std::optional<std::uint64_t> size = brimlet::OpenFileSize(file.get());
      if (!size) return std::nullopt;
      files.push_back(std::move(file));
      sizes.push_back(*size);
    }
  }
  brimlet::UploadJob job;
  job.url = url;
  brimlet::ProgressRelay relay;
  {
    const PhaseTimer timer(phases.framing);
    for (std::size_t i = 0; i < paths.size(); ++i) {
      const std::wstring path = fw::WideFromNarrow(paths[i]);
      brimlet::AddJobFile(job, path, brimlet::WireName(path, &fw::AnsiCharacter), "", sizes[i],
                          "application/octet-stream");
    }
  }
  brimlet::HttpUpload request;
  {
    const PhaseTimer timer(phases.request);
    if (!request.Open(*parts, brimlet::ContentLength(job), {}, [](const std::string&) {})) return std::nullopt;
  }
  TimedFiles source(files, phases.reads);
  TimedBody body(request, phases);
  TickClock clock;
  NeverCancelled cancel;
  const double requestBefore = phases.request;
  const auto loopStart = Clock::now();
  const brimlet::SendResult sent = brimlet::SendFiles(job, {source, body, relay, clock, cancel});
  const double loop = Since(loopStart);
  if (sent.outcome != brimlet::SendOutcome::kCompleted) return std::nullopt;
  // The loop's own work is what its calls out did not take.
  phases.framing += loop - phases.reads - phases.writes - (phases.request - requestBefore);
  {
    const PhaseTimer timer(phases.request);
    if (!request.End() || request.StatusCode() == 0) return std::nullopt;
  }
  return phases;
}

}  // namespace bench
