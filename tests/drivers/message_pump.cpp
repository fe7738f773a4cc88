#include "host/message_pump.h"

namespace host {

void PumpPending(const MessageFilter& filter) {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not ours to act on: leave it for whichever loop owns the thread.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (filter && filter(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, const MessageFilter& filter) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    PumpPending(filter);
    if (done && done()) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    // Wake for new input, and at least every few milliseconds so that a
    // condition changed by another thread is noticed.
    const DWORD wait = static_cast<DWORD>(deadline - now < 20 ? deadline - now : 20);
    ::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void PumpFor(DWORD timeoutMs, const MessageFilter& filter) {
  PumpUntil(nullptr, timeoutMs, filter);
}

}  // namespace host
