// The base of an ActiveX control: the OLE embedding, in-place activation,
// drawing, persistence, class information, property pages and connection
// points that every container expects, on top of which a control supplies its
// properties (DoPropExchange), its dispatch table, its drawing and its window
// messages.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <objsafe.h>
#include <olectl.h>
#include <optional>
#include <string>
#include <vector>

#include "framework/com_object.h"
#include "framework/com_ptr.h"
#include "framework/connection_point.h"
#include "framework/prop_exchange.h"
#include "framework/unique_handle.h"
#include "framework/window_messages.h"

namespace fw {

// Class-level facts of a control class.
struct ControlClassInfo {
  const CLSID* clsid;
  const IID* dispatchIid;   // primary dispatch interface
  const IID* eventIid;      // default source interface
  const GUID* typeLib;
  WORD typeLibMajor, typeLibMinor;
  DWORD miscStatus;
  UINT userTypeNameId;      // string resource
  const CLSID* propertyPages;
  ULONG propertyPageCount;
};

class OleControl : public ComObject<OleControl, IDispatch, IOleObject, IOleInPlaceObject,
                                    IOleInPlaceActiveObject, IOleControl, IViewObject2,
                                    IPersistStreamInit, IPersistPropertyBag, IProvideClassInfo2,
                                    ISpecifyPropertyPages, IConnectionPointContainer, IObjectSafety>,
                   public MessageHandlers {
 public:
  OleControl(const OleControl&) = delete;
  OleControl& operator=(const OleControl&) = delete;

  // Creates a control of class T with its properties at their defaults and
  // returns the interface asked for.
  template <class T>
  static HRESULT CreateInstance(REFIID iid, void** result) {
    return fw::CreateInstance<T>(iid, result, [](T& control) { control.OnResetState(); });
  }

  static const InterfaceEntry* InterfaceTable();
  // Adds the control's own dispatch IID to the table's answers.
  STDMETHODIMP QueryInterface(REFIID iid, void** result) override;

  // IDispatch: type information here, members from the control's table.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP Close(DWORD saveOption) override;
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* name) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
  STDMETHODIMP Unadvise(DWORD connection) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow / IOleInPlaceObject / IOleInPlaceActiveObject
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(LPMSG) override { return S_FALSE; }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(LPMSG) override { return S_OK; }
  STDMETHODIMP OnAmbientPropertyChange(DISPID) override { return S_OK; }
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // IViewObject2
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC targetDc,
                    HDC drawDc, LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                    ULONG_PTR) override;
  STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) override;
  STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE*, LPSIZEL size) override;

  // IPersist / IPersistStreamInit / IPersistPropertyBag
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pages) override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // IObjectSafety: safe for scripting and for initialization, unless the
  // control refuses its page (PageAllowed).
  STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
  STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

  // Runs the exchange in reset mode: every property that has a default takes it.
  virtual void OnResetState();

 protected:
  explicit OleControl(const ControlClassInfo& info);
  ~OleControl() override;

  // The container has given the control its site (a site taken away is not
  // told): where the control learns which page it is on.
  virtual void OnClientSiteSet(IOleClientSite* site);
  // Whether the page may use the control at all. A refused page is told the
  // control is not safe for it, and the control loads no stored properties.
  virtual bool PageAllowed() const { return true; }

  // The base exchanges the control's extent; a control exchanges its version
  // first, then calls this, then its own properties.
  virtual void DoPropExchange(PropExchange& px);
  // Paints the control into `bounds` of `dc` (window painting and IViewObject).
  virtual void OnDraw(HDC dc, const RECT& bounds) = 0;
  // The control's own messages that have no typed handler (MessageHandlers);
  // nullopt lets the typed handlers and then the default processing run.
  virtual std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // The stored version of the persisted form, written back as `current`.
  static void ExchangeVersion(PropExchange& px, DWORD current);

  HWND GetSafeHwnd() const { return window_.get(); }
  void FireEvent(DISPID id, VARIANT* argsInDeclaredOrder, UINT count);
  // Tells property-change sinks that the property `id` changed.
  void BoundPropertyChanged(DISPID id);
  void SetModifiedFlag(bool modified = true) { dirty_ = modified; }
  // The framework's property frame with the control's pages.
  void OnProperties(HWND owner);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HRESULT InPlaceActivate(LONG verb);
  HRESULT UIActivate();
  void CreateControlWindow(HWND parent, const RECT& position);
  void DestroyControlWindow();
  HRESULT LoadTransactionally(PropExchange& px);
  RecordWriter SnapshotProperties();
  HRESULT RegisteredTypeLib(LCID lcid, ITypeLib** library) const;
  std::wstring UserTypeName() const;

  const ControlClassInfo& info_;
  bool dirty_ = false;
  LONG frozenEvents_ = 0;
  SIZEL extent_;  // HIMETRIC

  ComPtr<IOleClientSite> clientSite_;
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  ComPtr<IOleInPlaceFrame> inPlaceFrame_;
  ComPtr<IOleInPlaceUIWindow> inPlaceDocument_;
  ComPtr<IOleAdviseHolder> adviseHolder_;
  ComPtr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0, viewFlags_ = 0;
  bool inPlaceActive_ = false;
  bool uiActive_ = false;
  UniqueWindow window_;  // exists while in-place active

  // The safety options the container enabled, for scripting (IDispatch) and
  // for initialization (the persistence interfaces).
  DWORD scriptingSafety_ = 0;
  DWORD initializationSafety_ = 0;

  ConnectionPoint eventPoint_;
  ConnectionPoint notifyPoint_;
};

}  // namespace fw
