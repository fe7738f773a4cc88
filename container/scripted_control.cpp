#include "container/scripted_control.h"

#include <oleauto.h>
#include <olectl.h>

#include <new>
#include <vector>

#include "container/com_errors.h"
#include "container/variant.h"

namespace container {

// -------------------------------------------------------- ScriptedControl
const fw::InterfaceEntry* ScriptedControl::InterfaceTable() {
  static const fw::InterfaceEntry table[] = {
      fw::Entry<ScriptedControl, IDispatch>(IID_IDispatch),
      fw::Entry<ScriptedControl, IBindEventHandler>(__uuidof(IBindEventHandler)),
      {nullptr, 0},
  };
  return table;
}

fw::ComPtr<ScriptedControl> ScriptedControl::Wrap(IUnknown* control, FailureHandler onFailure) {
  if (!control) return {};
  auto wrapper = Create();
  if (!wrapper) return {};
  if (FAILED(control->QueryInterface(IID_IDispatch, wrapper->control_.put_void()))) return {};
  wrapper->onFailure_ = std::move(onFailure);
  wrapper->ConnectEvents(control);
  return wrapper;
}

void ScriptedControl::ConnectEvents(IUnknown* control) {
  IID eventIid{};
  if (FAILED(FindEventInterface(control, &eventIid, classInfo_.put()))) return;
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
  auto sink = EventSink::Create(eventIid, false);
  if (!sink) return;
  sink->SetHandler([this](const EventCall& call) { RunHandler(call); });
  if (FAILED(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie_))) return;
  point_ = point;
  sink_ = sink;
}

void ScriptedControl::RunHandler(const EventCall& call) {
  const auto found = handlers_.find(call.id);
  if (found == handlers_.end()) return;  // an event the page does not handle
  // The handler may close the page, which lets go of this object.
  const fw::ComPtr<ScriptedControl> self(this);
  // Held across the call: the handler may rebind or the page may close.
  const Handler handler = found->second;
  // rgvarg holds the arguments last first.
  std::vector<VARIANT> values;
  for (auto arg = call.args.rbegin(); arg != call.args.rend(); ++arg) values.push_back(*arg->get());
  DISPPARAMS args{values.data(), nullptr, static_cast<UINT>(values.size()), 0};
  OwnedExcepInfo exception;
  UINT argError = 0;
  Variant result;
  const HRESULT hr = handler.function->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                              &args, result.get(), &exception.info, &argError);
  // SCRIPT_E_REPORTED: the engine has told the site already, with the line.
  if (FAILED(hr) && hr != static_cast<HRESULT>(SCRIPT_E_REPORTED) && onFailure_) {
    if (exception.info.pfnDeferredFillIn) exception.info.pfnDeferredFillIn(&exception.info);
    std::wstring what = exception.info.bstrDescription
                            ? std::wstring(exception.info.bstrDescription)
                            : std::wstring();
    if (what.empty()) what = L"failed with " + HexCode(exception.info.scode ? exception.info.scode : hr);
    onFailure_(handler.name, what);
  }
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
  if (!sink_ || !eventInfo_) {
    if (onFailure_) onFailure_(event, L"the object has no events to handle");
    return CONNECT_E_NOCONNECTION;
  }
  LPOLESTR names[] = {const_cast<LPOLESTR>(event)};
  MEMBERID id = MEMBERID_NIL;
  if (FAILED(eventInfo_->GetIDsOfNames(names, 1, &id))) {
    if (onFailure_) onFailure_(event, L"the object has no event of that name");
    return DISP_E_UNKNOWNNAME;
  }
  try {
    handlers_[id] = Handler{event, fw::ComPtr<IDispatch>(handler)};
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

void ScriptedControl::Disconnect() {
  if (point_) point_->Unadvise(cookie_);
  point_.reset();
  if (sink_) sink_->SetHandler(nullptr);
  sink_.reset();
  handlers_.clear();
  eventInfo_.reset();
  classInfo_.reset();
  control_.reset();
  onFailure_ = nullptr;
}

}  // namespace container
