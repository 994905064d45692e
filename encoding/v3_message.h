// The SNMPv3 message layout (RFC 3412) with the User-based Security Model's parameters
// (RFC 3414), without any cryptography: the security layer fills the digest and encrypts the
// scoped PDU.
//
//   SEQUENCE { version 3,
//              SEQUENCE { msgID, msgMaxSize, msgFlags (one octet), msgSecurityModel 3 },
//              OCTET STRING { SEQUENCE { engine ID, boots, time, user name,
//                                        authentication parameters, privacy parameters } },
//              scoped PDU SEQUENCE { context engine ID, context name, PDU }
//                or an OCTET STRING holding it encrypted }
//
// Reading is strict, unlike the lenient decoder of received PDUs: every element must have its
// tag and all its declared octets, numbers must be in their ranges, and nothing is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "encoding/bytes.h"
#include "encoding/messages.h"

namespace kivostrel {

inline constexpr std::int32_t kSnmpV3 = 3;
inline constexpr std::int32_t kUserBasedSecurityModel = 3;
// The largest message this engine accepts, as Net-SNMP announces it.
inline constexpr std::int32_t kV3MaxMessageSize = 65507;

// msgFlags.
inline constexpr std::uint8_t kFlagAuth = 0x01;
inline constexpr std::uint8_t kFlagPriv = 0x02;
inline constexpr std::uint8_t kFlagReportable = 0x04;
inline constexpr std::uint8_t kSecurityLevelFlags = kFlagAuth | kFlagPriv;

// The sizes of an engine ID (SnmpEngineID) and the longest user name (SnmpAdminString).
inline constexpr std::size_t kMinEngineIdSize = 5;
inline constexpr std::size_t kMaxEngineIdSize = 32;
inline constexpr std::size_t kMaxUserNameSize = 32;

// The version field of a message: nullopt unless it begins with a SEQUENCE and an INTEGER.
std::optional<std::int32_t> MessageVersionOf(std::span<const std::uint8_t> data);

// A message as read: spans into the datagram it was read from.
struct V3Message {
  std::int32_t message_id = 0;
  std::int32_t max_size = 0;
  std::uint8_t flags = 0;
  std::int32_t security_model = 0;
  std::span<const std::uint8_t> engine_id;
  std::int32_t boots = 0;
  std::int32_t time = 0;
  std::string_view user;
  std::span<const std::uint8_t> auth;  // the digest as received
  std::size_t auth_offset = 0;         // where the digest's octets lie in the datagram
  std::span<const std::uint8_t> priv;  // the salt
  // An encrypted message: the ciphertext; otherwise the scoped PDU's whole element.
  std::span<const std::uint8_t> scoped;
  bool encrypted = false;
};

// Nullopt when the datagram is not a readable SNMPv3 message: a missing or cut element, a
// number out of range (msgID, msgMaxSize below 484, boots, time), msgFlags of another length,
// an engine ID of 1 to 4 or more than 32 octets, a user name past 32 octets, or octets after
// the message. The security model is not checked here.
std::optional<V3Message> ReadV3Message(std::span<const std::uint8_t> data);

// A scoped PDU read from its plaintext; octets after its SEQUENCE (a block cipher's padding)
// are ignored.
struct ScopedPdu {
  std::span<const std::uint8_t> context_engine_id;
  std::string_view context_name;
  std::span<const std::uint8_t> pdu;  // the PDU's whole element
  std::uint8_t pdu_tag = 0;
};
std::optional<ScopedPdu> ReadScopedPdu(std::span<const std::uint8_t> plaintext);

// A PDU's request id, error fields and binding list (spans into `pdu`), read strictly; nullopt
// for a Trap PDU or anything cut short.
std::optional<RequestMessage> ReadRequestPdu(std::span<const std::uint8_t> pdu);

// What a message is built from. `auth_size` zeros are written as the digest (the security layer
// computes it over the whole message and writes it at `auth_offset`).
struct V3Fields {
  std::int32_t message_id = 0;
  std::int32_t max_size = kV3MaxMessageSize;
  std::uint8_t flags = 0;
  std::span<const std::uint8_t> engine_id;
  std::int32_t boots = 0;
  std::int32_t time = 0;
  std::string_view user;
  std::size_t auth_size = 0;
  std::span<const std::uint8_t> priv;
};
struct BuiltV3Message {
  Bytes message;
  std::size_t auth_offset = 0;
};
// `scoped`: the scoped PDU's element, or the ciphertext when `encrypted`. Error 6 past the
// 32767-octet limits.
BuiltV3Message BuildV3Message(const V3Fields& fields, std::span<const std::uint8_t> scoped,
                              bool encrypted);

// The scoped PDU's element around `pdu`.
Bytes BuildScopedPdu(std::span<const std::uint8_t> context_engine_id, std::string_view context_name,
                     const RequestMessage& pdu);

}  // namespace kivostrel
