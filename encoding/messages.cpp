#include "encoding/messages.h"

#include "encoding/ber_writer.h"
#include "encoding/integer_text.h"
#include "encoding/object_id.h"
#include "transport/conversions.h"

namespace kivostrel {
namespace {

constexpr std::size_t kHeaderRoom = 64;

std::span<const std::uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void PrependBindingList(BerWriter& w, std::span<const std::uint8_t> bindings) {
  const std::size_t end = w.size();
  w.PrependBytes(bindings);
  w.PrependConstructed(kTagSequence, end);
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
  BerWriter w(m.bindings.size() + m.community.size() + kHeaderRoom);
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

  BerWriter w(m.bindings.size() + m.community.size() + enterprise.size() * 2 + kHeaderRoom);
  PrependBindingList(w, m.bindings);
  w.PrependInteger(kTagTimeTicks, m.time_stamp);
  w.PrependInteger(kTagInteger, specific);
  w.PrependInteger(kTagInteger, m.generic_trap);
  w.PrependBytes(agent);
  w.PrependHeader(kTagIpAddress, agent.size());
  w.PrependObjectId(enterprise.span());
  w.PrependConstructed(kTagTrap, 0);
  return FinishMessage(w, m.community);
}

}  // namespace kivostrel
