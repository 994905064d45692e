// SNMPv1 message layouts: SEQUENCE { version 0, community, PDU }.
//
// The binding list bytes (one or more variable bindings end to end) become the content of the
// PDU's binding-list SEQUENCE unchanged. The binding list, the PDU and the message each hold at
// most 32767 octets of content; beyond that the build fails with error 6 and returns nothing.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "encoding/ber_tags.h"
#include "encoding/bytes.h"

namespace kivostrel {

// GetRequest, GetNextRequest, SetRequest or GetResponse.
struct RequestMessage {
  BerTag pdu =
      kTagGetRequest;  // kTagGetRequest, kTagGetNextRequest, kTagGetResponse, kTagSetRequest
  std::string_view community;  // octets in the host's narrow code page
  std::int32_t request_id = 0;
  std::int32_t error_status = 0;  // 0 except in a GetResponse
  std::int32_t error_index = 0;   // 0 except in a GetResponse
  std::span<const std::uint8_t> bindings;
};

Bytes BuildRequestMessage(const RequestMessage& message);

struct TrapMessage {
  std::string_view community;
  std::string_view enterprise;     // dotted decimal object identifier
  std::string_view agent_address;  // dotted IPv4 address (empty: 0.0.0.0)
  std::int16_t generic_trap = 0;
  std::string_view specific_trap;  // decimal whole number, signed 64-bit range
  std::int64_t time_stamp = 0;     // hundredths of a second, written as TimeTicks (WireValueOf)
  std::span<const std::uint8_t> bindings;
};

// Errors in field order: enterprise (13 or 6), agent address (13 or 6), specific trap (13 or 6),
// then the 32767-octet limits (6).
Bytes BuildTrapMessage(const TrapMessage& message);

// The automatic trap time stamp: a millisecond tick count (unsigned 32-bit, wrapping after about
// 49.7 days) in hundredths of a second, 0 to 429496729.
constexpr std::int64_t TimeStampFromTickCount(std::uint32_t milliseconds) {
  return milliseconds / 10;
}

}  // namespace kivostrel
