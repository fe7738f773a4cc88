// Services the calling thread's queue without entering a message loop: for
// code that runs long on a thread whose windows must stay alive meanwhile.
#pragma once

#include <windows.h>

namespace fw {

// Takes every queued message of the calling thread, translates and
// dispatches it; never waits. With a dialog given, each message goes to that
// dialog's keyboard handling first (Tab, Enter, Esc), as a dialog's own loop
// would route it. A WM_QUIT is put back for the loop that owns the thread.
void PumpThreadMessages(HWND dialog = nullptr);

}  // namespace fw
