#include "framework/message_drain.h"

namespace fw {

void PumpThreadMessages(HWND dialog) {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (dialog && ::IsWindow(dialog) && ::IsDialogMessageA(dialog, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

}  // namespace fw
