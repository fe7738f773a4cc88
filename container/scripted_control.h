// A control as a page's script sees it under its id: the control's own
// properties and methods, and the binding of event handlers written as
// `function upload::UploadFinish(success) {...}`. Script engines bind such a
// handler by asking the named object for IBindEventHandler, as a browser's
// objects offer it; the control itself only has a connection point, so this
// object stands between them and relays each event to the bound handler.
#pragma once

#include <windows.h>
#include <activscp.h>
#include <ocidl.h>

#include <functional>
#include <map>
#include <string>

#include "container/sinks.h"
#include "framework/com_object.h"

namespace container {

class ScriptedControl : public fw::ComObject<ScriptedControl, IDispatch, IBindEventHandler> {
 public:
  // (event name, what went wrong) when a handler fails.
  using FailureHandler = std::function<void(const std::wstring&, const std::wstring&)>;

  static const fw::InterfaceEntry* InterfaceTable();

  // Wraps a control's IDispatch and connects to its default event interface
  // when it has one (a control without events is still scriptable).
  static fw::ComPtr<ScriptedControl> Wrap(IUnknown* control,
                                          FailureHandler onFailure);

  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // A later handler for the same event replaces the earlier one, as a later
  // function declaration replaces an earlier one of the same name.
  // DISP_E_UNKNOWNNAME for a name that is not one of the control's events;
  // CONNECT_E_NOCONNECTION when the control has no events to connect to.
  // Either is also told to the failure handler, since the engine reports
  // only that the code failed.
  STDMETHODIMP BindHandler(LPCOLESTR event, IDispatch* handler) override;

  // The control's class description, for engines that bind events through it.
  ITypeInfo* classInfo() const { return classInfo_.get(); }
  size_t handlerCount() const { return handlers_.size(); }
  // Unadvises and lets go of the control and the handlers; afterwards every
  // call fails with E_UNEXPECTED.
  void Disconnect();

 private:
  friend class fw::ComObject<ScriptedControl, IDispatch, IBindEventHandler>;
  ScriptedControl() = default;
  ~ScriptedControl() override { Disconnect(); }
  void ConnectEvents(IUnknown* control);
  // Calls the handler bound to the event, if any; the control does not care
  // how its event was handled.
  void RunHandler(const EventCall& call);

  struct Handler {
    std::wstring name;
    fw::ComPtr<IDispatch> function;
  };

  FailureHandler onFailure_;
  fw::ComPtr<IDispatch> control_;
  fw::ComPtr<ITypeInfo> classInfo_;
  fw::ComPtr<ITypeInfo> eventInfo_;
  // Holds this object's handler but not this object: Disconnect takes the
  // handler back before this object goes.
  fw::ComPtr<EventSink> sink_;
  std::map<DISPID, Handler> handlers_;
  fw::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace container
