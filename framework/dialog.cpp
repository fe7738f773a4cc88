#include "framework/dialog.h"

#include "framework/module.h"
#include "framework/text.h"

namespace fw {

Dialog::~Dialog() {
  // The window's last messages must not reach a half-destroyed object.
  if (window_) ::SetWindowLongPtrW(window_, DWLP_USER, 0);
  modeless_.reset();
}

INT_PTR Dialog::DoModal(HWND owner) {
  return ::DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(templateId_), owner, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

bool Dialog::CreateModeless(HWND owner) {
  if (window_) return false;
  HWND created = ::CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(templateId_), owner,
                                      DialogProc, reinterpret_cast<LPARAM>(this));
  modeless_.reset(created);
  return created != nullptr;
}

void UpdateWindowText(HWND window, const std::wstring& text) {
  if (!window) return;
  const int length = ::GetWindowTextLengthW(window);
  if (length == static_cast<int>(text.size())) {
    std::wstring shown(text.size() + 1, L'\0');
    const int got = ::GetWindowTextW(window, shown.data(), static_cast<int>(shown.size()));
    shown.resize(got > 0 ? got : 0);
    if (shown == text) return;
  }
  ::SetWindowTextW(window, text.c_str());
}

void UpdateWindowText(HWND window, const std::string& text) { UpdateWindowText(window, WideFromNarrow(text)); }

void Dialog::SetItemText(int id, const std::string& text) const {
  if (window_) ::SetDlgItemTextA(window_, id, text.c_str());
}

bool Dialog::OnCommand(int id, int) {
  switch (id) {
    case IDOK: OnOK(); return true;
    case IDCANCEL: OnCancel(); return true;
    default: return false;
  }
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<Dialog*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->window_ = window;
  }
  if (!dialog) return FALSE;
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, DWLP_USER, 0);
    dialog->window_ = nullptr;
    dialog->modeless_.release();  // already being destroyed
    return FALSE;
  }
  return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    default:
      break;
  }
  if (auto handled = OnMessage(message, wParam, lParam)) return *handled;
  return FALSE;
}

}  // namespace fw
