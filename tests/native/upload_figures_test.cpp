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
  run.callSeconds = 0.0126;
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

TEST(UploadFigures, RatioIsControlOverTheOtherAndNeedsBoth) {
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

TEST(UploadFigures, TableShowsEachUploadBesideTheFloorAndCurlWithCpuAndMemory) {
  TableRow big{"1024 MiB x 1", "eager", 200e6, 1000e6, Finished(500000000, 2.0)};
  const auto lines = Lines(bench::FormatTable("== win64", {big}));
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("== win64", lines[0]);
  EXPECT_EQ((std::vector<std::string>{"payload", "receiver", "control MB/s", "floor MB/s", "curl MB/s",
                                      "control/floor", "control/curl", "Upload() ms", "CPU s", "peak working set MiB",
                                      "peak private MiB"}),
            CellsOf(lines[1]));
  EXPECT_EQ((std::vector<std::string>{"1024 MiB x 1", "eager", "250.0", "1000.0", "200.0", "0.25", "1.25", "13", "1.50",
                                      "40.0 -> 42.0", "10.0 -> 11.0"}),
            CellsOf(lines[2]));
}

TEST(UploadFigures, ColumnsLineUpWhateverTheWidthOfTheirCells) {
  TableRow slow{"2000 x 64 KiB", "test", 7e6, 12e6, Finished(9000000, 1.0)};
  TableRow fast{"1024 MiB x 1", "eager", 1234e6, 3210e6, Finished(987654321, 0.5)};
  const auto lines = Lines(bench::FormatTable("t", {slow, fast}));
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(lines[1].size(), lines[2].size());
  EXPECT_EQ(lines[1].size(), lines[3].size());
  // Right-aligned figures end where their heading ends.
  const std::size_t curlEnd = lines[1].find("curl MB/s") + std::string("curl MB/s").size();
  EXPECT_EQ(curlEnd, lines[2].find("7.0") + 3);
  EXPECT_EQ(curlEnd, lines[3].find("1234.0") + 6);
  const std::size_t floorEnd = lines[1].find("floor MB/s") + std::string("floor MB/s").size();
  EXPECT_EQ(floorEnd, lines[2].find("12.0") + 4);
  EXPECT_EQ(floorEnd, lines[3].find("3210.0") + 6);
}

TEST(UploadFigures, AFailedUploadShowsItsReasonAndNoFigures) {
  ControlRun failed;
  failed.failure = "UploadFinish(false) 오류";
  TableRow row{"1024 MiB x 1", "test", 200e6, 900e6, failed};
  const auto lines = Lines(bench::FormatTable("t", {row}));
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ((std::vector<std::string>{"1024 MiB x 1", "test", "failed: UploadFinish(false) 오류"}), CellsOf(lines[2]));
}

TEST(UploadFigures, MissingFloorOrCurlFigureLeavesItsRatioOpen) {
  TableRow row{"1024 MiB x 1", "test", std::nullopt, 400e6, Finished(100000000, 1.0)};
  TableRow noFloor{"1024 MiB x 1", "eager", 50e6, std::nullopt, Finished(100000000, 1.0)};
  const auto lines = Lines(bench::FormatTable("t", {row, noFloor}));
  ASSERT_EQ(4u, lines.size());
  // No ratio is made up: the missing figure and its ratio say there is none.
  EXPECT_EQ((std::vector<std::string>{"1024 MiB x 1", "test", "100.0", "400.0", "-", "0.25", "-", "13", "1.50",
                                      "40.0 -> 42.0", "10.0 -> 11.0"}),
            CellsOf(lines[2]));
  EXPECT_EQ((std::vector<std::string>{"1024 MiB x 1", "eager", "100.0", "-", "50.0", "-", "2.00", "13", "1.50",
                                      "40.0 -> 42.0", "10.0 -> 11.0"}),
            CellsOf(lines[3]));
}

TEST(UploadFigures, ProbeTableShowsTheLongestSilenceAndTheCancelsEndPerServer) {
  bench::ProbeRow reply{"/slow-reply/6000", {true, true, 6.4321, 8053, true}, {true, false, 0.0126, 40, true}};
  bench::ProbeRow read{"/slow-read/204800", {true, true, 15.0, 17010, true}, {false, false, 0, 0, false}};
  const auto lines = Lines(bench::FormatProbeTable("== win64 probe", {reply, read}));
  ASSERT_EQ(6u, lines.size());
  EXPECT_EQ("== win64 probe", lines[0]);
  EXPECT_EQ((std::vector<std::string>{"server", "upload", "longest unanswered ms", "until UploadFinish ms",
                                      "outcome"}),
            CellsOf(lines[1]));
  EXPECT_EQ((std::vector<std::string>{"/slow-reply/6000", "whole", "8053", "6432", "true"}), CellsOf(lines[2]));
  EXPECT_EQ((std::vector<std::string>{"/slow-reply/6000", "cancelled", "40", "13", "false"}), CellsOf(lines[3]));
  EXPECT_EQ((std::vector<std::string>{"/slow-read/204800", "whole", "17010", "15000", "true"}), CellsOf(lines[4]));
  // A run whose dialog never showed says so rather than claim a silence of 0.
  EXPECT_EQ((std::vector<std::string>{"/slow-read/204800", "cancelled", "no dialog"}), CellsOf(lines[5]));
  EXPECT_EQ(lines[1].size(), lines[2].size());
  EXPECT_EQ(lines[1].size(), lines[4].size());
}

}  // namespace

TEST(UploadFigures, BreakdownShowsEachPhaseAndWhatTheThreadsAddedBeyondThem) {
  bench::Phases phases;
  phases.opens = 0.2104;
  phases.framing = 0.0131;
  phases.reads = 0.1182;
  phases.writes = 0.0426;
  phases.request = 0.0041;
  bench::BreakdownRow done{"2000 x 64 KiB", "eager", Finished(131000000, 0.6021), phases};
  bench::BreakdownRow noReplay{"2000 x 64 KiB", "test", Finished(131000000, 0.9), std::nullopt};
  ControlRun failed;
  failed.failure = "no UploadFinish";
  bench::BreakdownRow noControl{"2000 x 64 KiB", "test", failed, phases};
  const auto lines = Lines(bench::FormatBreakdown("where", {done, noReplay, noControl}));
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ((std::vector<std::string>{"payload", "receiver", "Upload() ms", "to UploadFinish ms", "opens ms",
                                      "framing ms", "reads ms", "writes ms", "request ms", "sum ms", "threads ms"}),
            CellsOf(lines[1]));
  // 210 + 13 + 118 + 43 + 4 = 388 of the 602 ms; the threads took the other 214.
  EXPECT_EQ((std::vector<std::string>{"2000 x 64 KiB", "eager", "13", "602", "210", "13", "118", "43", "4", "388",
                                      "214"}),
            CellsOf(lines[2]));
  EXPECT_EQ((std::vector<std::string>{"2000 x 64 KiB", "test", "failed: the replay"}), CellsOf(lines[3]));
  EXPECT_EQ((std::vector<std::string>{"2000 x 64 KiB", "test", "failed: the control"}), CellsOf(lines[4]));
}
