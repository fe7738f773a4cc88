// The base of a property page that a property frame shows: a child dialog
// made from a template, with a caption from the string table. Data exchange
// runs when the page loads values and when it applies them.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <vector>

#include "framework/com_object.h"
#include "framework/com_ptr.h"
#include "framework/unique_handle.h"

namespace fw {

// The record handed to a page's DoDataExchange.
struct DataExchange {
  bool saving;  // true when applying the page to its objects
  HWND page;
  const std::vector<ComPtr<IUnknown>>& objects;
};

// Applies what the page's fields queued for its objects; a page without
// fields has nothing to apply.
void DDP_PostProcessing(DataExchange& dx);

class PropertyPage : public ComObject<PropertyPage, IPropertyPage> {
 public:
  PropertyPage(const PropertyPage&) = delete;
  PropertyPage& operator=(const PropertyPage&) = delete;

  template <class T>
  static HRESULT CreateInstance(REFIID iid, void** result) {
    return fw::CreateInstance<T>(iid, result, [](T&) {});
  }

  static const InterfaceEntry* InterfaceTable();

  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT command) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG* message) override;

 protected:
  PropertyPage(UINT templateId, UINT captionId);
  ~PropertyPage() override;
  virtual void DoDataExchange(DataExchange& dx) = 0;

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam);
  HWND CreatePageWindow(HWND parent) const;

  UINT templateId_, captionId_;
  bool dirty_ = false;
  UniqueWindow window_;  // between Activate and Deactivate
  ComPtr<IPropertyPageSite> site_;
  std::vector<ComPtr<IUnknown>> objects_;
};

}  // namespace fw
