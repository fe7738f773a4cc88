// What the scenarios that upload through the control share: picking files
// in the real open-file dialog, leaving the progress dialog to run while
// confirming every other dialog, and waiting for UploadFinish.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "container/hosted_control.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/wine/support/file_list_support.h"
#include "tests/wine/support/receiver.h"

namespace scenario {

bool IsProgressDialog(HWND dialog);
// A watcher's answer: the progress dialog is left alone, anything else OK'd.
int LeaveProgressOpen(const drivers::DialogSeen& seen);
// The texts of the message boxes a watcher saw, in order.
std::vector<std::string> MessageTexts(const drivers::DialogWatcher& watcher);

// Lists `names` of `folder` through the open-file dialog, as a person picks
// them; fails the test unless the list then holds `expectedRows` rows.
void PickFiles(container::HostedControl& control, const std::string& folder, const std::vector<std::string>& names,
               int expectedRows);

// The outcome the first UploadFinish reported, once it has fired.
std::optional<bool> WaitForUploadFinish(container::HostedControl& control, DWORD timeoutMs = 30000);

// What a scenario that uploads through the control stands on: the local
// receiver, a folder of its own ("<prefix><test name>") and the hosted
// control, made in that order and gone in reverse. A fixture that adds to
// SetUp calls this one first and stops if it failed.
class HostedUploadTest : public ::testing::Test {
 protected:
  explicit HostedUploadTest(std::string folderPrefix) : folderPrefix_(std::move(folderPrefix)) {}
  void SetUp() override;
  void TearDown() override;

  Receiver receiver_;
  std::unique_ptr<TempFolder> folder_;
  std::unique_ptr<container::HostedControl> control_;

 private:
  std::string folderPrefix_;
};

}  // namespace scenario
