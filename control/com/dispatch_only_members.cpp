#include "control/com/dispatch_only_members.h"

#include <vector>

#include "control/com/dispatch_names.h"
#include "control/com/dispatch_only_calls.h"
#include "control/com/error_guard.h"
#include "encoding/automation_error.h"
#include "kivOstrel_h.h"
#include "win/com_handles.h"

namespace kivostrel::com {
namespace {

using Kind = DispatchOnlyMember::Kind;
namespace calls = dispatch_only;

constexpr const wchar_t* kGetBulkParameters[] = {L"RemoteIP",   L"RemotePort",   L"Community",
                                                 L"RequestId",  L"NonRepeaters", L"MaxRepetitions",
                                                 L"Objectvalue"};
constexpr const wchar_t* kNotificationParameters[] = {L"RemoteIP", L"RemotePort", L"Community",
                                                      L"TrapOID", L"Objectval"};
constexpr const wchar_t* kInformParameters[] = {L"RemoteIP",  L"RemotePort", L"Community",
                                                L"RequestId", L"TrapOID",    L"Objectval"};
constexpr const wchar_t* kCounter64Parameters[] = {L"ObjectID", L"Value"};
constexpr const wchar_t* kAddUserParameters[] = {L"UserName", L"AuthProtocol", L"AuthPassword",
                                                 L"PrivProtocol", L"PrivPassword"};
constexpr const wchar_t* kRemoveUserParameters[] = {L"UserName"};
constexpr const wchar_t* kPinEngineIDParameters[] = {L"RemoteIP", L"RemotePort", L"EngineID"};
constexpr const wchar_t* kObjectIdParameters[] = {L"ObjectID"};
constexpr const wchar_t* kLoadMibParameters[] = {L"Module"};
constexpr const wchar_t* kFormatValueParameters[] = {L"OID", L"Value"};
constexpr const wchar_t* kOidParameters[] = {L"OID"};

// The published DISPIDs: 0x70000001 and 0x70000002 came first and keep their numbers.
const DispatchOnlyMember kMembers[] = {
    {.name = L"LocalPort",
     .id = 0x70000001,
     .kind = Kind::kProperty,
     .call = calls::GetLocalPort,
     .put = calls::PutLocalPort},
    {.name = L"LocalAddress",
     .id = 0x70000002,
     .kind = Kind::kProperty,
     .call = calls::GetLocalAddress,
     .put = calls::PutLocalAddress},
    {.name = L"ErrorIndex",
     .id = 0x70000003,
     .kind = Kind::kProperty,
     .call = calls::GetErrorIndex},
    {.name = L"SnmpVersion",
     .id = 0x70000004,
     .kind = Kind::kProperty,
     .call = calls::GetSnmpVersion,
     .put = calls::PutSnmpVersion},
    {.name = L"SendGetBulkRequest",
     .id = 0x70000005,
     .kind = Kind::kMethod,
     .call = calls::SendGetBulkRequest,
     .parameters = kGetBulkParameters,
     .required = 7},
    {.name = L"SendNotification",
     .id = 0x70000006,
     .kind = Kind::kMethod,
     .call = calls::SendNotification,
     .parameters = kNotificationParameters,
     .required = 4},
    {.name = L"SendInformRequest",
     .id = 0x70000007,
     .kind = Kind::kMethod,
     .call = calls::SendInformRequest,
     .parameters = kInformParameters,
     .required = 5},
    {.name = L"SNMPCounter64Value",
     .id = 0x70000008,
     .kind = Kind::kMethod,
     .call = calls::SNMPCounter64Value,
     .parameters = kCounter64Parameters,
     .required = 2},
    {.name = L"JoinBindings",
     .id = 0x70000009,
     .kind = Kind::kMethod,
     .call = calls::JoinBindings,
     .variadic = true},
    {.name = L"AddUser",
     .id = 0x7000000A,
     .kind = Kind::kMethod,
     .call = calls::AddUser,
     .parameters = kAddUserParameters,
     .required = 5},
    {.name = L"RemoveUser",
     .id = 0x7000000B,
     .kind = Kind::kMethod,
     .call = calls::RemoveUser,
     .parameters = kRemoveUserParameters,
     .required = 1},
    {.name = L"ContextName",
     .id = 0x7000000C,
     .kind = Kind::kProperty,
     .call = calls::GetContextName,
     .put = calls::PutContextName},
    {.name = L"EngineID",
     .id = 0x7000000D,
     .kind = Kind::kProperty,
     .call = calls::GetEngineID,
     .put = calls::PutEngineID},
    {.name = L"EngineBoots",
     .id = 0x7000000E,
     .kind = Kind::kProperty,
     .call = calls::GetEngineBoots,
     .put = calls::PutEngineBoots},
    {.name = L"SecurityError",
     .id = 0x7000000F,
     .kind = Kind::kProperty,
     .call = calls::GetSecurityError},
    {.name = L"ContextEngineID",
     .id = 0x70000010,
     .kind = Kind::kProperty,
     .call = calls::GetContextEngineID,
     .put = calls::PutContextEngineID},
    {.name = L"PinEngineID",
     .id = 0x70000011,
     .kind = Kind::kMethod,
     .call = calls::PinEngineID,
     .parameters = kPinEngineIDParameters,
     .required = 3},
    {.name = L"SNMPNoSuchObjectValue",
     .id = 0x70000012,
     .kind = Kind::kMethod,
     .call = calls::SNMPNoSuchObjectValue,
     .parameters = kObjectIdParameters,
     .required = 1},
    {.name = L"SNMPNoSuchInstanceValue",
     .id = 0x70000013,
     .kind = Kind::kMethod,
     .call = calls::SNMPNoSuchInstanceValue,
     .parameters = kObjectIdParameters,
     .required = 1},
    {.name = L"SNMPEndOfMibViewValue",
     .id = 0x70000014,
     .kind = Kind::kMethod,
     .call = calls::SNMPEndOfMibViewValue,
     .parameters = kObjectIdParameters,
     .required = 1},
    {.name = L"LoadMib",
     .id = 0x70000015,
     .kind = Kind::kMethod,
     .call = calls::LoadMib,
     .parameters = kLoadMibParameters,
     .required = 1},
    {.name = L"MibPath",
     .id = 0x70000016,
     .kind = Kind::kProperty,
     .call = calls::GetMibPath,
     .put = calls::PutMibPath},
    {.name = L"MibWarnings",
     .id = 0x70000017,
     .kind = Kind::kProperty,
     .call = calls::GetMibWarnings},
    {.name = L"FormatValue",
     .id = 0x70000018,
     .kind = Kind::kMethod,
     .call = calls::FormatValue,
     .parameters = kFormatValueParameters,
     .required = 2},
    {.name = L"IndexedName",
     .id = 0x70000019,
     .kind = Kind::kMethod,
     .call = calls::IndexedName,
     .parameters = kOidParameters,
     .required = 1},
};

bool IsPut(WORD flags) noexcept {
  return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
}

bool IsMissing(const VARIANT& argument) noexcept {
  return V_VT(&argument) == VT_ERROR && V_ERROR(&argument) == DISP_E_PARAMNOTFOUND;
}

const VARIANT& Missing() noexcept {
  static const VARIANT missing = [] {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_ERROR;
    V_ERROR(&value) = DISP_E_PARAMNOTFOUND;
    return value;
  }();
  return missing;
}

// Puts a method's arguments into parameter order. DISPPARAMS holds them last to first, the named
// ones (by parameter position) ahead of the positional ones.
HRESULT ArrangeArguments(const DispatchOnlyMember& member, const DISPPARAMS& params,
                         std::vector<const VARIANT*>& arguments) {
  if (params.cNamedArgs > params.cArgs) return E_INVALIDARG;
  const UINT positional = params.cArgs - params.cNamedArgs;
  if (member.variadic) {
    if (params.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    for (UINT i = params.cArgs; i-- > 0;) arguments.push_back(&params.rgvarg[i]);
    return S_OK;
  }
  if (positional > member.parameters.size()) return DISP_E_BADPARAMCOUNT;
  arguments.assign(member.parameters.size(), nullptr);
  for (UINT i = 0; i < positional; ++i) arguments[i] = &params.rgvarg[params.cArgs - 1 - i];
  for (UINT i = 0; i < params.cNamedArgs; ++i) {
    const DISPID position = params.rgdispidNamedArgs[i];
    if (position < 0 || static_cast<std::size_t>(position) >= arguments.size() ||
        arguments[position] != nullptr) {
      return DISP_E_PARAMNOTFOUND;
    }
    arguments[position] = &params.rgvarg[i];
  }
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] != nullptr && !IsMissing(*arguments[i])) continue;
    if (i < member.required) return DISP_E_PARAMNOTOPTIONAL;
    arguments[i] = &Missing();
  }
  return S_OK;
}

