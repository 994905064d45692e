// kivOstrel: the control engine. It holds the control's fields, offers the interface's 26 members
// and the dispatch-only ones (LocalPort, LocalAddress and the SNMPv2c members) under their own
// names, and turns the UDP socket component's events into its own.
//
// Texts are UTF-8, byte arrays std::vector<std::uint8_t>. Failures are AutomationErrors with the
// number, source and description the host sees.
//
// Everything runs on the host's thread. Events are raised from inside the socket component's
// events, which the component raises only from the host's pump.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "control/host.h"
#include "control/v3_exchanges.h"
#include "encoding/ber_tags.h"
#include "oidtable/oid_name_table.h"
#include "transport/udp_socket.h"

namespace kivostrel {
namespace mib {
class MibLibrary;
struct LoadResult;
}  // namespace mib

// The banner: the product name in capitals, the version and the copyright notice.
inline constexpr const char* kBanner =
    "KIVOSTREL SNMP CONTROL 2.04 - Copyright (c) 2026 kivOstrel. All rights reserved.";

// Error 20001 "Not Ready": a send while the link is not ready.
inline constexpr const char* kNotReady = "Not Ready";

class kivOstrel final : private UdpSocketEvents {
 public:
  // Makes the component `Udp1` for this control; the control owns it for its whole life.
  using SocketFactory = std::function<std::unique_ptr<UdpSocket>(UdpSocketEvents&)>;

  struct Options {
    // The system's millisecond tick counter (wraps after about 49.7 days), for automatic trap
    // time stamps. Default: a monotonic clock.
    std::function<std::uint32_t()> tick_count;
    // Conversion of OCTET STRING texts. Default: UTF-8 unchanged.
    std::shared_ptr<const CodePage> code_page;
    // The platform's cryptography, for SNMPv3. Without it AddUser refuses every user.
    std::shared_ptr<const Crypto> crypto;
    // A monotonic clock in seconds, for the SNMPv3 engine time. Default: a steady clock.
    std::function<std::int64_t()> seconds;
  };

  // Creation: the banner goes into `m_Copyright` and onto the label, the fields take their
  // initial values, `OpenSocket("0")` is called, and the default OID rows are loaded.
  // An error of OpenSocket ends creation with that error.
  kivOstrel(HostEvents& events, Label& label, const SocketFactory& make_socket,
            Options options = {});
  // Destruction: `m_Ready` becomes -1, then `CloseSocket` is called.
  ~kivOstrel() override;

  kivOstrel(const kivOstrel&) = delete;
  kivOstrel& operator=(const kivOstrel&) = delete;

  // --- The five simple properties ---
  std::int32_t StringType() const noexcept { return m_StringType; }
  void StringType(std::int32_t vNewValue) noexcept { m_StringType = vNewValue; }
  const std::string& AgentAddress() const noexcept { return m_AgentAddress; }
  void AgentAddress(std::string vNewValue) { m_AgentAddress = std::move(vNewValue); }
  std::int32_t TickCount() const noexcept { return m_TickCount; }
  void TickCount(std::int32_t vNewValue) noexcept { m_TickCount = vNewValue; }
  std::int16_t Stat() const noexcept { return m_Ready; }
  const std::string& Copyright() const noexcept { return m_Copyright; }
  void Copyright(std::string_view /*vNewValue*/) noexcept {}  // the banner never changes

  // --- The local endpoint: dispatch-only properties, outside the type library; not persisted ---
  // The UDP port the socket is bound to now, also when the system chose it; 0 while none is.
  std::int32_t LocalPort() const;
  // A whole number from 0 to 65535, as a number or a text; 0 lets the system choose. Error 13
  // for what is not a number, 6 outside the range, 20001 "Not Ready" unless `Stat` is 0 or 1.
  // The new socket is bound at once: a failure raises the socket's error number with a
  // description naming the address and port, and the socket open until now stays. On success
  // `Stat` is 0 at once; the old one closes through SocketClosed, and OpenSocket("0") and
  // SocketReady follow as after creation. Datagrams that reached either socket are raised after
  // that Ready, in order.
  void LocalPort(const Variant& vNewValue);
  // The text last put; "" (every local address, IPv4 and IPv6) by default.
  const std::string& LocalAddress() const noexcept { return m_LocalAddress; }
  // "", a dotted IPv4 address or an IPv6 literal of this machine, or "localhost"; taken as a
  // LocalPort put is, with the configured port.
  void LocalAddress(std::string_view vNewValue);

