#include "framework/message_window.h"

#include <exception>
#include <utility>

#include "framework/module.h"
#include "framework/window_binding.h"
#include "framework/window_class.h"

namespace fw {
namespace {

const char kMessageWindowClass[] = "BrimletMessageWindow";

}  // namespace

bool MessageWindow::Create(Handler handler) {
  if (window_) return true;
  if (!RegisterWindowClassOnce(kMessageWindowClass, &MessageWindow::WindowProc)) return false;
  handler_ = std::move(handler);
  // WindowProc attaches the window to this object on WM_NCCREATE.
  ::CreateWindowExA(0, kMessageWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ModuleInstance(), this);
  return static_cast<bool>(window_);
}

LRESULT CALLBACK MessageWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = BoundObject(window, message, lParam, &MessageWindow::window_);
  if (!self) return ::DefWindowProcA(window, message, wParam, lParam);
  if (self->handler_) {
    // Nothing thrown may leave a window procedure: a handler that fails
    // has handled its message.
    try {
      // A copy: the handler may end the window's owner, and this object with it.
      const Handler handler = self->handler_;
      if (const std::optional<LRESULT> handled = handler(message, wParam, lParam)) return *handled;
    } catch (const std::exception&) {
      return 0;
    }
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace fw
