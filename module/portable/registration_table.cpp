#include "module/portable/registration_table.h"

#include <cstdio>
#include <string>

#include "module/portable/module_identity.h"
#include "module/portable/type_library_version.h"

namespace brimlet {
namespace {

using fw::RegistryEntry;
using fw::RegistryWriter;

// The identities the type library (brimlet.idl) and the class objects carry.
const std::string kControlClsid = "{63C86E2A-4127-4050-A0F7-CBA35E51CBA6}";
const std::string kPropPageClsid = "{3822789E-2C74-41A1-9C87-EAFBC9383277}";
const std::string kLibraryId = "{BE4F75F7-37F6-4CEB-8CED-08D530072E76}";
// As the registry names a type library's version: major.minor in hex.
std::string LibraryVersion() {
  char text[16];
  std::snprintf(text, sizeof text, "%x.%x", BRIMLET_TYPELIB_MAJOR, BRIMLET_TYPELIB_MINOR);
  return text;
}
const std::string kLibraryVersion = LibraryVersion();
const std::string kLibraryName = "Brimlet ActiveX Control module";
// The library's locale (0x0409) and flags (LIBFLAG_FCONTROL | LIBFLAG_FHASDISKIMAGE).
const std::string kLibraryLocale = "409";
const std::string kLibraryFlags = "10";
// The categories' names are written in US English (0x0409).
const std::string kCategoryLocale = "409";
const std::string kControlTypeName = "Brimlet Control";
const std::string kPropPageTypeName = "Brimlet Property Page";
const std::string kToolboxBitmapId = "1";
// The proxy of dispatch-only interfaces (PSDispatch).
const std::string kDispatchProxy = "{00020420-0000-0000-C000-000000000046}";

struct Interface {
  const char* iid;
  const char* name;
};
const Interface kInterfaces[] = {
    {"{3460C2F5-0455-4DFA-8667-E55C7C8B9129}", "_DBrimlet"},
    {"{4C4CA13F-C71C-4C8D-B2B7-D59CDF592EF9}", "_DBrimletEvents"},
};

struct Category {
  const char* catid;
  const char* description;
};
const Category kCategories[] = {
    {"{7DD95801-9882-11CF-9FA9-00AA006C42C4}", "Controls that are safely scriptable"},
    {"{7DD95802-9882-11CF-9FA9-00AA006C42C4}", "Controls safely initializable from persistent data"},
};

void AddInprocClass(std::vector<RegistryEntry>& entries, const std::string& clsid, const std::string& typeName) {
  const std::string key = "CLSID\\" + clsid;
  entries.push_back({key, "", typeName});
  entries.push_back({key + "\\InprocServer32", "", fw::kModulePathMark});
  entries.push_back({key + "\\InprocServer32", "ThreadingModel", "Apartment"});
}

}  // namespace

std::vector<fw::RegistryEntry> ModuleRegistryEntries(int bits) {
  std::vector<RegistryEntry> entries;
  const std::string control = "CLSID\\" + kControlClsid;
  AddInprocClass(entries, kControlClsid, kControlTypeName);
  entries.push_back({control + "\\ProgID", "", kControlProgId});
  entries.push_back({control + "\\Control", "", ""});
  entries.push_back({control + "\\ToolboxBitmap32", "", std::string(fw::kModulePathMark) + ", " + kToolboxBitmapId});
  entries.push_back({control + "\\MiscStatus", "", "0"});
  entries.push_back({control + "\\MiscStatus\\1", "", std::to_string(kControlMiscStatus)});
  entries.push_back({control + "\\TypeLib", "", kLibraryId});
  entries.push_back({control + "\\Version", "", kLibraryVersion});
  const std::string progId = kControlProgId;
  entries.push_back({progId, "", kControlTypeName});
  entries.push_back({progId + "\\CLSID", "", kControlClsid});
  // The page's ProgID belongs to its class object only; it is not registered.
  AddInprocClass(entries, kPropPageClsid, kPropPageTypeName);

  const std::string library = "TypeLib\\" + kLibraryId + "\\" + kLibraryVersion;
  const std::string platform = bits == 64 ? "win64" : "win32";
  entries.push_back({library, "", kLibraryName, RegistryWriter::kTypeLibrary});
  entries.push_back({library + "\\" + kLibraryLocale + "\\" + platform, "", fw::kModulePathMark,
                     RegistryWriter::kTypeLibrary});
  entries.push_back({library + "\\FLAGS", "", kLibraryFlags, RegistryWriter::kTypeLibrary});
  entries.push_back({library + "\\HELPDIR", "", fw::kModuleFolderMark, RegistryWriter::kTypeLibrary});
  for (const Interface& dispatch : kInterfaces) {
    const std::string key = std::string("Interface\\") + dispatch.iid;
    const RegistryEntry written[] = {{key, "", dispatch.name},
                                     {key + "\\ProxyStubClsid", "", kDispatchProxy},
                                     {key + "\\ProxyStubClsid32", "", kDispatchProxy},
                                     {key + "\\TypeLib", "", kLibraryId},
                                     {key + "\\TypeLib", "Version", kLibraryVersion}};
    for (RegistryEntry entry : written) {
      entry.writer = RegistryWriter::kTypeLibrary;
      entry.bothViews = true;
      entries.push_back(entry);
    }
  }

  for (const Category& category : kCategories) {
    entries.push_back({std::string("Component Categories\\") + category.catid, kCategoryLocale,
                       category.description, RegistryWriter::kCategories, false, false, true});
    entries.push_back({control + "\\Implemented Categories\\" + category.catid, "", "",
                       RegistryWriter::kCategories, false, true});
  }
  return entries;
}

}  // namespace brimlet
