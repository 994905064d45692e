// An IDispatch sink for the control's events that counts them, as cheaply as a host can: the
// benchmarks measure the control, not the host.
#pragma once

#include <ocidl.h>
#include <windows.h>

#include <cstdint>

#include "win/event_connection.h"

namespace kivostrel::winbench {

// Lives on the benchmark's stack: references are counted but never delete it.
class EventCounter final : public IDispatch {
 public:
  EventCounter() = default;
  ~EventCounter();
  EventCounter(const EventCounter&) = delete;
  EventCounter& operator=(const EventCounter&) = delete;

  long responses = 0;
  long readies = 0;
  long ws_errors = 0;
  std::int32_t last_request_id = 0;   // of the last Response
  LONGLONG first_response_ticks = 0;  // QueryPerformanceCounter at the first Response
  LONGLONG last_response_ticks = 0;   // and at the last

  // Connects to the control's event connection point, and back.
  HRESULT Advise(IUnknown* control);
  HRESULT Unadvise();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  // IDispatch: only Invoke is ever called by the control.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override;

 private:
  ULONG references_ = 0;
  com::EventConnection connection_;
};

}  // namespace kivostrel::winbench
