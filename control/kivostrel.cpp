#include "control/kivostrel.h"

#include <chrono>

#include "encoding/automation_error.h"
#include "encoding/hex.h"
#include "encoding/integer_text.h"
#include "encoding/message_decoder.h"
#include "encoding/messages.h"
#include "encoding/v3_message.h"
#include "encoding/value_constructors.h"
#include "mib/mib_library.h"
#include "oidtable/type_names.h"
#include "security/secret_bytes.h"
#include "transport/endpoint.h"

namespace kivostrel {
namespace {

std::uint32_t MonotonicMilliseconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::int64_t MonotonicSeconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::seconds>(now).count();
}

// An engine ID from hex text: 5 to 32 octets, "0x" optional, blanks and colons between octets
// (as FromHex reads them); error 380 otherwise.
Bytes EngineIdOf(std::string_view member, std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  Bytes id;
  if (!FromHex(text, id) || id.size() < kMinEngineIdSize || id.size() > kMaxEngineIdSize) {
    throw AutomationError(kErrInvalidPropertyValue, kLibraryName,
                          std::string(member) + " takes 5 to 32 octets as hex text");
  }
  return id;
}

// A send's optional binding list: omitted or empty for none, else a byte array (13 otherwise).
std::span<const std::uint8_t> BindingListOf(const Variant& Objectval) {
  if (const auto* bytes = std::get_if<Bytes>(&Objectval)) return *bytes;
  if (!IsEmpty(Objectval)) RaiseTypeMismatch();
  return {};
}

}  // namespace

kivOstrel::kivOstrel(HostEvents& events, Label& label, const SocketFactory& make_socket,
                     Options options)
    : events_(events),
      label_(label),
      options_(std::move(options)),
      objects_(std::make_shared<ObjectsCollection>()),
      udp_(make_socket(*this)) {
  if (!options_.tick_count) options_.tick_count = MonotonicMilliseconds;
  if (!options_.code_page) options_.code_page = std::make_shared<const CodePage>();
  if (!options_.seconds) options_.seconds = MonotonicSeconds;
  if (options_.crypto) v3_ = std::make_unique<V3Exchanges>(*options_.crypto, options_.seconds);

  m_Copyright = kBanner;
  label_.SetCaption(m_Copyright);
  m_StringType = 0;
  m_AgentAddress.clear();
  m_TickCount = -1;
  m_Ready = 0;
  udp_->OpenSocket("0");
  table_.LoadDefaultOIDNames();
}

kivOstrel::~kivOstrel() {
  m_Ready = -1;
  try {
    udp_->CloseSocket();
  } catch (...) {
    // Nothing can be reported from a destructor; the component closes itself when destroyed.
  }
}

std::int32_t kivOstrel::LocalPort() const {
  return udp_->LocalPort();
}

void kivOstrel::LocalPort(const Variant& vNewValue) {
  const std::int32_t port = CoerceToLong(vNewValue);
  if (port < 0 || port > 65535) RaiseOverflow();
  Rebind("ORVAN:LocalPort:m_Ready=", m_LocalAddress, static_cast<std::uint16_t>(port));
  m_LocalPort = static_cast<std::uint16_t>(port);
}

void kivOstrel::LocalAddress(std::string_view vNewValue) {
  Rebind("ORVAN:LocalAddress:m_Ready=", vNewValue, m_LocalPort);
  m_LocalAddress = std::string(vNewValue);
}

void kivOstrel::Rebind(std::string_view source_prefix, std::string_view address,
                       std::uint16_t port) {
  // While a send is in flight its outcome belongs to the socket that sent it.
  if (m_Ready != 0 && m_Ready != 1) {
    throw AutomationError(kErrNotReady, std::string(source_prefix) + std::to_string(m_Ready),
                          kNotReady);
  }
  if (auto failure = udp_->Rebind(address, port)) {
    throw AutomationError(failure->code, kLibraryName, std::move(failure->description));
  }
  // Until the new socket is announced by Ready, as after creation.
  m_Ready = 0;
}

