#include "tests/wine/support/contract_checks.h"

#include <windows.h>
#include <commctrl.h>
#include <wininet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "framework/message_drain.h"
#include "tests/wine/support/scenario.h"

namespace scenario {
namespace {

std::mutex g_lock;
std::vector<std::string> g_violations;  // guarded by g_lock
std::atomic<unsigned long> g_calls{0};

std::string Hex(const void* value) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", value);
  return text;
}

void Record(const char* call, const void* value, const std::string& what) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_violations.push_back(std::string(call) + "(" + Hex(value) + "): " + what + " (thread " +
                         std::to_string(::GetCurrentThreadId()) + ")");
}

// One redirected import: the real function the loader bound, and the
// module that holds it (the existence test of an image list or a WinInet
// handle must be asked of the same copy of the library: a list made by the
// side-by-side common controls is unknown to another copy).
struct Redirect {
  const char* name;
  void* wrapper;
  void* real = nullptr;
  HMODULE library = nullptr;
};

template <class Function>
Function RealOf(const Redirect& redirect) {
  return reinterpret_cast<Function>(redirect.real);
}
template <class Function>
Function SiblingOf(const Redirect& redirect, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(redirect.library, name)));
}

enum Call { kImageListDestroy, kCloseHandle, kDestroyWindow, kDeleteObject, kRegCloseKey,
            kInternetCloseHandle, kDestroyIcon, kDestroyMenu, kCallCount };
extern Redirect g_redirects[kCallCount];

BOOL WINAPI CheckedImageListDestroy(HIMAGELIST list) {
  ++g_calls;
  const Redirect& self = g_redirects[kImageListDestroy];
  auto iconSize = SiblingOf<BOOL(WINAPI*)(HIMAGELIST, int*, int*)>(self, "ImageList_GetIconSize");
  int cx = 0, cy = 0;
  if (!iconSize || !iconSize(list, &cx, &cy)) Record(self.name, list, "not an image list (already destroyed?)");
  return RealOf<BOOL(WINAPI*)(HIMAGELIST)>(self)(list);
}

BOOL WINAPI CheckedCloseHandle(HANDLE handle) {
  ++g_calls;
  const Redirect& self = g_redirects[kCloseHandle];
  DWORD flags = 0;
  if (!::GetHandleInformation(handle, &flags)) {
    Record(self.name, handle, "not an open handle (error " + std::to_string(::GetLastError()) + ")");
  } else if (flags & HANDLE_FLAG_PROTECT_FROM_CLOSE) {
    Record(self.name, handle, "the handle is protected from closing");
  }
  return RealOf<BOOL(WINAPI*)(HANDLE)>(self)(handle);
}

BOOL WINAPI CheckedDestroyWindow(HWND window) {
  ++g_calls;
  const Redirect& self = g_redirects[kDestroyWindow];
  if (!::IsWindow(window)) {
    Record(self.name, window, "not a window (already destroyed?)");
  } else {
    // Only the thread that created a window may destroy it.
    const DWORD owner = ::GetWindowThreadProcessId(window, nullptr);
    if (owner != ::GetCurrentThreadId()) {
      Record(self.name, window, "the window belongs to thread " + std::to_string(owner));
    }
  }
  return RealOf<BOOL(WINAPI*)(HWND)>(self)(window);
}

BOOL WINAPI CheckedDeleteObject(HGDIOBJ object) {
  ++g_calls;
  const Redirect& self = g_redirects[kDeleteObject];
  if (::GetObjectType(object) == 0) Record(self.name, object, "not a GDI object (already deleted?)");
  return RealOf<BOOL(WINAPI*)(HGDIOBJ)>(self)(object);
}

LSTATUS WINAPI CheckedRegCloseKey(HKEY key) {
  ++g_calls;
  const Redirect& self = g_redirects[kRegCloseKey];
  const LSTATUS status = ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                            nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_INVALID_HANDLE) Record(self.name, key, "not an open key (already closed?)");
  return RealOf<LSTATUS(WINAPI*)(HKEY)>(self)(key);
}

BOOL WINAPI CheckedInternetCloseHandle(HINTERNET handle) {
  ++g_calls;
  const Redirect& self = g_redirects[kInternetCloseHandle];
  auto query = SiblingOf<BOOL(WINAPI*)(HINTERNET, DWORD, void*, DWORD*)>(self, "InternetQueryOptionA");
  DWORD type = 0, size = sizeof type;
  if (!query || (!query(handle, INTERNET_OPTION_HANDLE_TYPE, &type, &size) &&
                 ::GetLastError() == ERROR_INVALID_HANDLE)) {
    Record(self.name, handle, "not an open WinInet handle (already closed?)");
  }
  return RealOf<BOOL(WINAPI*)(HINTERNET)>(self)(handle);
}

BOOL WINAPI CheckedDestroyIcon(HICON icon) {
  ++g_calls;
  const Redirect& self = g_redirects[kDestroyIcon];
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) {
    Record(self.name, icon, "not an icon (already destroyed?)");
  } else {
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
  }
  return RealOf<BOOL(WINAPI*)(HICON)>(self)(icon);
}

BOOL WINAPI CheckedDestroyMenu(HMENU menu) {
  ++g_calls;
  const Redirect& self = g_redirects[kDestroyMenu];
  if (!::IsMenu(menu)) Record(self.name, menu, "not a menu (already destroyed?)");
  return RealOf<BOOL(WINAPI*)(HMENU)>(self)(menu);
}

template <class Function>
void* AsPointer(Function function) {
  return reinterpret_cast<void*>(function);
}

