#include "framework/ole_control.h"

#include <algorithm>
#include <new>

#include "framework/activation_context.h"
#include "framework/com_object.h"
#include "framework/module.h"
#include "framework/registration.h"
#include "framework/text.h"
#include "framework/window_binding.h"
#include "framework/window_class.h"

namespace fw {
namespace {

const char kWindowClass[] = "BrimletOleControl";

constexpr DWORD kSafetyOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

// IDispatchEx, which script hosts ask about first; its IID is in dispex.h,
// but no import library defines it.
constexpr IID kIidDispatchEx = {0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};

bool IsScriptingInterface(REFIID iid) { return ::IsEqualIID(iid, IID_IDispatch) || ::IsEqualIID(iid, kIidDispatchEx); }
bool IsInitializationInterface(REFIID iid) {
  return ::IsEqualIID(iid, IID_IPersistPropertyBag) || ::IsEqualIID(iid, IID_IPersistStreamInit);
}

// HIMETRIC (0.01 mm) from pixels at the screen's resolution.
SIZEL HimetricFromPixels(int cx, int cy) {
  HDC screen = ::GetDC(nullptr);
  const int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX), dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return SIZEL{::MulDiv(cx, 2540, dpiX), ::MulDiv(cy, 2540, dpiY)};
}

}  // namespace

OleControl::OleControl(const ControlClassInfo& info)
    : info_(info),
      extent_(HimetricFromPixels(300, 150)),
      eventPoint_(this, *info.eventIid),
      notifyPoint_(this, IID_IPropertyNotifySink) {}

OleControl::~OleControl() {
  // The derived control is gone already: its window's last messages must not
  // reach it.
  if (window_) ::SetWindowLongPtrA(window_.get(), GWLP_USERDATA, 0);
  DestroyControlWindow();
}

// ------------------------------------------------------------------ IUnknown
const InterfaceEntry* OleControl::InterfaceTable() {
  using C = OleControl;
  static const InterfaceEntry table[] = {
      Entry<C, IOleObject>(IID_IOleObject),
      Entry<C, IDispatch>(IID_IDispatch),
      Entry<C, IOleWindow, IOleInPlaceObject>(IID_IOleWindow),
      Entry<C, IOleInPlaceObject>(IID_IOleInPlaceObject),
      Entry<C, IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject),
      Entry<C, IOleControl>(IID_IOleControl),
      Entry<C, IViewObject, IViewObject2>(IID_IViewObject),
      Entry<C, IViewObject2>(IID_IViewObject2),
      Entry<C, IPersist, IPersistStreamInit>(IID_IPersist),
      Entry<C, IPersistStreamInit>(IID_IPersistStreamInit),
      Entry<C, IPersistPropertyBag>(IID_IPersistPropertyBag),
      Entry<C, IProvideClassInfo, IProvideClassInfo2>(IID_IProvideClassInfo),
      Entry<C, IProvideClassInfo2>(IID_IProvideClassInfo2),
      Entry<C, ISpecifyPropertyPages>(IID_ISpecifyPropertyPages),
      Entry<C, IConnectionPointContainer>(IID_IConnectionPointContainer),
      Entry<C, IObjectSafety>(IID_IObjectSafety),
      {nullptr, 0}};
  return table;
}

STDMETHODIMP OleControl::QueryInterface(REFIID iid, void** result) {
  if (result && ::IsEqualIID(iid, *info_.dispatchIid)) {
    *result = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  return QueryInterfaceFromTable(this, InterfaceTable(), iid, result);
}

// ------------------------------------------------------------------ IDispatch
HRESULT OleControl::RegisteredTypeLib(LCID lcid, ITypeLib** library) const {
  // The registered library, as hosts and object browsers see it.
  return LoadRegisteredTypeLib(*info_.typeLib, info_.typeLibMajor, info_.typeLibMinor, lcid, library);
}

STDMETHODIMP OleControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP OleControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ComPtr<ITypeLib> library;
  const HRESULT hr = RegisteredTypeLib(lcid, library.put());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(*info_.dispatchIid, info);
}

