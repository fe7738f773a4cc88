// The object a window of this module belongs to, kept in the window's user
// data. CreateWindowEx's last argument names it; on WM_NCCREATE it is bound
// and its UniqueWindow takes the window; on WM_NCDESTROY, when the window is
// already on its way, it is unbound and lets the handle go. No code thunks.
#pragma once

#include <windows.h>

#include "framework/unique_handle.h"

namespace fw {

// The object bound to `window`, or nullptr when there is none or the window
// is ending (WM_NCDESTROY): the caller then lets the default procedure run.
template <class T>
T* BoundObject(HWND window, UINT message, LPARAM lParam, UniqueWindow T::*owned) {
  auto* object = reinterpret_cast<T*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    object = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    (object->*owned).reset(window);
  } else if (object && message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    (object->*owned).release();  // already being destroyed
    return nullptr;
  }
  return object;
}

}  // namespace fw
