// Self-registration as an installer or regsvr32 meets it, and the module's
// exports and resources as the system reads them.
#include <gtest/gtest.h>
#include <olectl.h>
#include <windows.h>

#include "brimlet_idl.h"
#include <commctrl.h>

#include "framework/com_ptr.h"
#include "framework/registry_key.h"
#include "resource_ids.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/wine/support/scenario.h"

namespace {

const std::string kControlKey = "CLSID\\" + fw::GuidText(CLSID_Brimlet);
const char kPageClsid[] = "{3822789E-2C74-41A1-9C87-EAFBC9383277}";
const char kSafeForScripting[] = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
const char kSafeForInitializing[] = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
const std::string kTypeLibKey = "TypeLib\\" + fw::GuidText(LIBID_BRIMLETLib) + "\\1.0";

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

bool ClassesKey(const std::string& path) { return fw::ClassesKeyExists(path); }
std::string ClassesValue(const std::string& path) {
  return scenario::RegistryDefaultValue(HKEY_CLASSES_ROOT, path);
}

std::string CategoryDescription(const char* catid) {
  char value[256] = {};
  DWORD size = sizeof value;
  const std::string path = std::string("Component Categories\\") + catid;
  if (::RegGetValueA(HKEY_CLASSES_ROOT, path.c_str(), "409", RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return {};
  return value;
}

bool ImplementsCategory(const char* catid) {
  return ClassesKey(kControlKey + "\\Implemented Categories\\" + catid);
}

// The module loaded into this process, to call its exports directly.
class LoadedModule {
 public:
  LoadedModule() : module_(::LoadLibraryA(scenario::BuiltModulePath().c_str())) {}
  ~LoadedModule() {
    if (module_) ::FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }
  HRESULT Call(const char* name) const {
    auto entry = scenario::Export<HRESULT(WINAPI*)()>(module_, name);
    return entry ? entry() : E_NOTIMPL;
  }

 private:
  HMODULE module_;
};

TEST(Registration, Regsvr32RegistersTheControlItsTypeLibraryAndItsSafetyCategories) {
  ASSERT_EQ(0u, scenario::Regsvr32(false));

  EXPECT_EQ(fw::GuidText(CLSID_Brimlet), ClassesValue("BRIMLET.BrimletCtrl.1\\CLSID"));
  EXPECT_EQ("Brimlet Control", ClassesValue(kControlKey));
  EXPECT_EQ(scenario::BuiltModulePath(), ClassesValue(kControlKey + "\\InprocServer32"));
  EXPECT_EQ("131473", ClassesValue(kControlKey + "\\MiscStatus\\1"));  // 0x00020191
  EXPECT_TRUE(ClassesKey(kControlKey + "\\Control"));
  EXPECT_FALSE(ClassesKey(kControlKey + "\\Insertable"));
  EXPECT_EQ(fw::GuidText(LIBID_BRIMLETLib), ClassesValue(kControlKey + "\\TypeLib"));

  // The page is a registered class, but its ProgID is never written.
  EXPECT_EQ("Brimlet Property Page", ClassesValue(std::string("CLSID\\") + kPageClsid));
  EXPECT_TRUE(ClassesKey(std::string("CLSID\\") + kPageClsid + "\\InprocServer32"));
  EXPECT_FALSE(ClassesKey("BRIMLET.BrimletPropPage.1"));

  EXPECT_TRUE(ClassesKey(kTypeLibKey));
  EXPECT_EQ("Controls that are safely scriptable", CategoryDescription(kSafeForScripting));
  EXPECT_EQ("Controls safely initializable from persistent data", CategoryDescription(kSafeForInitializing));
  EXPECT_TRUE(ImplementsCategory(kSafeForScripting));
  EXPECT_TRUE(ImplementsCategory(kSafeForInitializing));
}

// Hosts of the module's own architecture look in their own registry view; on a
// 64-bit system the other view belongs to modules of the other architecture.
#ifdef _WIN64
constexpr REGSAM kOwnView = KEY_WOW64_64KEY, kOtherView = KEY_WOW64_32KEY;
constexpr char kOwnPlatform[] = "win64";
#else
constexpr REGSAM kOwnView = KEY_WOW64_32KEY, kOtherView = KEY_WOW64_64KEY;
constexpr char kOwnPlatform[] = "win32";
#endif

std::string ViewValue(REGSAM view, const std::string& path) {
  fw::UniqueHKey key;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS)
    return {};
  char value[1024] = {};
  DWORD size = sizeof value - 1;
  if (::RegQueryValueExA(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
      ERROR_SUCCESS)
    return {};
  return value;
}

bool SystemIs64Bit() {
  BOOL wow64 = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow64);
  return sizeof(void*) == 8 || wow64;
}

TEST(Registration, WritesTheRegistryViewOfTheModulesOwnArchitecture) {
  ASSERT_EQ(0u, scenario::Regsvr32(false));
  EXPECT_EQ(scenario::BuiltModulePath(), ViewValue(kOwnView, kControlKey + "\\InprocServer32"));
  EXPECT_EQ(fw::GuidText(CLSID_Brimlet), ViewValue(kOwnView, "BRIMLET.BrimletCtrl.1\\CLSID"));
  // The library is registered for the platform of the module that holds it.
  EXPECT_EQ(scenario::BuiltModulePath(), ViewValue(kOwnView, kTypeLibKey + "\\409\\" + kOwnPlatform));
  if (SystemIs64Bit()) {
    EXPECT_NE(scenario::BuiltModulePath(), ViewValue(kOtherView, kControlKey + "\\InprocServer32"))
        << "a host of the other architecture must not be sent to this module";
  }
}

TEST(Registration, UnregisteringRemovesClassesAndLibraryButKeepsTheCategories) {
  ASSERT_EQ(0u, scenario::Regsvr32(false));
  ASSERT_EQ(0u, scenario::Regsvr32(true));

  EXPECT_FALSE(ClassesKey("BRIMLET.BrimletCtrl.1"));
  EXPECT_FALSE(ClassesKey(kControlKey + "\\InprocServer32"));
  EXPECT_FALSE(ClassesKey(std::string("CLSID\\") + kPageClsid));
  EXPECT_FALSE(ClassesKey(kTypeLibKey));
  EXPECT_EQ("Controls that are safely scriptable", CategoryDescription(kSafeForScripting));
  EXPECT_EQ("Controls safely initializable from persistent data", CategoryDescription(kSafeForInitializing));
  EXPECT_TRUE(ImplementsCategory(kSafeForScripting));
  EXPECT_TRUE(ImplementsCategory(kSafeForInitializing));

  fw::ComPtr<IUnknown> control;
  EXPECT_EQ(REGDB_E_CLASSNOTREG, ::CoCreateInstance(CLSID_Brimlet, nullptr, CLSCTX_INPROC_SERVER,
                                                    IID_IUnknown, control.put_void()));
}

TEST(Registration, RepeatedAndUnmatchedCallsEndWithTheirResultCodes) {
  LoadedModule module;
  ASSERT_TRUE(module.get());
  EXPECT_EQ(S_OK, module.Call("DllRegisterServer"));
  EXPECT_EQ(S_OK, module.Call("DllRegisterServer"));
  EXPECT_EQ(S_OK, module.Call("DllUnregisterServer"));
  // Nothing left to unregister: the type library step fails first.
  EXPECT_EQ(SELFREG_E_TYPELIB, module.Call("DllUnregisterServer"));
  EXPECT_EQ(SELFREG_E_TYPELIB, module.Call("DllUnregisterServer"));
  EXPECT_NE(0u, scenario::Regsvr32(true));
  EXPECT_EQ(S_OK, module.Call("DllRegisterServer"));
  EXPECT_EQ(fw::GuidText(CLSID_Brimlet), ClassesValue("BRIMLET.BrimletCtrl.1\\CLSID"));
}

TEST(Module, ExportsItsFourEntryPointsByOrdinal) {
  LoadedModule module;
  ASSERT_TRUE(module.get());
  const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                         "DllUnregisterServer"};
  for (WORD ordinal = 1; ordinal <= 4; ++ordinal) {
    FARPROC byName = ::GetProcAddress(module.get(), names[ordinal - 1]);
    EXPECT_NE(nullptr, byName) << names[ordinal - 1];
    EXPECT_EQ(byName, ::GetProcAddress(module.get(), MAKEINTRESOURCEA(ordinal))) << ordinal;
  }
}

TEST(Module, ServesExactlyItsTwoClassesAndReportsWhenItCanUnload) {
  LoadedModule module;
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto getClassObject = scenario::Export<GetClassObject>(module.get(), "DllGetClassObject");
  ASSERT_NE(nullptr, getClassObject);

  fw::ComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, getClassObject(CLSID_Brimlet, IID_IClassFactory, factory.put_void()));
  fw::ComPtr<IClassFactory> pageFactory;
  CLSID pageClsid;
  ::CLSIDFromString(L"{3822789E-2C74-41A1-9C87-EAFBC9383277}", &pageClsid);
  EXPECT_EQ(S_OK, getClassObject(pageClsid, IID_IClassFactory, pageFactory.put_void()));
  fw::ComPtr<IClassFactory> other;
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IDispatch, IID_IClassFactory, other.put_void()));

  EXPECT_EQ(S_OK, module.Call("DllCanUnloadNow"));
  fw::ComPtr<IUnknown> control;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, control.put_void()));
  EXPECT_EQ(S_FALSE, module.Call("DllCanUnloadNow"));
  fw::ComPtr<IUnknown> aggregated;
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(control.get(), IID_IUnknown, aggregated.put_void()));
  control.reset();
  EXPECT_EQ(S_OK, module.Call("DllCanUnloadNow"));
  factory->LockServer(TRUE);
  EXPECT_EQ(S_FALSE, module.Call("DllCanUnloadNow"));
  factory->LockServer(FALSE);
  EXPECT_EQ(S_OK, module.Call("DllCanUnloadNow"));
}

