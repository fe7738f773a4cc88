#include "host/com_errors.h"

#include "framework/module.h"

namespace host {

std::wstring HexCode(HRESULT hr) {
  wchar_t text[16];
  ::wsprintfW(text, L"0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

bool RegisterHostWindowClass(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = fw::ModuleInstance();
  windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = name;
  return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace host
