// Decoding of received datagrams into what the `Response` event reports.
//
// The decoder is lenient and positional by design: it does not check that a message is well
// formed. It takes the first eight elements as the header whatever they are, steps into
// constructed elements instead of decoding them whole (no recursion, no nesting limit, a
// constructed length is never compared with its contents), and reads the rest as (binding
// sequence, name, value) triples. It never reads outside the datagram and never allocates by a
// declared length: content is clipped to the octets present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "encoding/received_message.h"

namespace kivostrel {

// The header elements: 1 message sequence, 2 version, 3 community, 4 PDU, and for a request or
// response 5 request-id, 6 error-status, 7 error-index, 8 binding list (for a trap: enterprise,
// agent address, generic and specific trap).
inline constexpr std::size_t kHeaderSlots = 8;

// A whole datagram as `Response` reports it, all but RemoteIP, RemotePort and RawData, which
// the receiver fills. The rows are located now and rendered when read, with `string_type` as it
// is now (OCTET STRING content becomes a byte array when it is kStringTypeBytes, otherwise text
// holding the octets unchanged); data past 4 GiB is not read.
//  - The first eight elements are the header, whatever they are; the rest are (binding
//    sequence, name, value) triples. A failed value gives its row OIDType -1 and no value, a
//    failed name an empty OIDName; the walk goes on after a failed element's declared extent,
//    and ends when not even its tag and length can be read.
//  - An OBJECT IDENTIFIER becomes dotted text that the encoder turns back into the same
//    identifier: its first subidentifier is split into 0.x, 1.x or 2.x, except that content of
//    one subidentifier below 40 is that arc alone ("06 01 05" is "5"). Empty content, a
//    subidentifier past 2^31 - 1 and a first subidentifier cut short fail the element.
//  - An undecodable header gives ErrorStatus -1 and no objects; the other fields keep what
//    was decoded before the failure or their reset values.
//  - A version or error status outside the 16-bit range, or a request id that is not an integer,
//    gives ErrorStatus -1 as well. ErrorIndex is the error-index element's number when the
//    whole header decoded and it is one, else 0.
//  - A Trap PDU gives Command "Trap", RequestId 0, ErrorStatus 0 and the rows of its SNMPv2
//    notification form: sysUpTime.0, snmpTrapOID.0, the trap's own bindings, snmpTrapAddress.0,
//    snmpTrapCommunity.0, snmpTrapEnterprise.0. snmpTrapOID.0 is a standard trap's identifier
//    for generic traps 0 to 5, otherwise the enterprise, ".0." and the specific-trap field as an
//    unsigned 32-bit number (-1 gives 4294967295). A trap whose header cannot be read gives
//    ErrorStatus -1 and no objects.
ReceivedMessage DecodeReceivedMessage(std::span<const std::uint8_t> data, std::int32_t string_type);

// A PDU element on its own, as an SNMPv3 scoped PDU carries it: Command, RequestId, ErrorStatus,
// ErrorIndex and the rows, read exactly as DecodeReceivedMessage reads what follows a message's
// version and community; the receiver fills in the rest. An SNMPv1 Trap PDU, which SNMPv3 does
// not carry, gives ErrorStatus -1.
ReceivedMessage DecodeReceivedPdu(std::span<const std::uint8_t> pdu, std::int32_t string_type);

// An InformRequest read whole: its header and every binding's name and value understood. Only
// such an inform is acknowledged, whatever its version: an acknowledgement tells the sender that
// the notification arrived.
bool IsWholeInform(const ReceivedMessage& message);

}  // namespace kivostrel