TEST(Module, CarriesItsTextsMenuBitmapAndSelfRegisterMark) {
  LoadedModule module;
  ASSERT_TRUE(module.get());
  auto text = [&](UINT id) {
    char buffer[512] = {};
    const int length = ::LoadStringA(module.get(), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? length : 0);
  };
  EXPECT_EQ("Brimlet Control", text(1));
  EXPECT_EQ("Brimlet Property Page", text(2));
  EXPECT_EQ("General", text(200));
  EXPECT_EQ("전송 속도:  %1KB/초", text(201));
  EXPECT_EQ("전송 속도:  %1Bytes/초", text(202));
  EXPECT_EQ("선택하신 파일 전체 크기가 설정된 크기 보다 큽니다.", text(203));
  EXPECT_EQ("선택하신 파일 크기가 설정된 크기 보다 큽니다.", text(204));
  EXPECT_EQ("선택하신 파일 개수가 설정된 개수 보다 많습니다.", text(205));
  EXPECT_EQ("전송을 정말 취소하시겠습니까?", text(209));

  HMENU menu = ::LoadMenuA(module.get(), MAKEINTRESOURCEA(IDR_POPUP_MENU));
  ASSERT_NE(nullptr, menu);
  HMENU popup = ::GetSubMenu(menu, 0);
  ASSERT_NE(nullptr, popup);
  EXPECT_EQ(7, ::GetMenuItemCount(popup));
  char item[128] = {};
  ::GetMenuStringA(popup, ID_DELETE_SELECTED, item, sizeof item, MF_BYCOMMAND);
  EXPECT_STREQ("선택한 파일 삭제", item);
  ::GetMenuStringA(popup, ID_ADD_FOLDER, item, sizeof item, MF_BYCOMMAND);
  EXPECT_STREQ("폴더 추가...", item);
  HMENU views = ::GetSubMenu(popup, 6);
  ASSERT_NE(nullptr, views);
  const UINT viewOrder[] = {ID_VIEW_LARGE_ICONS, ID_VIEW_SMALL_ICONS, ID_VIEW_LIST, ID_VIEW_DETAILS};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(viewOrder[i], ::GetMenuItemID(views, i));
  ::DestroyMenu(menu);

  HRSRC bitmapResource = ::FindResourceA(module.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(2) /*RT_BITMAP*/);
  ASSERT_NE(nullptr, bitmapResource);
  auto* header = static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(module.get(), bitmapResource)));
  EXPECT_EQ(16, header->biWidth);
  EXPECT_EQ(15, header->biHeight);
  EXPECT_EQ(4, header->biBitCount);

  EXPECT_NE(nullptr, ::FindResourceA(module.get(), MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(24) /*RT_MANIFEST*/));

  const std::string path = scenario::BuiltModulePath();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string version(size, '\0');
  ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, &version[0]));
  void* value = nullptr;
  UINT valueSize = 0;
  EXPECT_TRUE(::VerQueryValueA(&version[0], "\\StringFileInfo\\041203b5\\OLESelfRegister", &value, &valueSize));
}

