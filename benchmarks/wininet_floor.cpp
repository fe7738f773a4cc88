#include "benchmarks/wininet_floor.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/text.h"
#include "framework/unique_handle.h"
#include "upload/http_upload.h"
#include "upload/portable/multipart.h"

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
