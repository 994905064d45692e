// The connection point for the control's events (__kivOstrel). It shares the control's
// reference count and keeps each sink's IDispatch under a cookie that is never reused.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

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

  // The sinks now connected; a copy, so that a sink may unadvise while events are raised.
  std::vector<ComPtr<IDispatch>> Sinks() const;
  bool HasSinks() const noexcept { return !sinks_.empty(); }
  // Lets every sink go (the control is closing).
  void DisconnectAll() noexcept { sinks_.clear(); }

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

  IConnectionPointContainer& container_;
  std::vector<Connection> sinks_;
  DWORD next_cookie_ = 1;
};

}  // namespace kivostrel::com
