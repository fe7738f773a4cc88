// Entry points of BRIMLET.OCX: the module's class objects and the exports that
// COM and registration tools call.
#include <windows.h>
#include <olectl.h>

#include "brimlet_idl.h"
#include "control/brimlet_ctrl.h"
#include "framework/class_factory.h"
#include "framework/module.h"
#include "module/brimlet_prop_page.h"
#include "module/module_ids.h"
#include "module/registration.h"

namespace {

fw::ClassFactory g_controlFactory(CLSID_Brimlet, &fw::OleControl::CreateInstance<CBrimletCtrl>);
fw::ClassFactory g_propPageFactory(CLSID_BrimletPropPage,
                                   &fw::PropertyPage::CreateInstance<CBrimletPropPage>);
fw::ClassFactory* const g_factories[] = {&g_controlFactory, &g_propPageFactory};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    fw::SetModuleInstance(instance);
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return fw::ModuleCanUnload() ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** result) {
  return fw::GetClassObject(g_factories, 2, clsid, iid, result);
}

STDAPI DllRegisterServer() { return brimlet::RegisterModule(); }

STDAPI DllUnregisterServer() { return brimlet::UnregisterModule(); }
