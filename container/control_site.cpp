#include "container/control_site.h"

#include <new>

#include <shlguid.h>
#include <urlmon.h>

#include "container/page_browser.h"

namespace container {

ControlSite::ControlSite(HWND window) : window_(window) {
  ambients_[DISPID_AMBIENT_USERMODE] = Variant::FromBool(true);
  ambients_[DISPID_AMBIENT_LOCALEID] = Variant::FromLong(static_cast<long>(::GetUserDefaultLCID()));
}

const fw::InterfaceEntry* ControlSite::InterfaceTable() {
  static const fw::InterfaceEntry table[] = {
      fw::Entry<ControlSite, IOleClientSite>(IID_IOleClientSite),
      fw::Entry<ControlSite, IOleWindow, IOleInPlaceSite>(IID_IOleWindow),
      fw::Entry<ControlSite, IOleInPlaceSite>(IID_IOleInPlaceSite),
      fw::Entry<ControlSite, IOleInPlaceUIWindow, IOleInPlaceFrame>(IID_IOleInPlaceUIWindow),
      fw::Entry<ControlSite, IOleInPlaceFrame>(IID_IOleInPlaceFrame),
      fw::Entry<ControlSite, IOleControlSite>(IID_IOleControlSite),
      fw::Entry<ControlSite, IDispatch>(IID_IDispatch),
      fw::Entry<ControlSite, IServiceProvider>(IID_IServiceProvider),
      {nullptr, 0},
  };
  return table;
}

// ------------------------------------------------------------ IOleClientSite

STDMETHODIMP ControlSite::SaveObject() { return S_OK; }

STDMETHODIMP ControlSite::GetMoniker(DWORD, DWORD which, IMoniker** moniker) {
  if (!moniker) return E_POINTER;
  *moniker = nullptr;
  if (pageAddress_.empty() || addressBy_ != AddressBy::kMoniker || which != OLEWHICHMK_CONTAINER) return E_NOTIMPL;
  return ::CreateURLMonikerEx(nullptr, pageAddress_.c_str(), moniker, URL_MK_UNIFORM);
}

STDMETHODIMP ControlSite::GetContainer(IOleContainer** container) {
  if (container) *container = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP ControlSite::ShowObject() { return S_OK; }
STDMETHODIMP ControlSite::OnShowWindow(BOOL) { return S_OK; }
STDMETHODIMP ControlSite::RequestNewObjectLayout() { return E_NOTIMPL; }

// ---------------------------------------------------------------- IOleWindow

STDMETHODIMP ControlSite::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return S_OK;
}

STDMETHODIMP ControlSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// ----------------------------------------------------------- IOleInPlaceSite

STDMETHODIMP ControlSite::CanInPlaceActivate() { return S_OK; }

STDMETHODIMP ControlSite::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP ControlSite::OnUIActivate() { return S_OK; }

STDMETHODIMP ControlSite::GetWindowContext(IOleInPlaceFrame** frame,
                                           IOleInPlaceUIWindow** document, RECT* position,
                                           RECT* clip, OLEINPLACEFRAMEINFO* info) {
  if (!frame || !document || !position || !clip || !info) return E_POINTER;
  IOleInPlaceFrame* self = this;
  self->AddRef();
  *frame = self;
  self->AddRef();
  *document = self;

  RECT client{};
  ::GetClientRect(window_, &client);
  *position = client;
  *clip = client;

  info->cb = sizeof(OLEINPLACEFRAMEINFO);
  info->fMDIApp = FALSE;
  info->hwndFrame = window_;
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

STDMETHODIMP ControlSite::Scroll(SIZE) { return E_NOTIMPL; }

STDMETHODIMP ControlSite::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP ControlSite::OnInPlaceDeactivate() { return S_OK; }

STDMETHODIMP ControlSite::DiscardUndoState() { return E_NOTIMPL; }
STDMETHODIMP ControlSite::DeactivateAndUndo() { return E_NOTIMPL; }

// The host window gives the control all of its client area, whatever it asks.
STDMETHODIMP ControlSite::OnPosRectChange(LPCRECT) { return S_OK; }

// ------------------------------------------------------- IOleInPlaceUIWindow

STDMETHODIMP ControlSite::GetBorder(RECT*) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP ControlSite::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }

STDMETHODIMP ControlSite::SetBorderSpace(LPCBORDERWIDTHS widths) {
  // A null request means "no tools", which is what the host already has.
  return widths ? INPLACE_E_NOTOOLSPACE : S_OK;
}

STDMETHODIMP ControlSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
  activeObject_ = fw::ComPtr<IOleInPlaceActiveObject>(object);
  return S_OK;
}

// ---------------------------------------------------------- IOleInPlaceFrame

STDMETHODIMP ControlSite::InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) { return E_NOTIMPL; }
STDMETHODIMP ControlSite::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
STDMETHODIMP ControlSite::RemoveMenus(HMENU) { return S_OK; }

// The host has no status bar to show it in.
STDMETHODIMP ControlSite::SetStatusText(LPCOLESTR) { return S_OK; }

STDMETHODIMP ControlSite::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP ControlSite::TranslateAccelerator(MSG*, WORD) { return S_FALSE; }

// ----------------------------------------------------------- IOleControlSite

STDMETHODIMP ControlSite::OnControlInfoChanged() { return S_OK; }
STDMETHODIMP ControlSite::LockInPlaceActive(BOOL) { return S_OK; }

STDMETHODIMP ControlSite::GetExtendedControl(IDispatch** control) {
  if (control) *control = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ControlSite::TransformCoords(POINTL*, POINTF*, DWORD) { return E_NOTIMPL; }
STDMETHODIMP ControlSite::TranslateAccelerator(MSG*, DWORD) { return S_FALSE; }
STDMETHODIMP ControlSite::OnFocus(BOOL) { return S_OK; }
// The control shows its own property frame.
STDMETHODIMP ControlSite::ShowPropertyFrame() { return E_NOTIMPL; }

// ---------------------------------------------------------- IServiceProvider

STDMETHODIMP ControlSite::QueryService(REFGUID service, REFIID iid, void** result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  if (pageAddress_.empty() || addressBy_ != AddressBy::kBrowser || !::IsEqualGUID(service, SID_SWebBrowserApp))
    return E_NOINTERFACE;
  const fw::ComPtr<PageBrowser> browser = PageBrowser::Create(pageAddress_);
  return browser ? browser->QueryInterface(iid, result) : E_OUTOFMEMORY;
}

// ---------------------------------------------------------- ambient IDispatch

STDMETHODIMP ControlSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                 EXCEPINFO*, UINT*) {
  const auto ambient = ambients_.find(id);
  if (ambient == ambients_.end()) return DISP_E_MEMBERNOTFOUND;
  if (!result) return E_POINTER;
  return ::VariantCopy(result, const_cast<VARIANT*>(ambient->second.get()));
}

}  // namespace container