TEST(Module, ProgressDialogTemplateBuildsWithEveryControlInPlace) {
  LoadedModule module;
  ASSERT_TRUE(module.get());
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  ASSERT_TRUE(::InitCommonControlsEx(&classes));
  HWND dialog = ::CreateDialogParamA(module.get(), MAKEINTRESOURCEA(IDD_UPLOAD_PROGRESS), nullptr, QuietDialogProc, 0);
  ASSERT_NE(nullptr, dialog);
  auto text = [&](int id) {
    char buffer[128] = {};
    ::GetDlgItemTextA(dialog, id, buffer, sizeof buffer);
    return std::string(buffer);
  };
  auto className = [&](int id) {
    char buffer[64] = {};
    ::GetClassNameA(::GetDlgItem(dialog, id), buffer, sizeof buffer);
    return std::string(buffer);
  };
  EXPECT_EQ("취소", text(IDC_CANCEL_UPLOAD));
  EXPECT_EQ("남은 시간:", text(IDC_FILE_TIME_LABEL));
  EXPECT_EQ("남은 시간:", text(IDC_TOTAL_TIME_LABEL));
  EXPECT_EQ("msctls_progress32", className(IDC_PROGRESS_FILE));
  EXPECT_EQ("msctls_progress32", className(IDC_PROGRESS_TOTAL));
  EXPECT_EQ("SysListView32", className(IDC_FILE_LIST));
  EXPECT_TRUE(::GetWindowLongA(::GetDlgItem(dialog, IDC_FILE_LIST), GWL_STYLE) & LVS_REPORT);
  for (int id : {IDC_CURRENT_FILE, IDC_FILE_TIME_LEFT, IDC_TOTAL_TIME_LEFT, IDC_FILE_PERCENT, IDC_TOTAL_PERCENT}) {
    EXPECT_NE(nullptr, ::GetDlgItem(dialog, id)) << id;
    EXPECT_EQ("", text(id)) << id;
  }
  EXPECT_EQ("", drivers::WindowTextA(dialog)) << "the caption is set at run time";
  ::DestroyWindow(dialog);

  HWND page = ::CreateDialogParamA(module.get(), MAKEINTRESOURCEA(IDD_PROPPAGE_BRIMLET), ::GetDesktopWindow(), QuietDialogProc, 0);
  ASSERT_NE(nullptr, page);
  EXPECT_EQ(nullptr, ::GetWindow(page, GW_CHILD)) << "the page has no field";
  EXPECT_TRUE(::GetWindowLongA(page, GWL_STYLE) & WS_CHILD);
  ::DestroyWindow(page);
}

}  // namespace
