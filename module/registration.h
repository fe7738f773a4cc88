// Self-registration of the module: type library, the control and property
// page classes, and the control's safety categories.
#pragma once

#include <windows.h>

namespace brimlet {

HRESULT RegisterModule();
HRESULT UnregisterModule();

// The component-category steps, each through its own categories manager.
HRESULT CreateComponentCategory(REFGUID category, const wchar_t* description);
HRESULT RegisterClassInCategory(REFCLSID clsid, REFGUID category);

}  // namespace brimlet
