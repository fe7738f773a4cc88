#include "framework/window_messages.h"

#include <windowsx.h>

namespace fw {

std::optional<LRESULT> MessageHandlers::DispatchTyped(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(*reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
      OnDestroy();
      return std::nullopt;  // the default processing still runs
    case WM_CONTEXTMENU: {
      // Signed coordinates: the keyboard form is (-1, -1), and a second
      // monitor may lie left of or above the first.
      const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (OnContextMenu(reinterpret_cast<HWND>(wParam), point)) return 0;
      return std::nullopt;
    }
    case WM_COMMAND:
      if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
      return std::nullopt;
    case WM_NOTIFY:
      if (!lParam) return std::nullopt;
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_INITMENUPOPUP:
      if (OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), LOWORD(lParam), HIWORD(lParam) != 0))
        return 0;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

}  // namespace fw
