#include "encoding/ber_writer.h"

#include <algorithm>
#include <cstring>

#include "encoding/automation_error.h"

namespace kivostrel {

BerWriter::BerWriter(std::size_t capacity) : buffer_(capacity), start_(capacity) {}

std::uint8_t* BerWriter::Reserve(std::size_t count) {
  if (count > start_) {
    // Grow to the front: the written octets move to the end of a larger buffer.
    const std::size_t used = size();
    const std::size_t capacity = std::max(buffer_.size() * 2, used + count + 64);
    std::vector<std::uint8_t> grown(capacity);
    if (used != 0) std::memcpy(grown.data() + capacity - used, buffer_.data() + start_, used);
    buffer_.swap(grown);
    start_ = capacity - used;
  }
  start_ -= count;
  return buffer_.data() + start_;
}

void BerWriter::PrependByte(std::uint8_t byte) { *Reserve(1) = byte; }

void BerWriter::PrependBytes(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return;
  std::memcpy(Reserve(bytes.size()), bytes.data(), bytes.size());
}

void BerWriter::PrependLength(std::size_t count) {
  if (count < 0x80) {
    PrependByte(static_cast<std::uint8_t>(count));
    return;
  }
  std::size_t octets = 1;
  while (octets < 4 && (count >> (8 * octets)) != 0) ++octets;
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

void BerWriter::PrependInteger(std::uint8_t tag, std::int64_t value) {
  const auto v = static_cast<std::uint64_t>(value);
  // Drop leading octets that only repeat the sign of the next one.
  std::size_t octets = 8;
  while (octets > 1) {
    const auto top = static_cast<std::uint8_t>(v >> (8 * (octets - 1)));
    const bool next_high = ((v >> (8 * (octets - 1) - 1)) & 1) != 0;
    if ((top == 0x00 && !next_high) || (top == 0xFF && next_high)) {
      --octets;
    } else {
      break;
    }
  }
  std::uint8_t* out = Reserve(octets + 2);
  out[0] = tag;
  out[1] = static_cast<std::uint8_t>(octets);
  for (std::size_t i = 0; i < octets; ++i) {
    out[octets + 1 - i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
}

void BerWriter::PrependObjectId(std::span<const std::uint32_t> subidentifiers) {
  const std::size_t end = size();
  for (auto it = subidentifiers.rbegin(); it != subidentifiers.rend(); ++it) {
    std::uint32_t sub = *it;
    PrependByte(static_cast<std::uint8_t>(sub & 0x7F));
    while ((sub >>= 7) != 0) PrependByte(static_cast<std::uint8_t>(0x80 | (sub & 0x7F)));
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
