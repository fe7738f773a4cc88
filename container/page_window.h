// The small part of a browser's window object that pages for the control
// use: alert, document.write, window.close, window.location, and log for
// test pages. It is the script engine's global named item, so a page calls
// alert(...) or window.alert(...) alike.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "container/script_object.h"

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

// A page object whose members are answered by Self::OnInvoke. Once detached
// it answers every call with E_UNEXPECTED: the page is gone, though the
// script engine may still hold a reference.
template <class Self>
class PageObject : public ScriptObject<Self> {
 public:
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
  explicit PageObject(PageServices* services) : services_(services) {}
  PageServices* services() const { return services_; }

 private:
  PageServices* services_;
};

// document: write(...), writeln(...), title.
class PageDocument : public PageObject<PageDocument> {
 public:
  static const std::vector<const wchar_t*>& Names();
  HRESULT OnInvoke(DISPID id, WORD flags, const std::vector<VARIANT>& args, VARIANT* result);

 private:
  friend class fw::ComObject<PageDocument, IDispatch>;
  explicit PageDocument(PageServices* services) : PageObject(services) {}
};

// window: alert(text), log(text), close(), document, location (read and
// set; setting it navigates).
class PageWindow : public PageObject<PageWindow> {
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
