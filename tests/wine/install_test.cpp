// Installing the control from its web-install INF, as an administrator or a
// page's code download does, and uninstalling it again: the system's own
// advpack does the work, a script engine checks the result.
#include <windows.h>
#include <gtest/gtest.h>

#include "brimlet_idl.h"
#include "framework/registry_key.h"
#include "tests/wine/support/receiver.h"
#include "tests/wine/support/scenario.h"

namespace {

const std::string kInprocKey = "CLSID\\" + fw::GuidText(CLSID_Brimlet) + "\\InprocServer32";

std::string PackageInf() { return scenario::BuildDir() + "\\package\\BRIMLET.INF"; }

std::string SystemModule() {
  char folder[MAX_PATH] = {};
  ::GetSystemDirectoryA(folder, MAX_PATH);
  return std::string(folder) + "\\BRIMLET.OCX";
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SameText(const std::string& a, const std::string& b) {
  return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

DWORD RunInfSection(const char* section) {
  std::string output;
  const DWORD code = scenario::RunProcess(
      "rundll32.exe advpack.dll,LaunchINFSection " + PackageInf() + "," + section + ",3", &output,
      60000);
  if (!output.empty()) std::printf("rundll32 %s: %s\n", section, output.c_str());
  return code;
}

// What a page's script gets from `new ActiveXObject` by the ProgID.
std::string CreateFromScript() {
  std::string path = "Z:" BRIMLET_SOURCE_DIR "/tests/wine/scripts/create_by_progid.js";
  for (char& c : path)
    if (c == '/') c = '\\';
  std::string output;
  scenario::RunProcess("cscript.exe //nologo \"" + path + "\"", &output, 60000);
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  return output;
}

// Unregistering stops at the type library when that is already gone, so a
// clean slate is a registration followed by an unregistration.
void RemoveAnyRegistration() {
  scenario::Regsvr32(false);
  scenario::Regsvr32(true);
}

// The other scenarios use the module registered from the build folder; put
// that back whatever happens here, and take away any copy left in the
// system folder.
class BuildRegistrationRestorer {
 public:
  BuildRegistrationRestorer()
      : wasRegistered_(SameText(scenario::RegistryDefaultValue(HKEY_CLASSES_ROOT, kInprocKey),
                                scenario::BuiltModulePath())) {}
  ~BuildRegistrationRestorer() {
    if (Exists(SystemModule())) {
      RunInfSection("DefaultUninstall");
      ::DeleteFileA(SystemModule().c_str());
    }
    if (wasRegistered_) scenario::Regsvr32(false);
    else RemoveAnyRegistration();
  }

 private:
  bool wasRegistered_;
};

TEST(WebInstall, TheInfInstallsAScriptableControlAndUninstallsIt) {
  ASSERT_TRUE(Exists(PackageInf())) << PackageInf() << " (the cross build makes it)";
  BuildRegistrationRestorer restorer;

  // Start from a machine that has never seen the control.
  RemoveAnyRegistration();
  ASSERT_EQ("", scenario::RegistryDefaultValue(HKEY_CLASSES_ROOT, kInprocKey));
  ASSERT_FALSE(Exists(SystemModule())) << "left over from an earlier run: " << SystemModule();
  ASSERT_EQ("not created: 800a01ad", CreateFromScript());

  RunInfSection("DefaultInstall");
  EXPECT_TRUE(Exists(SystemModule())) << "the INF did not copy the module into the system folder";
  std::string installed, built;
  ASSERT_TRUE(scenario::ReadWholeFile(scenario::BuiltModulePath(), &built));
  EXPECT_TRUE(scenario::ReadWholeFile(SystemModule(), &installed) && installed == built)
      << "the copy in the system folder is not the build's module";
  EXPECT_TRUE(SameText(SystemModule(), scenario::RegistryDefaultValue(HKEY_CLASSES_ROOT, kInprocKey)))
      << "registered as " << scenario::RegistryDefaultValue(HKEY_CLASSES_ROOT, kInprocKey);
  EXPECT_EQ(fw::GuidText(CLSID_Brimlet),
            scenario::RegistryDefaultValue(HKEY_CLASSES_ROOT, "BRIMLET.BrimletCtrl.1\\CLSID"));
  EXPECT_EQ("created, MaxFileCount=100", CreateFromScript());

  RunInfSection("DefaultUninstall");
  EXPECT_FALSE(Exists(SystemModule())) << "the uninstall left the module in the system folder";
  EXPECT_EQ("", scenario::RegistryDefaultValue(HKEY_CLASSES_ROOT, kInprocKey));
  EXPECT_EQ("not created: 800a01ad", CreateFromScript());
}

}  // namespace
