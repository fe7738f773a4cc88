#include "container/sinks.h"

#include <algorithm>
#include <new>

#include "brimlet_idl.h"

namespace container {

const fw::InterfaceEntry* EventSink::InterfaceTable() {
  static const fw::InterfaceEntry table[] = {
      fw::Entry<EventSink, IDispatch>(IID_IDispatch),
      fw::Entry<EventSink, IDispatch>(DIID__DBrimletEvents),
      {nullptr, 0},
  };
  return table;
}

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                               EXCEPINFO*, UINT*) {
  try {
    EventCall call{id, {}};
    if (params && params->rgvarg) {
      for (UINT i = params->cArgs; i-- > 0;) {
        call.args.push_back(Variant::CopyOf(params->rgvarg[i]));
      }
    }
    calls_.push_back(std::move(call));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  // Copies: the handler may replace itself, raise further events, or drop
  // the host that owns this sink.
  if (handler_) {
    const auto handler = handler_;
    const EventCall call = calls_.back();
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
