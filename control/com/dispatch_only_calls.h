// The calls behind the rows of the dispatch-only members' table (dispatch_only_members.cpp): the
// local endpoint in control_local_endpoint.cpp, the SNMPv2c members in control_snmpv2.cpp, the
// SNMPv3 ones in control_snmpv3.cpp, the MIB module ones in control_mib.cpp. Each converts the
// arguments as its parameters declare them (dispatch_arguments.h), calls the engine and stores what
// it returns; conversion errors come before anything the engine checks.
#pragma once

#include "control/com/dispatch_only_members.h"

namespace kivostrel::com::dispatch_only {

// LocalPort (Long) and LocalAddress (String): puts take a number or a text (13 for anything else).
void GetLocalPort(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void PutLocalPort(kivOstrel& engine, const VARIANT& value);
void GetLocalAddress(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void PutLocalAddress(kivOstrel& engine, const VARIANT& value);

// ErrorIndex (Long, read only) and SnmpVersion (Long).
void GetErrorIndex(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void GetSnmpVersion(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void PutSnmpVersion(kivOstrel& engine, const VARIANT& value);

// SendGetBulkRequest RemoteIP, RemotePort, Community, RequestId, NonRepeaters, MaxRepetitions,
// Objectvalue: the last as SendGetRequest's binding list.
void SendGetBulkRequest(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
// SendNotification RemoteIP, RemotePort, Community, TrapOID [, Objectval]
void SendNotification(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
// SendInformRequest RemoteIP, RemotePort, Community, RequestId, TrapOID [, Objectval]
void SendInformRequest(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
// SNMPCounter64Value(ObjectID, Value) As Byte(): Value a text or any kind of number.
void SNMPCounter64Value(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
// SNMPNoSuchObjectValue, SNMPNoSuchInstanceValue, SNMPEndOfMibViewValue (ObjectID) As Byte().
void SNMPNoSuchObjectValue(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void SNMPNoSuchInstanceValue(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void SNMPEndOfMibViewValue(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
// JoinBindings(Binding1, Binding2, ...) As Byte()
void JoinBindings(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);

// AddUser UserName, AuthProtocol, AuthPassword, PrivProtocol, PrivPassword: five texts, "" for a
// protocol or password not used.
void AddUser(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
// RemoveUser UserName
void RemoveUser(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
// PinEngineID RemoteIP, RemotePort, EngineID (hex; "" forgets the pin)
void PinEngineID(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
// ContextName and EngineID (String; puts take a number or a text, 13 for anything else),
// EngineBoots (Long) and SecurityError (String, read only).
void GetContextName(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void PutContextName(kivOstrel& engine, const VARIANT& value);
void GetEngineID(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void PutEngineID(kivOstrel& engine, const VARIANT& value);
void GetEngineBoots(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void PutEngineBoots(kivOstrel& engine, const VARIANT& value);
void GetSecurityError(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
// ContextEngineID (String, hex; "" for the authoritative engine's).
void GetContextEngineID(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void PutContextEngineID(kivOstrel& engine, const VARIANT& value);

// LoadMib(Module) As String; MibPath (String); MibWarnings (String, read only);
// FormatValue(OID, Value) As String, Value any scalar or byte array; IndexedName(OID) As String.
void LoadMib(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void GetMibPath(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void PutMibPath(kivOstrel& engine, const VARIANT& value);
void GetMibWarnings(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void FormatValue(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);
void IndexedName(kivOstrel& engine, DispatchArguments arguments, VARIANT& result);

}  // namespace kivostrel::com::dispatch_only
