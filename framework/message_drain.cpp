#include "framework/message_drain.h"

namespace fw {

void PumpThreadMessagesThrough(const MessageFilter& filter) {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (filter && filter(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void PumpThreadMessages(HWND dialog) {
  if (!dialog) return PumpThreadMessagesThrough(nullptr);
  PumpThreadMessagesThrough(
      [dialog](MSG& message) { return ::IsWindow(dialog) && ::IsDialogMessageW(dialog, &message); });
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs, const MessageFilter& filter) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    PumpThreadMessagesThrough(filter);
    if (done && done()) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    // Wake for new input, and at least every few milliseconds so that a
    // condition changed by another thread is noticed.
    const DWORD wait = static_cast<DWORD>(deadline - now < 20 ? deadline - now : 20);
    ::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace fw
