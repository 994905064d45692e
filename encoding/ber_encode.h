// The BER encoding routines: each takes one value and returns one complete element
// (tag, length octets, content) as a new byte string. Errors are automation errors:
// 6 (overflow) and 13 (type mismatch), raised before anything is returned.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "encoding/ber_tags.h"
#include "encoding/bytes.h"

namespace kivostrel {

// Length octets only. Negative counts: error 6.
Bytes EncodeLength(std::int32_t count);

// Tag, length, content for SEQUENCE (0x30) and the five PDUs (0xA0..0xA4).
// Content over 32767 octets: error 6.
Bytes EncodeConstructed(BerTag tag, std::span<const std::uint8_t> content);
inline Bytes EncodeSequence(std::span<const std::uint8_t> content) {
  return EncodeConstructed(kTagSequence, content);
}

// One octet holding the content length (1..8), then the shortest two's-complement content of
// the decimal text's value (see ParseIntegerText for what text is accepted).
Bytes EncodeIntegerContent(std::string_view value_text);

// INTEGER, Counter, Gauge, TimeTicks: the tag, then the length and the shortest two's-complement
// content of the text's value. No type checks the range of its value: any signed 64-bit value
// is written under any of the four tags, a Counter, Gauge or TimeTicks from -2147483648 to -1
// as its unsigned 32-bit equivalent (WireValueOf).
Bytes EncodeIntegerTagged(BerTag tag, std::string_view value_text);
inline Bytes EncodeInteger(std::string_view text) {
  return EncodeIntegerTagged(kTagInteger, text);
}
inline Bytes EncodeCounter(std::string_view text) {
  return EncodeIntegerTagged(kTagCounter, text);
}
inline Bytes EncodeGauge(std::string_view text) {
  return EncodeIntegerTagged(kTagGauge, text);
}
inline Bytes EncodeTimeTicks(std::string_view text) {
  return EncodeIntegerTagged(kTagTimeTicks, text);
}

// OCTET STRING of a text already in the host's narrow (ANSI) code page: its octets unchanged.
Bytes EncodeOctetString(std::string_view ansi_text);
// OCTET STRING of raw bytes.
Bytes EncodeOctetBytes(std::span<const std::uint8_t> bytes);

// IpAddress: 0x40 0x04 and the four octets of a dotted address text (see AddressValueOf).
Bytes EncodeIpAddress(std::string_view address_text);

// OBJECT IDENTIFIER of dotted decimal text (see ParseObjectIdText for the rules and errors).
Bytes EncodeObjectId(std::string_view oid_text);

// Always 05 00.
Bytes EncodeNull();

}  // namespace kivostrel
