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

std::optional<DottedAddress> ReadDottedAddress(std::string_view text) noexcept {
  DottedAddress address;
  std::size_t position = 0;
  for (std::size_t part = 0; part < address.octets.size(); ++part) {
    if (part > 0) {
      if (position >= text.size() || text[position] != '.') return std::nullopt;
      ++position;
    }
    const std::size_t start = position;
    unsigned value = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9' &&
           position - start < 3) {
      value = value * 10 + static_cast<unsigned>(text[position] - '0');
      ++position;
    }
    const std::size_t digits = position - start;
    if (digits == 0) return std::nullopt;
    address.above_255 |= value > 255;
    address.leading_zero |= digits > 1 && text[start] == '0';
    address.octets[part] = static_cast<std::uint8_t>(value);
  }
  if (position != text.size()) return std::nullopt;
  return address;
}

std::int32_t AddressValueOf(std::string_view text) {
  if (text.empty()) return 0;
  const std::optional<DottedAddress> address = ReadDottedAddress(text);
  if (!address) RaiseTypeMismatch();
  if (address->above_255) RaiseOverflow();
  return BytesToLong(address->octets);
}

}  // namespace kivostrel
