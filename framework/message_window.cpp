#include "framework/message_window.h"

#include <exception>
#include <utility>

#include "framework/module.h"
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
  auto* self = reinterpret_cast<MessageWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<MessageWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_.reset(window);
  }
  if (!self) return ::DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    self->window_.release();  // already being destroyed
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
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
