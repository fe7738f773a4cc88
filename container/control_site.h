// The container side of one hosted control: its client site, its in-place
// site, and, since the host window holds nothing else, its frame and document
// window too. Ambient properties are answered the way a page answers them.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <servprov.h>

#include <map>
#include <string>
#include <utility>

#include "container/script_object.h"
#include "container/variant.h"

namespace container {

// How the container tells the control the address of its page, as a browser
// does: its document's moniker, or the browser behind the site's
// IServiceProvider.
enum class AddressBy { kMoniker, kBrowser };

class ControlSite
    : public ScriptObject<ControlSite, IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame, IOleControlSite,
                          IServiceProvider> {
 public:
  static const fw::InterfaceEntry* InterfaceTable();

  // The page's address the control is told; none (the default) makes the
  // container a desktop program's, with no address to give.
  void SetPageAddress(std::wstring address, AddressBy by) {
    pageAddress_ = std::move(address);
    addressBy_ = by;
  }

  // IServiceProvider
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** result) override;

  // IOleClientSite
  STDMETHODIMP SaveObject() override;
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
  STDMETHODIMP GetContainer(IOleContainer** container) override;
  STDMETHODIMP ShowObject() override;
  STDMETHODIMP OnShowWindow(BOOL) override;
  STDMETHODIMP RequestNewObjectLayout() override;

  // IOleWindow, through both the site and the frame
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override;

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override;
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override;
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                RECT* position, RECT* clip, OLEINPLACEFRAMEINFO* info) override;
  STDMETHODIMP Scroll(SIZE) override;
  STDMETHODIMP OnUIDeactivate(BOOL) override;
  STDMETHODIMP OnInPlaceDeactivate() override;
  STDMETHODIMP DiscardUndoState() override;
  STDMETHODIMP DeactivateAndUndo() override;
  STDMETHODIMP OnPosRectChange(LPCRECT position) override;

  // IOleInPlaceUIWindow: the host has no toolbars to share.
  STDMETHODIMP GetBorder(RECT* border) override;
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override;
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;

  // IOleInPlaceFrame: nor a menu.
  STDMETHODIMP InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) override;
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override;
  STDMETHODIMP RemoveMenus(HMENU) override;
  STDMETHODIMP SetStatusText(LPCOLESTR text) override;
  STDMETHODIMP EnableModeless(BOOL) override;
  STDMETHODIMP TranslateAccelerator(MSG*, WORD) override;

  // IOleControlSite
  STDMETHODIMP OnControlInfoChanged() override;
  STDMETHODIMP LockInPlaceActive(BOOL) override;
  STDMETHODIMP GetExtendedControl(IDispatch** control) override;
  STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override;
  STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override;
  STDMETHODIMP OnFocus(BOOL) override;
  STDMETHODIMP ShowPropertyFrame() override;

  // IDispatch: the ambient properties, by number.
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                      UINT*) override;

  HWND window() const { return window_; }
  IOleInPlaceActiveObject* activeObject() const { return activeObject_.get(); }
  // Drops the reference SetActiveObject gave, which would otherwise keep the
  // control alive past its container.
  void ReleaseActiveObject() { activeObject_.reset(); }

 private:
  friend class fw::ComObject<ControlSite, IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame,
                             IOleControlSite, IServiceProvider, IDispatch>;
  explicit ControlSite(HWND window);

  HWND window_;
  fw::ComPtr<IOleInPlaceActiveObject> activeObject_;
  std::map<DISPID, Variant> ambients_;
  std::wstring pageAddress_;
  AddressBy addressBy_ = AddressBy::kMoniker;
};

}  // namespace container
