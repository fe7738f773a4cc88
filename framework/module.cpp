#include "framework/module.h"

namespace fw {
namespace {
HINSTANCE g_instance = nullptr;
LONG g_locks = 0;
}  // namespace

void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }

HINSTANCE ModuleInstance() {
  // Programs that link the framework directly (the container, the scenarios)
  // never call SetModuleInstance: they are their own module.
  return g_instance ? g_instance : ::GetModuleHandleA(nullptr);
}

void LockModule() { ::InterlockedIncrement(&g_locks); }
void UnlockModule() { ::InterlockedDecrement(&g_locks); }
bool ModuleCanUnload() { return g_locks == 0; }

// A length of MAX_PATH means the name was cut short.
std::string ModulePath(HINSTANCE module) {
  char path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(module, path, MAX_PATH);
  return std::string(path, length < MAX_PATH ? length : 0);
}

std::wstring ModulePathW(HINSTANCE module) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, length < MAX_PATH ? length : 0);
}

std::string ModuleTitle() {
  const std::string path = ModulePath();
  // Walk character by character so that a trail byte of a double-byte
  // character is never taken for a backslash.
  const char* name = path.c_str();
  for (const char* p = path.c_str(); *p; p = ::CharNextA(p)) {
    if (*p == '\\' || *p == '/' || *p == ':') name = ::CharNextA(p);
  }
  std::string title = name;
  const auto dot = title.rfind('.');
  if (dot != std::string::npos && dot != 0) title.resize(dot);
  return title;
}

std::string LoadResourceString(UINT id) {
  char buffer[1024] = {};
  int length = ::LoadStringA(ModuleInstance(), id, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? length : 0);
}

}  // namespace fw
