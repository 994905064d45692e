// Message layouts of SNMPv1 and SNMPv2c: SEQUENCE { version, community, PDU }.
//
// The binding list bytes (one or more variable bindings end to end) become the content of the
// PDU's binding-list SEQUENCE unchanged. The binding list, the PDU and the message each hold at
// most 32767 octets of content; beyond that the build fails with error 6 and returns nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/ber_tags.h"
#include "encoding/bytes.h"

namespace kivostrel {

// Every PDU of request-id, error-status, error-index and bindings: GetRequest, GetNextRequest,
// SetRequest, GetResponse, and SNMPv2's GetBulkRequest (non-repeaters and max-repetitions in
// the error fields), InformRequest, SNMPv2-Trap and Report.
struct RequestMessage {
  BerTag pdu = kTagGetRequest;
  std::int32_t version = 0;    // 0 SNMPv1, 1 SNMPv2c
  std::string_view community;  // octets in the host's narrow code page
  std::int32_t request_id = 0;
  std::int32_t error_status = 0;  // 0 except in a GetResponse
  std::int32_t error_index = 0;   // 0 except in a GetResponse
  std::span<const std::uint8_t> bindings;
};

Bytes BuildRequestMessage(const RequestMessage& message);

class BerWriter;
// The PDU of `message` alone (its version and community are not written), and its size, for
// messages that wrap the PDU in another layout.
std::size_t RequestPduSize(const RequestMessage& message);
void PrependRequestPdu(BerWriter& w, const RequestMessage& message);

// The objects of an SNMPv2 notification (RFC 3416, RFC 3584) besides its own bindings.
inline constexpr std::string_view kSysUpTime0 = "1.3.6.1.2.1.1.3.0";
inline constexpr std::string_view kSnmpTrapOid0 = "1.3.6.1.6.3.1.1.4.1.0";
inline constexpr std::string_view kSnmpTrapAddress0 = "1.3.6.1.6.3.18.1.3.0";
inline constexpr std::string_view kSnmpTrapCommunity0 = "1.3.6.1.6.3.18.1.4.0";
inline constexpr std::string_view kSnmpTrapEnterprise0 = "1.3.6.1.6.3.1.1.4.3.0";

// The acknowledgement of an InformRequest, as notification receivers send it: the same message
// with the PDU tag of a GetResponse, so that version, community, request id and bindings are
// repeated. Nullopt unless `inform` begins with a message SEQUENCE, a version, a community and
// an InformRequest PDU.
std::optional<Bytes> AcknowledgementOf(std::span<const std::uint8_t> inform);

// snmpTrapOID.0 of an SNMPv1 trap, as SNMPv2 names it: a standard trap's identifier under
// 1.3.6.1.6.3.1.1.5 for generic traps 0 to 5, otherwise the enterprise, ".0." and the
// specific-trap number.
std::string TrapOidOf(std::string_view enterprise, std::int64_t generic_trap,
                      std::uint32_t specific_trap);

// The bindings of an SNMPv2 notification (SNMPv2-Trap or InformRequest): sysUpTime.0 as
// TimeTicks (WireValueOf), snmpTrapOID.0, then `bindings`, then snmpTrapEnterprise.0 when
// `enterprise` is given (a trap translated from SNMPv1). Errors: those of the identifiers (13 or
// 6); a message built from them fails with 6 past 32767 octets.
Bytes NotificationBindings(std::int64_t time_stamp, std::string_view trap_oid,
                           std::span<const std::uint8_t> bindings,
                           std::string_view enterprise = {});

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
