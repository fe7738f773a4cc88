// What the container's programs say about a failed COM call: the HRESULT as
// text, and the strings an EXCEPINFO carries back, freed with it.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace host {

// "0x80004005".
std::wstring HexCode(HRESULT hr);

// An EXCEPINFO whose strings go with it.
struct OwnedExcepInfo {
  OwnedExcepInfo() = default;
  OwnedExcepInfo(const OwnedExcepInfo&) = delete;
  OwnedExcepInfo& operator=(const OwnedExcepInfo&) = delete;
  ~OwnedExcepInfo() {
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
  }
  EXCEPINFO info{};
};

// Registers a plain window class of the container's module, once; true when
// it is registered, also by an earlier call.
bool RegisterHostWindowClass(const wchar_t* name, WNDPROC procedure);

}  // namespace host
