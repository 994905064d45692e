// The client side of a connection point: a sink advised on an object's outgoing interface and
// unadvised again, shared by every host-side event sink.
#pragma once

#include <ocidl.h>
#include <windows.h>

#include <utility>

#include "win/com_handles.h"

namespace kivostrel::com {

class EventConnection {
 public:
  EventConnection() = default;
  EventConnection(const EventConnection&) = delete;
  EventConnection& operator=(const EventConnection&) = delete;
  ~EventConnection() {
    if (point_) Unadvise();
  }

  // Connects `sink` to `source`'s connection point for `events`.
  HRESULT Advise(IUnknown* source, REFIID events, IUnknown* sink) {
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid());
    if (FAILED(hr)) return hr;
    hr = container->FindConnectionPoint(events, point_.Receive());
    if (FAILED(hr)) return hr;
    hr = point_->Advise(sink, &cookie_);
    if (FAILED(hr)) point_.reset();
    return hr;
  }

  HRESULT Unadvise() {
    if (!point_) return E_UNEXPECTED;
    // The point may be the last thing that keeps the source alive: let it go after the call.
    ComPtr<IConnectionPoint> point = std::move(point_);
    return point->Unadvise(cookie_);
  }

  // Drops the connection point without unadvising: the source's own references then decide
  // when it goes away.
  void Forget() { point_.reset(); }

 private:
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

// QueryInterface of a sink that answers IUnknown, IDispatch and the outgoing interface `events`
// through its IDispatch.
inline HRESULT QueryEventSink(IDispatch* sink, REFIID events, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch) ||
      ::IsEqualIID(iid, events)) {
    *out = sink;
    sink->AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

}  // namespace kivostrel::com
