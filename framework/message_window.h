// A window that only receives messages: its parent is HWND_MESSAGE, so it is
// never shown, never enumerated as a top-level window and never reached by a
// broadcast. A thread's objects that other threads report to post here
// rather than to a visible window, whose life follows the container.
//
// The window belongs to the thread that creates it, which must also destroy
// it (the destructor does). It reaches its handler through its window data,
// set on WM_NCCREATE and cleared on WM_NCDESTROY; the object does not move.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "framework/unique_handle.h"

namespace fw {

class MessageWindow {
 public:
  // A message the handler does not take (nullopt) gets the default processing.
  using Handler = std::function<std::optional<LRESULT>(UINT message, WPARAM wParam, LPARAM lParam)>;

  MessageWindow() = default;
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;
  ~MessageWindow() = default;  // window_ goes first, then the handler

  // Makes the window on the calling thread; false when the system would not.
  bool Create(Handler handler);
  HWND get() const { return window_.get(); }
  explicit operator bool() const { return static_cast<bool>(window_); }
  void Destroy() { window_.reset(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  Handler handler_;
  UniqueWindow window_;  // declared last: destroyed while the handler still exists
};

}  // namespace fw
