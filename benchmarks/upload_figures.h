// The upload benchmark's arithmetic and its table, free of Win32 so that the
// figures a reader compares are checked natively: rates in MB/s (10^6 bytes
// per second, as curl and most tools count), the control/curl ratio, and the
// table printed once per architecture.
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
  double cpuSeconds = 0;        // the whole process, user and kernel
  std::uint64_t peakWorkingSetBefore = 0, peakWorkingSetAfter = 0;
  std::uint64_t peakPrivateBefore = 0, peakPrivateAfter = 0;
};

struct TableRow {
  std::string payload;   // "512 MiB x 1"
  std::string receiver;  // "test", "eager"
  std::optional<double> curlBytesPerSecond;  // none when curl failed
  ControlRun control;
};

// Bytes per second in MB/s; nothing for a run that took no measurable time.
std::optional<double> MegabytesPerSecond(std::uint64_t bytes, double seconds);

// control / curl, both in bytes per second; nothing when either is missing
// or curl's rate is zero.
std::optional<double> Ratio(std::optional<double> control, std::optional<double> curl);

// curl's %{speed_upload}: a non-negative decimal, bytes per second (curl
// prints an integer, older releases a fraction). Nothing for anything else.
std::optional<double> ParseCurlSpeed(std::string_view text);

// The whole table with a title line, columns aligned, one line per row, a
// failed control run shown with its reason instead of figures.
std::string FormatTable(const std::string& title, const std::vector<TableRow>& rows);

}  // namespace bench
