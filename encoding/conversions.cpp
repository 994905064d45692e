#include "encoding/conversions.h"

#include "encoding/automation_error.h"

namespace kivostrel {

std::array<std::uint8_t, 4> LongToBytes(std::int32_t value) noexcept {
  const auto v = static_cast<std::uint32_t>(value);
  return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

std::int32_t BytesToLong(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != 4) RaiseTypeMismatch();
  const std::uint32_t v = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                          (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
  return static_cast<std::int32_t>(v);
}

std::int32_t AddressValueOf(std::string_view text) {
  if (text.empty()) return 0;
  std::uint32_t value = 0;
  std::size_t pos = 0;
  bool overflow = false;
  for (int octet = 0; octet < 4; ++octet) {
    if (octet > 0) {
      if (pos >= text.size() || text[pos] != '.') RaiseTypeMismatch();
      ++pos;
    }
    std::size_t digits = 0;
    unsigned part = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 3) {
      part = part * 10 + static_cast<unsigned>(text[pos] - '0');
      ++pos;
      ++digits;
    }
    if (digits == 0) RaiseTypeMismatch();
    if (part > 255) overflow = true;
    value = (value << 8) | (part & 0xFF);
  }
  if (pos != text.size()) RaiseTypeMismatch();
  if (overflow) RaiseOverflow();
  return static_cast<std::int32_t>(value);
}

}  // namespace kivostrel
