#include "container/sinks.h"

#include <olectl.h>

#include <algorithm>
#include <new>

namespace container {

HRESULT FindEventInterface(IUnknown* control, IID* eventIid, ITypeInfo** classInfo) {
  if (!control || !eventIid) return E_POINTER;
  fw::ComPtr<IProvideClassInfo2> provider;
  HRESULT hr = control->QueryInterface(IID_IProvideClassInfo2, provider.put_void());
  if (FAILED(hr)) return hr;
  if (classInfo && FAILED(hr = provider->GetClassInfo(classInfo))) return hr;
  return provider->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, eventIid);
}

STDMETHODIMP EventSink::QueryInterface(REFIID iid, void** result) {
  if (result && ::IsEqualIID(iid, eventIid_)) {
    *result = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  return ScriptObject::QueryInterface(iid, result);
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                               EXCEPINFO*, UINT*) {
  EventCall call{id, {}};
  try {
    if (params && params->rgvarg) {
      for (UINT i = params->cArgs; i-- > 0;) {
        call.args.push_back(Variant::CopyOf(params->rgvarg[i]));
      }
    }
    if (keepCalls_) calls_.push_back(call);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  // Copies: the handler may replace itself, raise further events, or drop
  // the host that owns this sink.
  if (handler_) {
    const auto handler = handler_;
    const fw::ComPtr<IDispatch> self(this);
    handler(call);
  }
  return S_OK;
}

std::vector<EventCall> EventSink::Of(DISPID id) const {
  std::vector<EventCall> calls;
  for (const EventCall& call : calls_)
    if (call.id == id) calls.push_back(call);
  return calls;
}

size_t EventSink::Count(DISPID id) const {
  return static_cast<size_t>(std::count_if(
      calls_.begin(), calls_.end(), [id](const EventCall& call) { return call.id == id; }));
}

const fw::InterfaceEntry* PropertyNotifySink::InterfaceTable() {
  static const fw::InterfaceEntry table[] = {
      fw::Entry<PropertyNotifySink, IPropertyNotifySink>(IID_IPropertyNotifySink),
      {nullptr, 0},
  };
  return table;
}

STDMETHODIMP PropertyNotifySink::OnChanged(DISPID id) {
  try {
    changes_.push_back(id);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDMETHODIMP PropertyNotifySink::OnRequestEdit(DISPID) { return S_OK; }

size_t PropertyNotifySink::Count(DISPID id) const {
  return static_cast<size_t>(std::count(changes_.begin(), changes_.end(), id));
}

}  // namespace container
