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

using Line = std::vector<std::string>;

Line Cells(const TableRow& row) {
  const ControlRun& run = row.control;
  if (!run.succeeded) {
    return {row.payload, row.receiver, Rate(row.curlBytesPerSecond),
            "failed: " + (run.failure.empty() ? std::string("no outcome") : run.failure)};
  }
  const auto control = MegabytesPerSecond(run.bodyBytes, run.seconds);
  const auto controlRate = control ? std::optional<double>(*control * kMegabyte) : std::nullopt;
  const auto ratio = Ratio(controlRate, row.curlBytesPerSecond);
  return {row.payload,
          row.receiver,
          Rate(row.curlBytesPerSecond),
          control ? Fixed(*control, 1) : "-",
          ratio ? Fixed(*ratio, 2) : "-",
          Fixed(run.cpuSeconds, 2),
          BeforeAfter(run.peakWorkingSetBefore, run.peakWorkingSetAfter),
          BeforeAfter(run.peakPrivateBefore, run.peakPrivateAfter)};
}

}  // namespace

std::optional<double> MegabytesPerSecond(std::uint64_t bytes, double seconds) {
  if (!(seconds > 0)) return std::nullopt;
  return static_cast<double>(bytes) / seconds / kMegabyte;
}

std::optional<double> Ratio(std::optional<double> control, std::optional<double> curl) {
  if (!control || !curl || !(*curl > 0)) return std::nullopt;
  return *control / *curl;
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
  const Line head = {"payload",       "receiver", "curl MB/s", "control MB/s", "ratio",
                     "control CPU s", "peak working set MiB (before -> after)",
                     "peak private MiB (before -> after)"};
  std::vector<Line> lines{head};
  for (const auto& row : rows) lines.push_back(Cells(row));

  std::vector<std::size_t> widths(head.size(), 0);
  for (const auto& line : lines)
    for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());

  std::string out = title + "\n";
  for (const auto& line : lines) {
    std::string text;
    for (std::size_t i = 0; i < line.size(); ++i) {
      // The first two columns are names (left), the rest figures (right); a
      // failure text is the last cell and simply runs on.
      const bool last = i + 1 == line.size();
      const std::size_t pad = last && line.size() < head.size() ? 0 : widths[i] - line[i].size();
      if (i > 0) text += "  ";
      if (i < 2 || (last && line.size() < head.size())) {
        text += line[i] + (last ? "" : std::string(pad, ' '));
      } else {
        text += std::string(pad, ' ') + line[i];
      }
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text + "\n";
  }
  return out;
}

}  // namespace bench
