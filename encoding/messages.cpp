#include "encoding/messages.h"

#include "encoding/ber_writer.h"
#include "encoding/conversions.h"
#include "encoding/element_reader.h"
#include "encoding/integer_text.h"
#include "encoding/object_id.h"

namespace kivostrel {
namespace {

void PrependBindingList(BerWriter& w, std::span<const std::uint8_t> bindings) {
  const std::size_t end = w.size();
  w.PrependBytes(bindings);
  w.PrependConstructed(kTagSequence, end);
}

// Octets of the whole message around a PDU of `pdu_content` octets.
std::size_t MessageSize(std::size_t community, std::size_t pdu_content) {
  return ElementSize(3 + ElementSize(community) + ElementSize(pdu_content));
}

// Version and community in front of the PDU, and the message SEQUENCE around all three.
Bytes FinishMessage(BerWriter& w, std::int32_t version, std::string_view community) {
  w.PrependBytes(AsBytes(community));
  w.PrependHeader(kTagOctetString, community.size());
  w.PrependInteger(kTagInteger, version);
  w.PrependConstructed(kTagSequence, 0);
  return std::move(w).Finish();
}

}  // namespace

namespace {

std::size_t RequestPduContentSize(const RequestMessage& m) {
  return ElementSize(IntegerContentSize(m.request_id)) +
         ElementSize(IntegerContentSize(m.error_status)) +
         ElementSize(IntegerContentSize(m.error_index)) + ElementSize(m.bindings.size());
}

}  // namespace

std::size_t RequestPduSize(const RequestMessage& m) {
  return ElementSize(RequestPduContentSize(m));
}

void PrependRequestPdu(BerWriter& w, const RequestMessage& m) {
  const std::size_t end = w.size();
  PrependBindingList(w, m.bindings);
  w.PrependInteger(kTagInteger, m.error_index);
  w.PrependInteger(kTagInteger, m.error_status);
  w.PrependInteger(kTagInteger, m.request_id);
  w.PrependConstructed(m.pdu, end);
}

Bytes BuildRequestMessage(const RequestMessage& m) {
  BerWriter w(MessageSize(m.community.size(), RequestPduContentSize(m)));
  PrependRequestPdu(w, m);
  return FinishMessage(w, m.version, m.community);
}

Bytes BuildTrapMessage(const TrapMessage& m) {
  const Subidentifiers enterprise = ParseObjectIdText(m.enterprise);
  const auto agent = LongToBytes(AddressValueOf(m.agent_address));
  const std::int64_t specific = ParseIntegerText(m.specific_trap);
  const std::int64_t time_stamp = WireValueOf(kTagTimeTicks, m.time_stamp);

  const std::size_t pdu_content =
      ElementSize(ObjectIdContentSize(enterprise.span())) + ElementSize(agent.size()) +
      ElementSize(IntegerContentSize(m.generic_trap)) + ElementSize(IntegerContentSize(specific)) +
      ElementSize(IntegerContentSize(time_stamp)) + ElementSize(m.bindings.size());
  BerWriter w(MessageSize(m.community.size(), pdu_content));
  PrependBindingList(w, m.bindings);
  w.PrependInteger(kTagTimeTicks, time_stamp);
  w.PrependInteger(kTagInteger, specific);
  w.PrependInteger(kTagInteger, m.generic_trap);
  w.PrependBytes(agent);
  w.PrependHeader(kTagIpAddress, agent.size());
  w.PrependObjectId(enterprise.span());
  w.PrependConstructed(kTagTrap, 0);
  return FinishMessage(w, 0, m.community);
}

std::optional<Bytes> AcknowledgementOf(std::span<const std::uint8_t> inform) {
  const auto message = ReadElementHeader(inform);
  if (!message || message->tag != kTagSequence) return std::nullopt;
  std::size_t position = message->content_start;
  for (const BerTag tag : {kTagInteger, kTagOctetString}) {
    const auto element = ReadElementHeader(Rest(inform, position));
    if (!element || element->tag != tag) return std::nullopt;
    position += element->after_content();
  }
  if (position >= inform.size() || inform[position] != kTagInformRequest) return std::nullopt;
  Bytes acknowledgement(inform.begin(), inform.end());
  acknowledgement[position] = kTagGetResponse;
  return acknowledgement;
}

std::string TrapOidOf(std::string_view enterprise, std::int64_t generic_trap,
                      std::uint32_t specific_trap) {
  if (generic_trap >= 0 && generic_trap <= 5) {
    return "1.3.6.1.6.3.1.1.5." + std::to_string(generic_trap + 1);
  }
  return std::string(enterprise) + ".0." + std::to_string(specific_trap);
}

Bytes NotificationBindings(std::int64_t time_stamp, std::string_view trap_oid,
                           std::span<const std::uint8_t> bindings, std::string_view enterprise) {
  const Subidentifiers trap = ParseObjectIdText(trap_oid);
  const Subidentifiers from = ParseObjectIdText(enterprise);
  const std::int64_t ticks = WireValueOf(kTagTimeTicks, time_stamp);
  BerWriter w(64 + bindings.size());
  const auto binding = [&w](std::string_view name, const auto& write_value) {
    const std::size_t end = w.size();
    write_value();
    w.PrependObjectId(ParseObjectIdText(name).span());
    w.PrependConstructed(kTagSequence, end);
  };
  if (!enterprise.empty()) {
    binding(kSnmpTrapEnterprise0, [&] { w.PrependObjectId(from.span()); });
  }
  w.PrependBytes(bindings);
  binding(kSnmpTrapOid0, [&] { w.PrependObjectId(trap.span()); });
  binding(kSysUpTime0, [&] { w.PrependInteger(kTagTimeTicks, ticks); });
  return std::move(w).Finish();
}

}  // namespace kivostrel