std::shared_ptr<NamesCollection> kivOstrel::FindName(std::string_view Name,
                                                     std::int16_t Compare) const {
  auto names = std::make_shared<NamesCollection>();
  for (std::string& name : table_.FindName(Name, Compare)) names->Add(std::move(name));
  return names;
}

std::int16_t kivOstrel::Name2TypeID(std::string_view Name) const noexcept {
  return kivostrel::Name2TypeID(Name);
}

std::string kivOstrel::Err2Str(std::int16_t ErrorStatus) const {
  return kivostrel::Err2Str(ErrorStatus);
}

Bytes kivOstrel::SNMPNullValue(std::string_view ObjectID) const {
  return kivostrel::SNMPNullValue(ObjectID);
}
Bytes kivOstrel::SNMPCounterValue(std::string_view ObjectID, std::string_view Value) const {
  return kivostrel::SNMPCounterValue(ObjectID, Value);
}
Bytes kivOstrel::SNMPIntegerValue(std::string_view ObjectID, std::string_view Value) const {
  return kivostrel::SNMPIntegerValue(ObjectID, Value);
}
Bytes kivOstrel::SNMPStringValue(std::string_view ObjectID, std::string_view Value) const {
  return kivostrel::SNMPStringValue(ObjectID, options_.code_page->ToAnsi(std::string(Value)));
}
Bytes kivOstrel::SNMPBinStringValue(std::string_view ObjectID,
                                    std::span<const std::uint8_t> Value) const {
  return kivostrel::SNMPBinStringValue(ObjectID, Value);
}
Bytes kivOstrel::SNMPIpAddrValue(std::string_view ObjectID, std::string_view Value) const {
  return kivostrel::SNMPIpAddrValue(ObjectID, Value);
}
Bytes kivOstrel::SnmpGaugeValue(std::string_view ObjectID, std::string_view Value) const {
  return kivostrel::SnmpGaugeValue(ObjectID, Value);
}
Bytes kivOstrel::SnmpTimeTicksValue(std::string_view ObjectID, std::string_view Value) const {
  return kivostrel::SnmpTimeTicksValue(ObjectID, Value);
}

void kivOstrel::RequireReady(std::string_view source_prefix) const {
  if (m_Ready != 1) {
    throw AutomationError(kErrNotReady, std::string(source_prefix) + std::to_string(m_Ready),
                          kNotReady);
  }
}

void kivOstrel::Send(std::string_view RemoteIP, std::string_view RemotePort, const Bytes& message) {
  m_Ready = 2;
  try {
    udp_->SendDatagram(RemoteIP, RemotePort, message);
  } catch (...) {
    // Nothing went out and no report will follow: the link is free again.
    m_Ready = 1;
    throw;
  }
}

void kivOstrel::SendRequest(std::string_view source_prefix, BerTag pdu, std::string_view RemoteIP,
                            std::string_view RemotePort, std::string_view Community,
                            std::int32_t RequestId, std::int32_t ErrorStatus,
                            std::int32_t ErrorIndex, std::span<const std::uint8_t> Objectvalue) {
  RequireReady(source_prefix);
  Send(RemoteIP, RemotePort,
       MessageOf(RemoteIP, RemotePort, Community,
                 {.pdu = pdu,
                  .request_id = RequestId,
                  .error_status = ErrorStatus,
                  .error_index = ErrorIndex,
                  .bindings = Objectvalue}));
}

Bytes kivOstrel::MessageOf(std::string_view RemoteIP, std::string_view RemotePort,
                           std::string_view Community, const RequestMessage& pdu) {
  const std::string community = options_.code_page->ToAnsi(std::string(Community));
  if (m_SnmpVersion == 3) {
    switch (pdu.pdu) {
      case kTagGetResponse:
        return V3().Response(RemoteIP, RemotePort, pdu);
      case kTagSnmpV2Trap:
        return V3().Notification(community, pdu);
      default:
        // Answers come from the peer as the socket names it: "localhost" as "127.0.0.1".
        return V3().Request(
            RemoteIP, RemotePort,
            udp_->PeerOf(RemoteIP, RemotePort)
                .value_or(UdpSocket::Peer{std::string(RemoteIP), std::string(RemotePort)}),
            community, pdu);
    }
  }
  RequestMessage message = pdu;
  message.version = m_SnmpVersion;
  message.community = community;
  return BuildRequestMessage(message);
}

