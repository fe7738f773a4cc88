// wininet_floor_bench.exe: what the system's WinInet allows at best for the
// upload benchmark's payloads, with no control, no dialog and no thread of
// its own: the control's own request (HttpUpload: flags, header lines, body
// bytes) fed from one loop that only reads files and writes what it read. The control cannot
// beat these figures; ./dev bench-upload prints them beside its own.
//
//   wininet_floor_bench.exe --big FILE --folder FOLDER --url URL
//
// Three runs: the large file in fixed pieces of the control's smallest and
// largest sizes (one write per piece, the framing written apart), and the
// folder's files with one write per file (framing and data together), the
// fewest writes any client of WinInet can make per file.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "upload/http_upload.h"
#include "upload/multipart.h"
#include "upload/send_files.h"
#include "upload/upload_job.h"
#include "upload/url_parts.h"

namespace {

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

std::uint64_t SizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// Reads up to `size` bytes of an open file into `into`; the count read.
std::size_t ReadInto(HANDLE file, char* into, std::size_t size) {
  DWORD got = 0;
  return ::ReadFile(file, into, static_cast<DWORD>(size), &got, nullptr) ? got : 0;
}

// Posts the job; `framingWithData` puts each part's framing in the write of
// its first piece. Returns the seconds it took, or a negative number.
double Post(const brimlet::UploadJob& job, const brimlet::UrlParts& url, std::size_t piece,
            bool framingWithData) {
  const auto start = std::chrono::steady_clock::now();
  HttpUpload request;
  std::string failure;
  if (!request.Open(url, brimlet::ContentLength(job), [](const std::string&) {}) || !request.Begin(failure))
    return -1;
  std::vector<char> buffer(piece + 4096);
  for (const brimlet::UploadJobEntry& entry : job.entries) {
    const std::string framing = entry.boundaryLine + entry.partHeader;
    std::size_t pending = 0;
    if (framingWithData && framing.size() <= 4096) {
      framing.copy(buffer.data(), framing.size());
      pending = framing.size();
    } else if (!request.Write(framing.data(), framing.size())) {
      return -1;
    }
    const fw::UniqueFile file(::CreateFileA(entry.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return -1;
    for (;;) {
      const std::size_t got = ReadInto(file.get(), buffer.data() + pending, piece);
      if (pending + got > 0 && !request.Write(buffer.data(), pending + got)) return -1;
      pending = 0;
      if (got < piece) break;
    }
  }
  const std::string trailer = brimlet::Trailer();
  if (!request.Write(trailer.data(), trailer.size()) || !request.End()) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

brimlet::UploadJob JobOf(const std::vector<std::string>& paths, const std::string& url) {
  brimlet::UploadJob job;
  job.url = url;
  for (const std::string& path : paths) brimlet::AddJobFile(job, path, "", SizeOf(path), "application/octet-stream");
  return job;
}

void Report(const char* what, const brimlet::UploadJob& job, double seconds) {
  if (seconds < 0) {
    std::printf("  %-44s failed\n", what);
  } else {
    std::printf("  %-44s %8.1f MB/s\n", what, static_cast<double>(brimlet::ContentLength(job)) / seconds / 1e6);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int i = 1; i + 1 < argc; i += 2) options[argv[i]] = argv[i + 1];
  const auto url = SplitUploadUrl(options["--url"]);
  if (options["--big"].empty() || options["--folder"].empty() || !url) {
    std::fprintf(stderr, "usage: wininet_floor_bench.exe --big FILE --folder FOLDER --url URL\n");
    return 2;
  }
  const brimlet::UploadJob big = JobOf({options["--big"]}, options["--url"]);
  const std::vector<std::string> files = FilesOf(options["--folder"]);
  const brimlet::UploadJob many = JobOf(files, options["--url"]);

  std::printf("bare WinInet into %s (the floor under the control)\n", options["--url"].c_str());
  for (const std::size_t piece : {brimlet::kPieceSize}) {
    const std::string name = "large file, " + std::to_string(piece / 1024) + " KiB per write";
    Report(name.c_str(), big, Post(big, *url, piece, false));
  }
  const std::string manyName = std::to_string(files.size()) + " files, one write per file";
  Report(manyName.c_str(), many, Post(many, *url, brimlet::kPieceSize, true));
  return 0;
}
