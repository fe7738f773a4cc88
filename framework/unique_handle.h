// One move-only owner for every kind of Windows handle. Each handle type is a
// one-line alias naming its close function and its "no handle" value.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <wininet.h>
#include <utility>

namespace fw {

template <class T, auto Close, class InvalidValue>
class Unique {
 public:
  Unique() noexcept = default;
  explicit Unique(T value) noexcept : value_(value) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : value_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~Unique() { reset(); }

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != InvalidValue::value(); }

  T release() noexcept { return std::exchange(value_, InvalidValue::value()); }
  void reset(T value = InvalidValue::value()) noexcept {
    T old = std::exchange(value_, value);
    if (old != InvalidValue::value()) Close(old);
  }
  // For APIs that return the handle through an out parameter.
  T* put() noexcept {
    reset();
    return &value_;
  }

 private:
  T value_ = InvalidValue::value();
};

template <class T>
struct NullHandle {
  static T value() noexcept { return T{}; }
};
struct InvalidFileHandle {
  static HANDLE value() noexcept { return INVALID_HANDLE_VALUE; }
};

inline void CloseMenu(HMENU menu) { ::DestroyMenu(menu); }

// A window's device context from GetDC, which goes back to that window.
struct WindowDC {
  HWND window;
  HDC dc;
  friend bool operator!=(WindowDC a, WindowDC b) { return a.dc != b.dc; }
};
inline void ReleaseWindowDC(WindowDC taken) { ::ReleaseDC(taken.window, taken.dc); }

// An object selected into a device context; closing selects back what it
// replaced, so the context is left as it was found.
struct DCSelection {
  HDC dc;
  HGDIOBJ previous;
  friend bool operator!=(DCSelection a, DCSelection b) { return a.previous != b.previous; }
};
inline void RestoreSelection(DCSelection selection) { ::SelectObject(selection.dc, selection.previous); }

using UniqueHandle = Unique<HANDLE, &::CloseHandle, NullHandle<HANDLE>>;
using UniqueFile = Unique<HANDLE, &::CloseHandle, InvalidFileHandle>;
using UniqueHKey = Unique<HKEY, &::RegCloseKey, NullHandle<HKEY>>;
using UniqueWindow = Unique<HWND, &::DestroyWindow, NullHandle<HWND>>;
using UniqueMenu = Unique<HMENU, &CloseMenu, NullHandle<HMENU>>;
using UniqueImageList = Unique<HIMAGELIST, &::ImageList_Destroy, NullHandle<HIMAGELIST>>;
using UniqueDC = Unique<HDC, &::DeleteDC, NullHandle<HDC>>;
using UniqueBitmap = Unique<HBITMAP, &::DeleteObject, NullHandle<HBITMAP>>;
using UniqueIcon = Unique<HICON, &::DestroyIcon, NullHandle<HICON>>;
using UniqueInternet = Unique<HINTERNET, &::InternetCloseHandle, NullHandle<HINTERNET>>;
using UniqueBstr = Unique<BSTR, &::SysFreeString, NullHandle<BSTR>>;
using UniqueCoTaskString = Unique<LPOLESTR, &::CoTaskMemFree, NullHandle<LPOLESTR>>;
using UniqueFind = Unique<HANDLE, &::FindClose, InvalidFileHandle>;
using UniqueActivationContext = Unique<HANDLE, &::ReleaseActCtx, InvalidFileHandle>;
using UniqueWindowDC = Unique<WindowDC, &ReleaseWindowDC, NullHandle<WindowDC>>;
using UniqueSelection = Unique<DCSelection, &RestoreSelection, NullHandle<DCSelection>>;

}  // namespace fw
