// The upload benchmark's figures as a reader of its table compares them.
#include "benchmarks/upload_figures.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using bench::ControlRun;
using bench::TableRow;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A table line cut into its cells: cells are kept apart by two spaces or more.
std::vector<std::string> CellsOf(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t begin = 0;
  while (begin < line.size()) {
    std::size_t end = line.find("  ", begin);
    if (end == std::string::npos) end = line.size();
    if (end > begin) cells.push_back(line.substr(begin, end - begin));
    begin = line.find_first_not_of(' ', end);
    if (begin == std::string::npos) break;
  }
  return cells;
}

ControlRun Finished(std::uint64_t bytes, double seconds) {
  ControlRun run;
  run.succeeded = true;
  run.bodyBytes = bytes;
  run.seconds = seconds;
  run.cpuSeconds = 1.5;
  run.peakWorkingSetBefore = 40 << 20;
  run.peakWorkingSetAfter = 42 << 20;
  run.peakPrivateBefore = 10 << 20;
  run.peakPrivateAfter = 11 << 20;
  return run;
}

TEST(UploadFigures, RatesAreDecimalMegabytesPerSecond) {
  EXPECT_DOUBLE_EQ(250.0, *bench::MegabytesPerSecond(500000000, 2.0));
  EXPECT_DOUBLE_EQ(0.5, *bench::MegabytesPerSecond(1000000, 2.0));
  EXPECT_FALSE(bench::MegabytesPerSecond(100, 0.0));
  EXPECT_FALSE(bench::MegabytesPerSecond(100, -1.0));
}

TEST(UploadFigures, RatioIsControlOverCurlAndNeedsBoth) {
  EXPECT_DOUBLE_EQ(1.5, *bench::Ratio(300.0, 200.0));
  EXPECT_FALSE(bench::Ratio(std::nullopt, 200.0));
  EXPECT_FALSE(bench::Ratio(300.0, std::nullopt));
  EXPECT_FALSE(bench::Ratio(300.0, 0.0));
}

TEST(UploadFigures, CurlSpeedIsReadAsCurlPrintsItAndNothingElse) {
  EXPECT_DOUBLE_EQ(235000000.0, *bench::ParseCurlSpeed("235000000"));
  EXPECT_DOUBLE_EQ(1234.5, *bench::ParseCurlSpeed("1234.500\n"));
  EXPECT_DOUBLE_EQ(0.0, *bench::ParseCurlSpeed("0"));
  for (const char* bad : {"", "\n", "-5", "+5", "1e9", "inf", "nan", "0x10", "1.2.3", ".", "12 MB", "abc"})
    EXPECT_FALSE(bench::ParseCurlSpeed(bad)) << bad;
}

TEST(UploadFigures, TableShowsEachUploadWithCurlControlRatioCpuAndMemory) {
  TableRow big{"512 MiB x 1", "eager", 200e6, Finished(500000000, 2.0)};
  const auto lines = Lines(bench::FormatTable("== win64", {big}));
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("== win64", lines[0]);
  for (const char* column : {"payload", "receiver", "curl MB/s", "control MB/s", "ratio", "control CPU s",
                             "peak working set", "peak private"})
    EXPECT_NE(std::string::npos, lines[1].find(column)) << column;
  EXPECT_EQ((std::vector<std::string>{"512 MiB x 1", "eager", "200.0", "250.0", "1.25", "1.50",
                                      "40.0 -> 42.0", "10.0 -> 11.0"}),
            CellsOf(lines[2]));
}

TEST(UploadFigures, ColumnsLineUpWhateverTheWidthOfTheirCells) {
  TableRow slow{"2000 x 64 KiB", "test", 9e6, Finished(9000000, 1.0)};
  TableRow fast{"512 MiB x 1", "eager", 1234e6, Finished(987654321, 0.5)};
  const auto lines = Lines(bench::FormatTable("t", {slow, fast}));
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(lines[1].size(), lines[2].size());
  EXPECT_EQ(lines[1].size(), lines[3].size());
  // Right-aligned figures end where their heading ends.
  const std::size_t curlEnd = lines[1].find("curl MB/s") + std::string("curl MB/s").size();
  EXPECT_EQ(curlEnd, lines[2].find("9.0") + 3);
  EXPECT_EQ(curlEnd, lines[3].find("1234.0") + 6);
}

TEST(UploadFigures, AFailedUploadShowsItsReasonAndNoFigures) {
  ControlRun failed;
  failed.failure = "UploadFinish(false) 오류";
  TableRow row{"512 MiB x 1", "test", 200e6, failed};
  const auto lines = Lines(bench::FormatTable("t", {row}));
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ((std::vector<std::string>{"512 MiB x 1", "test", "200.0", "failed: UploadFinish(false) 오류"}),
            CellsOf(lines[2]));
}

TEST(UploadFigures, MissingCurlFigureLeavesRatioOpen) {
  TableRow row{"512 MiB x 1", "test", std::nullopt, Finished(100000000, 1.0)};
  const auto lines = Lines(bench::FormatTable("t", {row}));
  ASSERT_EQ(3u, lines.size());
  // No ratio is made up: the curl and ratio cells say there is none.
  EXPECT_EQ((std::vector<std::string>{"512 MiB x 1", "test", "-", "100.0", "-", "1.50", "40.0 -> 42.0",
                                      "10.0 -> 11.0"}),
            CellsOf(lines[2]));
}

}  // namespace