// ------------------------------------------------------------------ IOleObject
STDMETHODIMP OleControl::SetClientSite(IOleClientSite* site) {
  if (!site) {
    InPlaceDeactivate();
  }
  clientSite_ = ComPtr<IOleClientSite>(site);
  if (site) OnClientSiteSet(site);
  return S_OK;
}

void OleControl::OnClientSiteSet(IOleClientSite*) {}

STDMETHODIMP OleControl::GetClientSite(IOleClientSite** site) {
  return clientSite_.CopyTo(site);
}

STDMETHODIMP OleControl::Close(DWORD saveOption) {
  InPlaceDeactivate();
  // The analyzer cannot count references and takes InPlaceDeactivate's
  // release of its own keep-alive for the last one.
  if (dirty_ && clientSite_ &&  // NOLINT(clang-analyzer-cplusplus.NewDelete): the caller's reference outlives the call
      (saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE)) {
    clientSite_->SaveObject();
  }
  if (adviseHolder_) adviseHolder_->SendOnClose();
  return S_OK;
}

STDMETHODIMP OleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP OleControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT) {
  if (site && !clientSite_) clientSite_ = ComPtr<IOleClientSite>(site);
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
      return InPlaceActivate(verb);
    case OLEIVERB_HIDE:
      if (window_) ::ShowWindow(window_.get(), SW_HIDE);
      return S_OK;
    case OLEIVERB_PROPERTIES:
      if (!PageAllowed()) return E_ACCESSDENIED;
      OnProperties(parent ? parent : window_.get());
      return S_OK;
    default:
      return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
  }
}

STDMETHODIMP OleControl::EnumVerbs(IEnumOLEVERB** verbs) {
  return ::OleRegEnumVerbs(*info_.clsid, verbs);
}

STDMETHODIMP OleControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

std::wstring OleControl::UserTypeName() const {
  wchar_t buffer[256] = {};
  const int length = ::LoadStringW(ModuleInstance(), info_.userTypeNameId, buffer, 256);
  return std::wstring(buffer, length > 0 ? length : 0);
}

