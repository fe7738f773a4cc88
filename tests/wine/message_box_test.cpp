// The module's message box as a user meets it, read and answered by the
// dialog watcher the other scenarios rely on.
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/message_box.h"
#include "framework/module.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/wine/support/scenario.h"

namespace {

TEST(ModuleMessageBox, CarriesTheModuleTitleAndItsKoreanTextAndReturnsTheButtonPressed) {
  drivers::DialogWatcher watcher;
  EXPECT_EQ(IDOK, fw::AppMessageBox("사용중인 파일입니다. 파일을 닫으신후 첨부하세요"));
  const auto seen = watcher.Seen();
  ASSERT_EQ(1u, seen.size());
  // The program's file name without its extension, as for BRIMLET.OCX.
  EXPECT_EQ("message_box_test", seen[0].caption);
  EXPECT_EQ(fw::ModuleTitle(), seen[0].caption);
  EXPECT_EQ("사용중인 파일입니다. 파일을 닫으신후 첨부하세요", seen[0].text);
}

TEST(ModuleMessageBox, YesNoQuestionGetsTheAnswerTheWatcherChose) {
  drivers::DialogWatcher watcher([](const drivers::DialogSeen& box) {
    return box.text == "전송을 정말 취소하시겠습니까?" ? IDNO : IDOK;
  });
  EXPECT_EQ(IDNO, fw::AppMessageBox("전송을 정말 취소하시겠습니까?", MB_YESNO));
  EXPECT_EQ(1u, watcher.Count());
}

TEST(ModuleMessageBox, WatcherNeverLeavesABoxOpen) {
  std::atomic<int> result{0};
  std::thread asker;
  {
    drivers::DialogWatcher watcher([](const drivers::DialogSeen&) { return 0; });  // never answers
    asker = std::thread([&result] { result = fw::AppMessageBox("left open", MB_YESNO); });
    ASSERT_TRUE(watcher.WaitFor(1, 5000));
  }  // the watcher closes what is still open as it goes
  asker.join();
  EXPECT_NE(0, result.load());
}

}  // namespace
