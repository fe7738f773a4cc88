// The small part of a browser's window object that pages for the control
// use: alert, document.write, window.close, window.location, and log for
// test pages. It is the script engine's global named item, so a page calls
// alert(...) or window.alert(...) alike.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "framework/com_object.h"

namespace container {

// What the window object does to its page; implemented by the page host.
class PageServices {
 public:
  // A failure ends the script that wrote, as an exception would.
  virtual HRESULT Write(const std::wstring& text) = 0;
  virtual void Alert(const std::wstring& text) = 0;
  virtual void Close() = 0;
  virtual void Navigate(const std::wstring& url) = 0;
  virtual std::wstring Location() const = 0;
  virtual std::wstring Title() const = 0;

 protected:
  ~PageServices() = default;
};

// Script values as a page's text shows them: true/false, numbers without a
// locale's separators, undefined and null by name.
std::wstring ScriptValueText(const VARIANT& value);

// The member of `names` called `name` (without regard to case), numbered
// from 1; DISPID_UNKNOWN when there is none.
DISPID MemberId(const std::vector<const wchar_t*>& names, const wchar_t* name);

// A script object whose members are answered by Self::OnInvoke and looked up
// in Self::Names(). Once detached it answers every call with E_UNEXPECTED:
// the page is gone, though the script engine may still hold a reference.
template <class Self>
class ScriptObject : public fw::ComObject<Self, IDispatch> {
 public:
  static const fw::InterfaceEntry* InterfaceTable() {
    static const fw::InterfaceEntry table[] = {
        fw::Entry<Self, IDispatch>(IID_IDispatch),
        {nullptr, 0},
    };
    return table;
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    ids[0] = MemberId(Self::Names(), names[0]);
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT*) override {
    if (!services_) return E_UNEXPECTED;
    // Arguments in declared order; rgvarg holds them last first.
    std::vector<VARIANT> args;
    if (params && params->rgvarg) {
      for (UINT i = params->cArgs; i-- > 0;) {
        // A property put's value is the named DISPID_PROPERTYPUT argument.
        args.push_back(params->rgvarg[i]);
      }
    }
    if (result) ::VariantInit(result);
    return static_cast<Self*>(this)->OnInvoke(id, flags, args, result);
  }

  void Detach() { services_ = nullptr; }

 protected:
  explicit ScriptObject(PageServices* services) : services_(services) {}
  PageServices* services() const { return services_; }

 private:
  PageServices* services_;
};

// document: write(...), writeln(...), title.
class PageDocument : public ScriptObject<PageDocument> {
 public:
  static const std::vector<const wchar_t*>& Names();
  HRESULT OnInvoke(DISPID id, WORD flags, const std::vector<VARIANT>& args, VARIANT* result);

 private:
  friend class fw::ComObject<PageDocument, IDispatch>;
  explicit PageDocument(PageServices* services) : ScriptObject(services) {}
};

// window: alert(text), log(text), close(), document, location (read and
// set; setting it navigates).
class PageWindow : public ScriptObject<PageWindow> {
 public:
  static const std::vector<const wchar_t*>& Names();
  HRESULT OnInvoke(DISPID id, WORD flags, const std::vector<VARIANT>& args, VARIANT* result);
  void DetachAll() {
    Detach();
    if (document_) document_->Detach();
  }

 private:
  friend class fw::ComObject<PageWindow, IDispatch>;
  explicit PageWindow(PageServices* services);
  fw::ComPtr<PageDocument> document_;
};

}  // namespace container