void kivOstrel::SendGetResponse(std::string_view RemoteIP, std::string_view RemotePort,
                                std::string_view Community, std::int32_t RequestId,
                                std::int32_t ErrorStatus, std::int32_t ErrorIndex,
                                std::span<const std::uint8_t> Objectvalue) {
  SendRequest("ORVAN:SendGetResponse:m_Ready=", kTagGetResponse, RemoteIP, RemotePort, Community,
              RequestId, ErrorStatus, ErrorIndex, Objectvalue);
}

void kivOstrel::SendGetRequest(std::string_view RemoteIP, std::string_view RemotePort,
                               std::string_view Community, std::int32_t RequestId,
                               std::span<const std::uint8_t> Objectvalue) {
  SendRequest("ORVAN:SendGetRequest:m_Ready=", kTagGetRequest, RemoteIP, RemotePort, Community,
              RequestId, 0, 0, Objectvalue);
}

void kivOstrel::SendGetNextRequest(std::string_view RemoteIP, std::string_view RemotePort,
                                   std::string_view Community, std::int32_t RequestId,
                                   std::span<const std::uint8_t> Objectvalue) {
  SendRequest("ORVAN:SendGetNextRequest:m_Ready=", kTagGetNextRequest, RemoteIP, RemotePort,
              Community, RequestId, 0, 0, Objectvalue);
}

void kivOstrel::SendSetRequest(std::string_view RemoteIP, std::string_view RemotePort,
                               std::string_view Community, std::int32_t RequestId,
                               std::span<const std::uint8_t> Objectvalue) {
  SendRequest("ORVAN:SendSetRequest:m_Ready=", kTagSetRequest, RemoteIP, RemotePort, Community,
              RequestId, 0, 0, Objectvalue);
}

void kivOstrel::SendTrap(std::string_view RemoteIP, std::string_view RemotePort,
                         std::string_view Community, std::string_view Enterprise,
                         std::int16_t GenericTrapType, std::string_view SpecificTrapType,
                         const Variant& Objectval) {
  const std::span<const std::uint8_t> bindings = BindingListOf(Objectval);
  RequireReady("ORVAN:SendTrap:m_Ready=");
  if (m_SnmpVersion != 0) {
    // SNMPv2 has no agent address: the trap's identity is its snmpTrapOID.0.
    const auto specific = static_cast<std::uint32_t>(ParseIntegerText(SpecificTrapType));
    const Bytes list = NotificationBindings(
        TimeStamp(), TrapOidOf(Enterprise, GenericTrapType, specific), bindings, Enterprise);
    Send(RemoteIP, RemotePort,
         MessageOf(RemoteIP, RemotePort, Community,
                   {.pdu = kTagSnmpV2Trap, .request_id = m_NotificationId + 1, .bindings = list}));
    ++m_NotificationId;
    return;
  }
  const std::string community = options_.code_page->ToAnsi(std::string(Community));

  std::string agent_address = m_AgentAddress;
  if (agent_address.empty()) {
    try {
      agent_address = udp_->LocalAddressFor(RemoteIP);
    } catch (const AutomationError&) {
      agent_address.clear();  // the trap goes out with agent address 0.0.0.0
    }
    // An SNMPv1 agent address is IPv4: towards an IPv6 host it is 0.0.0.0.
    if (const auto literal = ReadAddressLiteral(agent_address); !literal || literal->ipv6) {
      agent_address.clear();
    }
  }
  const std::int64_t time_stamp = TimeStamp();
  const Bytes message = BuildTrapMessage({.community = community,
                                          .enterprise = Enterprise,
                                          .agent_address = agent_address,
                                          .generic_trap = GenericTrapType,
                                          .specific_trap = SpecificTrapType,
                                          .time_stamp = time_stamp,
                                          .bindings = bindings});
  Send(RemoteIP, RemotePort, message);
}

