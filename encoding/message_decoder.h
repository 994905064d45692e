// Decoding of received datagrams into what the `Response` event reports.
//
// The decoder is lenient and positional by design: it does not check that a message is well
// formed. It takes the first eight elements as the header whatever they are, steps into
// constructed elements instead of decoding them whole (no recursion, no nesting limit, a
// constructed length is never compared with its contents), and reads the rest as (binding
// sequence, name, value) triples. It never reads outside the datagram and never allocates by a
// declared length: content is clipped to the octets present.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "encoding/element_reader.h"
#include "encoding/ostrel_object.h"
#include "encoding/received_message.h"
#include "encoding/variant.h"

namespace kivostrel {

struct DecodedElement {
  std::int16_t tag = -1;  // the tag octet, or -1 when the element failed to decode
  std::string type_name;  // set only on success: the tag's type name, or the tag in decimal
  Variant value;          // set only on success
  // Octets from the element's first octet to where decoding continues: after the content, or
  // at the content start for a SEQUENCE or PDU. For a failed element, its declared extent when
  // its tag and length could be read, and 0 when they could not.
  std::size_t consumed = 0;
};

// One element at the start of `data`. OCTET STRING content becomes a byte array when
// `string_type` is kStringTypeBytes, otherwise text holding the octets unchanged (the host's
// narrow code page). An OBJECT IDENTIFIER becomes dotted text that EncodeObjectId turns back
// into the same identifier: its first subidentifier is split into 0.x, 1.x or 2.x, except that
// content of one subidentifier below 40 is that arc alone ("06 01 05" is "5"). Empty content, a
// subidentifier past 2^31 - 1 and a first subidentifier cut short fail the element.
DecodedElement DecodeElement(std::span<const std::uint8_t> data, std::int32_t string_type);

// The header elements: 1 message sequence, 2 version, 3 community, 4 PDU, and for a request or
// response 5 request-id, 6 error-status, 7 error-index, 8 binding list (for a trap: enterprise,
// agent address, generic and specific trap).
inline constexpr std::size_t kHeaderSlots = 8;

struct HeaderSlot {
  std::int16_t tag = 0;  // the element's tag octet; 0 for a slot not reached
  std::string type_name;
  Variant value = std::int32_t{0};
};

struct DecodedMessage {
  bool ok = false;                                 // all eight header elements decoded
  std::array<HeaderSlot, kHeaderSlots + 1> slots;  // 1-based; slot 0 is never used
  std::vector<OstrelObject> objects;
};

// The header and the binding triples. A failed element inside the bindings leaves no value of
// an earlier binding in its row: a failed value gives OIDType -1 and an empty value, a failed
// name an empty OIDName. The walk goes on after a failed element's declared extent, and ends
// when not even its tag and length could be read.
DecodedMessage DecodeMessage(std::span<const std::uint8_t> data, std::int32_t string_type);

// A whole datagram as `Response` reports it, all but RemoteIP, RemotePort and RawData, which
// the receiver fills. The rows are those DecodeMessage gives (or the trap's, below), located
// now and rendered when read, with `string_type` as it is now; data past 4 GiB is not read.
//  - An undecodable header gives ErrorStatus -1 and no objects; the other fields keep what
//    was decoded before the failure or their reset values.
//  - A version or error status outside the 16-bit range, or a request id that is not an integer,
//    gives ErrorStatus -1 as well.
//  - A Trap PDU gives Command "Trap", RequestId 0, ErrorStatus 0 and the rows of its SNMPv2
//    notification form: sysUpTime.0, snmpTrapOID.0, the trap's own bindings, snmpTrapAddress.0,
//    snmpTrapCommunity.0, snmpTrapEnterprise.0. snmpTrapOID.0 is a standard trap's identifier
//    for generic traps 0 to 5, otherwise the enterprise, ".0." and the specific-trap field as an
//    unsigned 32-bit number (-1 gives 4294967295). A trap whose header cannot be read gives
//    ErrorStatus -1 and no objects.
ReceivedMessage DecodeReceivedMessage(std::span<const std::uint8_t> data, std::int32_t string_type);

}  // namespace kivostrel
