// The module that holds the framework: its instance handle, the count of live
// objects and locks that decides DllCanUnloadNow, and its title.
#pragma once

#include <windows.h>
#include <string>

namespace fw {

void SetModuleInstance(HINSTANCE instance);
HINSTANCE ModuleInstance();

// Live COM objects and IClassFactory::LockServer locks.
void LockModule();
void UnlockModule();
bool ModuleCanUnload();

// The module file's name without folder and extension ("BRIMLET" for
// ...\BRIMLET.OCX); the module defines no title string of its own.
std::string ModuleTitle();
// Full path of a module's file (of this one unless told), in the ANSI code
// page or, for the calls that take a wide path, as it is; empty when the
// system cannot give it whole.
std::string ModulePath(HINSTANCE module = ModuleInstance());
std::wstring ModulePathW(HINSTANCE module = ModuleInstance());

// A string resource of the module, in the ANSI code page.
std::string LoadResourceString(UINT id);

}  // namespace fw
