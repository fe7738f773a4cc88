// Files each request into the record folder: the bytes go to a hidden
// temporary file while they arrive, and only a finished request is renamed to
// its number and listed in index.txt (see record.h for the format).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "tests/receiver/record.h"

namespace receiver {

// The temporary file of one request; it disappears unless committed.
class RecordFile {
 public:
  RecordFile() = default;
  RecordFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  RecordFile(RecordFile&& other) noexcept;
  RecordFile& operator=(RecordFile&& other) noexcept;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  ~RecordFile();

  bool is_open() const { return fd_ >= 0; }
  // False once any write has failed (a full disk): the record then says so
  // through `stored` being short of `received`.
  bool Write(const char* data, std::size_t size);
  std::uint64_t written() const { return written_; }

 private:
  friend class Recorder;
  void Discard();
  int fd_ = -1;
  std::string path_;
  std::uint64_t written_ = 0;
  bool failed_ = false;
};

class Recorder {
 public:
  // Creates the folder if needed; ready() tells whether it is usable.
  explicit Recorder(std::string folder);
  bool ready() const { return ready_; }
  const std::string& folder() const { return folder_; }

  RecordFile Open(std::uint64_t connectionId);
  // Numbers the request, renames its file into place and appends its index
  // line; `entry.number` is filled in here.
  void Commit(RecordFile& file, RecordEntry& entry);

 private:
  std::string folder_;
  bool ready_ = false;
  std::mutex mutex_;
  unsigned next_ = 1;
};

}  // namespace receiver