  // --- SNMPv2c: dispatch-only members, outside the type library; not persisted ---
  // The error-index field of the message whose Response is being raised or was raised last
  // (a GetBulkRequest's max-repetitions); 0 before any.
  std::int32_t ErrorIndex() const noexcept { return m_ErrorIndex; }
  // The version field of every message sent from now on: 0 SNMPv1 (the default), 1 SNMPv2c,
  // 3 SNMPv3 (the Community argument of a send names the user).
  std::int32_t SnmpVersion() const noexcept { return m_SnmpVersion; }
  // As automation converts it (13, 6); any value but 0, 1 and 3: error 380 "Invalid property
  // value".
  void SnmpVersion(const Variant& vNewValue);
  // A Counter64 binding: `Value` a whole number from 0 to 18446744073709551615 (13, 6).
  Bytes SNMPCounter64Value(std::string_view ObjectID, std::string_view Value) const;
  // The bindings an SNMPv2c or SNMPv3 agent answers with in place of a value: no such object,
  // no such instance, the end of the MIB view. Error 5 under SnmpVersion 0, whose answers have
  // none (an SNMPv1 agent answers noSuchName).
  Bytes SNMPNoSuchObjectValue(std::string_view ObjectID) const;
  Bytes SNMPNoSuchInstanceValue(std::string_view ObjectID) const;
  Bytes SNMPEndOfMibViewValue(std::string_view ObjectID) const;
  // One binding list: the bindings end to end.
  static Bytes JoinBindings(std::span<const Bytes> Bindings);
  // The SNMPv2 sends. Each needs SnmpVersion 1 or 3 (error 5 under 0, before the ready check), then
  // refuses as the others do with 20001 "Not Ready" unless `Stat` is 1. `Objectval`: omitted or
  // empty for no bindings, else a byte array (13). A notification's sysUpTime.0 is `TickCount`
  // (automatic at -1), as a trap's time stamp is.
  void SendGetBulkRequest(std::string_view RemoteIP, std::string_view RemotePort,
                          std::string_view Community, std::int32_t RequestId,
                          std::int32_t NonRepeaters, std::int32_t MaxRepetitions,
                          std::span<const std::uint8_t> Objectvalue);
  // An SNMPv2-Trap with snmpTrapOID.0 `TrapOID`; its request id is the control's own count.
  void SendNotification(std::string_view RemoteIP, std::string_view RemotePort,
                        std::string_view Community, std::string_view TrapOID,
                        const Variant& Objectval = Variant{});
  // Its acknowledgement arrives as a Response with Command "GetResponse" and `RequestId`.
  void SendInformRequest(std::string_view RemoteIP, std::string_view RemotePort,
                         std::string_view Community, std::int32_t RequestId,
                         std::string_view TrapOID, const Variant& Objectval = Variant{});

  // --- SNMPv3: dispatch-only members, outside the type library; not persisted ---
  // Adds (or replaces) a user. Protocols: "", "MD5", "SHA", "SHA-224", "SHA-256", "SHA-384",
  // "SHA-512"; "", "DES", "AES", "AES-192", "AES-256", "AES-192C", "AES-256C" (any case; Net-SNMP's
  // AES192C and the like too). Error 5 saying what is wrong: an unknown protocol, privacy
  // without authentication, a password shorter than 8 characters, a hash this system lacks.
  // The passwords are taken by value so that every copy of them is wiped.
  void AddUser(std::string_view UserName, std::string_view AuthProtocol, std::string AuthPassword,
               std::string_view PrivProtocol, std::string PrivPassword);
  // Nothing happens for a name that is not a user.
  void RemoveUser(std::string_view UserName);
  // Requests to the agent at RemoteIP:RemotePort go to the engine EngineID (hex, 5 to 32 octets,
  // as for EngineID) without discovery, and no unauthenticated message changes it, as
  // `snmpget -e` does; "" forgets the pin. Error 380 for an ID that is not one, 5 for an agent
  // that cannot be resolved or a pin past the 4096th.
  void PinEngineID(std::string_view RemoteIP, std::string_view RemotePort,
                   std::string_view EngineID);
  // The context name of every scoped PDU sent; "" by default.
  const std::string& ContextName() const;
  void ContextName(std::string_view vNewValue);
  // The context engine ID of every scoped PDU sent, as hex text; "" (the default) sends the
  // authoritative engine's: the agent's in requests, this engine's in notifications. A put
  // takes "" or 5 to 32 octets as hex text (spaces and colons between octets allowed), else
  // error 380.
  std::string ContextEngineID() const;
  void ContextEngineID(std::string_view vNewValue);
  // This engine's ID as hex text; a put takes 5 to 32 octets as hex (spaces and colons between
  // octets allowed), else error 380.
  std::string EngineID() const;
  void EngineID(std::string_view vNewValue);
  // 1 by default; a put takes 0 to 2147483647 (380 otherwise) and starts the engine time again.
  std::int32_t EngineBoots() const;
  void EngineBoots(const Variant& vNewValue);
  // Why the message whose Response is being raised, or was raised last, was not accepted (or
  // what the Report it is names): "unknown user", "wrong digest", "not in time window",
  // "decryption error", "unsupported security level", ...; "" for an accepted message.
  const std::string& SecurityError() const noexcept { return m_SecurityError; }

