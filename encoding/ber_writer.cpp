#include "encoding/ber_writer.h"

#include <algorithm>
#include <cstring>

#include "encoding/automation_error.h"

namespace kivostrel {

BerWriter::BerWriter(std::size_t capacity) : buffer_(capacity), start_(capacity) {}

void BerWriter::Grow(std::size_t count) {
  // The written octets move to the end of a larger buffer, leaving the room in front.
  const std::size_t used = size();
  const std::size_t capacity = std::max(buffer_.size() * 2, used + count + 64);
  std::vector<std::uint8_t> grown(capacity);
  if (used != 0) std::memcpy(grown.data() + capacity - used, buffer_.data() + start_, used);
  buffer_.swap(grown);
  start_ = capacity - used;
}

void BerWriter::PrependBytes(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  std::memcpy(Reserve(bytes.size()), bytes.data(), bytes.size());
}

void BerWriter::PrependLength(std::size_t count) {
  if (count < 0x80) {
    PrependByte(static_cast<std::uint8_t>(count));
    return;
  }
  const std::size_t octets = LengthSize(count) - 1;
  std::uint8_t* out = Reserve(octets + 1);
  out[0] = static_cast<std::uint8_t>(0x80 | octets);
  for (std::size_t i = 0; i < octets; ++i) {
    out[octets - i] = static_cast<std::uint8_t>(count >> (8 * i));
  }
}

void BerWriter::PrependHeader(std::uint8_t tag, std::size_t content_size) {
  PrependLength(content_size);
  PrependByte(tag);
}

namespace {

std::size_t SubidentifierGroups(std::uint32_t sub) noexcept {
  std::size_t groups = 1;
  while (groups < 5 && (sub >> (7 * groups)) != 0) ++groups;
  return groups;
}

}  // namespace

std::size_t ObjectIdContentSize(std::span<const std::uint32_t> subidentifiers) noexcept {
  std::size_t size = 0;
  for (const std::uint32_t sub : subidentifiers) size += SubidentifierGroups(sub);
  return size;
}

void BerWriter::PrependInteger(std::uint8_t tag, std::int64_t value) {
  const auto v = static_cast<std::uint64_t>(value);
  const std::size_t octets = IntegerContentSize(value);
  std::uint8_t* out = Reserve(octets + 2);
  out[0] = tag;
  out[1] = static_cast<std::uint8_t>(octets);
  for (std::size_t i = 0; i < octets; ++i) {
    out[octets + 1 - i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
}

void BerWriter::PrependUnsigned(std::uint8_t tag, std::uint64_t value) {
  const std::size_t octets = UnsignedContentSize(value);
  std::uint8_t* out = Reserve(octets + 2);
  out[0] = tag;
  out[1] = static_cast<std::uint8_t>(octets);
  for (std::size_t i = 0; i < octets; ++i) {
    out[octets + 1 - i] = i < 8 ? static_cast<std::uint8_t>(value >> (8 * i)) : 0;
  }
}

void BerWriter::PrependObjectId(std::span<const std::uint32_t> subidentifiers) {
  const std::size_t end = size();
  for (auto it = subidentifiers.rbegin(); it != subidentifiers.rend(); ++it) {
    const std::uint32_t sub = *it;
    const std::size_t groups = SubidentifierGroups(sub);
    std::uint8_t* out = Reserve(groups);
    for (std::size_t i = 0; i < groups; ++i) {
      const auto group = static_cast<std::uint8_t>((sub >> (7 * (groups - 1 - i))) & 0x7F);
      out[i] = i + 1 < groups ? (0x80 | group) : group;
    }
  }
  PrependHeader(0x06, size() - end);
}

void BerWriter::PrependConstructed(std::uint8_t tag, std::size_t end_mark) {
  const std::size_t content = size() - end_mark;
  if (content > kMaxConstructedContent) RaiseOverflow();
  PrependHeader(tag, content);
}

std::vector<std::uint8_t> BerWriter::Finish() && {
  if (start_ != 0) {
    const std::size_t used = size();
    std::memmove(buffer_.data(), buffer_.data() + start_, used);
    buffer_.resize(used);
    start_ = 0;
  }
  return std::move(buffer_);
}

}  // namespace kivostrel
