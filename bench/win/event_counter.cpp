#include "event_counter.h"

#include "bench_clock.h"
#include "control/com/event_dispids.h"
#include "kivOstrel_h.h"

namespace kivostrel::winbench {

namespace {

constexpr UINT kResponseArguments = 9;
constexpr UINT kRequestIdArgument = 5;  // in parameter order

}  // namespace

EventCounter::~EventCounter() {
  connection_.Unadvise();
}

HRESULT EventCounter::Advise(IUnknown* control) {
  return connection_.Advise(control, DIID___kivOstrel, this);
}

HRESULT EventCounter::Unadvise() {
  return connection_.Unadvise();
}

HRESULT EventCounter::QueryInterface(REFIID iid, void** out) {
  return com::QueryEventSink(this, DIID___kivOstrel, iid, out);
}

HRESULT EventCounter::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT EventCounter::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO*, UINT*) {
  if (result != nullptr) ::VariantInit(result);
  switch (id) {
    case com::kDispidResponse:
      ++responses;
      last_response_ticks = Ticks();
      if (first_response_ticks == 0) first_response_ticks = last_response_ticks;
      if (params != nullptr && params->cArgs == kResponseArguments) {
        const VARIANT& request_id = params->rgvarg[params->cArgs - 1 - kRequestIdArgument];
        if (V_VT(&request_id) == VT_I4) last_request_id = V_I4(&request_id);
      }
      return S_OK;
    case com::kDispidReady:
      ++readies;
      return S_OK;
    case com::kDispidWsError:
      ++ws_errors;
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace kivostrel::winbench
