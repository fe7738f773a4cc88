// Window classes of this module, registered on first use. A class outlives
// every window of it, so it is registered once per process and module and
// never unregistered; a second thread that races to register it finds it
// there.
#pragma once

#include <windows.h>

namespace fw {

// Registers `name` for this module (ModuleInstance()) with an arrow cursor,
// unless it is registered already; true when the class is there afterwards.
// The narrow form makes an ANSI class, the wide one a Unicode class, so the
// procedure receives messages in the form it was written for.
bool RegisterWindowClassOnce(const char* name, WNDPROC procedure, UINT style = 0, HBRUSH background = nullptr);
bool RegisterWindowClassOnce(const wchar_t* name, WNDPROC procedure, UINT style = 0, HBRUSH background = nullptr);

}  // namespace fw
