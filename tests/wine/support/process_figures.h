// What this process holds at one moment: its handles, its threads and its
// memory, read in ways that work under Wine 8 as well as on Windows.
//
// Under Wine 8, GetProcessHandleCount answers 0 and the private-bytes figure
// of GetProcessMemoryInfo stays 0, so a check built on them passes whatever
// happens. The handles are counted instead as this process's entries in the
// system's handle table (NtQuerySystemInformation(SystemHandleInformation)),
// and the memory is read as the committed figure (PagefileUsage) and the
// working set, both of which Wine fills in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace scenario {

struct ProcessFigures {
  std::size_t handles = 0;
  std::size_t threads = 0;
  std::size_t committedBytes = 0;   // PagefileUsage
  std::size_t workingSetBytes = 0;  // WorkingSetSize
  // Bytes of every block in use in every heap of the process (HeapWalk):
  // what is allocated and not freed, whatever the heaps keep in reserve.
  // Measured first, before this measurement allocates anything.
  std::size_t heapBytes = 0;
  // Every handle of the process by value: its object type's name ("Key",
  // "Event", ...; "?" when the system does not say), and for a registry key
  // the key's full name.
  struct Handle {
    std::string type, name;
    bool operator==(const Handle& other) const { return type == other.type && name == other.name; }
  };
  std::map<std::uintptr_t, Handle> handleList;
};

ProcessFigures MeasureThisProcess();

// The handles of `after` that `before` did not have.
std::vector<ProcessFigures::Handle> NewHandles(const ProcessFigures& before, const ProcessFigures& after);
// "3 Key \REGISTRY\...\Foo, 1 Event": handles counted by type and name.
std::string Describe(const std::vector<ProcessFigures::Handle>& handles);

}  // namespace scenario
