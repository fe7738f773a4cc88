// Everything registering BRIMLET.OCX writes to the registry, in one list:
// the control's and the property page's classes and the control's ProgID,
// which the module writes itself by walking this list; the type library and
// its interfaces, as RegisterTypeLib writes them; the control's two component
// categories, as the categories manager writes them. The Windows Installer
// packages carry the whole list as their Registry table
// (tools/registry_wix.cpp), so the two cannot drift apart.
#pragma once

#include <vector>

#include "framework/portable/registry_entries.h"

namespace brimlet {

// bits: 32 or 64, the module's platform; it names the type library's
// platform key (win32 or win64).
std::vector<fw::RegistryEntry> ModuleRegistryEntries(int bits);

}  // namespace brimlet
