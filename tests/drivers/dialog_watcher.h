// Answers the dialogs and message boxes the control opens, from a thread of
// its own, so that a test blocked in a modal loop gets its call back. Every
// dialog is recorded once, with its texts as the control's user reads them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "tests/drivers/repeating_thread.h"

namespace drivers {

// A window's text in the ANSI code page, read from the window itself without
// sending it a message, so a busy or blocked owner thread cannot stall it.
std::string WindowTextA(HWND window);
// The window's class name ("#32770" for a dialog).
std::string ClassNameOf(HWND window);

struct DialogSeen {
  std::string caption;
  std::string text;                     // a message box's text (item 0xFFFF)
  std::vector<std::string> childTexts;  // non-empty texts of visible direct
                                        // children; a tab control gives its
                                        // tab names
  HWND window = nullptr;                // valid only while the dialog is open
};

class DialogWatcher {
 public:
  // The command to answer with (IDOK, IDCANCEL, IDYES, IDNO, ...), or 0 to
  // leave the dialog open and be asked again, with fresh texts, next round,
  // or kLeaveOpen to leave it open and never read it again. Called on the
  // watching thread.
  using Answer = std::function<int(const DialogSeen&)>;
  static constexpr int kLeaveOpen = -1;

  // Starts watching; a null answer clicks IDOK.
  explicit DialogWatcher(Answer answer = nullptr);
  DialogWatcher(const DialogWatcher&) = delete;
  DialogWatcher& operator=(const DialogWatcher&) = delete;
  // Stops watching, then closes every dialog still open (IDCANCEL, then IDOK,
  // then IDNO), waiting a bounded time for each.
  ~DialogWatcher();

  void SetAnswer(Answer answer);
  std::vector<DialogSeen> Seen() const;
  size_t Count() const;
  // Whether at least `count` dialogs were seen within timeoutMs. Pumps the
  // calling thread's messages meanwhile, so dialogs and windows it owns keep
  // working.
  bool WaitFor(size_t count, DWORD timeoutMs) const;

 private:
  void Round();
  DialogSeen Describe(HWND dialog);
  void TabTexts(HWND tabs, std::vector<std::string>* texts);
  int Ask(const DialogSeen& dialog);
  void CloseLeftovers();

  mutable std::mutex mutex_;
  Answer answer_;
  std::vector<DialogSeen> seen_;

  // Used by the watching thread only (and by the destructor once it is gone).
  std::set<HWND> recorded_;
  std::map<HWND, int> answered_;
  // TCM_GETITEMA is answered through these; a send that timed out may still
  // be answered later, so they live as long as the watcher, not on a stack
  // frame that is gone by then.
  TCITEMA tabItem_{};
  char tabText_[512] = {};

  RepeatingThread rounds_;  // last: starts once everything above is built
};

}  // namespace drivers
