// BerWriter: builds one BER message in one buffer, back to front.
//
// Elements are written last to first: a constructed element's content is written before its
// header, so its length is known when the header goes in front of it, and nothing is ever
// copied into place twice. `Finish` hands over the bytes written.
//
// Usage:
//   BerWriter w;
//   auto end = w.size();
//   w.PrependNull(); w.PrependObjectId(arcs);
//   w.PrependConstructed(kTagSequence, end);   // SEQUENCE { oid, null }
//   std::vector<std::uint8_t> bytes = std::move(w).Finish();
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kivostrel {

class BerWriter {
 public:
  explicit BerWriter(std::size_t capacity = 64);

  // Octets written so far. Take it before writing a constructed element's content and pass it
  // to PrependConstructed afterwards.
  std::size_t size() const noexcept { return buffer_.size() - start_; }

  void PrependByte(std::uint8_t byte) { *Reserve(1) = byte; }
  void PrependBytes(std::span<const std::uint8_t> bytes);

  // Length octets for a count (short form below 128, else 0x81..0x84 and the big-endian count).
  void PrependLength(std::size_t count);

  // Tag and length in front of `content_size` octets already written.
  void PrependHeader(std::uint8_t tag, std::size_t content_size);

  // Tag, length and the shortest two's-complement content of `value`.
  void PrependInteger(std::uint8_t tag, std::int64_t value);
  // The same for an unsigned value: a leading zero octet where the top bit is set (Counter64).
  void PrependUnsigned(std::uint8_t tag, std::uint64_t value);

  // Tag 0x06, length and the subidentifiers, each in base 128.
  void PrependObjectId(std::span<const std::uint32_t> subidentifiers);

  // Wraps everything written since size() was `end_mark` as the content of a SEQUENCE or PDU.
  // Such content is limited to 32767 octets: beyond that, error 6.
  void PrependConstructed(std::uint8_t tag, std::size_t end_mark);

  // The octets written, front to back.
  std::vector<std::uint8_t> Finish() &&;

 private:
  // Room for `count` more octets in front of those written; returns where they go.
  std::uint8_t* Reserve(std::size_t count) {
    if (count > start_) Grow(count);
    start_ -= count;
    return buffer_.data() + start_;
  }
  void Grow(std::size_t count);

  std::vector<std::uint8_t> buffer_;  // content lives in [start_, buffer_.size())
  std::size_t start_;
};

// Sizes of elements before they are written, so that a writer can be given exactly the room a
// message needs: then it is allocated once and never moved.
constexpr std::size_t LengthSize(std::size_t count) noexcept {
  std::size_t octets = 1;
  if (count >= 0x80) {
    while (octets < 5 && (count >> (8 * (octets - 1))) != 0) ++octets;
  }
  return octets;
}
constexpr std::size_t ElementSize(std::size_t content_size) noexcept {
  return 1 + LengthSize(content_size) + content_size;
}
// Octets of the shortest two's-complement form of a value, 1 to 8: its significant bits
// (those that differ from the sign) plus the sign bit, rounded up to whole octets.
constexpr std::size_t IntegerContentSize(std::int64_t value) noexcept {
  const auto bits = static_cast<std::uint64_t>(value);
  const std::uint64_t magnitude = value < 0 ? ~bits : bits;
  return static_cast<std::size_t>(64 - std::countl_zero(magnitude)) / 8 + 1;
}
constexpr std::size_t UnsignedContentSize(std::uint64_t value) noexcept {
  return static_cast<std::size_t>(64 - std::countl_zero(value)) / 8 + 1;
}
// Octets of the base-128 subidentifiers.
std::size_t ObjectIdContentSize(std::span<const std::uint32_t> subidentifiers) noexcept;

// Content limit of SEQUENCE and PDU elements: their length is counted in a signed 16-bit number.
inline constexpr std::size_t kMaxConstructedContent = 32767;

}  // namespace kivostrel
