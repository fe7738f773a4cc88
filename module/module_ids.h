// Identities of the module's classes that the type library does not carry.
#pragma once

#include <windows.h>

extern "C" const CLSID CLSID_BrimletPropPage;

namespace brimlet {

constexpr char kControlProgId[] = "BRIMLET.BrimletCtrl.1";
constexpr char kPropPageProgId[] = "BRIMLET.BrimletPropPage.1";
constexpr WORD kTypeLibMajor = 1;
constexpr WORD kTypeLibMinor = 0;

// OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
// OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE
constexpr DWORD kControlMiscStatus = 0x00020191;

}  // namespace brimlet
