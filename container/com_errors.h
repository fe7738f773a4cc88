// What the container's programs say about a failed COM call: the HRESULT as
// text, and the strings an EXCEPINFO carries back, freed with it.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace container {

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

}  // namespace container