std::int64_t kivOstrel::TimeStamp() const {
  return m_TickCount == -1 ? TimeStampFromTickCount(options_.tick_count()) : m_TickCount;
}

void kivOstrel::SnmpVersion(const Variant& vNewValue) {
  const std::int32_t version = CoerceToLong(vNewValue);
  if (version != 0 && version != 1 && version != 3) {
    throw AutomationError(kErrInvalidPropertyValue, kLibraryName, "Invalid property value");
  }
  m_SnmpVersion = version;
}

Bytes kivOstrel::ExceptionValue(std::string_view member, std::string_view ObjectID,
                                BerTag tag) const {
  RequireSnmpV2(member);  // an SNMPv1 agent answers noSuchName instead
  return SNMPExceptionValue(ObjectID, tag);
}

Bytes kivOstrel::SNMPNoSuchObjectValue(std::string_view ObjectID) const {
  return ExceptionValue("SNMPNoSuchObjectValue", ObjectID, kTagNoSuchObject);
}

Bytes kivOstrel::SNMPNoSuchInstanceValue(std::string_view ObjectID) const {
  return ExceptionValue("SNMPNoSuchInstanceValue", ObjectID, kTagNoSuchInstance);
}

Bytes kivOstrel::SNMPEndOfMibViewValue(std::string_view ObjectID) const {
  return ExceptionValue("SNMPEndOfMibViewValue", ObjectID, kTagEndOfMibView);
}

Bytes kivOstrel::SNMPCounter64Value(std::string_view ObjectID, std::string_view Value) const {
  return kivostrel::SNMPCounter64Value(ObjectID, Value);
}

Bytes kivOstrel::JoinBindings(std::span<const Bytes> Bindings) {
  Bytes list;
  for (const Bytes& binding : Bindings) list.insert(list.end(), binding.begin(), binding.end());
  return list;
}

void kivOstrel::RequireSnmpV2(std::string_view member) const {
  if (m_SnmpVersion == 0) {
    throw AutomationError(kErrInvalidCall, kLibraryName,
                          std::string(member) + " needs SNMPv2c: set SnmpVersion to 1 first");
  }
}

void kivOstrel::SendGetBulkRequest(std::string_view RemoteIP, std::string_view RemotePort,
                                   std::string_view Community, std::int32_t RequestId,
                                   std::int32_t NonRepeaters, std::int32_t MaxRepetitions,
                                   std::span<const std::uint8_t> Objectvalue) {
  RequireSnmpV2("SendGetBulkRequest");
  SendRequest("ORVAN:SendGetBulkRequest:m_Ready=", kTagGetBulkRequest, RemoteIP, RemotePort,
              Community, RequestId, NonRepeaters, MaxRepetitions, Objectvalue);
}

void kivOstrel::SendNotification(std::string_view RemoteIP, std::string_view RemotePort,
                                 std::string_view Community, std::string_view TrapOID,
                                 const Variant& Objectval) {
  RequireSnmpV2("SendNotification");
  SendNotificationPdu("ORVAN:SendNotification:m_Ready=", kTagSnmpV2Trap, RemoteIP, RemotePort,
                      Community, m_NotificationId + 1, TrapOID, Objectval);
  ++m_NotificationId;
}

void kivOstrel::SendInformRequest(std::string_view RemoteIP, std::string_view RemotePort,
                                  std::string_view Community, std::int32_t RequestId,
                                  std::string_view TrapOID, const Variant& Objectval) {
  RequireSnmpV2("SendInformRequest");
  SendNotificationPdu("ORVAN:SendInformRequest:m_Ready=", kTagInformRequest, RemoteIP, RemotePort,
                      Community, RequestId, TrapOID, Objectval);
}

