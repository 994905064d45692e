// An event sink for __kivOstrel that fails the test on anything it was not told to expect: an
// unknown DISPID, an event without a handler, arguments of the wrong count or type, or a call
// of GetIDsOfNames or the type information.
#pragma once

#include <ocidl.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dispatch_client.h"
#include "win/event_connection.h"

namespace kivostrel::wintest {

// The arguments of one Response, copied out of the call. `params` points at the live
// arguments during the handler only.
struct ResponseArgs {
  std::wstring remote_ip, remote_port, community, command;
  short version = 0, error_status = 0;
  long request_id = 0;
  ComPtr<IDispatch> objects;
  std::vector<std::uint8_t> raw_data;
  DISPPARAMS* params = nullptr;
};

// Lives on the test's stack: references are counted so the test can see them all returned,
// but the sink never deletes itself.
class StrictSink final : public IDispatch {
 public:
  StrictSink() = default;
  ~StrictSink();
  StrictSink(const StrictSink&) = delete;
  StrictSink& operator=(const StrictSink&) = delete;

  // Handlers; an event whose handler is empty fails the test.
  std::function<void()> on_ready;
  std::function<void(ResponseArgs&)> on_response;
  std::function<void(long code, const std::wstring& description, const std::wstring& where)>
      on_ws_error;

  int ready_count = 0;
  int response_count = 0;
  int ws_error_count = 0;

  // Connects to the control's __kivOstrel connection point.
  HRESULT Advise(IUnknown* control);
  HRESULT Unadvise();
  // Drops the connection point without unadvising: the control's own references then decide
  // when it goes away.
  void Forget() { connection_.Forget(); }
  ULONG references() const noexcept { return references_; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override;

 private:
  ULONG references_ = 0;
  com::EventConnection connection_;
};

}  // namespace kivostrel::wintest