  // --- MIB modules: dispatch-only members, outside the type library; not persisted ---
  // Loads a module (a file, or a module name looked up in MibPath) with its imports, and adds
  // each new node to the name table as SetOIDFirst would: its parent's name, ".", its label.
  // Returns the module's name; a module loaded before is not read again. Error 5, "LoadMib:
  // FILE:LINE: what", when the module cannot be read at all. MibWarnings then holds what this
  // load found wrong.
  std::string LoadMib(std::string_view Module);
  // The folders searched for modules by name, separated by ";".
  const std::string& MibPath() const noexcept { return m_MibPath; }
  void MibPath(std::string_view vNewValue);
  // The diagnostics of the last LoadMib, one "FILE:LINE: what" per line (CR LF between them).
  const std::string& MibWarnings() const noexcept { return m_MibWarnings; }
  // Value as the syntax of the object OID names (an instance of it, as a Response's OIDName)
  // describes it: "up(1)", BITS by name, DISPLAY-HINTs, UNITS; the value's plain text when no
  // loaded module describes it.
  std::string FormatValue(std::string_view OID, const Variant& Value) const;
  // OID as its object's label and its instance, a table row's split by the table's INDEX:
  // "ifDescr[3]", "sysDescr.0"; OID unchanged when no loaded module knows it.
  std::string IndexedName(std::string_view OID) const;
  // For tools, not a member of the control: every module of MibPath's folders (Net-SNMP's
  // -m ALL), and the modules loaded, to read their nodes.
  void LoadEveryMib();
  const mib::MibLibrary* mibs() const noexcept { return mibs_.get(); }

  // --- The OID name table ---
  void ClearOID() noexcept { table_.ClearOID(); }
  void SetOID(std::string_view OID, std::string_view Name) { table_.SetOID(OID, Name); }
  void SetOIDFirst(std::string_view OID, std::string_view Name) { table_.SetOIDFirst(OID, Name); }
  std::string OID2Name(std::string_view OID) const { return table_.OID2Name(OID); }
  std::string Name2OID(std::string_view Name) const { return table_.Name2OID(Name); }
  std::shared_ptr<NamesCollection> FindName(std::string_view Name, std::int16_t Compare = 0) const;

  // --- Type and error-status names ---
  std::int16_t Name2TypeID(std::string_view Name) const noexcept;
  std::string Err2Str(std::int16_t ErrorStatus) const;

  // --- Value constructors: one variable binding each ---
  Bytes SNMPNullValue(std::string_view ObjectID) const;
  Bytes SNMPCounterValue(std::string_view ObjectID, std::string_view Value) const;
  Bytes SNMPIntegerValue(std::string_view ObjectID, std::string_view Value) const;
  Bytes SNMPStringValue(std::string_view ObjectID, std::string_view Value) const;
  Bytes SNMPBinStringValue(std::string_view ObjectID, std::span<const std::uint8_t> Value) const;
  Bytes SNMPIpAddrValue(std::string_view ObjectID, std::string_view Value) const;
  Bytes SnmpGaugeValue(std::string_view ObjectID, std::string_view Value) const;
  Bytes SnmpTimeTicksValue(std::string_view ObjectID, std::string_view Value) const;

  // --- Send operations ---
  // Each refuses with error 20001 "Not Ready" unless `Stat` is 1, and raises the message's own
  // building error (6 or 13) without sending anything; otherwise it sets `Stat` to 2 and hands
  // the datagram to the socket component, which reports the outcome through the events.
  void SendGetResponse(std::string_view RemoteIP, std::string_view RemotePort,
                       std::string_view Community, std::int32_t RequestId, std::int32_t ErrorStatus,
                       std::int32_t ErrorIndex, std::span<const std::uint8_t> Objectvalue);
  void SendGetRequest(std::string_view RemoteIP, std::string_view RemotePort,
                      std::string_view Community, std::int32_t RequestId,
                      std::span<const std::uint8_t> Objectvalue);
  void SendGetNextRequest(std::string_view RemoteIP, std::string_view RemotePort,
                          std::string_view Community, std::int32_t RequestId,
                          std::span<const std::uint8_t> Objectvalue);
  void SendSetRequest(std::string_view RemoteIP, std::string_view RemotePort,
                      std::string_view Community, std::int32_t RequestId,
                      std::span<const std::uint8_t> Objectvalue);
  // `Objectval`: omitted or empty for an empty binding list, else a byte array; any other value
  // is error 13, raised before the ready check. Under SnmpVersion 1 the trap goes out as an
  // SNMPv2-Trap translated from these arguments: sysUpTime.0, snmpTrapOID.0 (TrapOidOf), the
  // bindings, snmpTrapEnterprise.0; no agent address.
  void SendTrap(std::string_view RemoteIP, std::string_view RemotePort, std::string_view Community,
                std::string_view Enterprise, std::int16_t GenericTrapType,
                std::string_view SpecificTrapType, const Variant& Objectval = Variant{});

