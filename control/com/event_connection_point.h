// The connection point for the control's events (__kivOstrel). It shares the control's
// reference count and keeps each sink's IDispatch under a cookie that is never reused.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <vector>

#include "win/com_handles.h"

namespace kivostrel::com {

class EventConnectionPoint final : public IConnectionPoint {
 public:
  // `container` owns this object and outlives it.
  explicit EventConnectionPoint(IConnectionPointContainer& container) noexcept
      : container_(container) {}
  EventConnectionPoint(const EventConnectionPoint&) = delete;
  EventConnectionPoint& operator=(const EventConnectionPoint&) = delete;
  virtual ~EventConnectionPoint() = default;

  // The sinks now connected, or null when there are none. The list is made again on every
  // Advise and Unadvise, never changed, so that an event can go through it without copying it
  // while a sink unadvises.
  using SinkList = std::vector<ComPtr<IDispatch>>;
  std::shared_ptr<const SinkList> Sinks() const noexcept { return sink_list_; }
  bool HasSinks() const noexcept { return !sinks_.empty(); }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return container_.AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return container_.Release(); }

  // IConnectionPoint
  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

 private:
  struct Connection {
    DWORD cookie;
    ComPtr<IDispatch> sink;
  };

  // The list of `connections`' sinks, null when there are none.
  static std::shared_ptr<const SinkList> ListOf(const std::vector<Connection>& connections);

  IConnectionPointContainer& container_;
  std::vector<Connection> sinks_;
  std::shared_ptr<const SinkList> sink_list_;
  DWORD next_cookie_ = 1;
};

}  // namespace kivostrel::com
