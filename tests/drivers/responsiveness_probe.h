// Measures how long the control's progress dialog goes without answering: a
// thread of its own sends WM_NULL to every progress dialog of this process
// every 20 ms and remembers the longest wait for the answer. A dialog whose
// thread is blocked (in a network call, say) answers only once it pumps
// again, so the wait is how long the dialog could neither paint nor take a
// click on Cancel. The benchmark prints it; the scenarios bound it.
#pragma once

#include <windows.h>

#include <mutex>
#include <set>

#include "tests/drivers/repeating_thread.h"

namespace drivers {

// The control's progress dialog: a dialog holding a progress bar as item 203.
bool IsProgressDialog(HWND window);

struct Responsiveness {
  DWORD longestUnansweredMs = 0;  // the longest single wait, answered or not
  unsigned dialogs = 0;           // progress dialogs seen, each counted once
  unsigned answers = 0;           // WM_NULLs answered
  unsigned unanswered = 0;        // given up on: the dialog went first, or the wait ran out
};

class ResponsivenessProbe {
 public:
  ResponsivenessProbe();
  ResponsivenessProbe(const ResponsivenessProbe&) = delete;
  ResponsivenessProbe& operator=(const ResponsivenessProbe&) = delete;
  // Stops probing; waits for a send under way, at most its timeout.
  ~ResponsivenessProbe();

  // The figures so far; a wait still under way counts for as long as it has lasted.
  Responsiveness Figures() const;

 private:
  void Round();

  mutable std::mutex mutex_;
  Responsiveness figures_;
  ULONGLONG waitStartedMs_ = 0;  // 0 when no send is under way
  std::set<HWND> known_;         // the probing thread's only: dialogs counted already

  RepeatingThread rounds_;  // last: starts once everything above is built
};

}  // namespace drivers