// The kind of call `flags` asks for, checked against the member, and its argument count.
HRESULT CheckCall(const DispatchOnlyMember& member, WORD flags, const DISPPARAMS& params) {
  if (member.kind == Kind::kMethod) {
    return (flags & DISPATCH_METHOD) != 0 ? S_OK : DISP_E_MEMBERNOTFOUND;
  }
  if (IsPut(flags)) {
    if (member.put == nullptr) return DISP_E_MEMBERNOTFOUND;
    if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (params.cNamedArgs != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_PARAMNOTOPTIONAL;
    }
    return S_OK;
  }
  if ((flags & DISPATCH_PROPERTYGET) == 0) return DISP_E_MEMBERNOTFOUND;
  return params.cArgs == 0 ? S_OK : DISP_E_BADPARAMCOUNT;
}

}  // namespace

const DispatchOnlyMember* FindDispatchOnlyMember(const wchar_t* name) noexcept {
  for (const DispatchOnlyMember& member : kMembers) {
    if (IsDispatchName(name, member.name)) return &member;
  }
  return nullptr;
}

const DispatchOnlyMember* FindDispatchOnlyMember(DISPID id) noexcept {
  for (const DispatchOnlyMember& member : kMembers) {
    if (member.id == id) return &member;
  }
  return nullptr;
}

