// A dialog made from one of the module's templates, modal or modeless, with
// its object bound to its window from WM_INITDIALOG to WM_NCDESTROY. A
// dialog class overrides the handlers it needs; everything else gets the
// system's default dialog processing.
//
// Dialogs are made by the wide functions, so the dialog and its controls are
// Unicode windows: a wide text (a file's name) keeps every character, and a
// narrow text is read in the ANSI code page on its way in.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "framework/unique_handle.h"

namespace fw {

// Sets a window's text only when it differs from what it shows: a control
// repaints on every change of text, and a top-level window's caption is a
// round trip to the window system.
void UpdateWindowText(HWND window, const std::string& text);
void UpdateWindowText(HWND window, const std::wstring& text);

class Dialog {
 public:
  explicit Dialog(UINT templateId) : templateId_(templateId) {}
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;
  // A modeless window still open is destroyed with its object.
  virtual ~Dialog();

  // Runs the dialog modally; returns what ended it, or -1 if it could not be
  // created.
  INT_PTR DoModal(HWND owner);
  // Creates the window and returns at once; false if it could not be created.
  bool CreateModeless(HWND owner);
  void DestroyWindow() { modeless_.reset(); }

  // The window while it exists, else nullptr.
  HWND window() const { return window_; }
  HWND Item(int id) const { return window_ ? ::GetDlgItem(window_, id) : nullptr; }
  void SetItemText(int id, const std::string& text) const;
  void UpdateItemText(int id, const std::string& text) const { UpdateWindowText(Item(id), text); }
  void UpdateItemText(int id, const std::wstring& text) const { UpdateWindowText(Item(id), text); }

 protected:
  // After the window and its controls exist; true lets the system set the
  // focus.
  virtual bool OnInitDialog() { return true; }
  // WM_COMMAND from a control or an accelerator; false runs the defaults.
  virtual bool OnCommand(int id, int notifyCode);
  // Enter and Esc. Ending a modeless dialog hides it.
  virtual void OnOK() { ::EndDialog(window_, IDOK); }
  virtual void OnCancel() { ::EndDialog(window_, IDCANCEL); }
  // The close box, the system menu's Close and Alt+F4.
  virtual void OnClose() { OnCancel(); }
  // Any other message; nullopt lets the default dialog processing run.
  virtual std::optional<INT_PTR> OnMessage(UINT, WPARAM, LPARAM) { return std::nullopt; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  UINT templateId_;
  HWND window_ = nullptr;  // modal or modeless, while it exists
  UniqueWindow modeless_;  // the owner of a modeless window
};

}  // namespace fw
