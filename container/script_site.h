// The host side of a script engine: it hands the engine the objects a page
// names, gives its dialogs a parent window, and reports every script error
// with the place it happened instead of letting the engine drop it.
#pragma once

#include <windows.h>
#include <activscp.h>

#include <functional>
#include <map>
#include <string>

#include "framework/com_object.h"

namespace container {

struct ScriptErrorInfo {
  DWORD context = 0;      // the source context cookie of the code that failed
  bool positioned = false;  // whether line and column are known
  ULONG line = 0;         // zero-based, counted from the starting line given
                          // to ParseScriptText
  LONG column = 0;        // zero-based
  HRESULT code = S_OK;
  std::wstring description;
  std::wstring sourceLine;
};

class ScriptSite
    : public fw::ComObject<ScriptSite, IActiveScriptSite, IActiveScriptSiteWindow> {
 public:
  using ErrorHandler = std::function<void(const ScriptErrorInfo&)>;

  static const fw::InterfaceEntry* InterfaceTable();

  // IActiveScriptSite
  STDMETHODIMP GetLCID(LCID* lcid) override;
  STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item,
                           ITypeInfo** typeInfo) override;
  STDMETHODIMP GetDocVersionString(BSTR* version) override;
  STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override;
  STDMETHODIMP OnStateChange(SCRIPTSTATE) override;
  STDMETHODIMP OnScriptError(IActiveScriptError* error) override;
  STDMETHODIMP OnEnterScript() override;
  STDMETHODIMP OnLeaveScript() override;

  // IActiveScriptSiteWindow
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP EnableModeless(BOOL) override;

  // An item the engine may ask for by name; `typeInfo` (may be null) is the
  // class description an engine binds events through.
  void AddItem(const std::wstring& name, IUnknown* item, ITypeInfo* typeInfo);
  // Drops every item and the error handler: the engine is closing.
  void Clear();
  size_t errorCount() const { return errorCount_; }

 private:
  friend class fw::ComObject<ScriptSite, IActiveScriptSite, IActiveScriptSiteWindow>;
  ScriptSite(HWND window, ErrorHandler onError)
      : window_(window), onError_(std::move(onError)) {}

  struct Item {
    fw::ComPtr<IUnknown> unknown;
    fw::ComPtr<ITypeInfo> typeInfo;
  };
  HWND window_;
  ErrorHandler onError_;
  std::map<std::wstring, Item> items_;
  size_t errorCount_ = 0;
};

}  // namespace container
