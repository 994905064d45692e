#include "control/com/event_connection_point.h"

#include <algorithm>

#include "control/com/error_guard.h"
#include "control/com/snapshot_enumerator.h"
#include "kivOstrel_h.h"

namespace kivostrel::com {

std::shared_ptr<const EventConnectionPoint::SinkList> EventConnectionPoint::ListOf(
    const std::vector<Connection>& connections) {
  if (connections.empty()) return nullptr;
  auto list = std::make_shared<SinkList>();
  list->reserve(connections.size());
  for (const Connection& connection : connections) list->push_back(connection.sink);
  return list;
}

STDMETHODIMP EventConnectionPoint::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP EventConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = DIID___kivOstrel;
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::GetConnectionPointContainer(
    IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  *container = &container_;
  container_.AddRef();
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  ComPtr<IDispatch> dispatch;
  if (FAILED(sink->QueryInterface(DIID___kivOstrel, dispatch.ReceiveVoid())) &&
      FAILED(sink->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid()))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  return Guarded(IID_IConnectionPoint, [&] {
    sinks_.push_back({next_cookie_, std::move(dispatch)});
    try {
      sink_list_ = ListOf(sinks_);
    } catch (...) {
      sinks_.pop_back();
      throw;
    }
    *cookie = next_cookie_++;
  });
}

STDMETHODIMP EventConnectionPoint::Unadvise(DWORD cookie) {
  const auto found = std::find_if(sinks_.begin(), sinks_.end(),
                                  [&](const Connection& c) { return c.cookie == cookie; });
  if (found == sinks_.end()) return CONNECT_E_NOCONNECTION;
  return Guarded(IID_IConnectionPoint, [&] {
    std::vector<Connection> staying;
    staying.reserve(sinks_.size() - 1);
    for (auto c = sinks_.begin(); c != sinks_.end(); ++c) {
      if (c != found) staying.push_back(*c);
    }
    std::shared_ptr<const SinkList> list = ListOf(staying);
    // The sink may release the control's last outside reference when it goes: keep it until
    // the lists are consistent again.
    ComPtr<IDispatch> leaving = std::move(found->sink);
    std::shared_ptr<const SinkList> old_list = std::move(sink_list_);
    sinks_ = std::move(staying);
    sink_list_ = std::move(list);
  });
}

STDMETHODIMP EventConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (!connections) return E_POINTER;
  *connections = nullptr;
  return Guarded(IID_IConnectionPoint, [&] {
    std::vector<CONNECTDATA> data;
    data.reserve(sinks_.size());
    for (const Connection& connection : sinks_) {
      data.push_back({ComPtr<IDispatch>(connection.sink).Detach(), connection.cookie});
    }
    auto snapshot = std::make_shared<const ConnectionEnumerator::Snapshot>(std::move(data));
    ThrowIfFailed(ConnectionEnumerator::Create(std::move(snapshot), 0, connections));
  });
}

}  // namespace kivostrel::com
