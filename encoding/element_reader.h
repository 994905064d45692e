// Reading one BER element as the decoder of received messages does: its tag and length first,
// then, when asked, its value. The eager decoder and the rows that a received message renders
// on demand share these, so a row reads the same whenever it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "encoding/ber_tags.h"
#include "encoding/byte_cursor.h"
#include "encoding/variant.h"

namespace kivostrel {

// The longest length an element may declare.
inline constexpr std::uint64_t kMaxElementLength = 0x7FFFFFFF;

// The `StringType` that selects byte arrays for OCTET STRING values; any other gives text.
inline constexpr std::int32_t kStringTypeBytes = 1;

// The data from `position` on; empty once a declared length has carried the position past the
// end.
inline std::span<const std::uint8_t> Rest(std::span<const std::uint8_t> data,
                                          std::size_t position) {
  return position < data.size() ? data.subspan(position) : std::span<const std::uint8_t>{};
}

// What every element has before its value is read: its tag, its declared length and where its
// content lies.
struct ElementHeader {
  std::uint8_t tag = 0;
  std::uint64_t length = 0;               // as declared, at most 2^31 - 1
  std::size_t content_start = 0;          // counted from the element's first octet
  std::span<const std::uint8_t> content;  // clipped to the octets present

  std::size_t after_content() const { return content_start + length; }
  // Where decoding goes on: into a SEQUENCE or PDU, past anything else. A value that fails to
  // decode is always primitive, so a failed element goes on from here too.
  std::size_t continue_at() const {
    const bool constructed = tag == kTagSequence || IsPduTag(tag);
    return constructed ? content_start : after_content();
  }
};

// Tag and length octets; nullopt when they cannot be read (missing octets, a length past
// 2^31 - 1). Inline: the decoder calls it for every element, and a header returned through
// memory costs more than reading it.
inline std::optional<ElementHeader> ReadElementHeader(std::span<const std::uint8_t> data) {
  ByteCursor cursor(data);
  ElementHeader header;
  std::uint8_t first_length = 0;
  if (!cursor.ReadByte(header.tag) || !cursor.ReadByte(first_length)) return std::nullopt;
  header.length = first_length;
  if (first_length >= 0x80) {
    header.length = 0;
    for (int i = 0; i < (first_length & 0x7F); ++i) {
      std::uint8_t octet = 0;
      if (!cursor.ReadByte(octet)) return std::nullopt;
      header.length = header.length * 256 + octet;
      if (header.length > kMaxElementLength) return std::nullopt;
    }
  }
  header.content_start = cursor.position();
  header.content = cursor.TakeUpTo(header.length);
  return header;
}

// The number an INTEGER, Counter, Gauge or TimeTicks element gives (the caller checks the tag):
// the last four content octets read as a signed 32-bit number, and an INTEGER of one to three
// declared octets sign-extended from its first. An INTEGER without content has no number.
inline std::optional<std::int32_t> ReadIntegerContent(const ElementHeader& header) {
  const auto content = header.content;
  if (header.tag == kTagInteger && content.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (const std::uint8_t octet : content.last(content.size() < 4 ? content.size() : 4)) {
    value = value << 8 | octet;
  }
  if (header.tag == kTagInteger && header.length >= 1 && header.length <= 3 && content[0] >= 0x80) {
    return static_cast<std::int32_t>(value - (std::int64_t{1} << (8 * header.length)));
  }
  return static_cast<std::int32_t>(value);
}

// A Counter64's number: the last eight content octets, unsigned (so content longer than eight
// octets keeps only its last eight, as the 32-bit types keep four).
inline std::uint64_t ReadCounter64Content(std::span<const std::uint8_t> content) {
  std::uint64_t value = 0;
  for (const std::uint8_t octet : content.last(content.size() < 8 ? content.size() : 8)) {
    value = value << 8 | octet;
  }
  return value;
}

// True for the tags whose value is a 32-bit number.
constexpr bool IsIntegerTag(std::int16_t tag) {
  return tag == kTagInteger || tag == kTagCounter || tag == kTagGauge || tag == kTagTimeTicks;
}

// The element's value; false, leaving `value` as it was, when its content cannot be read (an
// INTEGER without content, an OBJECT IDENTIFIER that AppendObjectIdText refuses). OCTET STRING
// content becomes a byte array when `string_type` is kStringTypeBytes, otherwise text holding
// the octets unchanged; an unknown tag gives an empty value.
bool ReadElementValue(const ElementHeader& header, std::int32_t string_type, Variant& value);

// The text a binding's name element gives: an object identifier's dotted text, or any other
// value converted to text. False when the element fails; `name` may then hold part of a text.
bool ReadNameText(const ElementHeader& header, std::int32_t string_type, std::string& name);

// Appends the object identifier text of `content`. False for empty content, a subidentifier
// past 2^31 - 1 or a first subidentifier cut short; `out` may then hold part of the text.
bool AppendObjectIdText(std::span<const std::uint8_t> content, std::string& out);

// The tag's type name, or the tag in decimal for a tag outside the table.
std::string TypeNameOf(std::uint8_t tag);

}  // namespace kivostrel
