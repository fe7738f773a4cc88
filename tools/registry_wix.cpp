// Prints the module's registry list (module/portable/registration_table) as a
// WiX fragment: the component group "Registration" that the Windows Installer
// package of one architecture installs into INSTALLFOLDER.
//   registry_wix x86|x64 > registry.wxs
// The module's path becomes [#BrimletModule] (the installed file), its folder
// [INSTALLFOLDER].
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "framework/portable/registry_entries.h"
#include "module/portable/registration_table.h"

namespace {

// Fixed per architecture, so that an upgrade replaces these components in
// place and the two packages never share one.
struct ComponentIds {
  const char* ownView;
  const char* otherView;  // interface keys in the 32-bit view (x64 only)
};
const ComponentIds kX86 = {"F38505AA-FEE9-4A04-82BB-00997F4A9B34", nullptr};
const ComponentIds kX64 = {"FEECE397-6E30-48A2-8E0B-22B863D81103", "2580BBBB-440C-4622-8D2B-29FCDCC9E819"};

std::string Xml(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A value as a formatted string: the marks become the installed file and
// folder. No entry holds a square bracket of its own.
std::string Formatted(const std::string& value) {
  std::string out = value;
  const std::pair<std::string, std::string> marks[] = {{fw::kModulePathMark, "[#BrimletModule]"},
                                                       {fw::kModuleFolderMark, "[INSTALLFOLDER]"}};
  for (const auto& [mark, by] : marks)
    for (size_t at = out.find(mark); at != std::string::npos; at = out.find(mark, at + by.size()))
      out.replace(at, mark.size(), by);
  return out;
}

void PrintValue(const fw::RegistryEntry& entry) {
  // A key of its own with no value: "*" creates it and removes it on removal.
  const std::string name = entry.keyOnly ? "*" : entry.name;
  std::printf("        <RegistryValue Root=\"HKCR\" Key=\"%s\"%s%s%s Type=\"string\" Value=\"%s\"/>\n",
              Xml(entry.key).c_str(), name.empty() ? "" : " Name=\"", Xml(name).c_str(), name.empty() ? "" : "\"",
              Xml(Formatted(entry.value)).c_str());
}

void PrintComponent(const char* id, const char* guid, const char* attributes,
                    const std::vector<fw::RegistryEntry>& entries, bool (*wanted)(const fw::RegistryEntry&)) {
  std::printf("      <Component Id=\"%s\" Guid=\"%s\"%s>\n", id, guid, attributes);
  for (const fw::RegistryEntry& entry : entries)
    if (wanted(entry)) PrintValue(entry);
  std::printf("      </Component>\n");
}

}  // namespace

int main(int argc, char** argv) {
  const bool x64 = argc == 2 && std::strcmp(argv[1], "x64") == 0;
  if (argc != 2 || (!x64 && std::strcmp(argv[1], "x86") != 0)) {
    std::fprintf(stderr, "usage: registry_wix x86|x64\n");
    return 2;
  }
  const ComponentIds& ids = x64 ? kX64 : kX86;
  const auto entries = brimlet::ModuleRegistryEntries(x64 ? 64 : 32);
  std::printf("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
              "<!-- Made by tools/registry_wix from the module's registry list; do not edit. -->\n"
              "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n"
              "  <Fragment>\n"
              "    <ComponentGroup Id=\"Registration\" Directory=\"INSTALLFOLDER\">\n");
  // What the module and RegisterTypeLib write into the module's own view.
  const char* ownView = x64 ? " Win64=\"yes\"" : "";
  PrintComponent("Registration", ids.ownView, ownView, entries, [](const fw::RegistryEntry& e) { return !e.shared; });
  // RegisterTypeLib in a 64-bit process writes the interface keys into the
  // 32-bit view too; a 32-bit package reaches its own view only.
  if (ids.otherView)
    PrintComponent("RegistrationOtherView", ids.otherView, " Win64=\"no\"", entries,
                   [](const fw::RegistryEntry& e) { return e.bothViews; });
  // The categories' names are the system's, shared with every control that
  // declares itself safe: a component without an id, which Windows Installer
  // writes and never registers, so never removes, as the module's own
  // unregistration leaves them.
  PrintComponent("SharedCategories", "", ownView, entries,
                 [](const fw::RegistryEntry& e) { return e.shared; });
  std::printf("    </ComponentGroup>\n  </Fragment>\n</Wix>\n");
  return 0;
}
