#include "container/hosted_control.h"

#include <algorithm>
#include <cstring>

#include "container/com_errors.h"
#include "framework/message_drain.h"
#include "framework/module.h"
#include "framework/window_class.h"

namespace container {
namespace {

const wchar_t kWindowClass[] = L"BrimletHostWindow";

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The host decides when its window goes; a close request is not enough.
  if (message == WM_CLOSE) return 0;
  return ::DefWindowProcW(window, message, wParam, lParam);
}

HRESULT LastError() {
  const DWORD error = ::GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

HostedControl::HostedControl(Token)
    : events_(EventSink::Create()), changes_(PropertyNotifySink::Create()) {}

std::unique_ptr<HostedControl> HostedControl::Create(const HostOptions& options, HRESULT* hr) {
  HRESULT ignored = S_OK;
  HRESULT& result = hr ? *hr : ignored;
  result = S_OK;

  auto control = std::make_unique<HostedControl>(Token{});
  if (!control->events_ || !control->changes_) {
    result = E_OUTOFMEMORY;
    return nullptr;
  }
  result = control->CreateHostWindow(options);
  if (FAILED(result)) return nullptr;
  result = control->Instantiate(options);
  if (FAILED(result)) return nullptr;

  // From here on a failing step is reported but does not stop the others.
  auto note = [&result](HRESULT step) {
    if (SUCCEEDED(result) && FAILED(step)) result = step;
  };
  IOleClientSite* site = control->site_.get();
  DWORD status = 0;
  if (FAILED(control->ole_->GetMiscStatus(DVASPECT_CONTENT, &status))) status = 0;
  const bool siteFirst = (status & OLEMISC_SETCLIENTSITEFIRST) != 0;
  if (siteFirst) note(control->ole_->SetClientSite(site));
  note(control->Load(options));
  if (!siteFirst) note(control->ole_->SetClientSite(site));
  note(control->Advise());
  if (options.activate) note(control->DoVerb(OLEIVERB_INPLACEACTIVATE));
  return control;
}

HRESULT HostedControl::CreateHostWindow(const HostOptions& options) {
  if (!fw::RegisterWindowClassOnce(kWindowClass, HostWindowProc, 0, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1))) return LastError();
  if (options.parent) {
    window_.reset(::CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPCHILDREN, options.x,
                                    options.y, options.width, options.height, options.parent,
                                    nullptr, fw::ModuleInstance(), nullptr));
  } else {
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT frame{0, 0, options.width, options.height};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    window_.reset(::CreateWindowExW(0, kWindowClass, L"Brimlet host", style, CW_USEDEFAULT,
                                    CW_USEDEFAULT, frame.right - frame.left,
                                    frame.bottom - frame.top, nullptr, nullptr,
                                    fw::ModuleInstance(), nullptr));
  }
  if (!window_) return LastError();
  ::ShowWindow(window_.get(), SW_SHOWNORMAL);
  ::UpdateWindow(window_.get());
  site_ = ControlSite::Create(window_.get());
  if (!site_) return E_OUTOFMEMORY;
  site_->SetPageAddress(options.pageAddress, options.addressBy);
  return S_OK;
}

HRESULT HostedControl::Instantiate(const HostOptions& options) {
  CLSID clsid{};
  HRESULT hr = options.clsid.empty() ? ::CLSIDFromProgID(options.progId.c_str(), &clsid)
                                     : ::CLSIDFromString(options.clsid.c_str(), &clsid);
  if (FAILED(hr)) return hr;
  hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                          unknown_.put_void());
  if (FAILED(hr)) return hr;
  hr = unknown_->QueryInterface(IID_IOleObject, ole_.put_void());
  if (FAILED(hr)) return hr;
  // Not every control is scriptable; the host still holds it.
  unknown_->QueryInterface(IID_IDispatch, dispatch_.put_void());
  return S_OK;
}

HRESULT HostedControl::Load(const HostOptions& options) {
  switch (options.init) {
    case Initialise::New: {
      auto persist = As<IPersistStreamInit>(IID_IPersistStreamInit);
      return persist ? persist->InitNew() : E_NOINTERFACE;
    }
    case Initialise::PropertyBag: {
      if (!options.bag) return E_POINTER;
      auto persist = As<IPersistPropertyBag>(IID_IPersistPropertyBag);
      return persist ? persist->Load(options.bag.get(), nullptr) : E_NOINTERFACE;
    }
    case Initialise::Stream: {
      if (!options.stream) return E_POINTER;
      auto persist = As<IPersistStreamInit>(IID_IPersistStreamInit);
      return persist ? persist->Load(options.stream.get()) : E_NOINTERFACE;
    }
  }
  return E_INVALIDARG;
}

HRESULT HostedControl::Advise() {
  IUnknown* events = static_cast<IDispatch*>(events_.get());
  IUnknown* changes = static_cast<IPropertyNotifySink*>(changes_.get());
  IID eventIid{};
  HRESULT first = FindEventInterface(unknown_.get(), &eventIid);
  if (SUCCEEDED(first)) {
    events_->SetEventInterface(eventIid);
    first = Connect(eventIid, events, &eventPoint_, &eventCookie_);
  }
  const HRESULT second = Connect(IID_IPropertyNotifySink, changes, &changePoint_, &changeCookie_);
  return FAILED(first) ? first : second;
}

