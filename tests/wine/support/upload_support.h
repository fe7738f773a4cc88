// What the scenarios that upload through the control share: picking files
// in the real open-file dialog, leaving the progress dialog to run while
// confirming every other dialog, and waiting for UploadFinish.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "host/dialog_watcher.h"
#include "host/hosted_control.h"

namespace scenario {

bool IsProgressDialog(HWND dialog);
// A watcher's answer: the progress dialog is left alone, anything else OK'd.
int LeaveProgressOpen(const host::DialogSeen& seen);
// The texts of the message boxes a watcher saw, in order.
std::vector<std::string> MessageTexts(const host::DialogWatcher& watcher);

// Lists `names` of `folder` through the open-file dialog, as a person picks
// them; fails the test unless the list then holds `expectedRows` rows.
void PickFiles(host::HostedControl& control, const std::string& folder, const std::vector<std::string>& names,
               int expectedRows);

// The outcome the first UploadFinish reported, once it has fired.
std::optional<bool> WaitForUploadFinish(host::HostedControl& control, DWORD timeoutMs = 30000);

}  // namespace scenario
