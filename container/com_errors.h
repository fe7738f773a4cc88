// What the container's programs say about a failed COM call: the HRESULT as
// text, and the strings an EXCEPINFO carries back, freed with it.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "framework/unique_handle.h"

namespace container {

// "0x80004005".
std::wstring HexCode(HRESULT hr);

inline void FreeExcepInfoStrings(EXCEPINFO* info) {
  ::SysFreeString(info->bstrSource);
  ::SysFreeString(info->bstrDescription);
  ::SysFreeString(info->bstrHelpFile);
}

// An EXCEPINFO whose strings go with it. It stays where it was made: the
// owner of its strings points at it.
struct OwnedExcepInfo {
  OwnedExcepInfo() = default;
  OwnedExcepInfo(const OwnedExcepInfo&) = delete;
  OwnedExcepInfo& operator=(const OwnedExcepInfo&) = delete;
  EXCEPINFO info{};
  // Declared after `info`, so it lets go of the strings first.
  fw::Unique<EXCEPINFO*, &FreeExcepInfoStrings, fw::NullHandle<EXCEPINFO*>> strings{&info};
};

}  // namespace container