STDMETHODIMP OleControl::GetUserType(DWORD, LPOLESTR* name) {
  if (!name) return E_POINTER;
  *name = CoTaskStringCopy(UserTypeName());
  return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP OleControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  extent_ = *size;
  return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

STDMETHODIMP OleControl::Advise(IAdviseSink* sink, DWORD* connection) {
  if (!adviseHolder_) {
    const HRESULT hr = ::CreateOleAdviseHolder(adviseHolder_.put());
    if (FAILED(hr)) return hr;
  }
  return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP OleControl::Unadvise(DWORD connection) {
  return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP OleControl::EnumAdvise(IEnumSTATDATA** advise) {
  if (!advise) return E_POINTER;
  *advise = nullptr;
  return adviseHolder_ ? adviseHolder_->EnumAdvise(advise) : E_FAIL;
}

STDMETHODIMP OleControl::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = info_.miscStatus;
  return S_OK;
}

// ------------------------------------------------------------------ activation
HRESULT OleControl::InPlaceActivate(LONG verb) {
  if (!clientSite_) return E_UNEXPECTED;
  if (!inPlaceSite_) {
    inPlaceSite_ = clientSite_.As<IOleInPlaceSite>(IID_IOleInPlaceSite);
    if (!inPlaceSite_) return E_NOINTERFACE;
  }
  if (!inPlaceActive_) {
    if (inPlaceSite_->CanInPlaceActivate() != S_OK) return E_FAIL;
    inPlaceActive_ = true;
    inPlaceSite_->OnInPlaceActivate();
  }
  if (!window_) {
    HWND parent = nullptr;
    if (FAILED(inPlaceSite_->GetWindow(&parent)) || !parent) return E_FAIL;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{sizeof frameInfo};
    inPlaceFrame_.reset();
    inPlaceDocument_.reset();
    const HRESULT hr = inPlaceSite_->GetWindowContext(inPlaceFrame_.put(), inPlaceDocument_.put(),
                                                      &position, &clip, &frameInfo);
    if (FAILED(hr)) return hr;
    CreateControlWindow(parent, position);
    if (!window_) return E_FAIL;
  }
  ::ShowWindow(window_.get(), SW_SHOWNA);
  if (verb == OLEIVERB_PRIMARY || verb == OLEIVERB_UIACTIVATE) return UIActivate();
  return S_OK;
}

HRESULT OleControl::UIActivate() {
  if (uiActive_) return S_OK;
  uiActive_ = true;
  inPlaceSite_->OnUIActivate();
  auto* active = static_cast<IOleInPlaceActiveObject*>(this);
  if (inPlaceFrame_) inPlaceFrame_->SetActiveObject(active, nullptr);
  if (inPlaceDocument_) inPlaceDocument_->SetActiveObject(active, nullptr);
  ::SetFocus(window_.get());
  return S_OK;
}

STDMETHODIMP OleControl::UIDeactivate() {
  if (!uiActive_) return S_OK;
  uiActive_ = false;
  if (inPlaceFrame_) inPlaceFrame_->SetActiveObject(nullptr, nullptr);
  if (inPlaceDocument_) inPlaceDocument_->SetActiveObject(nullptr, nullptr);
  if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
  return S_OK;
}

STDMETHODIMP OleControl::InPlaceDeactivate() {
  if (!inPlaceActive_) return S_OK;
  // Keep this object alive through the site's callbacks.
  ComPtr<IUnknown> self(static_cast<IOleObject*>(this));
  UIDeactivate();
  DestroyControlWindow();
  inPlaceActive_ = false;
  if (inPlaceSite_) inPlaceSite_->OnInPlaceDeactivate();
  inPlaceFrame_.reset();
  inPlaceDocument_.reset();
  inPlaceSite_.reset();
  return S_OK;
}

STDMETHODIMP OleControl::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_.get();
  return *window ? S_OK : E_FAIL;
}

STDMETHODIMP OleControl::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_POINTER;
  if (window_) {
    ::SetWindowPos(window_.get(), nullptr, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return S_OK;
}

void OleControl::CreateControlWindow(HWND parent, const RECT& position) {
  if (!RegisterWindowClassOnce(kWindowClass, &OleControl::WindowProc, CS_DBLCLKS)) return;
  // The control's children (its list view above all) are made during the
  // creation: the common controls the module's manifest names must be active.
  ActivationScope scope;
  // WindowProc attaches the window to this object on WM_NCCREATE.
  ::CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                    position.left, position.top, position.right - position.left,
                    position.bottom - position.top, parent, nullptr, ModuleInstance(), this);
}

void OleControl::DestroyControlWindow() {
  window_.reset();
}

LRESULT CALLBACK OleControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* control = BoundObject(window, message, lParam, &OleControl::window_);
  if (!control) return ::DefWindowProcA(window, message, wParam, lParam);
  // Dialogs, menus and child windows that a handler creates take the module's
  // common controls, whatever the container's process uses.
  ActivationScope scope;
  return control->HandleMessage(window, message, wParam, lParam);
}

LRESULT OleControl::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // OnDraw paints the whole client area
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window, &paint);
      RECT client;
      ::GetClientRect(window, &client);
      OnDraw(dc, client);
      ::EndPaint(window, &paint);
      return 0;
    }
    default:
      break;
  }
  if (auto handled = OnMessage(message, wParam, lParam)) return *handled;
  if (auto handled = DispatchTyped(message, wParam, lParam)) return *handled;
  return ::DefWindowProcA(window, message, wParam, lParam);
}

std::optional<LRESULT> OleControl::OnMessage(UINT, WPARAM, LPARAM) { return std::nullopt; }

