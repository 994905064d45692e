// Byte and address conversions, as pure functions: a 32-bit value and its four octets, and the
// dotted IPv4 texts the encoder and the transport read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kivostrel {

// The four octets of a 32-bit value, most significant first.
std::array<std::uint8_t, 4> LongToBytes(std::int32_t value) noexcept;

// The signed (two's complement) value of exactly four octets, most significant first.
// Any other count of octets fails with error 13.
std::int32_t BytesToLong(std::span<const std::uint8_t> bytes);

// A dotted IPv4 address "a.b.c.d" as written: four decimal parts of one to three digits each.
// Its readers differ on what else a part may be, so they judge that from the flags.
struct DottedAddress {
  std::array<std::uint8_t, 4> octets{};  // the parts, when none is above 255
  bool above_255 = false;
  bool leading_zero = false;  // a part of two or three digits starts with 0
};
// Nullopt for any other text: a host name, blanks, parts missing or extra, a part of no digit or
// of more than three.
std::optional<DottedAddress> ReadDottedAddress(std::string_view text) noexcept;

// Reads an IpAddress value or a trap's agent address: a value whose `LongToBytes` form is the
// four octets in written order.
// Accepted: four decimal octets "a.b.c.d" (one to three digits each), or the empty text, which
// means 0.0.0.0. An octet above 255 fails with error 6; anything else (a host name, blanks,
// missing or extra parts, a typo) fails with error 13: a mistyped address is never sent as
// 0.0.0.0.
std::int32_t AddressValueOf(std::string_view address_text);

}  // namespace kivostrel
