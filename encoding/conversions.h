// The UDP socket component's byte and address conversions, as pure functions.
//
// The component exposes these as its operations `LongToBytes`, `BytesToLong`, `AddressText` and
// `AddressValue`; the encoder and decoder call the same functions directly.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace kivostrel {

// The four octets of a 32-bit value, most significant first.
std::array<std::uint8_t, 4> LongToBytes(std::int32_t value) noexcept;

// The signed (two's complement) value of exactly four octets, most significant first.
// Any other count of octets fails with error 13.
std::int32_t BytesToLong(std::span<const std::uint8_t> bytes);

// Reads an address text as `AddressText` does and returns what `AddressValue` then gives: a
// value whose `LongToBytes` form is the four octets in written order.
// Accepted: four decimal octets "a.b.c.d" (one to three digits each), or the empty text, which
// means 0.0.0.0. An octet above 255 fails with error 6; anything else (a host name, blanks,
// missing or extra parts, a typo) fails with error 13: a mistyped address is never sent as
// 0.0.0.0.
std::int32_t AddressValueOf(std::string_view address_text);

}  // namespace kivostrel
