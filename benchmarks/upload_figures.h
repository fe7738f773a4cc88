// The upload benchmark's arithmetic and its tables, free of Win32 so that the
// figures a reader compares are checked natively: rates in MB/s (10^6 bytes
// per second, as curl and most tools count), the control's rate over the
// floor's (bare WinInet with the same writes) and over curl's, and the
// dialog's longest silence under a slow server, printed once per architecture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

// What one upload through the control cost.
struct ControlRun {
  bool succeeded = false;
  std::string failure;          // why it did not, for the table
  std::uint64_t bodyBytes = 0;  // as the receiver counted them
  double seconds = 0;           // from Upload to UploadFinish
  double callSeconds = 0;       // the page's thread held by the Upload call itself
  double cpuSeconds = 0;        // the whole process, user and kernel
  std::uint64_t peakWorkingSetBefore = 0, peakWorkingSetAfter = 0;
  std::uint64_t peakPrivateBefore = 0, peakPrivateAfter = 0;
};

struct TableRow {
  std::string payload;   // "1024 MiB x 1"
  std::string receiver;  // "test", "eager"
  std::optional<double> curlBytesPerSecond;   // none when curl failed
  std::optional<double> floorBytesPerSecond;  // none when bare WinInet failed
  ControlRun control;
};

// Bytes per second in MB/s; nothing for a run that took no measurable time.
std::optional<double> MegabytesPerSecond(std::uint64_t bytes, double seconds);

// control / other, both in bytes per second; nothing when either is missing
// or the other's rate is zero.
std::optional<double> Ratio(std::optional<double> control, std::optional<double> other);

// curl's %{speed_upload}: a non-negative decimal, bytes per second (curl
// prints an integer, older releases a fraction). Nothing for anything else.
std::optional<double> ParseCurlSpeed(std::string_view text);

// The whole table with a title line, columns aligned, one line per row, a
// failed control run shown with its reason instead of figures. The CPU time
// and the peaks (before -> after) are the control's process's over the upload.
std::string FormatTable(const std::string& title, const std::vector<TableRow>& rows);

// Where an upload's time goes when nothing waits for another thread: the
// control's own calls made one after another on one thread, each kind timed,
// in seconds.
struct Phases {
  double opens = 0;    // every file opened and measured, as the control opens it
  double framing = 0;  // the job's part headers, and the send loop's own work
                       // (framing and data copied into pieces, the progress it reports)
  double reads = 0;    // the files read, and closed
  double writes = 0;   // the body's pieces written
  double request = 0;  // the request opened and begun, ended and answered
  double Sum() const { return opens + framing + reads + writes + request; }
};

struct BreakdownRow {
  std::string payload;
  std::string receiver;
  ControlRun control;
  std::optional<Phases> phases;  // none when the replay failed
};

// For each upload: the page's thread held by Upload(), Upload to
// UploadFinish, the replayed phases in milliseconds, and what is left of the
// control's time beyond their sum: its threads starting, handing work over
// and waiting for each other, and the dialog.
std::string FormatBreakdown(const std::string& title, const std::vector<BreakdownRow>& rows);

// One upload watched by the responsiveness probe.
struct ProbedUpload {
  bool finished = false;  // UploadFinish arrived
  bool outcome = false;   // its argument
  double seconds = 0;     // Upload (or the cancel) to UploadFinish
  std::uint32_t longestUnansweredMs = 0;
  bool dialogSeen = false;
};

struct ProbeRow {
  std::string server;   // the receiver's route: "/slow-reply/6000"
  ProbedUpload whole;   // left to run to its end
  ProbedUpload cancelled;  // cancelled mid-way; seconds counts from the cancel
};

// The probe's table: for each slow server, a line for the whole upload and
// one for the upload cancelled mid-way, each with the dialog's longest
// silence, the milliseconds until UploadFinish (from Upload, or from the
// cancel) and the outcome that event reported.
std::string FormatProbeTable(const std::string& title, const std::vector<ProbeRow>& rows);

}  // namespace bench