// ------------------------------------------------------------------ IOleControl
STDMETHODIMP OleControl::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP OleControl::FreezeEvents(BOOL freeze) {
  if (freeze) ++frozenEvents_;
  else if (frozenEvents_ > 0) --frozenEvents_;
  return S_OK;
}

// ------------------------------------------------------------------ IViewObject2
STDMETHODIMP OleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc,
                              LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                              ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!drawDc || !bounds) return E_INVALIDARG;
  const RECT rect{bounds->left, bounds->top, bounds->right, bounds->bottom};
  OnDraw(drawDc, rect);
  return S_OK;
}

STDMETHODIMP OleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
  if (colors) *colors = nullptr;
  return S_FALSE;
}

STDMETHODIMP OleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  viewAspects_ = aspects;
  viewFlags_ = flags;
  viewSink_ = ComPtr<IAdviseSink>(sink);
  return S_OK;
}

STDMETHODIMP OleControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewAspects_;
  if (flags) *flags = viewFlags_;
  if (sink) viewSink_.CopyTo(sink);
  return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

// ------------------------------------------------------------------ persistence
void OleControl::ExchangeVersion(PropExchange& px, DWORD current) {
  DWORD version = current;
  px.Version(version);
  // A state stored under another version is read as it is; it is always
  // written back under the current one.
}

void OleControl::DoPropExchange(PropExchange& px) {
  LONG cx = extent_.cx, cy = extent_.cy;
  PX_Long(px, "_ExtentX", cx);
  PX_Long(px, "_ExtentY", cy);
  if (px.loading() && cx > 0 && cy > 0) extent_ = SIZEL{cx, cy};
}

void OleControl::OnResetState() {
  ResetExchange px;
  DoPropExchange(px);
}

RecordWriter OleControl::SnapshotProperties() {
  RecordExchange px;
  DoPropExchange(px);
  return px.writer();
}

HRESULT OleControl::LoadTransactionally(PropExchange& px) {
  // A failed load leaves the control as it was: the properties are put back
  // from a snapshot taken before the load began.
  const RecordWriter before = SnapshotProperties();
  const SIZEL extentBefore = extent_;
  DoPropExchange(px);
  if (!px.failed()) {
    dirty_ = false;
    return S_OK;
  }
  RecordExchange restore{RecordReader(before.payload())};
  DoPropExchange(restore);
  extent_ = extentBefore;
  return E_FAIL;
}

STDMETHODIMP OleControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = *info_.clsid;
  return S_OK;
}

STDMETHODIMP OleControl::InitNew() {
  OnResetState();
  dirty_ = false;
  return S_OK;
}

STDMETHODIMP OleControl::Load(LPSTREAM stream) {
  if (!stream) return E_POINTER;
  if (!PageAllowed()) return E_ACCESSDENIED;
  std::vector<std::uint8_t> payload;
  if (!ReadFramedRecord(stream, &payload)) return E_FAIL;
  RecordReader reader(std::move(payload));
  RecordExchange px(std::move(reader));
  return LoadTransactionally(px);
}

STDMETHODIMP OleControl::Save(LPSTREAM stream, BOOL clearDirty) {
  if (!stream) return E_POINTER;
  const HRESULT hr = WriteFramedRecord(stream, SnapshotProperties());
  if (SUCCEEDED(hr) && clearDirty) dirty_ = false;
  return hr;
}

STDMETHODIMP OleControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = SnapshotProperties().Framed().size();
  return S_OK;
}

STDMETHODIMP OleControl::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  if (!PageAllowed()) return E_ACCESSDENIED;
  BagExchange px(bag, log, PropExchange::Mode::Load);
  return LoadTransactionally(px);
}

STDMETHODIMP OleControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
  if (!bag) return E_POINTER;
  BagExchange px(bag, nullptr, PropExchange::Mode::Save);
  DoPropExchange(px);
  if (px.failed()) return E_FAIL;
  if (clearDirty) dirty_ = false;
  return S_OK;
}

