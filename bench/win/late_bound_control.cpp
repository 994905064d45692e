#include "late_bound_control.h"

namespace kivostrel::winbench {

namespace {

DISPID DispidOf(IDispatch* object, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
    return DISPID_UNKNOWN;
  return id;
}

}  // namespace

HRESULT ControlClsid(CLSID& clsid) {
  return ::CLSIDFromProgID(L"kivOstrelCtrl.kivOstrel", &clsid);
}

LateBoundControl::LateBoundControl(const CLSID& clsid) {
  if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                control_.ReceiveVoid())))
    return;
  send_get_request_ = DispidOf(control_.get(), L"SendGetRequest");
  local_port_ = DispidOf(control_.get(), L"LocalPort");
}

HRESULT LateBoundControl::SendGetRequest(BSTR remote_ip, BSTR remote_port, BSTR community,
                                         std::int32_t request_id, SAFEARRAY** bindings) {
  // Invoke takes the arguments last to first. None is owned here: nothing is cleared.
  VARIANTARG args[5];
  V_VT(&args[0]) = VT_BYREF | VT_ARRAY | VT_UI1;
  V_ARRAYREF(&args[0]) = bindings;
  V_VT(&args[1]) = VT_I4;
  V_I4(&args[1]) = request_id;
  V_VT(&args[2]) = VT_BSTR;
  V_BSTR(&args[2]) = community;
  V_VT(&args[3]) = VT_BSTR;
  V_BSTR(&args[3]) = remote_port;
  V_VT(&args[4]) = VT_BSTR;
  V_BSTR(&args[4]) = remote_ip;
  DISPPARAMS params{args, nullptr, 5, 0};
  com::UniqueVariant result;
  com::UniqueExcepInfo exception;
  UINT arg_error = 0;
  return control_->Invoke(send_get_request_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                          &params, result.get(), &exception.info, &arg_error);
}

std::uint16_t LateBoundControl::LocalPort() {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  com::UniqueVariant result;
  if (FAILED(control_->Invoke(local_port_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                              &none, result.get(), nullptr, nullptr)))
    return 0;
  com::UniqueVariant number;
  if (FAILED(::VariantChangeType(number.get(), result.get(), 0, VT_I4))) return 0;
  return static_cast<std::uint16_t>(V_I4(number.get()));
}

}  // namespace kivostrel::winbench
