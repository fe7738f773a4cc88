// wininet_floor_bench.exe: what the system's WinInet allows at best for the
// upload benchmark's payloads at several write sizes (see wininet_floor.h):
// the size of the control's writes is chosen from these figures. The
// control cannot beat the floor at its own write size; upload_bench prints
// that one beside the control.
//
//   wininet_floor_bench.exe --big FILE --folder FOLDER --url URL
//
// The large file in packed writes of the control's size and of 1, 2 and
// 4 MiB; the folder's files packed into writes of the control's size, and
// with one write per file (framing and data together), the fewest writes a
// client that never joins two files in one write can make.
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "benchmarks/wininet_floor.h"
#include "upload/http_upload.h"

namespace {

void Report(const std::string& what, const brimlet::UploadJob& job, std::optional<double> seconds) {
  const auto rate = bench::FloorRate(job, seconds);
  if (!rate) {
    std::printf("  %-52s failed\n", what.c_str());
  } else {
    std::printf("  %-52s %8.1f MB/s\n", what.c_str(), *rate / 1e6);
  }
  std::fflush(stdout);
}

std::string Size(std::size_t bytes) {
  return bytes % (1024 * 1024) == 0 ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes >> 10) + " KiB";
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int i = 1; i + 1 < argc; i += 2) options[argv[i]] = argv[i + 1];
  if (options["--big"].empty() || options["--folder"].empty() || !brimlet::SplitUploadUrl(options["--url"])) {
    std::fprintf(stderr, "usage: wininet_floor_bench.exe --big FILE --folder FOLDER --url URL\n");
    return 2;
  }
  const brimlet::UploadJob big = bench::JobOf({options["--big"]}, options["--url"]);
  const std::vector<std::string> files = bench::FilesOf(options["--folder"]);
  const brimlet::UploadJob many = bench::JobOf(files, options["--url"]);

  std::printf("bare WinInet into %s at several write sizes (the control writes %s)\n", options["--url"].c_str(),
              Size(bench::kControlPieceSize).c_str());
  std::vector<std::size_t> pieces{bench::kControlPieceSize};
  for (const std::size_t mebibytes : {1, 2, 4})
    if (mebibytes << 20 != bench::kControlPieceSize) pieces.push_back(mebibytes << 20);
  for (const std::size_t piece : pieces)
    Report("large file, " + Size(piece) + " per write", big, bench::PostFloor(big, piece, bench::FloorWrites::kPacked));
  const std::string count = std::to_string(files.size()) + " files, ";
  Report(count + "packed into " + Size(bench::kControlPieceSize) + " writes", many,
         bench::PostFloor(many, bench::kControlPieceSize, bench::FloorWrites::kPacked));
  Report(count + "one write per file", many,
         bench::PostFloor(many, bench::kControlPieceSize, bench::FloorWrites::kOnePerFile));
  return 0;
}
