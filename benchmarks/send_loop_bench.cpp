// Prints what the send loop itself costs: a job of large files is
// streamed from a reader that produces bytes without a disk into a writer
// that discards them, reporting to the relay the progress dialog reads (no
// dialog takes frames from it here). Whatever rate this reaches bounds the
// loop's share of a real upload's time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "progress/portable/progress_relay.h"
#include "upload/portable/delimiter_watch.h"
#include "upload/portable/send_files.h"

namespace {

using namespace brimlet;

struct NullReader : FileReader {
  explicit NullReader(std::uint64_t size) : total(size), left(size) {}
  std::uint64_t Size() override { return total; }
  std::optional<std::size_t> Read(void* buffer, std::size_t capacity) override {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, left));
    std::memset(buffer, 'x', n);  // stands in for the copy out of the cache
    left -= n;
    return n;
  }
  const std::uint64_t total;
  std::uint64_t left;
};

struct NullFiles : FileSource {
  std::uint64_t size = 0;
  std::unique_ptr<FileReader> Open(std::size_t, const std::wstring&) override {
    return std::make_unique<NullReader>(size);
  }
};

struct NullBody : BodyWriter {
  std::uint64_t written = 0;
  std::uint64_t writes = 0;
  bool Begin(std::string&) override { return true; }
  bool Write(const void*, std::size_t n) override {
    written += n;
    ++writes;
    return true;
  }
};

struct SteadyTicks : Clock, CancelTest {
  std::uint32_t Ticks() override {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  bool Cancelled() override { return false; }
};

}  // namespace

int main() {
  const std::uint64_t fileSize = std::uint64_t{1} << 30;
  const int fileCount = 4;
  NullFiles files;
  files.size = fileSize;
  NullBody body;
  ProgressRelay relay;
  SteadyTicks env;
  UploadJob job;
  for (int i = 0; i < fileCount; ++i)
    AddJobFile(job, L"C:\\bench\\" + std::to_wstring(i) + L".bin", "C:\\bench\\" + std::to_string(i) + ".bin", "",
               fileSize, "a/b");

  const auto start = std::chrono::steady_clock::now();
  const SendResult result =
      SendFiles(job, {files, body, relay, env, env});
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("send loop: %llu bytes in %.3f s, %.0f MB/s in %llu writes%s\n",
              static_cast<unsigned long long>(body.written), seconds,
              body.written / seconds / 1e6, static_cast<unsigned long long>(body.writes),
              result.outcome == SendOutcome::kCompleted ? "" : " (FAILED)");

  // The delimiter watch alone over its hardest data: lines that miss the
  // delimiter by its last byte, so that few bytes can be skipped.
  std::string piece;
  while (piece.size() < kPieceSize) piece += "\r\n----MULTI-PARTS-FORM-DATA-BOUNDAR";
  piece.resize(kPieceSize);
  DelimiterWatch watch;
  watch.Start("\r\n\r\n");
  bool found = false;
  const auto watchStart = std::chrono::steady_clock::now();
  for (std::uint64_t done = 0; done < fileCount * fileSize; done += piece.size())
    found |= watch.Found(piece.data(), piece.size());
  const double watchSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - watchStart).count();
  std::printf("delimiter watch over near misses: %.0f MB/s%s\n",
              static_cast<double>(fileCount * fileSize) / watchSeconds / 1e6, found ? " (FOUND)" : "");
  return result.outcome == SendOutcome::kCompleted && !found ? 0 : 1;
}
