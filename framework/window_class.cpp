#include "framework/window_class.h"

#include "framework/module.h"

namespace fw {
namespace {

template <class WindowClass, class Char>
bool RegisterOnce(const Char* name, WNDPROC procedure, UINT style, HBRUSH background,
                  BOOL(WINAPI* classInfo)(HINSTANCE, const Char*, WindowClass*),
                  ATOM(WINAPI* registerClass)(const WindowClass*)) {
  WindowClass windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (classInfo(ModuleInstance(), name, &windowClass)) return true;
  windowClass = WindowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = style;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ModuleInstance();
  windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = name;
  return registerClass(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

bool RegisterWindowClassOnce(const char* name, WNDPROC procedure, UINT style, HBRUSH background) {
  return RegisterOnce<WNDCLASSEXA>(name, procedure, style, background, &::GetClassInfoExA, &::RegisterClassExA);
}

bool RegisterWindowClassOnce(const wchar_t* name, WNDPROC procedure, UINT style, HBRUSH background) {
  return RegisterOnce<WNDCLASSEXW>(name, procedure, style, background, &::GetClassInfoExW, &::RegisterClassExW);
}

}  // namespace fw
