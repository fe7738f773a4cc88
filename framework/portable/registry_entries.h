// Registry entries as data: what registering a module writes below
// HKEY_CLASSES_ROOT, with the module's path and folder left as marks. A module
// walks such a list to register itself; a package generator prints the same
// list as the rows of a Windows Installer Registry table.
#pragma once

#include <string>
#include <vector>

namespace fw {

// Who writes an entry when the module registers itself.
enum class RegistryWriter {
  kModule,       // the module, walking the list
  kTypeLibrary,  // RegisterTypeLib, from the library in the module's resources
  kCategories,   // the component categories manager
};

struct RegistryEntry {
  std::string key;    // below HKEY_CLASSES_ROOT
  std::string name;   // empty: the key's default value
  std::string value;  // may hold kModulePathMark or kModuleFolderMark
  RegistryWriter writer = RegistryWriter::kModule;
  // Interface keys: RegisterTypeLib writes them into the 32-bit and the 64-bit
  // registry view alike on 64-bit Windows.
  bool bothViews = false;
  // A key that holds no value of its own (the class's implemented categories).
  bool keyOnly = false;
  // Shared with every other control that uses it (a category's name): written
  // when missing and left in place on removal, as self-unregistration does.
  bool shared = false;
};

inline constexpr char kModulePathMark[] = "<module>";
inline constexpr char kModuleFolderMark[] = "<folder>";

// The value with the marks replaced: the module's full path, and the folder
// that holds it (the path up to its last backslash, without it).
std::string WithModulePath(const std::string& value, const std::string& modulePath);

}  // namespace fw
