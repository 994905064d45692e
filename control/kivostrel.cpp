#include "control/kivostrel.h"

#include <chrono>

#include "encoding/automation_error.h"
#include "encoding/integer_text.h"
#include "encoding/message_decoder.h"
#include "encoding/messages.h"
#include "encoding/value_constructors.h"
#include "oidtable/type_names.h"
#include "transport/endpoint.h"

namespace kivostrel {
namespace {

std::uint32_t MonotonicMilliseconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
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
  const std::string community = options_.code_page->ToAnsi(std::string(Community));
  const Bytes message = BuildRequestMessage({.pdu = pdu,
                                             .version = m_SnmpVersion,
                                             .community = community,
                                             .request_id = RequestId,
                                             .error_status = ErrorStatus,
                                             .error_index = ErrorIndex,
                                             .bindings = Objectvalue});
  Send(RemoteIP, RemotePort, message);
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
  const std::string community = options_.code_page->ToAnsi(std::string(Community));
  if (m_SnmpVersion == 1) {
    // SNMPv2 has no agent address: the trap's identity is its snmpTrapOID.0.
    const auto specific = static_cast<std::uint32_t>(ParseIntegerText(SpecificTrapType));
    const Bytes list = NotificationBindings(
        TimeStamp(), TrapOidOf(Enterprise, GenericTrapType, specific), bindings, Enterprise);
    Send(RemoteIP, RemotePort,
         BuildRequestMessage({.pdu = kTagSnmpV2Trap,
                              .version = 1,
                              .community = community,
                              .request_id = ++m_NotificationId,
                              .bindings = list}));
    return;
  }

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
  if (version != 0 && version != 1) {
    throw AutomationError(kErrInvalidPropertyValue, kLibraryName, "Invalid property value");
  }
  m_SnmpVersion = version;
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
  if (m_SnmpVersion != 1) {
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
  const std::string community = options_.code_page->ToAnsi(std::string(Community));
  Send(RemoteIP, RemotePort,
       BuildRequestMessage({.pdu = pdu,
                            .version = 1,
                            .community = community,
                            .request_id = RequestId,
                            .bindings = list}));
}

void kivOstrel::Acknowledge(const ReceivedMessage& message, std::span<const std::uint8_t> data) {
  if (message.Command != TagTypeName(kTagInformRequest) || message.ErrorStatus == -1) return;
  for (const OstrelObject& row : message.Objects) {
    if (row.OIDType == -1 || row.OIDName.empty()) return;  // not all of it was understood
  }
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
  auto message = std::make_shared<ReceivedMessage>(DecodeReceivedMessage(data, m_StringType));
  message->RemoteIP = remote_address;
  message->RemotePort = remote_port;
  message->Community = options_.code_page->FromAnsi(message->Community);
  message->RawData.assign(data.begin(), data.end());
  Acknowledge(*message, data);
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
