// One control hosted the way a page hosts it: created by ProgID in a visible
// top-level window, loaded from nothing, from PARAM tags or from a stream,
// its events and property changes sunk, and activated in place.
//
// COM must already be initialised on the calling thread with OleInitialize;
// the object must be used and destroyed on that thread.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "container/control_site.h"
#include "container/property_bag.h"
#include "container/sinks.h"
#include "container/variant.h"
#include "framework/com_ptr.h"
#include "framework/text.h"
#include "framework/unique_handle.h"
#include "module/module_ids.h"

namespace container {

enum class Initialise { New, PropertyBag, Stream };

struct HostOptions {
  std::wstring progId = fw::WideFromNarrow(brimlet::kControlProgId);
  // "{...}": create this class instead of the ProgID's, as a page's
  // classid="clsid:..." names it.
  std::wstring clsid;
  int width = 400, height = 200;  // client size of the host window
  // A page places its controls inside its own window: the host window is
  // then a child of `parent` at (x, y) instead of a top-level window.
  HWND parent = nullptr;
  int x = 0, y = 0;
  Initialise init = Initialise::New;
  fw::ComPtr<IPropertyBag> bag;   // for PropertyBag
  fw::ComPtr<IStream> stream;     // for Stream (positioned at its start)
  bool activate = true;           // in-place activate after loading
  // The address of the page the control is on, told the way `addressBy`
  // says; empty: no page, as in a desktop program.
  std::wstring pageAddress;
  AddressBy addressBy = AddressBy::kMoniker;
};

class HostedControl {
  struct Token {
    explicit Token() = default;
  };

 public:
  // *hr (may be null) receives S_OK or the first step that failed.
  // Returns nullptr only when there is no control to return: the window, the
  // ProgID, the instance or its IOleObject could not be had. When a later
  // step fails (site, load, advise, activation) the remaining steps are still
  // tried and the object is returned; in particular a property bag the
  // control refuses leaves *hr holding the Load failure while the returned
  // control can be asked what it kept.
  static std::unique_ptr<HostedControl> Create(const HostOptions& options, HRESULT* hr);

  explicit HostedControl(Token);
  HostedControl(const HostedControl&) = delete;
  HostedControl& operator=(const HostedControl&) = delete;
  // Unadvises both sinks, deactivates, closes without saving, detaches the
  // site, releases every reference and only then destroys the window.
  ~HostedControl();

  HWND hostWindow() const { return window_.get(); }
  // The control's in-place window, or nullptr while it has none.
  HWND controlWindow() const;
  IUnknown* unknown() const { return unknown_.get(); }
  IDispatch* dispatch() const { return dispatch_.get(); }
  template <class T>
  fw::ComPtr<T> As(REFIID iid) const {
    return unknown_.As<T>(iid);
  }

  HRESULT GetIdOfName(const std::wstring& name, DISPID* id) const;
  HRESULT Get(const std::wstring& name, Variant* out);
  HRESULT Put(const std::wstring& name, const Variant& value);
  HRESULT Call(const std::wstring& name);
  // args in declared order. DISPATCH_PROPERTYPUT(REF) gets its
  // DISPID_PROPERTYPUT named argument here. A caller's EXCEPINFO is zeroed
  // first and its strings are the caller's to free.
  HRESULT InvokeId(DISPID id, WORD flags, std::vector<Variant> args, Variant* result,
                   EXCEPINFO* exception = nullptr);

  EventSink& events() { return *events_.get(); }
  PropertyNotifySink& changes() { return *changes_.get(); }

  // IPersistStreamInit::Save into a new memory stream, rewound to its start.
  HRESULT SaveToStream(fw::ComPtr<IStream>* out, bool clearDirty = true);
  // IPersistPropertyBag::Save(bag, TRUE, TRUE) into a new bag.
  HRESULT SaveToBag(fw::ComPtr<MemoryPropertyBag>* out);
  HRESULT IsDirty() const;
  // IOleObject::DoVerb with the host window and its client rectangle.
  HRESULT DoVerb(LONG verb);

  // Offers a keystroke to the control's active object, as a browser's loop
  // does before dispatching it; true when the control took it.
  bool TranslateAccelerator(MSG& message);
  // Drains this thread's queue, never waits; keystrokes go to the active
  // object's TranslateAccelerator first, as a browser's loop sends them.
  void PumpMessages();
  // Pumps until done() holds or timeoutMs has passed; whether it held.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

 private:
  HRESULT CreateHostWindow(const HostOptions& options);
  HRESULT Instantiate(const HostOptions& options);
  HRESULT Load(const HostOptions& options);
  HRESULT Advise();
  HRESULT Connect(REFIID iid, IUnknown* sink, fw::ComPtr<IConnectionPoint>* point,
                  DWORD* cookie);
  RECT ClientRect() const;

  fw::UniqueWindow window_;
  fw::ComPtr<ControlSite> site_;
  fw::ComPtr<EventSink> events_;
  fw::ComPtr<PropertyNotifySink> changes_;
  fw::ComPtr<IUnknown> unknown_;
  fw::ComPtr<IOleObject> ole_;
  fw::ComPtr<IDispatch> dispatch_;
  fw::ComPtr<IConnectionPoint> eventPoint_;
  fw::ComPtr<IConnectionPoint> changePoint_;
  DWORD eventCookie_ = 0;
  DWORD changeCookie_ = 0;
};

}  // namespace container
