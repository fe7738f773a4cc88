// Fakes for running the whole send loop natively: files held in memory (or
// only as a length), a body writer that keeps what it was sent, a dialog
// that logs every call in order, a scripted tick counter, and a cancel that
// the "user" confirms after a chosen write.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "upload/portable/send_files.h"

namespace brimlet::testing {

// The fakes name files by their bytes; the job carries wide paths. One unit
// a byte, so any byte string, code page 949 ones included, goes and comes
// back unchanged.
inline std::wstring Units(const std::string& bytes) {
  std::wstring units;
  for (char c : bytes) units.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return units;
}
inline std::string Bytes(const std::wstring& units) {
  std::string bytes;
  for (wchar_t c : units) bytes.push_back(static_cast<char>(c));
  return bytes;
}

struct FakeFile {
  std::string content;           // the bytes read at send time
  std::uint64_t virtualSize = 0; // when set, that many zero bytes instead
  bool openable = true;
  std::optional<std::uint64_t> reportedSize;  // size at send time, if unlike content
  int failingRead = -1;          // index of a read that fails
  std::size_t claimedRead = 0;   // when set, every read claims this count
  int reads = 0;
};

class FakeFiles : public FileSource {
 public:
  std::map<std::string, FakeFile> files;

  std::unique_ptr<FileReader> Open(std::size_t, const std::wstring& path) override {
    auto it = files.find(Bytes(path));
    if (it == files.end() || !it->second.openable) return nullptr;
    return std::make_unique<Reader>(it->second);
  }

 private:
  struct Reader : FileReader {
    explicit Reader(FakeFile& f) : file(f) {}
    std::uint64_t Length() const {
      return file.virtualSize ? file.virtualSize : file.content.size();
    }
    std::uint64_t Size() override { return file.reportedSize.value_or(Length()); }
    std::optional<std::size_t> Read(void* buffer, std::size_t capacity) override {
      if (file.reads++ == file.failingRead) return std::nullopt;
      if (file.claimedRead) return file.claimedRead;
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, Length() - at));
      if (file.virtualSize) {
        std::fill_n(static_cast<char*>(buffer), n, '\0');
      } else {
        file.content.copy(static_cast<char*>(buffer), n, at);
      }
      at += n;
      return n;
    }
    FakeFile& file;
    std::uint64_t at = 0;
  };
};

class FakeBody : public BodyWriter {
 public:
  explicit FakeBody(std::vector<std::string>& log) : log_(log) {}
  std::string bytes;              // kept only while keepBytes
  bool keepBytes = true;
  std::uint64_t written = 0;
  bool beginOk = true;
  int failingWrite = -1;          // index of a write that fails
  int writes = 0;

  bool Begin(std::string& failureText) override {
    log_.push_back("begin");
    if (!beginOk) failureText = "begin refused";
    return beginOk;
  }
  bool Write(const void* data, std::size_t size) override {
    log_.push_back("write " + std::to_string(size));
    if (writes++ == failingWrite) return false;
    if (keepBytes) bytes.append(static_cast<const char*>(data), size);
    written += size;
    return true;
  }

 private:
  std::vector<std::string>& log_;
};

class FakeDialog : public ProgressSink {
 public:
  explicit FakeDialog(std::vector<std::string>& log) : log_(log) {}
  bool logPieces = true;  // off for jobs of many pieces
  std::vector<int> totalPercents;

  void AddFileRow(std::size_t i, const std::wstring& path, const std::wstring& name,
                  const std::string& sizeText) override {
    Log("row " + std::to_string(i) + " " + Bytes(path) + " " + Bytes(name) + " " + sizeText);
  }
  void SetStatusMessage(const std::string& t) override { Log("message " + t); }
  void SetStatusCount(const std::string& t) override { Log("count " + t); }
  void SetFileStatus(std::size_t i, const std::string& t) override {
    Log("status " + std::to_string(i) + " " + t);
  }
  void SetCurrentFileName(const std::wstring& t) override { Log("name " + Bytes(t)); }
  void SetFileSizeText(const std::string& t) override { Piece("file size" + t); }
  void SetTotalSizeText(const std::string& t) override { lastTotalText = t; Piece("total size " + t); }
  void UpdateFileProgress(int p) override { Piece("file % " + std::to_string(p)); }
  void UpdateTotalProgress(int p) override {
    totalPercents.push_back(p);
    Piece("total % " + std::to_string(p));
  }
  void SetTransferRate(std::uint32_t r) override { Log("rate " + std::to_string(r)); }
  void SetFileTimeLeft(std::uint32_t s) override { Log("file left " + std::to_string(s)); }
  void SetTotalTimeLeft(std::uint32_t s) override { Log("total left " + std::to_string(s)); }
  std::string lastTotalText;

 private:
  void Log(const std::string& entry) { log_.push_back(entry); }
  void Piece(const std::string& entry) { if (logPieces) Log(entry); }
  std::vector<std::string>& log_;
};

// Ticks read in turn from a script; the last value repeats.
class ScriptedClock : public Clock {
 public:
  std::vector<std::uint32_t> script{0};
  std::uint32_t Ticks() override {
    const std::uint32_t t = script[std::min(next_, script.size() - 1)];
    ++next_;
    return t;
  }

 private:
  std::size_t next_ = 0;
};

// Everything SendFiles talks to, wired together.
struct SendHarness : CancelTest {
  std::vector<std::string> log;
  FakeFiles files;
  FakeBody body{log};
  FakeDialog dialog{log};
  ScriptedClock clock;
  int cancelAfterWrites = -1;  // the user cancels once this many writes returned

  bool Cancelled() override { return cancelAfterWrites >= 0 && body.writes >= cancelAfterWrites; }

  // Fills a job the way the control does: a file that cannot be opened now
  // is refused and takes no part number.
  UploadJob Job(const std::vector<std::pair<std::string, std::string>>& listed) {
    UploadJob job;
    for (const auto& [path, type] : listed) {
      auto reader = files.Open(job.entries.size(), Units(path));
      if (!reader) continue;
      AddJobFile(job, Units(path), path, std::to_string(reader->Size()), reader->Size(), type);
    }
    return job;
  }

  SendResult Send(const UploadJob& job) {
    return SendFiles(job, {files, body, dialog, clock, *this});
  }

  bool Logged(const std::string& entry) const {
    return std::find(log.begin(), log.end(), entry) != log.end();
  }
};

}  // namespace brimlet::testing
