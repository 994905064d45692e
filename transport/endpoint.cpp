#include "transport/endpoint.h"

#include <algorithm>
#include <charconv>

namespace kivostrel {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<std::array<std::uint8_t, 4>> ReadDottedAddress(std::string_view text) noexcept {
  std::array<std::uint8_t, 4> address{};
  std::size_t position = 0;
  for (std::size_t part = 0; part < address.size(); ++part) {
    if (part > 0) {
      if (position >= text.size() || text[position] != '.') return std::nullopt;
      ++position;
    }
    const std::size_t start = position;
    unsigned value = 0;
    while (position < text.size() && IsDigit(text[position]) && position - start < 3) {
      value = value * 10 + static_cast<unsigned>(text[position] - '0');
      ++position;
    }
    const std::size_t digits = position - start;
    if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) return std::nullopt;
    address[part] = static_cast<std::uint8_t>(value);
  }
  if (position != text.size()) return std::nullopt;
  return address;
}

std::string DottedText(const std::array<std::uint8_t, 4>& address) {
  std::string text;
  for (const std::uint8_t octet : address) {
    if (!text.empty()) text += '.';
    text += std::to_string(octet);
  }
  return text;
}

PortText ReadRemotePort(std::string_view text, std::uint16_t& port) noexcept {
  if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit)) return PortText::kName;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535) {
    return PortText::kOutOfRange;
  }
  port = static_cast<std::uint16_t>(value);
  return PortText::kNumber;
}

std::optional<std::uint16_t> ReadLocalPort(std::string_view text,
                                           std::uint16_t configured) noexcept {
  if (text.empty() || text == "0") return configured;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > 65535) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace kivostrel
