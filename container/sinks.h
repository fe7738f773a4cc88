// What the control tells its container: the events of its source interface
// and its property change notifications, recorded in the order they came.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <vector>

#include "container/script_object.h"
#include "container/variant.h"

namespace container {

struct EventCall {
  DISPID id;
  std::vector<Variant> args;  // in declared order (the reverse of rgvarg)
};

// The control's default source interface, as its class description names it
// (IProvideClassInfo2), and, when asked, that description.
HRESULT FindEventInterface(IUnknown* control, IID* eventIid, ITypeInfo** classInfo = nullptr);

// Sinks the control's event dispinterface, given at run time. Arguments are
// copied, references followed, so a record outlives the call that made it.
class EventSink : public ScriptObject<EventSink> {
 public:
  // A sink that keeps no record only runs its handler.
  static fw::ComPtr<EventSink> Create(const IID& eventIid = IID_IDispatch, bool keepCalls = true) {
    return ScriptObject::Create(eventIid, keepCalls);
  }
  // The interface the control fires, when it is known only once the control is.
  void SetEventInterface(const IID& eventIid) { eventIid_ = eventIid; }
  // Also answers the event interface, which is only known at run time.
  STDMETHODIMP QueryInterface(REFIID iid, void** result) override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT* argError) override;

  const std::vector<EventCall>& calls() const { return calls_; }
  // The calls of one event, in order.
  std::vector<EventCall> Of(DISPID id) const;
  size_t Count(DISPID id) const;
  void Clear() { calls_.clear(); }
  // Run inside each event, once it is recorded, as a page's handler runs:
  // it may call the control back, or drop it.
  void SetHandler(std::function<void(const EventCall&)> handler) { handler_ = std::move(handler); }

 private:
  friend class fw::ComObject<EventSink, IDispatch>;
  EventSink(const IID& eventIid, bool keepCalls) : eventIid_(eventIid), keepCalls_(keepCalls) {}

  IID eventIid_;
  bool keepCalls_;
  std::vector<EventCall> calls_;
  std::function<void(const EventCall&)> handler_;
};

class PropertyNotifySink : public fw::ComObject<PropertyNotifySink, IPropertyNotifySink> {
 public:
  static const fw::InterfaceEntry* InterfaceTable();

  STDMETHODIMP OnChanged(DISPID id) override;
  // Edits are always allowed.
  STDMETHODIMP OnRequestEdit(DISPID id) override;

  const std::vector<DISPID>& changes() const { return changes_; }
  size_t Count(DISPID id) const;
  void Clear() { changes_.clear(); }

 private:
  friend class fw::ComObject<PropertyNotifySink, IPropertyNotifySink>;
  PropertyNotifySink() = default;

  std::vector<DISPID> changes_;
};

}  // namespace container
