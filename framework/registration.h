// Self-registration services of a control module: the type library, and the
// classes and ProgIDs of a list of registry entries.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <string>
#include <vector>

#include "framework/portable/registry_entries.h"

namespace fw {

// Loads the type library from the module's own resources and registers it.
bool RegisterModuleTypeLib(HINSTANCE module);
// The registered library for a locale. A library is registered under its own
// locale only, so when none is registered for `lcid` (nor its language, nor
// the neutral locale) the locales it is registered under are tried in turn.
HRESULT LoadRegisteredTypeLib(REFGUID typeLib, WORD major, WORD minor, LCID lcid, ITypeLib** library);
bool UnregisterModuleTypeLib(REFGUID typeLib, WORD major, WORD minor, LCID lcid);

// Writes the entries of the list that the module writes itself
// (RegistryWriter::kModule), with the module's own path for the marks.
bool RegisterEntries(HINSTANCE module, const std::vector<RegistryEntry>& entries);
// Removes those values again, and each key that is left empty, the deepest
// first. Keys that others added below them (a class's implemented
// categories) stay, and so do the keys that hold them.
bool UnregisterEntries(const std::vector<RegistryEntry>& entries);

}  // namespace fw
