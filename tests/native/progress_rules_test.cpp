// Percentages, bar positions, panes, sampling and the dialog's texts.
#include <gtest/gtest.h>

#include "progress/portable/progress_math.h"
#include "progress/portable/progress_relay.h"
#include "progress/portable/progress_text.h"
#include "upload/portable/transfer_math.h"
#include "upload/portable/upload_messages.h"

namespace brimlet {
namespace {

TEST(ProgressMathTest, PercentIsWholeAndNeverWraps) {
  EXPECT_EQ(0, Percent(0, 10));
  EXPECT_EQ(33, Percent(1, 3));
  EXPECT_EQ(99, Percent(999, 1000));
  EXPECT_EQ(100, Percent(1000, 1000));
  EXPECT_EQ(100, Percent(0, 0));  // an empty file is all sent
  EXPECT_EQ(50, Percent(0xFFFFFFFFu, 0x1FFFFFFFEu));
  EXPECT_EQ(99, Percent(0xFFFFFFFFFFFFFFFEu, 0xFFFFFFFFFFFFFFFFu));
  EXPECT_EQ(50, Percent(0x7FFFFFFFFFFFFFFFu, 0xFFFFFFFFFFFFFFFEu));
  for (std::uint64_t size = 1; size <= 300; ++size)
    for (std::uint64_t done = 0; done <= size; ++done)
      ASSERT_EQ(static_cast<int>(done * 100 / size), Percent(done, size)) << done << "/" << size;
}

TEST(ProgressMathTest, BarPositionFollowsTheRange) {
  EXPECT_EQ(0, BarPosition(0, 0, 100));
  EXPECT_EQ(45, BarPosition(45, 0, 100));
  EXPECT_EQ(100, BarPosition(100, 0, 100));
  EXPECT_EQ(50, BarPosition(100, 50, 150));
  EXPECT_EQ(100, BarPosition(250, 0, 100));
  EXPECT_EQ(0, BarPosition(-5, 0, 100));
  EXPECT_EQ(std::nullopt, BarPosition(10, 0, 0));
  EXPECT_EQ(std::nullopt, BarPosition(10, 7, 7));
}

TEST(ProgressMathTest, StatusPanesSplitInThirds) {
  EXPECT_EQ((std::array<int, 3>{100, 200, 400}), StatusPaneRightEdges(300));
  EXPECT_EQ((std::array<int, 3>{133, 266, 532}), StatusPaneRightEdges(400));
}

TEST(ProgressMathTest, SamplingAfterMoreThanASecondAcrossAWrap) {
  EXPECT_FALSE(SampleDue(1000, 0));
  EXPECT_TRUE(SampleDue(1001, 0));
  // 512 ms up to the wrap, then 488 or 489 after it.
  EXPECT_FALSE(SampleDue(488, 0xFFFFFE00u));
  EXPECT_TRUE(SampleDue(489, 0xFFFFFE00u));
  EXPECT_EQ(1001u, ElapsedTicks(489, 0xFFFFFE00u));
}

TEST(ProgressMathTest, RateAndTimeLeft) {
  EXPECT_EQ(654u, BytesPerMillisecond(655360, 1001));
  EXPECT_EQ(0u, BytesPerMillisecond(5, 0));
  EXPECT_EQ(4u, SecondsLeft(2000, 1000, 3000));
  EXPECT_EQ(0u, SecondsLeft(2000, 0, 3000));  // nothing to judge by yet
  EXPECT_EQ(0u, SecondsLeft(2000, 3000, 3000));
  EXPECT_EQ(0xFFFFFFFFu, SecondsLeft(0xFFFFFFFFu, 1, 0xFFFFFFFFFFFFu));
}

// The relay between the sender and the dialog's timer: a frame only when
// something changed, rows and statuses handed over once, the latest values
// otherwise, and the end of a file the dialog showed unfinished replayed
// before whatever followed it.
TEST(ProgressRelayTest, FramesCarryTheLatestStateAndTheEndOfAWatchedFile) {
  ProgressRelay relay;
  const std::optional<ProgressFrame> first = relay.Take();
  EXPECT_FALSE(first) << "a frame before anything was reported";

  relay.AddFileRow(0, L"C:\\big.bin", L"big.bin", "3,000");
  relay.AddFileRow(1, L"C:\\small.txt", L"small.txt", "4");
  relay.SetFileStatus(0, "전송중");
  relay.SetCurrentFileName(L"C:\\big.bin");
  relay.UpdateFileProgress(10);
  relay.UpdateFileProgress(40);
  relay.UpdateTotalProgress(39);
  std::optional<ProgressFrame> frame = relay.Take();
  ASSERT_TRUE(frame);
  EXPECT_EQ(2u, frame->newRows.size());
  EXPECT_EQ(L"small.txt", frame->newRows[1].name);
  EXPECT_EQ("전송중", frame->rowStatuses[0]);
  EXPECT_EQ("준비", frame->state.message);
  EXPECT_EQ(40, frame->state.filePercent);
  EXPECT_FALSE(relay.Take()) << "the same frame twice";

  // The watched file ends and the next one is well under way before the
  // dialog looks again: first the end, then the latest.
  relay.SetFileSizeText("(3,000 중 3,000 전송)");
  relay.UpdateFileProgress(100);
  relay.UpdateTotalProgress(99);
  relay.SetFileStatus(0, "완료");
  relay.SetCurrentFileName(L"C:\\small.txt");
  relay.UpdateFileProgress(0);
  relay.UpdateTotalProgress(99);
  relay.SetStatusMessage("파일 전송중...");
  frame = relay.Take();
  ASSERT_TRUE(frame);
  EXPECT_EQ(L"C:\\big.bin", frame->state.currentFile);
  EXPECT_EQ(100, frame->state.filePercent);
  EXPECT_EQ("(3,000 중 3,000 전송)", frame->state.fileSizeText);
  EXPECT_EQ("완료", frame->rowStatuses[0]);
  frame = relay.Take();
  ASSERT_TRUE(frame);
  EXPECT_EQ(L"C:\\small.txt", frame->state.currentFile);
  EXPECT_EQ(0, frame->state.filePercent);
  EXPECT_EQ("파일 전송중...", frame->state.message);
  EXPECT_TRUE(frame->rowStatuses.empty());

  // The file on screen ends, then two more start and end between two
  // frames: only the watched one is replayed.
  relay.UpdateFileProgress(100);
  relay.UpdateTotalProgress(99);
  for (const wchar_t* unseen : {L"C:\\next.txt", L"C:\\last.txt"}) {
    relay.SetCurrentFileName(unseen);
    relay.UpdateFileProgress(0);
    relay.UpdateTotalProgress(99);
    relay.UpdateFileProgress(100);
    relay.UpdateTotalProgress(100);
  }
  frame = relay.Take();
  ASSERT_TRUE(frame);
  EXPECT_EQ(L"C:\\small.txt", frame->state.currentFile);
  EXPECT_EQ(100, frame->state.filePercent);
  frame = relay.Take();
  ASSERT_TRUE(frame);
  EXPECT_EQ(L"C:\\last.txt", frame->state.currentFile);
  EXPECT_EQ(100, frame->state.totalPercent);
  EXPECT_FALSE(relay.Take());
}

TEST(ProgressTextTest, TimeLeft) {
  const struct {
    std::uint32_t seconds;
    const char* text;
  } rows[] = {{0, "0초"},        {45, "45초"},       {59, "59초"},
              {60, "1분"},       {61, "1분 1초"},    {180, "3분"},
              {200, "3분 20초"}, {4294967295u, "71582788분 15초"}};
  for (const auto& row : rows) EXPECT_EQ(row.text, FormatTimeLeft(row.seconds));
  EXPECT_EQ("45초 (1,000 중 5 전송)",
            FormatFileTimeLine(45, FormatFileSizeText("1,000", 5)));
  EXPECT_EQ("3분 20초 (1,234,567 중 4,096 전송)",
            FormatTotalTimeLine(200, FormatTotalSizeText("1,234,567", 4096)));
}

TEST(ProgressTextTest, CountsPercentAndCaption) {
  EXPECT_EQ("전체 3개 중 2개", FormatFileCount(3, 2));
  EXPECT_EQ("전체 3개 중 2개 완료됨", FormatFileCountDone(3, 2));
  EXPECT_EQ("100%", FormatPercent(100));
  EXPECT_EQ("전체 45% 완료됨", FormatCaption(45));
}

TEST(ProgressTextTest, RateInBytesBelowOneThenKilobytes) {
  const std::string kb = "전송 속도:  %1KB/초", bytes = "전송 속도:  %1Bytes/초";
  EXPECT_EQ("전송 속도:  0Bytes/초", FormatRateText(0, kb, bytes));
  EXPECT_EQ("전송 속도:  512Bytes/초", FormatRateText(0.5, kb, bytes));
  EXPECT_EQ("전송 속도:  1.00KB/초", FormatRateText(1, kb, bytes));
  EXPECT_EQ("전송 속도:  9.00KB/초", FormatRateText(9, kb, bytes));
  EXPECT_EQ("전송 속도:  10KB/초", FormatRateText(10, kb, bytes));
  EXPECT_EQ("전송 속도:  123KB/초", FormatRateText(123, kb, bytes));
  EXPECT_EQ("5% of %2 is 5", InsertArgument("%1%% of %2 is %1", "5"));
}

}  // namespace
}  // namespace brimlet
