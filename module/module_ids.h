// Identities of the module's classes that the type library does not carry.
#pragma once

#include <windows.h>

#include "module/type_library_version.h"

extern "C" const CLSID CLSID_BrimletPropPage;

namespace brimlet {

constexpr char kControlProgId[] = "BRIMLET.BrimletCtrl.1";
constexpr char kPropPageProgId[] = "BRIMLET.BrimletPropPage.1";
constexpr WORD kTypeLibMajor = BRIMLET_TYPELIB_MAJOR;
constexpr WORD kTypeLibMinor = BRIMLET_TYPELIB_MINOR;

// OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
// OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE
constexpr DWORD kControlMiscStatus = 0x00020191;

}  // namespace brimlet
