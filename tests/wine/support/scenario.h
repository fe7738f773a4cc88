// What every Wine scenario needs: where the build is, the module registered
// the way an installer registers it, and OLE initialised on the test thread.
#pragma once

#include <windows.h>
#include <memory>
#include <string>

#include "container/hosted_control.h"
#include "framework/unique_handle.h"

namespace scenario {

// Windows path of the cross build folder and of the module in it.
std::string BuildDir();
std::string BuiltModulePath();

// Runs a program, collects its standard output (and error) and waits at most
// `timeoutMs` for it; returns its exit code, or STILL_ACTIVE after killing it.
DWORD RunProcess(const std::string& commandLine, std::string* output, DWORD timeoutMs = 60000);

// Starts a program and leaves it running; false when it could not be started
// (the caller says so). Its process handle goes to `process` when asked for:
// a Unix program started through Wine has no Windows process, and gives no
// handle worth keeping.
bool StartProcess(std::string commandLine, fw::UniqueHandle* process = nullptr);

// regsvr32 [/u] /s on the module; returns its exit code (0 when it succeeded).
DWORD Regsvr32(bool unregister);

// Registers the module once for the scenarios of one program that need it.
void EnsureRegistered();

// The control hosted in a window, registered first; fails the test if the
// control could not be created. `loadResult` receives the loading outcome.
std::unique_ptr<container::HostedControl> HostControl(const container::HostOptions& options = {},
                                                 HRESULT* loadResult = nullptr);

// Wide text of a Korean literal as the control returns it.
std::wstring Wide(const char* cp949);

// An export of a loaded module as a typed function pointer (nullptr if absent).
template <class Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

std::string RegistryDefaultValue(HKEY root, const std::string& path);

// Waits at most `timeoutMs` for a file to disappear; whether it did.
bool WaitUntilGone(const std::string& path, DWORD timeoutMs);
// "http://127.0.0.1:PORT" followed by `pathAndQuery` (which starts with '/').
std::string LoopbackUrl(unsigned short port, const std::string& pathAndQuery);

// Deletes a folder with everything in it, read-only files included; what
// cannot be deleted is left.
void RemoveTree(const std::string& folder);

}  // namespace scenario