  // --- Container notifications ---
  // Moves the label over the whole client area; never fails.
  void Resize(std::int32_t width, std::int32_t height) noexcept;

  // The objects collection of the last received message.
  const std::shared_ptr<ObjectsCollection>& Objects() const noexcept { return objects_; }

 private:
  // UdpSocketEvents
  void SocketError(std::int32_t code, const std::string& description,
                   const std::string& where) override;
  void DatagramReceived(const std::string& remote_address, const std::string& remote_port,
                        std::span<const std::uint8_t> data) override;
  void SocketClosed() override;
  void SocketReady() override;
  void DatagramSent() override;

  void RequireReady(std::string_view source_prefix) const;
  void SendRequest(std::string_view source_prefix, BerTag pdu, std::string_view RemoteIP,
                   std::string_view RemotePort, std::string_view Community, std::int32_t RequestId,
                   std::int32_t ErrorStatus, std::int32_t ErrorIndex,
                   std::span<const std::uint8_t> Objectvalue);
  void Send(std::string_view RemoteIP, std::string_view RemotePort, const Bytes& message);
  void Rebind(std::string_view source_prefix, std::string_view address, std::uint16_t port);
  void RequireSnmpV2(std::string_view member) const;
  std::int64_t TimeStamp() const;
  void SendNotificationPdu(std::string_view source_prefix, BerTag pdu, std::string_view RemoteIP,
                           std::string_view RemotePort, std::string_view Community,
                           std::int32_t RequestId, std::string_view TrapOID,
                           const Variant& Objectval);
  // An InformRequest that decoded whole is acknowledged at once, unreported.
  void Acknowledge(const ReceivedMessage& message, std::span<const std::uint8_t> data);
  V3Exchanges& V3() const;
  // The datagram of a request, response or notification PDU under the current version.
  Bytes MessageOf(std::string_view RemoteIP, std::string_view RemotePort,
                  std::string_view Community, const RequestMessage& pdu);
  // The message a datagram is for the host (null for the engines' own business), after what
  // it calls for has been sent (an inform's acknowledgement, a Report, a request sent again).
  std::shared_ptr<ReceivedMessage> Received(const std::string& remote_address,
                                            const std::string& remote_port,
                                            std::span<const std::uint8_t> data);
  std::shared_ptr<ReceivedMessage> ReceivedV3(const std::string& remote_address,
                                              const std::string& remote_port,
                                              std::span<const std::uint8_t> data);
  void Raise(std::shared_ptr<ReceivedMessage> message);
  Bytes ExceptionValue(std::string_view member, std::string_view ObjectID, BerTag tag) const;

  HostEvents& events_;
  Label& label_;
  Options options_;

  std::string m_Copyright;
  std::int32_t m_StringType = 0;
  std::string m_AgentAddress;
  std::int32_t m_TickCount = -1;
  std::int16_t m_Ready = 0;
  std::string m_LocalAddress;
  std::uint16_t m_LocalPort = 0;  // as put; the bound port is the socket's
  std::int32_t m_SnmpVersion = 0;
  std::int32_t m_ErrorIndex = 0;
  std::int32_t m_NotificationId = 0;  // the request id of the last notification sent
  std::string m_SecurityError;
  std::unique_ptr<V3Exchanges> v3_;  // none without the platform's cryptography
  std::string m_MibPath;
  std::string m_MibWarnings;
  std::unique_ptr<mib::MibLibrary> mibs_;  // made by the first LoadMib
  mib::MibLibrary& Mibs();
  // MibWarnings from a load's diagnostics, and its new nodes into the name table.
  void TakeLoad(const mib::LoadResult& loaded);
  OidNameTable table_;
  std::shared_ptr<ObjectsCollection> objects_;

  // Expires when the control is destroyed: a host's handler may destroy it inside an event.
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);

  std::unique_ptr<UdpSocket> udp_;
};

}  // namespace kivostrel
