#include "tests/drivers/responsiveness_probe.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <set>
#include <vector>

#include "resources/resource_ids.h"

namespace drivers {
namespace {

constexpr DWORD kIntervalMs = 20;
// Long enough to see a freeze of any length an upload can cause, short
// enough that a probe stopped while its dialog is frozen ends in bounded time.
constexpr UINT kSendTimeoutMs = 30000;

BOOL CALLBACK CollectProgressDialog(HWND window, LPARAM context) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process != ::GetCurrentProcessId() || !IsProgressDialog(window)) return TRUE;
  try {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool IsProgressDialog(HWND window) {
  char name[64] = {};
  if (::GetClassNameA(window, name, sizeof name) == 0 || std::strcmp(name, "#32770") != 0) return false;
  HWND bar = ::GetDlgItem(window, IDC_PROGRESS_FILE);
  return bar && ::GetClassNameA(bar, name, sizeof name) > 0 && std::strcmp(name, PROGRESS_CLASSA) == 0;
}

ResponsivenessProbe::ResponsivenessProbe() : rounds_(kIntervalMs, [this] { Round(); }) {}

ResponsivenessProbe::~ResponsivenessProbe() { rounds_.Stop(); }

Responsiveness ResponsivenessProbe::Figures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Responsiveness figures = figures_;
  if (waitStartedMs_ != 0) {
    const ULONGLONG waited = ::GetTickCount64() - waitStartedMs_;
    figures.longestUnansweredMs = std::max<DWORD>(figures.longestUnansweredMs, static_cast<DWORD>(waited));
  }
  return figures;
}

void ResponsivenessProbe::Round() {
  std::vector<HWND> dialogs;
  ::EnumWindows(CollectProgressDialog, reinterpret_cast<LPARAM>(&dialogs));
  // A handle may come back for a new window once its window is gone: the
  // dialogs not listed now are forgotten.
  std::set<HWND> listed(dialogs.begin(), dialogs.end());
  for (auto it = known_.begin(); it != known_.end();) it = listed.count(*it) ? std::next(it) : known_.erase(it);
  for (HWND dialog : dialogs) {
    const bool isNew = known_.insert(dialog).second;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (rounds_.stopping()) return;
      if (isNew) ++figures_.dialogs;
      waitStartedMs_ = ::GetTickCount64();
    }
    const auto start = std::chrono::steady_clock::now();
    DWORD_PTR ignored = 0;
    const bool answered =
        ::SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &ignored) != 0;
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::lock_guard<std::mutex> lock(mutex_);
    waitStartedMs_ = 0;
    figures_.longestUnansweredMs = std::max<DWORD>(figures_.longestUnansweredMs, static_cast<DWORD>(waited.count()));
    ++(answered ? figures_.answers : figures_.unanswered);
  }
}

}  // namespace drivers
