#include "benchmarks/upload_figures.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace bench {
namespace {

constexpr double kMegabyte = 1e6;
constexpr double kMebibyte = 1024.0 * 1024.0;

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Mib(std::uint64_t bytes) { return Fixed(static_cast<double>(bytes) / kMebibyte, 1); }

std::string BeforeAfter(std::uint64_t before, std::uint64_t after) {
  return Mib(before) + " -> " + Mib(after);
}

std::string Rate(std::optional<double> bytesPerSecond) {
  return bytesPerSecond ? Fixed(*bytesPerSecond / kMegabyte, 1) : "-";
}

std::string RatioText(std::optional<double> ratio) { return ratio ? Fixed(*ratio, 2) : "-"; }

using Line = std::vector<std::string>;

Line Cells(const TableRow& row) {
  const ControlRun& run = row.control;
  if (!run.succeeded) {
    return {row.payload, row.receiver, "failed: " + (run.failure.empty() ? std::string("no outcome") : run.failure)};
  }
  const auto control = MegabytesPerSecond(run.bodyBytes, run.seconds);
  const auto controlRate = control ? std::optional<double>(*control * kMegabyte) : std::nullopt;
  return {row.payload,
          row.receiver,
          control ? Fixed(*control, 1) : "-",
          Rate(row.floorBytesPerSecond),
          Rate(row.curlBytesPerSecond),
          RatioText(Ratio(controlRate, row.floorBytesPerSecond)),
          RatioText(Ratio(controlRate, row.curlBytesPerSecond)),
          Fixed(run.callSeconds * 1000, 0),
          Fixed(run.cpuSeconds, 2),
          BeforeAfter(run.peakWorkingSetBefore, run.peakWorkingSetAfter),
          BeforeAfter(run.peakPrivateBefore, run.peakPrivateAfter)};
}

// The lines under a title, columns aligned: the first `names` columns are
// names (left), the rest figures (right). A line shorter than the heading
// ends in a text (a failure) that simply runs on.
std::string Aligned(const std::string& title, const std::vector<Line>& lines, std::size_t names) {
  const std::size_t columns = lines.front().size();
  std::vector<std::size_t> widths(columns, 0);
  for (const auto& line : lines)
    for (std::size_t i = 0; i < line.size(); ++i)
      if (line.size() == columns || i + 1 < line.size()) widths[i] = std::max(widths[i], line[i].size());

  std::string out = title + "\n";
  for (const auto& line : lines) {
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const bool runsOn = i + 1 == line.size() && line.size() < columns;
      const std::size_t pad = runsOn ? 0 : widths[i] - line[i].size();
      if (i > 0) text += "  ";
      if (i < names || runsOn) {
        text += line[i] + std::string(pad, ' ');
      } else {
        text += std::string(pad, ' ') + line[i];
      }
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text + "\n";
  }
  return out;
}

std::string Milliseconds(double seconds) { return Fixed(seconds * 1000, 0); }

Line ProbeLine(const std::string& server, const char* upload, const ProbedUpload& run) {
  if (!run.dialogSeen) return {server, upload, "no dialog"};
  return {server, upload, std::to_string(run.longestUnansweredMs), run.finished ? Milliseconds(run.seconds) : "none",
          run.finished ? (run.outcome ? "true" : "false") : "-"};
}

}  // namespace

std::optional<double> MegabytesPerSecond(std::uint64_t bytes, double seconds) {
  if (!(seconds > 0)) return std::nullopt;
  return static_cast<double>(bytes) / seconds / kMegabyte;
}

std::optional<double> Ratio(std::optional<double> control, std::optional<double> other) {
  if (!control || !other || !(*other > 0)) return std::nullopt;
  return *control / *other;
}

std::optional<double> ParseCurlSpeed(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.remove_suffix(1);
  if (text.empty() || text.size() > 40) return std::nullopt;
  const std::string copy(text);
  // Digits with at most one point: strtod alone would also take "inf",
  // hexadecimal and signs.
  if (std::count(copy.begin(), copy.end(), '.') > 1 ||
      !std::all_of(copy.begin(), copy.end(),
                   [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) ||
      copy == ".")
    return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string FormatTable(const std::string& title, const std::vector<TableRow>& rows) {
  std::vector<Line> lines{{"payload", "receiver", "control MB/s", "floor MB/s", "curl MB/s", "control/floor",
                           "control/curl", "Upload() ms", "CPU s", "peak working set MiB", "peak private MiB"}};
  for (const auto& row : rows) lines.push_back(Cells(row));
  return Aligned(title, lines, 2);
}

std::string FormatBreakdown(const std::string& title, const std::vector<BreakdownRow>& rows) {
  std::vector<Line> lines{{"payload", "receiver", "Upload() ms", "to UploadFinish ms", "opens ms", "framing ms",
                           "reads ms", "writes ms", "request ms", "sum ms", "threads ms"}};
  for (const auto& row : rows) {
    const ControlRun& run = row.control;
    if (!run.succeeded || !row.phases) {
      lines.push_back({row.payload, row.receiver, run.succeeded ? "failed: the replay" : "failed: the control"});
      continue;
    }
    const Phases& phases = *row.phases;
    lines.push_back({row.payload, row.receiver, Milliseconds(run.callSeconds), Milliseconds(run.seconds),
                     Milliseconds(phases.opens), Milliseconds(phases.framing), Milliseconds(phases.reads),
                     Milliseconds(phases.writes), Milliseconds(phases.request), Milliseconds(phases.Sum()),
                     Milliseconds(run.seconds - phases.Sum())});
  }
  return Aligned(title, lines, 2);
}

std::string FormatProbeTable(const std::string& title, const std::vector<ProbeRow>& rows) {
  std::vector<Line> lines{{"server", "upload", "longest unanswered ms", "until UploadFinish ms", "outcome"}};
  for (const auto& row : rows) {
    lines.push_back(ProbeLine(row.server, "whole", row.whole));
    lines.push_back(ProbeLine(row.server, "cancelled", row.cancelled));
  }
  return Aligned(title, lines, 2);
}

}  // namespace bench