void kivOstrel::SendNotificationPdu(std::string_view source_prefix, BerTag pdu,
                                    std::string_view RemoteIP, std::string_view RemotePort,
                                    std::string_view Community, std::int32_t RequestId,
                                    std::string_view TrapOID, const Variant& Objectval) {
  const std::span<const std::uint8_t> bindings = BindingListOf(Objectval);
  RequireReady(source_prefix);
  const Bytes list = NotificationBindings(TimeStamp(), TrapOID, bindings);
  Send(RemoteIP, RemotePort,
       MessageOf(RemoteIP, RemotePort, Community,
                 {.pdu = pdu, .request_id = RequestId, .bindings = list}));
}

V3Exchanges& kivOstrel::V3() const {
  if (!v3_) {
    throw AutomationError(kErrInvalidCall, kLibraryName,
                          "SNMPv3 needs the system's cryptography, which this control lacks");
  }
  return *v3_;
}

void kivOstrel::AddUser(std::string_view UserName, std::string_view AuthProtocol,
                        std::string AuthPassword, std::string_view PrivProtocol,
                        std::string PrivPassword) {
  const CodePage& code_page = *options_.code_page;
  // The passwords and their ANSI copies are wiped once their keys are made (or refused).
  const auto wiped = [&](std::string& password) {
    const SecretBytes text(*options_.crypto, std::move(password));
    return SecretBytes(*options_.crypto, code_page.ToAnsi(text.text()));
  };
  UsmUsers& users = V3().usm().users();
  const SecretBytes auth_password = wiped(AuthPassword);
  const SecretBytes priv_password = wiped(PrivPassword);
  try {
    users.Add(code_page.ToAnsi(UserName), AuthProtocol, auth_password.text(), PrivProtocol,
              priv_password.text());
  } catch (const std::invalid_argument& e) {
    throw AutomationError(kErrInvalidCall, kLibraryName, std::string("AddUser: ") + e.what());
  }
}

void kivOstrel::RemoveUser(std::string_view UserName) {
  if (v3_) v3_->usm().users().Remove(options_.code_page->ToAnsi(std::string(UserName)));
}

void kivOstrel::PinEngineID(std::string_view RemoteIP, std::string_view RemotePort,
                            std::string_view EngineID) {
  Bytes id;
  if (!EngineID.empty()) id = EngineIdOf("PinEngineID", EngineID);
  const auto peer = udp_->PeerOf(RemoteIP, RemotePort);
  if (!peer) {
    throw AutomationError(
        kErrInvalidCall, kLibraryName,
        "PinEngineID: no such agent " + std::string(RemoteIP) + ":" + std::string(RemotePort));
  }
  V3().PinEngine(*peer, std::move(id));
}

const std::string& kivOstrel::ContextName() const {
  static const std::string kNone;
  return v3_ ? v3_->context_name : kNone;
}

void kivOstrel::ContextName(std::string_view vNewValue) {
  V3().context_name = options_.code_page->ToAnsi(std::string(vNewValue));
}

std::string kivOstrel::EngineID() const {
  return v3_ ? ToHex(v3_->usm().engine_id(), "") : std::string();
}

void kivOstrel::EngineID(std::string_view vNewValue) {
  V3().usm().set_engine_id(EngineIdOf("EngineID", vNewValue));
}

std::string kivOstrel::ContextEngineID() const {
  return v3_ ? ToHex(v3_->context_engine_id, "") : std::string();
}

void kivOstrel::ContextEngineID(std::string_view vNewValue) {
  V3().context_engine_id = vNewValue.empty() ? Bytes{} : EngineIdOf("ContextEngineID", vNewValue);
}

std::int32_t kivOstrel::EngineBoots() const {
  return v3_ ? v3_->usm().boots() : 1;
}

void kivOstrel::EngineBoots(const Variant& vNewValue) {
  const std::int32_t boots = CoerceToLong(vNewValue);
  if (boots < 0) {
    throw AutomationError(kErrInvalidPropertyValue, kLibraryName,
                          "EngineBoots takes 0 to 2147483647");
  }
  V3().usm().set_boots(boots);
}

void kivOstrel::Acknowledge(const ReceivedMessage& message, std::span<const std::uint8_t> data) {
  if (!IsWholeInform(message)) return;
  if (const auto acknowledgement = AcknowledgementOf(data)) {
    udp_->SendUnreported(message.RemoteIP, message.RemotePort, *acknowledgement);
  }
}

