#include "tests/wine/support/process_figures.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <vector>

#include "framework/unique_handle.h"

namespace scenario {
namespace {

constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
constexpr ULONG kSystemHandleInformation = 16;
constexpr ULONG kObjectNameInformation = 1;
constexpr ULONG kObjectTypeInformation = 2;

using QuerySystem = NTSTATUS(NTAPI*)(ULONG, void*, ULONG, ULONG*);
using QueryObject = NTSTATUS(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

template <class Function>
Function NtdllExport(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), name)));
}

// The type (ObjectTypeInformation) or the name (ObjectNameInformation) of
// one of this process's handles: both answer a UNICODE_STRING first.
std::string QueryText(QueryObject query, HANDLE handle, ULONG what) {
  alignas(8) unsigned char buffer[2048] = {};
  ULONG needed = 0;
  if (!query || query(handle, what, buffer, sizeof buffer, &needed) < 0) return "?";
  const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer);
  if (!text->Buffer || text->Length == 0) return "?";
  std::string narrow;
  for (std::size_t i = 0; i < text->Length / sizeof(WCHAR); ++i) {
    narrow += text->Buffer[i] < 0x80 ? static_cast<char>(text->Buffer[i]) : '?';
  }
  return narrow;
}

void CountHandles(ProcessFigures* figures) {
  auto querySystem = NtdllExport<QuerySystem>("NtQuerySystemInformation");
  auto queryObject = NtdllExport<QueryObject>("NtQueryObject");
  if (!querySystem) return;
  std::vector<unsigned char> buffer(64 * 1024);
  NTSTATUS status;
  ULONG needed = 0;
  while ((status = querySystem(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                               &needed)) == kInfoLengthMismatch) {
    buffer.resize(buffer.size() * 2);
  }
  if (status < 0) return;
  const auto* table = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
  // The table names a process by the low 16 bits of its id on Windows.
  const ULONG self = ::GetCurrentProcessId();
  for (ULONG i = 0; i < table->Count; ++i) {
    const SYSTEM_HANDLE_ENTRY& entry = table->Handle[i];
    if ((entry.OwnerPid & 0xFFFF) != (self & 0xFFFF)) continue;
    ++figures->handles;
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(entry.HandleValue));
    ProcessFigures::Handle& seen = figures->handleList[entry.HandleValue];
    seen.type = QueryText(queryObject, handle, kObjectTypeInformation);
    // Only a key's name is asked for: asking a pipe's may wait on it.
    if (seen.type == "Key") seen.name = QueryText(queryObject, handle, kObjectNameInformation);
  }
}

std::size_t CountThreads() {
  fw::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return 0;
  std::size_t threads = 0;
  THREADENTRY32 entry{sizeof entry};
  for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry)) {
    if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++threads;
  }
  return threads;
}

// Allocates nothing: the list of heaps is on the stack.
std::size_t HeapBytesInUse() {
  HANDLE heaps[256];
  const DWORD count = ::GetProcessHeaps(256, heaps);
  std::size_t bytes = 0;
  for (DWORD i = 0; i < count && i < 256; ++i) {
    if (!::HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (::HeapWalk(heaps[i], &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
    }
    ::HeapUnlock(heaps[i]);
  }
  return bytes;
}

}  // namespace

ProcessFigures MeasureThisProcess() {
  ProcessFigures figures;
  figures.heapBytes = HeapBytesInUse();
  // Threads before handles: their snapshot is a handle of its own, closed
  // before the handles are counted.
  figures.threads = CountThreads();
  CountHandles(&figures);
  PROCESS_MEMORY_COUNTERS counters{};
  if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) {
    figures.committedBytes = counters.PagefileUsage;
    figures.workingSetBytes = counters.WorkingSetSize;
  }
  return figures;
}

std::vector<ProcessFigures::Handle> NewHandles(const ProcessFigures& before, const ProcessFigures& after) {
  std::vector<ProcessFigures::Handle> added;
  for (const auto& [value, handle] : after.handleList) {
    const auto old = before.handleList.find(value);
    if (old == before.handleList.end() || !(old->second == handle)) added.push_back(handle);
  }
  return added;
}

std::string Describe(const std::vector<ProcessFigures::Handle>& handles) {
  std::map<std::string, int> counted;
  for (const auto& handle : handles) ++counted[handle.name.empty() ? handle.type : handle.type + " " + handle.name];
  std::string text;
  for (const auto& [what, count] : counted) text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + what;
  return text;
}

}  // namespace scenario
