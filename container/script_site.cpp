#include "container/script_site.h"

namespace container {

const fw::InterfaceEntry* ScriptSite::InterfaceTable() {
  static const fw::InterfaceEntry table[] = {
      fw::Entry<ScriptSite, IActiveScriptSite>(IID_IActiveScriptSite),
      fw::Entry<ScriptSite, IActiveScriptSiteWindow>(IID_IActiveScriptSiteWindow),
      {nullptr, 0},
  };
  return table;
}

STDMETHODIMP ScriptSite::GetLCID(LCID* lcid) {
  if (!lcid) return E_POINTER;
  *lcid = ::GetUserDefaultLCID();
  return S_OK;
}

STDMETHODIMP ScriptSite::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item,
                                     ITypeInfo** typeInfo) {
  if ((mask & SCRIPTINFO_IUNKNOWN) && !item) return E_POINTER;
  if ((mask & SCRIPTINFO_ITYPEINFO) && !typeInfo) return E_POINTER;
  if (item) *item = nullptr;
  if (typeInfo) *typeInfo = nullptr;
  if (!name) return E_INVALIDARG;
  const auto found = items_.find(name);
  if (found == items_.end()) return TYPE_E_ELEMENTNOTFOUND;
  if (mask & SCRIPTINFO_ITYPEINFO) {
    if (!found->second.typeInfo) return TYPE_E_ELEMENTNOTFOUND;
    found->second.typeInfo.CopyTo(typeInfo);
  }
  if (mask & SCRIPTINFO_IUNKNOWN) found->second.unknown.CopyTo(item);
  return S_OK;
}

STDMETHODIMP ScriptSite::GetDocVersionString(BSTR* version) {
  if (version) *version = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ScriptSite::OnScriptTerminate(const VARIANT*, const EXCEPINFO*) { return S_OK; }
STDMETHODIMP ScriptSite::OnStateChange(SCRIPTSTATE) { return S_OK; }

STDMETHODIMP ScriptSite::OnScriptError(IActiveScriptError* error) {
  ++errorCount_;
  if (!error) return S_OK;
  ScriptErrorInfo info;
  EXCEPINFO exception{};
  if (SUCCEEDED(error->GetExceptionInfo(&exception))) {
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    info.code = exception.scode ? exception.scode : static_cast<HRESULT>(exception.wCode);
    if (exception.bstrDescription) info.description = exception.bstrDescription;
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
  }
  info.positioned =
      SUCCEEDED(error->GetSourcePosition(&info.context, &info.line, &info.column));
  BSTR source = nullptr;
  if (SUCCEEDED(error->GetSourceLineText(&source)) && source) {
    info.sourceLine.assign(source, ::SysStringLen(source));
  }
  ::SysFreeString(source);
  if (onError_) onError_(info);
  // Handled: the engine stops the code that failed and reports nothing else.
  return S_OK;
}

STDMETHODIMP ScriptSite::OnEnterScript() { return S_OK; }
STDMETHODIMP ScriptSite::OnLeaveScript() { return S_OK; }

STDMETHODIMP ScriptSite::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return S_OK;
}

STDMETHODIMP ScriptSite::EnableModeless(BOOL) { return S_OK; }

void ScriptSite::AddItem(const std::wstring& name, IUnknown* item, ITypeInfo* typeInfo) {
  items_[name] = Item{fw::ComPtr<IUnknown>(item), fw::ComPtr<ITypeInfo>(typeInfo)};
}

void ScriptSite::Clear() {
  items_.clear();
  onError_ = nullptr;
}

}  // namespace container