// ------------------------------------------------------------------ class info
STDMETHODIMP OleControl::GetClassInfo(ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  ComPtr<ITypeLib> library;
  const HRESULT hr = RegisteredTypeLib(LOCALE_SYSTEM_DEFAULT, library.put());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(*info_.clsid, info);
}

STDMETHODIMP OleControl::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = *info_.eventIid;
  return S_OK;
}

STDMETHODIMP OleControl::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID) * info_.propertyPageCount));
  if (!pages->pElems) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < info_.propertyPageCount; ++i) pages->pElems[i] = info_.propertyPages[i];
  pages->cElems = info_.propertyPageCount;
  return S_OK;
}

void OleControl::OnProperties(HWND owner) {
  CAUUID pages{};
  if (FAILED(GetPages(&pages))) return;
  IUnknown* objects[] = {static_cast<IOleObject*>(this)};
  const std::wstring caption = UserTypeName();
  ::OleCreatePropertyFrame(owner, 0, 0, caption.c_str(), 1, objects, pages.cElems, pages.pElems,
                           ::GetUserDefaultLCID(), 0, nullptr);
  ::CoTaskMemFree(pages.pElems);
}

// ------------------------------------------------------------------ connection points
STDMETHODIMP OleControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (!points) return E_POINTER;
  *points = nullptr;
  return EnumerateConnectionPoints({&eventPoint_, &notifyPoint_}, points);
}

STDMETHODIMP OleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  for (ConnectionPoint* candidate : {&eventPoint_, &notifyPoint_}) {
    if (::IsEqualIID(iid, candidate->iid())) {
      *point = candidate;
      candidate->AddRef();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

void OleControl::FireEvent(DISPID id, VARIANT* argsInDeclaredOrder, UINT count) {
  if (frozenEvents_ > 0) return;
  // DISPPARAMS wants the arguments last to first.
  std::vector<VARIANT> reversed(argsInDeclaredOrder, argsInDeclaredOrder + count);
  std::reverse(reversed.begin(), reversed.end());
  DISPPARAMS params{reversed.data(), nullptr, count, 0};
  ComPtr<IUnknown> self(static_cast<IOleObject*>(this));  // a sink may release the control
  for (const auto& sink : eventPoint_.Sinks()) {
    auto dispatch = sink.As<IDispatch>(IID_IDispatch);
    if (dispatch) dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  }
}

void OleControl::BoundPropertyChanged(DISPID id) {
  for (const auto& sink : notifyPoint_.Sinks()) {
    auto notify = sink.As<IPropertyNotifySink>(IID_IPropertyNotifySink);
    if (notify) notify->OnChanged(id);
  }
}

// ------------------------------------------------------------------ IObjectSafety
STDMETHODIMP OleControl::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) {
  if (!supported || !enabled) return E_POINTER;
  *supported = *enabled = 0;
  ComPtr<IUnknown> probe;
  if (FAILED(QueryInterface(iid, probe.put_void()))) return E_NOINTERFACE;
  *supported = kSafetyOptions;
  if (IsScriptingInterface(iid)) *enabled = scriptingSafety_;
  if (IsInitializationInterface(iid)) *enabled = initializationSafety_;
  return S_OK;
}

STDMETHODIMP OleControl::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
  const bool safetyAsked = (mask & enabled & kSafetyOptions) != 0;
  if (!PageAllowed() && safetyAsked && (IsScriptingInterface(iid) || IsInitializationInterface(iid))) return E_FAIL;
  if ((mask & ~kSafetyOptions) != 0) return E_FAIL;
  ComPtr<IUnknown> probe;
  if (FAILED(QueryInterface(iid, probe.put_void()))) return E_NOINTERFACE;
  DWORD* options = IsScriptingInterface(iid) ? &scriptingSafety_
                   : IsInitializationInterface(iid) ? &initializationSafety_ : nullptr;
  if (options) *options = (*options & ~mask) | (enabled & mask);
  return S_OK;
}

}  // namespace fw
