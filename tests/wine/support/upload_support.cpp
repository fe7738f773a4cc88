#include "tests/wine/support/upload_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "module/dispatch_ids.h"
#include "tests/drivers/picker_answers.h"
#include "tests/drivers/responsiveness_probe.h"
#include "tests/wine/support/file_list_support.h"
#include "tests/wine/support/scenario.h"

namespace scenario {

bool IsProgressDialog(HWND dialog) { return drivers::IsProgressDialog(dialog); }

int LeaveProgressOpen(const drivers::DialogSeen& seen) { return IsProgressDialog(seen.window) ? 0 : IDOK; }

std::vector<std::string> MessageTexts(const drivers::DialogWatcher& watcher) {
  std::vector<std::string> texts;
  for (const auto& dialog : watcher.Seen()) {
    if (!dialog.text.empty()) texts.push_back(dialog.text);
  }
  return texts;
}

void PickFiles(container::HostedControl& control, const std::string& folder, const std::vector<std::string>& names,
               int expectedRows) {
  std::string typed;
  for (const auto& name : names) typed += (typed.empty() ? "\"" : " \"") + name + "\"";
  char before[MAX_PATH] = {}, after[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, before);
  drivers::DialogWatcher picker(drivers::AnswerPickers({{folder, typed}, {}, false}));
  ASSERT_EQ(S_OK, control.Call(L"AddFile"));
  ASSERT_EQ(expectedRows, ListView_GetItemCount(FileListOf(control)));
  // The page's process keeps its current folder: the picked one is not held.
  ::GetCurrentDirectoryA(MAX_PATH, after);
  EXPECT_STREQ(before, after);
}

std::optional<bool> WaitForUploadFinish(container::HostedControl& control, DWORD timeoutMs) {
  if (!control.PumpUntil([&] { return control.events().Count(DISPID_BRIMLET_UPLOADFINISH) > 0; }, timeoutMs)) return std::nullopt;
  return control.events().Of(DISPID_BRIMLET_UPLOADFINISH)[0].args[0].get()->boolVal != VARIANT_FALSE;
}

void HostedUploadTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  folder_ = std::make_unique<TempFolder>(folderPrefix_ + info->name());
  ASSERT_TRUE(receiver_.Started());
  control_ = HostControl();
  ASSERT_TRUE(control_);
}

void HostedUploadTest::TearDown() {
  control_.reset();
  folder_.reset();
}

}  // namespace scenario
