#include "encoding/messages.h"

#include "encoding/ber_writer.h"
#include "encoding/conversions.h"
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
Bytes FinishMessage(BerWriter& w, std::string_view community) {
  w.PrependBytes(AsBytes(community));
  w.PrependHeader(kTagOctetString, community.size());
  w.PrependInteger(kTagInteger, 0);
  w.PrependConstructed(kTagSequence, 0);
  return std::move(w).Finish();
}

}  // namespace

Bytes BuildRequestMessage(const RequestMessage& m) {
  const std::size_t pdu_content = ElementSize(IntegerContentSize(m.request_id)) +
                                  ElementSize(IntegerContentSize(m.error_status)) +
                                  ElementSize(IntegerContentSize(m.error_index)) +
                                  ElementSize(m.bindings.size());
  BerWriter w(MessageSize(m.community.size(), pdu_content));
  PrependBindingList(w, m.bindings);
  w.PrependInteger(kTagInteger, m.error_index);
  w.PrependInteger(kTagInteger, m.error_status);
  w.PrependInteger(kTagInteger, m.request_id);
  w.PrependConstructed(m.pdu, 0);
  return FinishMessage(w, m.community);
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
  return FinishMessage(w, m.community);
}

}  // namespace kivostrel
