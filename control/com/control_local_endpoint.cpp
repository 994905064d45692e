// LocalPort and LocalAddress: properties the control's IDispatch answers after its type library,
// which stays as it is. Scripts reach them by name (`Snmp.LocalPort = 162`), a VB form through
// its extender (`Snmp.object.LocalPort = 162`), C++ through GetIDsOfNames.
#include <algorithm>
#include <iterator>

#include "control/com/automation_types.h"
#include "control/com/control_object.h"
#include "control/com/error_guard.h"
#include "encoding/automation_error.h"

namespace kivostrel::com {
namespace {

// Outside the ranges the type library's members use.
constexpr DISPID kDispidLocalPort = 0x70000001;
constexpr DISPID kDispidLocalAddress = 0x70000002;

struct LocalEndpointMember {
  const wchar_t* name;
  DISPID id;
};
constexpr LocalEndpointMember kMembers[] = {
    {L"LocalPort", kDispidLocalPort},
    {L"LocalAddress", kDispidLocalAddress},
};

bool IsPut(WORD flags) {
  return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}

}  // namespace

bool ControlObject::FindLocalEndpointDispid(const wchar_t* name, DISPID& id) noexcept {
  if (name == nullptr) return false;
  for (const LocalEndpointMember& member : kMembers) {
    // Names compare as automation compares them: ignoring case.
    if (CompareStringOrdinal(name, -1, member.name, -1, TRUE) == CSTR_EQUAL) {
      id = member.id;
      return true;
    }
  }
  return false;
}

bool ControlObject::IsLocalEndpointDispid(DISPID id) noexcept {
  return std::any_of(std::begin(kMembers), std::end(kMembers),
                     [id](const LocalEndpointMember& member) { return member.id == id; });
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