HRESULT HostedControl::Connect(REFIID iid, IUnknown* sink, fw::ComPtr<IConnectionPoint>* point,
                               DWORD* cookie) {
  auto container = As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (!container) return E_NOINTERFACE;
  fw::ComPtr<IConnectionPoint> found;
  HRESULT hr = container->FindConnectionPoint(iid, found.put());
  if (FAILED(hr)) return hr;
  hr = found->Advise(sink, cookie);
  if (FAILED(hr)) return hr;
  *point = found;
  return S_OK;
}

HostedControl::~HostedControl() {
  if (eventPoint_) eventPoint_->Unadvise(eventCookie_);
  if (changePoint_) changePoint_->Unadvise(changeCookie_);
  eventPoint_.reset();
  changePoint_.reset();
  if (auto inPlace = As<IOleInPlaceObject>(IID_IOleInPlaceObject)) inPlace->InPlaceDeactivate();
  if (ole_) {
    ole_->Close(OLECLOSE_NOSAVE);
    ole_->SetClientSite(nullptr);
  }
  if (site_) site_->ReleaseActiveObject();
  dispatch_.reset();
  ole_.reset();
  unknown_.reset();
  window_.reset();
}

HWND HostedControl::controlWindow() const {
  auto inPlace = As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  HWND window = nullptr;
  if (!inPlace || FAILED(inPlace->GetWindow(&window))) return nullptr;
  return window;
}

RECT HostedControl::ClientRect() const {
  RECT client{};
  ::GetClientRect(window_.get(), &client);
  return client;
}

HRESULT HostedControl::GetIdOfName(const std::wstring& name, DISPID* id) const {
  if (!id) return E_POINTER;
  if (!dispatch_) return E_NOINTERFACE;
  std::wstring copy = name;
  LPOLESTR names[] = {&copy[0]};
  return dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

HRESULT HostedControl::Get(const std::wstring& name, Variant* out) {
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = GetIdOfName(name, &id);
  return FAILED(hr) ? hr : InvokeId(id, DISPATCH_PROPERTYGET, {}, out);
}

HRESULT HostedControl::Put(const std::wstring& name, const Variant& value) {
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = GetIdOfName(name, &id);
  return FAILED(hr) ? hr : InvokeId(id, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

HRESULT HostedControl::Call(const std::wstring& name) {
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = GetIdOfName(name, &id);
  return FAILED(hr) ? hr : InvokeId(id, DISPATCH_METHOD, {}, nullptr);
}

HRESULT HostedControl::InvokeId(DISPID id, WORD flags, std::vector<Variant> args,
                                Variant* result, EXCEPINFO* exception) {
  if (!dispatch_) return E_NOINTERFACE;
  // rgvarg holds the arguments last first; the Variants keep owning them.
  std::vector<VARIANT> reversed;
  reversed.reserve(args.size());
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->get());

  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = reversed.empty() ? nullptr : reversed.data();
  params.cArgs = static_cast<UINT>(reversed.size());
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }

  OwnedExcepInfo owned;
  EXCEPINFO* info = exception ? exception : &owned.info;
  std::memset(info, 0, sizeof *info);
  if (result) result->Clear();
  UINT argError = 0;
  HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 result ? result->get() : nullptr, info, &argError);
  if (hr == DISP_E_EXCEPTION && info->pfnDeferredFillIn) info->pfnDeferredFillIn(info);
  return hr;
}

HRESULT HostedControl::SaveToStream(fw::ComPtr<IStream>* out, bool clearDirty) {
  if (!out) return E_POINTER;
  out->reset();
  auto persist = As<IPersistStreamInit>(IID_IPersistStreamInit);
  if (!persist) return E_NOINTERFACE;
  fw::ComPtr<IStream> stream;
  HRESULT hr = ::CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
  if (FAILED(hr)) return hr;
  hr = persist->Save(stream.get(), clearDirty ? TRUE : FALSE);
  if (FAILED(hr)) return hr;
  LARGE_INTEGER start{};
  hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
  if (FAILED(hr)) return hr;
  *out = stream;
  return S_OK;
}

HRESULT HostedControl::SaveToBag(fw::ComPtr<MemoryPropertyBag>* out) {
  if (!out) return E_POINTER;
  out->reset();
  auto persist = As<IPersistPropertyBag>(IID_IPersistPropertyBag);
  if (!persist) return E_NOINTERFACE;
  auto bag = MemoryPropertyBag::Create();
  if (!bag) return E_OUTOFMEMORY;
  const HRESULT hr = persist->Save(bag.get(), TRUE, TRUE);
  if (FAILED(hr)) return hr;
  *out = bag;
  return S_OK;
}

HRESULT HostedControl::IsDirty() const {
  auto persist = As<IPersistStreamInit>(IID_IPersistStreamInit);
  return persist ? persist->IsDirty() : E_NOINTERFACE;
}

HRESULT HostedControl::DoVerb(LONG verb) {
  if (!ole_) return E_UNEXPECTED;
  RECT client = ClientRect();
  return ole_->DoVerb(verb, nullptr, site_.get(), 0, window_.get(), &client);
}

bool HostedControl::TranslateAccelerator(MSG& message) {
  if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
  IOleInPlaceActiveObject* active = site_ ? site_->activeObject() : nullptr;
  return active && active->TranslateAccelerator(&message) == S_OK;
}

void HostedControl::PumpMessages() {
  fw::PumpThreadMessagesThrough([this](MSG& message) { return TranslateAccelerator(message); });
}

bool HostedControl::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  return fw::PumpUntil(done, timeoutMs,
                         [this](MSG& message) { return TranslateAccelerator(message); });
}

}  // namespace container
