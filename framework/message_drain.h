// Services the calling thread's queue without entering a message loop: for
// code that runs long on a thread whose windows must stay alive meanwhile,
// and for code that waits on such a thread with a bound (a container waiting
// for its control's events).
#pragma once

#include <windows.h>

#include <functional>

namespace fw {

// Sees each message before it is dispatched; true means it was consumed.
using MessageFilter = std::function<bool(MSG&)>;

// Takes every queued message of the calling thread, translates and
// dispatches it; never waits. With a dialog given, each message goes to that
// dialog's keyboard handling first (Tab, Enter, Esc), as a dialog's own loop
// would route it. A WM_QUIT is put back for the loop that owns the thread.
void PumpThreadMessages(HWND dialog = nullptr);

// The same, each message offered to `filter` first.
void PumpThreadMessagesThrough(const MessageFilter& filter);

// Pumps until done() holds or timeoutMs has passed, and says whether done()
// held. done() is asked before the first wait and after each batch; a null
// done() pumps for the whole time.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, const MessageFilter& filter = nullptr);

inline void PumpFor(DWORD timeoutMs, const MessageFilter& filter = nullptr) {
  PumpUntil(nullptr, timeoutMs, filter);
}

}  // namespace fw
