// Typed handlers for the messages a framework window reacts to, and the one
// switch that decodes a raw message into them. A handler that does not handle
// its message returns false (or nullopt) and the default processing runs.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <optional>

namespace fw {

class MessageHandlers {
 public:
  virtual ~MessageHandlers() = default;

  // Decodes `message` and calls the matching handler; nullopt when the
  // message has no handler here or the handler declined it.
  std::optional<LRESULT> DispatchTyped(UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // WM_CREATE, after the window exists; -1 refuses the creation.
  virtual int OnCreate(const CREATESTRUCTA&) { return 0; }
  // WM_DESTROY: the window's children still exist.
  virtual void OnDestroy() {}
  // WM_CONTEXTMENU: `window` is where the user clicked (a child included);
  // `point` is in screen coordinates, or (-1, -1) when the keyboard asked.
  virtual bool OnContextMenu(HWND /*window*/, POINT /*point*/) { return false; }
  // WM_COMMAND from a menu (code 0), an accelerator (1) or a child control.
  virtual bool OnCommand(UINT /*id*/, UINT /*code*/, HWND /*control*/) { return false; }
  // WM_NOTIFY from a child control.
  virtual std::optional<LRESULT> OnNotify(const NMHDR& /*header*/) { return std::nullopt; }
  // WM_INITMENUPOPUP: a popup owned by this window is about to show.
  virtual bool OnInitMenuPopup(HMENU /*menu*/, UINT /*position*/, bool /*windowMenu*/) {
    return false;
  }
};

}  // namespace fw
