#include "framework/connection_point.h"

#include <olectl.h>

#include <algorithm>

#include "framework/com_object.h"

namespace fw {
namespace {

class ConnectionPointEnum final : public ComObject<ConnectionPointEnum, IEnumConnectionPoints> {
 public:
  ConnectionPointEnum(std::vector<ComPtr<IConnectionPoint>> points, std::size_t position)
      : points_(std::move(points)), position_(position) {}

  static const InterfaceEntry* InterfaceTable() {
    static const InterfaceEntry table[] = {
        Entry<ConnectionPointEnum, IEnumConnectionPoints>(IID_IEnumConnectionPoints), {nullptr, 0}};
    return table;
  }

  STDMETHODIMP Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!points) return E_POINTER;
    // Without a place to say how many came, only one may be asked for.
    if (count != 1 && !fetched) return E_INVALIDARG;
    ULONG given = 0;
    while (given < count && position_ < points_.size()) {
      points_[position_++].CopyTo(&points[given++]);
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    const std::size_t left = points_.size() - position_;
    if (count > left) {
      position_ = points_.size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumConnectionPoints** result) override {
    if (!result) return E_POINTER;
    *result = ConnectionPointEnum::Create(points_, position_).detach();
    return *result ? S_OK : E_OUTOFMEMORY;
  }

 private:
  std::vector<ComPtr<IConnectionPoint>> points_;
  std::size_t position_;
};

}  // namespace

HRESULT EnumerateConnectionPoints(const std::vector<IConnectionPoint*>& points,
                                  IEnumConnectionPoints** result) {
  if (!result) return E_POINTER;
  std::vector<ComPtr<IConnectionPoint>> held(points.begin(), points.end());
  *result = ConnectionPointEnum::Create(std::move(held), 0).detach();
  return *result ? S_OK : E_OUTOFMEMORY;
}

std::vector<ComPtr<IUnknown>> ConnectionPoint::Sinks() const {
  std::vector<ComPtr<IUnknown>> sinks;
  for (const auto& connection : connections_) sinks.push_back(connection.sink);
  return sinks;
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** result) {
  if (!result) return E_POINTER;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IConnectionPoint)) {
    *result = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *result = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  *container = owner_;
  owner_->AddRef();
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  ComPtr<IUnknown> itf;
  if (FAILED(sink->QueryInterface(iid_, itf.put_void()))) return CONNECT_E_CANNOTCONNECT;
  connections_.push_back({nextCookie_, itf});
  *cookie = nextCookie_++;
  return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
  auto found = std::find_if(connections_.begin(), connections_.end(),
                            [cookie](const Connection& c) { return c.cookie == cookie; });
  if (found == connections_.end()) return CONNECT_E_NOCONNECTION;
  connections_.erase(found);
  return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (!connections) return E_POINTER;
  *connections = nullptr;
  return E_NOTIMPL;  // enumeration is optional; containers find their own cookies
}

}  // namespace fw