void kivOstrel::Resize(std::int32_t width, std::int32_t height) noexcept {
  try {
    label_.Move(0, 0, width, height);
  } catch (...) {
    // A resize never fails.
  }
}

void kivOstrel::SocketReady() {
  label_.SetCaption("Ready");
  m_Ready = 1;
  events_.Ready();
}

void kivOstrel::DatagramSent() {
  label_.SetCaption("Sent");
  m_Ready = 1;
  events_.Ready();
}

void kivOstrel::SocketClosed() {
  label_.SetCaption("Closed");
  if (m_Ready == -1) return;
  m_Ready = 0;
  udp_->OpenSocket("0");
}

void kivOstrel::SocketError(std::int32_t code, const std::string& description,
                            const std::string& where) {
  label_.SetCaption("Error " + description + "(" + std::to_string(code) + ")");
  events_.WsError(code, description, where);
}

void kivOstrel::DatagramReceived(const std::string& remote_address, const std::string& remote_port,
                                 std::span<const std::uint8_t> data) {
  label_.SetCaption("Received");
  std::shared_ptr<ReceivedMessage> message;
  // What goes wrong while a datagram is handled is never lost: the host hears of it as a socket
  // error of the receive, and the next datagram is handled as usual.
  try {
    message = v3_ && MessageVersionOf(data) == kSnmpV3
                  ? ReceivedV3(remote_address, remote_port, data)
                  : Received(remote_address, remote_port, data);
  } catch (const AutomationError& error) {
    SocketError(error.number(), error.description(), "Receive");
    return;
  } catch (const std::exception& error) {
    SocketError(kErrInvalidCall, std::string("cannot handle a datagram: ") + error.what(),
                "Receive");
    return;
  }
  if (message) Raise(std::move(message));
}

std::shared_ptr<ReceivedMessage> kivOstrel::Received(const std::string& remote_address,
                                                     const std::string& remote_port,
                                                     std::span<const std::uint8_t> data) {
  auto message = std::make_shared<ReceivedMessage>(DecodeReceivedMessage(data, m_StringType));
  message->RemoteIP = remote_address;
  message->RemotePort = remote_port;
  message->RawData.assign(data.begin(), data.end());
  m_SecurityError.clear();
  Acknowledge(*message, data);
  return message;
}

std::shared_ptr<ReceivedMessage> kivOstrel::ReceivedV3(const std::string& remote_address,
                                                       const std::string& remote_port,
                                                       std::span<const std::uint8_t> data) {
  V3Exchanges::Outcome outcome = v3_->Receive(remote_address, remote_port, data, m_StringType);
  for (const V3Exchanges::Send& send : outcome.sends) {
    udp_->SendUnreported(send.remote_ip, send.remote_port, send.datagram);
  }
  if (!outcome.for_host) return nullptr;
  m_SecurityError = std::move(outcome.security_error);
  auto message = std::make_shared<ReceivedMessage>();
  if (outcome.pdu) {
    *message = std::move(*outcome.pdu);
  } else {
    // Refused here: the host hears why in SecurityError.
    message->Command = TagTypeName(kTagReport);
    message->ErrorStatus = -1;
  }
  message->Version = kSnmpV3;
  message->Community = std::move(outcome.user);
  message->RemoteIP = remote_address;
  message->RemotePort = remote_port;
  message->RawData.assign(data.begin(), data.end());
  return message;
}

void kivOstrel::Raise(std::shared_ptr<ReceivedMessage> message) {
  message->Community = options_.code_page->FromAnsi(message->Community);
  m_ErrorIndex = message->ErrorIndex;
  auto objects = std::make_shared<ObjectsCollection>(message, options_.code_page);
  objects_ = objects;
  const std::weak_ptr<const bool> alive = alive_;
  events_.Response(*message, objects);
  if (alive.expired()) return;  // the host's handler destroyed the control
  // The host may have put another collection in `Objects`: that one is kept.
  objects_ = std::move(objects);
}

}  // namespace kivostrel
