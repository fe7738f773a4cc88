#include "container/scripted_control.h"

#include <oleauto.h>
#include <olectl.h>

#include "container/com_errors.h"

namespace container {
namespace {

}  // namespace

// ------------------------------------------------------------- EventRelay
const fw::InterfaceEntry* EventRelay::InterfaceTable() {
  static const fw::InterfaceEntry table[] = {
      fw::Entry<EventRelay, IDispatch>(IID_IDispatch),
      {nullptr, 0},
  };
  return table;
}

STDMETHODIMP EventRelay::QueryInterface(REFIID iid, void** result) {
  if (result && ::IsEqualIID(iid, eventIid_)) {
    *result = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  return ComObject::QueryInterface(iid, result);
}

STDMETHODIMP EventRelay::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP EventRelay::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP EventRelay::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

STDMETHODIMP EventRelay::Invoke(DISPID id, REFIID, LCID lcid, WORD, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO*, UINT*) {
  const auto found = handlers_.find(id);
  if (found == handlers_.end()) return S_OK;  // an event the page does not handle
  // Held across the call: the handler may rebind or the page may close.
  const Handler handler = found->second;
  DISPPARAMS none{};
  DISPPARAMS args = params ? *params : none;
  args.rgdispidNamedArgs = nullptr;
  args.cNamedArgs = 0;
  OwnedExcepInfo exception;
  UINT argError = 0;
  const HRESULT hr = handler.function->Invoke(DISPID_VALUE, IID_NULL, lcid, DISPATCH_METHOD, &args,
                                              result, &exception.info, &argError);
  // SCRIPT_E_REPORTED: the engine has told the site already, with the line.
  if (FAILED(hr) && hr != static_cast<HRESULT>(SCRIPT_E_REPORTED) && onFailure_) {
    if (exception.info.pfnDeferredFillIn) exception.info.pfnDeferredFillIn(&exception.info);
    std::wstring what = exception.info.bstrDescription
                            ? std::wstring(exception.info.bstrDescription)
                            : std::wstring();
    if (what.empty()) what = L"failed with " + HexCode(exception.info.scode ? exception.info.scode : hr);
    onFailure_(handler.name, what);
  }
  // The control does not care how its event was handled.
  return S_OK;
}

void EventRelay::Bind(DISPID id, const std::wstring& name, IDispatch* handler) {
  handlers_[id] = Handler{name, fw::ComPtr<IDispatch>(handler)};
}

void EventRelay::Clear() {
  handlers_.clear();
  onFailure_ = nullptr;
}

// -------------------------------------------------------- ScriptedControl
const fw::InterfaceEntry* ScriptedControl::InterfaceTable() {
  static const fw::InterfaceEntry table[] = {
      fw::Entry<ScriptedControl, IDispatch>(IID_IDispatch),
      fw::Entry<ScriptedControl, IBindEventHandler>(__uuidof(IBindEventHandler)),
      {nullptr, 0},
  };
  return table;
}

fw::ComPtr<ScriptedControl> ScriptedControl::Wrap(IUnknown* control,
                                                  EventRelay::FailureHandler onFailure) {
  if (!control) return {};
  auto wrapper = Create();
  if (!wrapper) return {};
  if (FAILED(control->QueryInterface(IID_IDispatch, wrapper->control_.put_void()))) return {};
  wrapper->onFailure_ = onFailure;
  wrapper->ConnectEvents(control, std::move(onFailure));
  return wrapper;
}

void ScriptedControl::ConnectEvents(IUnknown* control, EventRelay::FailureHandler onFailure) {
  fw::ComPtr<IProvideClassInfo2> provider;
  if (FAILED(control->QueryInterface(IID_IProvideClassInfo2, provider.put_void()))) return;
  IID eventIid{};
  if (FAILED(provider->GetClassInfo(classInfo_.put())) ||
      FAILED(provider->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &eventIid))) {
    return;
  }
  fw::ComPtr<ITypeLib> library;
  UINT index = 0;
  if (FAILED(classInfo_->GetContainingTypeLib(library.put(), &index)) ||
      FAILED(library->GetTypeInfoOfGuid(eventIid, eventInfo_.put()))) {
    return;
  }
  fw::ComPtr<IConnectionPointContainer> container;
  if (FAILED(control->QueryInterface(IID_IConnectionPointContainer, container.put_void())))
    return;
  fw::ComPtr<IConnectionPoint> point;
  if (FAILED(container->FindConnectionPoint(eventIid, point.put()))) return;
  auto relay = EventRelay::Create(eventIid, std::move(onFailure));
  if (!relay) return;
  if (FAILED(point->Advise(static_cast<IDispatch*>(relay.get()), &cookie_))) return;
  point_ = point;
  relay_ = relay;
}

STDMETHODIMP ScriptedControl::GetTypeInfoCount(UINT* count) {
  return control_ ? control_->GetTypeInfoCount(count) : E_UNEXPECTED;
}

STDMETHODIMP ScriptedControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
  return control_ ? control_->GetTypeInfo(index, lcid, info) : E_UNEXPECTED;
}

STDMETHODIMP ScriptedControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) {
  return control_ ? control_->GetIDsOfNames(iid, names, count, lcid, ids) : E_UNEXPECTED;
}

STDMETHODIMP ScriptedControl::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) {
  if (!control_) return E_UNEXPECTED;
  // The control may fire an event from inside this call (Upload of an empty
  // list does); keep it alive until the call returns.
  const fw::ComPtr<IDispatch> control = control_;
  return control->Invoke(id, iid, lcid, flags, params, result, exception, argError);
}

STDMETHODIMP ScriptedControl::BindHandler(LPCOLESTR event, IDispatch* handler) {
  if (!event || !handler) return E_POINTER;
  if (!relay_ || !eventInfo_) {
    if (onFailure_) onFailure_(event, L"the object has no events to handle");
    return CONNECT_E_NOCONNECTION;
  }
  LPOLESTR names[] = {const_cast<LPOLESTR>(event)};
  MEMBERID id = MEMBERID_NIL;
  if (FAILED(eventInfo_->GetIDsOfNames(names, 1, &id))) {
    if (onFailure_) onFailure_(event, L"the object has no event of that name");
    return DISP_E_UNKNOWNNAME;
  }
  relay_->Bind(id, event, handler);
  return S_OK;
}

void ScriptedControl::Disconnect() {
  if (point_) point_->Unadvise(cookie_);
  point_.reset();
  if (relay_) relay_->Clear();
  relay_.reset();
  eventInfo_.reset();
  classInfo_.reset();
  control_.reset();
  onFailure_ = nullptr;
}

}  // namespace container
