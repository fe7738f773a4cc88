// One connection point of a control (its event interface, or property change
// notification). It lives inside the control and shares its reference count,
// so a client holding the point keeps the whole control alive.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <vector>

#include "framework/com_ptr.h"

namespace fw {

class ConnectionPoint : public IConnectionPoint {
 public:
  ConnectionPoint(IConnectionPointContainer* owner, const IID& iid) : owner_(owner), iid_(iid) {}
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  const IID& iid() const { return iid_; }
  // A copy of the current sinks, so that a sink may unadvise while it is called.
  std::vector<ComPtr<IUnknown>> Sinks() const;
  void DisconnectAll() { connections_.clear(); }

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override;
  STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }

  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

 private:
  struct Connection {
    DWORD cookie;
    ComPtr<IUnknown> sink;  // the interface of iid_ that the sink answered
  };
  IConnectionPointContainer* owner_;
  IID iid_;
  std::vector<Connection> connections_;
  DWORD nextCookie_ = 1;
};

// A new enumerator over `points` (each held by a reference of its own, so
// the container stays alive while the enumerator does), for
// IConnectionPointContainer::EnumConnectionPoints.
HRESULT EnumerateConnectionPoints(const std::vector<IConnectionPoint*>& points,
                                  IEnumConnectionPoints** result);

}  // namespace fw
