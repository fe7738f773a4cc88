#include "tests/receiver/recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace receiver {

RecordFile::RecordFile(RecordFile&& other) noexcept { *this = std::move(other); }

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
  if (this != &other) {
    Discard();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
    written_ = other.written_;
    failed_ = other.failed_;
  }
  return *this;
}

RecordFile::~RecordFile() { Discard(); }

void RecordFile::Discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(path_.c_str());
  fd_ = -1;
}

bool RecordFile::Write(const char* data, std::size_t size) {
  if (fd_ < 0 || failed_) return false;
  while (size > 0) {
    const ssize_t done = ::write(fd_, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      failed_ = true;
      return false;
    }
    data += done;
    size -= static_cast<std::size_t>(done);
    written_ += static_cast<std::uint64_t>(done);
  }
  return true;
}

Recorder::Recorder(std::string folder) : folder_(std::move(folder)) {
  if (!folder_.empty() && folder_.back() == '/') folder_.pop_back();
  if (folder_.empty()) return;
  ::mkdir(folder_.c_str(), 0755);
  struct stat info {};
  ready_ = ::stat(folder_.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(folder_.c_str(), W_OK) == 0;
}

RecordFile Recorder::Open(std::uint64_t connectionId) {
  const std::string path = folder_ + "/.connection-" + std::to_string(connectionId) + ".part";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return {};
  return RecordFile(fd, path);
}

void Recorder::Commit(RecordFile& file, RecordEntry& entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  entry.number = next_++;
  if (file.fd_ >= 0) {
    ::close(file.fd_);
    file.fd_ = -1;
    const std::string final = folder_ + "/" + RecordFileName(entry.number);
    if (::rename(file.path_.c_str(), final.c_str()) != 0) ::unlink(file.path_.c_str());
  } else {
    // No temporary file could be made: an empty record still keeps the numbering whole.
    const std::string final = folder_ + "/" + RecordFileName(entry.number);
    const int fd = ::open(final.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
  }
  const std::string line = FormatRecordLine(entry);
  const std::string index = folder_ + "/index.txt";
  const int fd = ::open(index.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // One write: readers see whole lines only (they ignore an unterminated tail).
  ssize_t ignored = ::write(fd, line.data(), line.size());
  (void)ignored;
  ::close(fd);
}

}  // namespace receiver
