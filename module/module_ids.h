// Identities of the module's classes that the type library does not carry.
#pragma once

#include <windows.h>

#include "module/portable/module_identity.h"
#include "module/portable/type_library_version.h"

extern "C" const CLSID CLSID_BrimletPropPage;

namespace brimlet {

constexpr WORD kTypeLibMajor = BRIMLET_TYPELIB_MAJOR;
constexpr WORD kTypeLibMinor = BRIMLET_TYPELIB_MINOR;

}  // namespace brimlet