HRESULT DispatchOnlyIds(const DispatchOnlyMember& member, const LPOLESTR* names, UINT count,
                        DISPID* ids) noexcept {
  ids[0] = member.id;
  HRESULT hr = S_OK;
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    for (std::size_t position = 0; position < member.parameters.size(); ++position) {
      if (IsDispatchName(names[i], member.parameters[position])) {
        ids[i] = static_cast<DISPID>(position);
      }
    }
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT InvokeDispatchOnly(const DispatchOnlyMember& member, kivOstrel& engine, WORD flags,
                           const DISPPARAMS& params, VARIANT* result,
                           EXCEPINFO* exception) noexcept {
  if (const HRESULT hr = CheckCall(member, flags, params); FAILED(hr)) return hr;
  try {
    if (member.kind == Kind::kProperty && IsPut(flags)) {
      member.put(engine, params.rgvarg[0]);
      return S_OK;
    }
    std::vector<const VARIANT*> arguments;
    if (member.kind == Kind::kMethod) {
      if (const HRESULT hr = ArrangeArguments(member, params, arguments); FAILED(hr)) return hr;
    }
    UniqueVariant value;
    member.call(engine, arguments, *value.get());
    if (result != nullptr) value.MoveTo(result);
    return S_OK;
  } catch (const AutomationError& error) {
    if (exception != nullptr) return ReportToInvoke(error, exception);
    return ReportCurrentException(IID__kivOstrel);
  } catch (...) {
    return ReportCurrentException(IID__kivOstrel);
  }
}

}  // namespace kivostrel::com