Redirect g_redirects[kCallCount] = {
    {"ImageList_Destroy", AsPointer(&CheckedImageListDestroy)},
    {"CloseHandle", AsPointer(&CheckedCloseHandle)},
    {"DestroyWindow", AsPointer(&CheckedDestroyWindow)},
    {"DeleteObject", AsPointer(&CheckedDeleteObject)},
    {"RegCloseKey", AsPointer(&CheckedRegCloseKey)},
    {"InternetCloseHandle", AsPointer(&CheckedInternetCloseHandle)},
    {"DestroyIcon", AsPointer(&CheckedDestroyIcon)},
    {"DestroyMenu", AsPointer(&CheckedDestroyMenu)},
};

// The calls every upload or list scenario makes: if one of them is not
// among the module's imports, the checks would look at nothing.
const Call kRequired[] = {kImageListDestroy, kCloseHandle, kDestroyWindow, kRegCloseKey, kInternetCloseHandle};

HMODULE LibraryHolding(void* address) {
  HMODULE library = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<const char*>(address), &library);
  return library;
}

// Which redirected call an import slot stands for. A slot imported by name
// says so; one imported by ordinal (or without a name table) is matched by
// the address it was bound to, against each call's export in the library
// that holds that address.
Redirect* RedirectFor(const BYTE* base, const IMAGE_THUNK_DATA* name, void* bound) {
  if (name && !IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) {
    const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
    for (Redirect& redirect : g_redirects) {
      if (std::strcmp(redirect.name, reinterpret_cast<const char*>(byName->Name)) == 0) return &redirect;
    }
    return nullptr;
  }
  HMODULE library = LibraryHolding(bound);
  if (!library) return nullptr;
  for (Redirect& redirect : g_redirects) {
    if (reinterpret_cast<void*>(::GetProcAddress(library, redirect.name)) == bound) return &redirect;
  }
  return nullptr;
}

bool WriteSlot(ULONG_PTR* slot, void* value) {
  DWORD previous = 0;
  if (!::VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous)) return false;
  *slot = reinterpret_cast<ULONG_PTR>(value);
  ::VirtualProtect(slot, sizeof *slot, previous, &previous);
  return true;
}

// Walks the module's import descriptors and points every slot of a checked
// call at its wrapper. IMAGE_THUNK_DATA is the native pointer size's, which
// is the module's: the test program is built for the same architecture.
bool RedirectImports(HMODULE module, std::string* why) {
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || nt->Signature != IMAGE_NT_SIGNATURE ||
      nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) {
    *why = "the module's headers are not of this architecture";
    return false;
  }
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) {
    *why = "the module has no import table";
    return false;
  }
  for (const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       descriptor->Name != 0; ++descriptor) {
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(const_cast<BYTE*>(base) + descriptor->FirstThunk);
    const auto* names = descriptor->OriginalFirstThunk
                            ? reinterpret_cast<const IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk)
                            : nullptr;
    for (std::size_t i = 0; slots[i].u1.Function != 0; ++i) {
      void* bound = reinterpret_cast<void*>(slots[i].u1.Function);
      Redirect* redirect = RedirectFor(base, names ? &names[i] : nullptr, bound);
      if (!redirect || bound == redirect->wrapper) continue;
      if (!redirect->real) {
        redirect->real = bound;
        redirect->library = LibraryHolding(bound);
      }
      if (!WriteSlot(&slots[i].u1.Function, redirect->wrapper)) {
        *why = std::string("cannot write the import slot of ") + redirect->name;
        return false;
      }
    }
  }
  for (Call required : kRequired) {
    if (!g_redirects[required].real) {
      *why = std::string(g_redirects[required].name) + " is not among the module's imports";
      return false;
    }
  }
  return true;
}

class ContractListener : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override { ExpectNoContractViolations(); }
};

class ContractEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(ContractChecks::Install(&why)) << why;
  }
  // Whatever a worker did after the last test.
  void TearDown() override {
    ExpectNoContractViolations();
    std::printf("Windows-contract checks: %lu calls of the module checked\n", ContractChecks::CallsSeen());
  }
};

}  // namespace

bool ContractChecks::Install(std::string* why) {
  static HMODULE module = nullptr;  // kept loaded for the program, so the slots stay redirected
  static std::string failure;
  static bool tried = false;
  if (!tried) {
    tried = true;
    module = ::LoadLibraryA(BuiltModulePath().c_str());
    if (!module) {
      failure = "LoadLibrary " + BuiltModulePath() + " failed with " + std::to_string(::GetLastError());
    } else if (!RedirectImports(module, &failure)) {
      module = nullptr;
    }
  }
  if (why) *why = failure;
  return module != nullptr;
}

std::vector<std::string> ContractChecks::TakeViolations() {
  std::lock_guard<std::mutex> hold(g_lock);
  return std::exchange(g_violations, {});
}

unsigned long ContractChecks::CallsSeen() { return g_calls.load(); }

void ExpectNoContractViolations() {
  // A worker may still be ending (destroying its dialog, closing its
  // handles) when a test returns: its calls belong to this test. The module
  // can unload once every worker has left its code.
  HMODULE module = ::GetModuleHandleA("BRIMLET.OCX");
  auto canUnload = module ? Export<HRESULT(WINAPI*)()>(module, "DllCanUnloadNow") : nullptr;
  if (canUnload) fw::PumpUntil([&] { return canUnload() == S_OK; }, 15000);
  for (const std::string& violation : ContractChecks::TakeViolations()) {
    ADD_FAILURE() << "Windows contract: " << violation;
  }
}

::testing::Environment* CheckContractInEveryTest() {
  ::testing::UnitTest::GetInstance()->listeners().Append(new ContractListener);
  return ::testing::AddGlobalTestEnvironment(new ContractEnvironment);
}

}  // namespace scenario
