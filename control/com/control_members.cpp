// The members of _kivOstrel: each converts its arguments, calls the engine and converts the
// result back, under the one entry-point guard.
#include "control/com/automation_types.h"
#include "control/com/collection_object.h"
#include "control/com/control_object.h"
#include "control/com/error_guard.h"
#include "encoding/automation_error.h"

namespace kivostrel::com {
namespace {

Bytes BytesArgument(SAFEARRAY** array) {
  return BytesFromSafeArray(array ? *array : nullptr);
}

}  // namespace

template <typename Body>
HRESULT ControlObject::Member(Body&& body) noexcept {
  if (!engine_) return E_UNEXPECTED;
  return Guarded(IID__kivOstrel, std::forward<Body>(body));
}

#define KIVOSTREL_REQUIRE_OUT(pointer) \
  if (!(pointer)) return E_POINTER

STDMETHODIMP ControlObject::get_StringType(LONG* value) {
  KIVOSTREL_REQUIRE_OUT(value);
  return Member([&] { *value = engine_->StringType(); });
}
STDMETHODIMP ControlObject::put_StringType(LONG vNewValue) {
  return Member([&] {
    engine_->StringType(vNewValue);
    dirty_ = true;
  });
}

STDMETHODIMP ControlObject::Err2Str(short ErrorStatus, BSTR* result) {
  KIVOSTREL_REQUIRE_OUT(result);
  *result = nullptr;
  return Member([&] { *result = BstrFromText(engine_->Err2Str(ErrorStatus)).Detach(); });
}

STDMETHODIMP ControlObject::ClearOID() {
  return Member([&] { engine_->ClearOID(); });
}
STDMETHODIMP ControlObject::SetOID(BSTR OID, BSTR Name) {
  return Member([&] { engine_->SetOID(TextFromBstr(OID), TextFromBstr(Name)); });
}
STDMETHODIMP ControlObject::SetOIDFirst(BSTR OID, BSTR Name) {
  return Member([&] { engine_->SetOIDFirst(TextFromBstr(OID), TextFromBstr(Name)); });
}
STDMETHODIMP ControlObject::OID2Name(BSTR OID, BSTR* result) {
  KIVOSTREL_REQUIRE_OUT(result);
  *result = nullptr;
  return Member([&] { *result = BstrFromText(engine_->OID2Name(TextFromBstr(OID))).Detach(); });
}
STDMETHODIMP ControlObject::Name2OID(BSTR Name, BSTR* result) {
  KIVOSTREL_REQUIRE_OUT(result);
  *result = nullptr;
  return Member([&] { *result = BstrFromText(engine_->Name2OID(TextFromBstr(Name))).Detach(); });
}
STDMETHODIMP ControlObject::FindName(BSTR Name, short Compare, IDispatch** result) {
  KIVOSTREL_REQUIRE_OUT(result);
  *result = nullptr;
  return Member([&] {
    *result = MakeNamesCollection(engine_->FindName(TextFromBstr(Name), Compare)).Detach();
  });
}
STDMETHODIMP ControlObject::Name2TypeID(BSTR Name, short* result) {
  KIVOSTREL_REQUIRE_OUT(result);
  return Member([&] { *result = engine_->Name2TypeID(TextFromBstr(Name)); });
}

// --- Value constructors ---

STDMETHODIMP ControlObject::SNMPNullValue(BSTR ObjectID, SAFEARRAY** result) {
  KIVOSTREL_REQUIRE_OUT(result);
  *result = nullptr;
  return Member([&] {
    *result = SafeArrayFromBytes(engine_->SNMPNullValue(TextFromBstr(ObjectID))).Detach();
  });
}

#define KIVOSTREL_TEXT_VALUE_CONSTRUCTOR(Name)                                                     \
  STDMETHODIMP ControlObject::Name(BSTR ObjectID, BSTR Value, SAFEARRAY** result) {                \
    KIVOSTREL_REQUIRE_OUT(result);                                                                 \
    *result = nullptr;                                                                             \
    return Member([&] {                                                                            \
      *result =                                                                                    \
          SafeArrayFromBytes(engine_->Name(TextFromBstr(ObjectID), TextFromBstr(Value))).Detach(); \
    });                                                                                            \
  }

KIVOSTREL_TEXT_VALUE_CONSTRUCTOR(SNMPCounterValue)
KIVOSTREL_TEXT_VALUE_CONSTRUCTOR(SNMPIntegerValue)
KIVOSTREL_TEXT_VALUE_CONSTRUCTOR(SNMPStringValue)
KIVOSTREL_TEXT_VALUE_CONSTRUCTOR(SNMPIpAddrValue)
KIVOSTREL_TEXT_VALUE_CONSTRUCTOR(SnmpGaugeValue)
KIVOSTREL_TEXT_VALUE_CONSTRUCTOR(SnmpTimeTicksValue)

#undef KIVOSTREL_TEXT_VALUE_CONSTRUCTOR

STDMETHODIMP ControlObject::SNMPBinStringValue(BSTR ObjectID, SAFEARRAY** Value,
                                               SAFEARRAY** result) {
  KIVOSTREL_REQUIRE_OUT(result);
  *result = nullptr;
  return Member([&] {
    *result = SafeArrayFromBytes(
                  engine_->SNMPBinStringValue(TextFromBstr(ObjectID), BytesArgument(Value)))
                  .Detach();
  });
}

// --- Send operations ---

STDMETHODIMP ControlObject::SendGetResponse(BSTR RemoteIP, BSTR RemotePort, BSTR Community,
                                            LONG RequestId, LONG ErrorStatus, LONG ErrorIndex,
                                            SAFEARRAY** Objectvalue) {
  return Member([&] {
    engine_->SendGetResponse(TextFromBstr(RemoteIP), TextFromBstr(RemotePort),
                             TextFromBstr(Community), RequestId, ErrorStatus, ErrorIndex,
                             BytesArgument(Objectvalue));
  });
}
STDMETHODIMP ControlObject::SendGetRequest(BSTR RemoteIP, BSTR RemotePort, BSTR Community,
                                           LONG RequestId, SAFEARRAY** Objectvalue) {
  return Member([&] {
    engine_->SendGetRequest(TextFromBstr(RemoteIP), TextFromBstr(RemotePort),
                            TextFromBstr(Community), RequestId, BytesArgument(Objectvalue));
  });
}
STDMETHODIMP ControlObject::SendGetNextRequest(BSTR RemoteIP, BSTR RemotePort, BSTR Community,
                                               LONG RequestId, SAFEARRAY** Objectvalue) {
  return Member([&] {
    engine_->SendGetNextRequest(TextFromBstr(RemoteIP), TextFromBstr(RemotePort),
                                TextFromBstr(Community), RequestId, BytesArgument(Objectvalue));
  });
}
STDMETHODIMP ControlObject::SendSetRequest(BSTR RemoteIP, BSTR RemotePort, BSTR Community,
                                           LONG RequestId, SAFEARRAY** Objectvalue) {
  return Member([&] {
    engine_->SendSetRequest(TextFromBstr(RemoteIP), TextFromBstr(RemotePort),
                            TextFromBstr(Community), RequestId, BytesArgument(Objectvalue));
  });
}
STDMETHODIMP ControlObject::SendTrap(BSTR RemoteIP, BSTR RemotePort, BSTR Community,
                                     BSTR Enterprise, short GenericTrapType, BSTR SpecificTrapType,
                                     VARIANT* Objectval) {
  return Member([&] {
    Variant bindings;
    if (Objectval) {
      std::optional<Variant> value = EngineValueOf(*Objectval);
      if (!value) RaiseTypeMismatch();
      bindings = std::move(*value);
    }
    engine_->SendTrap(TextFromBstr(RemoteIP), TextFromBstr(RemotePort), TextFromBstr(Community),
                      TextFromBstr(Enterprise), GenericTrapType, TextFromBstr(SpecificTrapType),
                      bindings);
  });
}

// --- The simple properties ---

STDMETHODIMP ControlObject::get_Copyright(BSTR* value) {
  KIVOSTREL_REQUIRE_OUT(value);
  *value = nullptr;
  return Member([&] { *value = BstrFromText(engine_->Copyright()).Detach(); });
}
STDMETHODIMP ControlObject::put_Copyright(BSTR vNewValue) {
  return Member([&] { engine_->Copyright(TextFromBstr(vNewValue)); });
}
STDMETHODIMP ControlObject::get_Stat(short* value) {
  KIVOSTREL_REQUIRE_OUT(value);
  return Member([&] { *value = engine_->Stat(); });
}
STDMETHODIMP ControlObject::get_AgentAddress(BSTR* value) {
  KIVOSTREL_REQUIRE_OUT(value);
  *value = nullptr;
  return Member([&] { *value = BstrFromText(engine_->AgentAddress()).Detach(); });
}
STDMETHODIMP ControlObject::put_AgentAddress(BSTR vNewValue) {
  return Member([&] { engine_->AgentAddress(TextFromBstr(vNewValue)); });
}
STDMETHODIMP ControlObject::get_TickCount(LONG* value) {
  KIVOSTREL_REQUIRE_OUT(value);
  return Member([&] { *value = engine_->TickCount(); });
}
STDMETHODIMP ControlObject::put_TickCount(LONG vNewValue) {
  return Member([&] { engine_->TickCount(vNewValue); });
}

#undef KIVOSTREL_REQUIRE_OUT

}  // namespace kivostrel::com
