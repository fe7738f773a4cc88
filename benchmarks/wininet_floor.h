// The floor under the control: its own request (HttpUpload: flags, header
// lines, body bytes) posted through bare WinInet from one loop that only
// reads files and writes what it read, with no dialog and no thread of its
// own. Shared by the upload benchmark, which prints it beside the control,
// and by wininet_floor_bench, which measures it at other write sizes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "benchmarks/upload_figures.h"
#include "upload/portable/send_files.h"
#include "upload/portable/upload_job.h"

namespace bench {

// The size of the control's writes, which the floor copies.
inline constexpr std::size_t kControlPieceSize = brimlet::kPieceSize;

enum class FloorWrites {
  kPacked,      // every write holds `piece` bytes of body, framing and data
                // of any number of files together; only the last is shorter
  kOnePerFile,  // as packed, but each file ends its write: a small file
                // goes in one write with its framing
};

// The files of a folder (not its subfolders), in the order the system lists them.
std::vector<std::string> FilesOf(const std::string& folder);

// A job of `paths` to `url`, as the control builds it.
brimlet::UploadJob JobOf(const std::vector<std::string>& paths, const std::string& url);

// Posts the job; the seconds it took, or nothing when a step failed.
std::optional<double> PostFloor(const brimlet::UploadJob& job, std::size_t piece, FloorWrites writes);

// The job's body bytes per second over `seconds`; nothing when there is none.
std::optional<double> FloorRate(const brimlet::UploadJob& job, std::optional<double> seconds);

// The control's own calls for one upload of `paths` (see Phases), made one
// after another on one thread, each kind timed.
std::optional<Phases> ReplayPhases(const std::vector<std::string>& paths, const std::string& url);

}  // namespace bench
