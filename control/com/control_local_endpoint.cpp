// LocalPort and LocalAddress: properties the control's IDispatch answers after its type library,
// which stays as it is. Scripts reach them by name (`Snmp.LocalPort = 162`), a VB form through
// its extender (`Snmp.object.LocalPort = 162`), C++ through GetIDsOfNames.
#include "control/com/automation_types.h"
#include "control/com/control_object.h"
#include "control/com/dispatch_names.h"
#include "control/com/error_guard.h"
#include "encoding/automation_error.h"

namespace kivostrel::com {
namespace {

// Outside the ranges the type library's members use.
constexpr DISPID kDispidLocalPort = 0x70000001;
constexpr DISPID kDispidLocalAddress = 0x70000002;

constexpr DispatchName kMembers[] = {
    {L"LocalPort", kDispidLocalPort},
    {L"LocalAddress", kDispidLocalAddress},
};

bool IsPut(WORD flags) {
  return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}

}  // namespace

bool ControlObject::FindLocalEndpointDispid(const wchar_t* name, DISPID& id) noexcept {
  const std::optional<DISPID> found = FindDispid(kMembers, name);
  if (found) id = *found;
  return found.has_value();
}

bool ControlObject::IsLocalEndpointDispid(DISPID id) noexcept {
  return id == kDispidLocalPort || id == kDispidLocalAddress;
}

HRESULT ControlObject::InvokeLocalEndpoint(DISPID id, WORD flags, const DISPPARAMS& params,
                                           VARIANT* result, EXCEPINFO* exception) noexcept {
  if (!engine_) return E_UNEXPECTED;
  if (IsPut(flags)) {
    if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (params.cNamedArgs != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_PARAMNOTOPTIONAL;
    }
  } else if ((flags & DISPATCH_PROPERTYGET) != 0) {
    if (params.cArgs != 0) return DISP_E_BADPARAMCOUNT;
  } else {
    return DISP_E_MEMBERNOTFOUND;
  }
  try {
    if (IsPut(flags)) {
      const std::optional<Variant> value = EngineValueOf(params.rgvarg[0]);
      if (!value || std::holds_alternative<Bytes>(*value)) RaiseTypeMismatch();
      if (id == kDispidLocalPort) {
        engine_->LocalPort(*value);
      } else {
        engine_->LocalAddress(ValueToText(*value));
      }
      return S_OK;
    }
    if (result == nullptr) return S_OK;
    if (id == kDispidLocalPort) {
      StoreEngineValue(Variant(engine_->LocalPort()), result);
    } else {
      StoreEngineValue(Variant(engine_->LocalAddress()), result);
    }
    return S_OK;
  } catch (const AutomationError& error) {
    return ReportToInvoke(error, exception);
  } catch (...) {
    return ReportCurrentException(IID__kivOstrel);
  }
}

}  // namespace kivostrel::com
