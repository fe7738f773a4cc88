// Self-registration services of a control module: the type library, a control
// class and a property page class.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <string>

namespace fw {

struct ControlClassRegistration {
  CLSID clsid;
  std::string progId;
  UINT typeNameId;   // string resource with the user type name
  UINT bitmapId;     // toolbox bitmap resource
  DWORD miscStatus;  // OLEMISC_ bits
  GUID typeLib;
  WORD typeLibMajor, typeLibMinor;
};

// Loads the type library from the module's own resources and registers it.
bool RegisterModuleTypeLib(HINSTANCE module);
// The registered library for a locale. A library is registered under its own
// locale only, so when none is registered for `lcid` (nor its language, nor
// the neutral locale) the locales it is registered under are tried in turn.
HRESULT LoadRegisteredTypeLib(REFGUID typeLib, WORD major, WORD minor, LCID lcid, ITypeLib** library);
bool UnregisterModuleTypeLib(REFGUID typeLib, WORD major, WORD minor, LCID lcid);

// Writes the class's keys (apartment threaded, not insertable) and its ProgID.
bool RegisterControlClass(HINSTANCE module, const ControlClassRegistration& control);
bool RegisterPropertyPageClass(HINSTANCE module, REFCLSID clsid, UINT typeNameId);
// Removes the keys that registration wrote, and the ProgID when given. Keys
// that others added below the class (its implemented categories) stay.
bool UnregisterClass(REFCLSID clsid, const char* progId);

}  // namespace fw
