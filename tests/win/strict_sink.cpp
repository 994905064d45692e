#include "strict_sink.h"

#include <gtest/gtest.h>

#include "control/com/event_dispids.h"
#include "dispatch_client.h"
#include "kivOstrel_h.h"

namespace kivostrel::wintest {

StrictSink::~StrictSink() {
  connection_.Unadvise();
}

HRESULT StrictSink::Advise(IUnknown* control) {
  return connection_.Advise(control, DIID___kivOstrel, this);
}

HRESULT StrictSink::Unadvise() {
  return connection_.Unadvise();
}

HRESULT StrictSink::QueryInterface(REFIID iid, void** out) {
  return com::QueryEventSink(this, DIID___kivOstrel, iid, out);
}

HRESULT StrictSink::GetTypeInfoCount(UINT* count) {
  ADD_FAILURE() << "sink: unexpected GetTypeInfoCount";
  if (count != nullptr) *count = 0;
  return E_NOTIMPL;
}

HRESULT StrictSink::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  ADD_FAILURE() << "sink: unexpected GetTypeInfo";
  return E_NOTIMPL;
}

HRESULT StrictSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  ADD_FAILURE() << "sink: unexpected GetIDsOfNames";
  return E_NOTIMPL;
}

namespace {

// The argument at parameter position `index` (Invoke lists them last to first).
const VARIANT& Arg(const DISPPARAMS& params, UINT index) {
  return params.rgvarg[params.cArgs - 1 - index];
}

bool ExpectTypes(const DISPPARAMS& params, const std::vector<VARTYPE>& types, const char* event) {
  EXPECT_EQ(params.cNamedArgs, 0u) << event;
  if (params.cArgs != types.size()) {
    ADD_FAILURE() << event << ": " << params.cArgs << " arguments, expected " << types.size();
    return false;
  }
  bool ok = true;
  for (UINT i = 0; i < types.size(); ++i) {
    if (V_VT(&Arg(params, i)) != types[i]) {
      ADD_FAILURE() << event << ": argument " << i << " has type 0x" << std::hex
                    << V_VT(&Arg(params, i)) << ", expected 0x" << types[i];
      ok = false;
    }
  }
  return ok;
}

}  // namespace

HRESULT StrictSink::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO*, UINT*) {
  EXPECT_TRUE(::IsEqualIID(iid, IID_NULL));
  EXPECT_NE(flags & DISPATCH_METHOD, 0);
  if (result != nullptr) ::VariantInit(result);
  if (params == nullptr) {
    ADD_FAILURE() << "sink: event " << id << " without DISPPARAMS";
    return E_INVALIDARG;
  }
  switch (id) {
    case com::kDispidReady:
      ++ready_count;
      if (!on_ready) {
        ADD_FAILURE() << "sink: unexpected Ready";
        return S_OK;
      }
      if (ExpectTypes(*params, {}, "Ready")) on_ready();
      return S_OK;
    case com::kDispidWsError:
      ++ws_error_count;
      if (!on_ws_error) {
        ADD_FAILURE() << "sink: unexpected WsError";
        return S_OK;
      }
      if (ExpectTypes(*params, {VT_I4, VT_BSTR, VT_BSTR}, "WsError"))
        on_ws_error(V_I4(&Arg(*params, 0)), V_BSTR(&Arg(*params, 1)), V_BSTR(&Arg(*params, 2)));
      return S_OK;
    case com::kDispidResponse: {
      ++response_count;
      if (!on_response) {
        ADD_FAILURE() << "sink: unexpected Response";
        return S_OK;
      }
      if (!ExpectTypes(*params,
                       {VT_BSTR, VT_BSTR, VT_I2, VT_BSTR, VT_BSTR, VT_I4, VT_I2,
                        VT_BYREF | VT_DISPATCH, VT_BYREF | VT_ARRAY | VT_UI1},
                       "Response"))
        return S_OK;
      ResponseArgs args;
      auto text = [&](UINT i) {
        BSTR s = V_BSTR(&Arg(*params, i));
        return std::wstring(s != nullptr ? s : L"");
      };
      args.remote_ip = text(0);
      args.remote_port = text(1);
      args.version = V_I2(&Arg(*params, 2));
      args.community = text(3);
      args.command = text(4);
      args.request_id = V_I4(&Arg(*params, 5));
      args.error_status = V_I2(&Arg(*params, 6));
      args.objects = ComPtr<IDispatch>::Share(*V_DISPATCHREF(&Arg(*params, 7)));
      args.raw_data = BytesOf(Arg(*params, 8));
      args.params = params;
      on_response(args);
      return S_OK;
    }
    default:
      ADD_FAILURE() << "sink: unexpected DISPID " << id;
      return DISP_E_MEMBERNOTFOUND;
  }
}

}  // namespace kivostrel::wintest
