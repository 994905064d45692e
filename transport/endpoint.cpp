#include "transport/endpoint.h"

#include <algorithm>
#include <charconv>

#include "encoding/conversions.h"

namespace kivostrel {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// As the system's inet_pton reads it: no part above 255 or written with a leading zero.
std::optional<std::array<std::uint8_t, 4>> ReadDotted(std::string_view text) {
  const std::optional<DottedAddress> dotted = ReadDottedAddress(text);
  if (!dotted || dotted->above_255 || dotted->leading_zero) return std::nullopt;
  return dotted->octets;
}

// Eight 16-bit groups; a "::" stands for one or more zero groups, a dotted IPv4 part for the
// last two.
std::optional<std::array<std::uint8_t, 16>> ReadIpv6(std::string_view text) {
  std::array<std::uint16_t, 8> groups{};
  std::size_t count = 0;
  std::optional<std::size_t> gap;  // groups before the "::"
  std::size_t position = 0;
  if (text.starts_with("::")) {
    gap = 0;
    position = 2;
  } else if (text.starts_with(":")) {
    return std::nullopt;
  }
  while (position < text.size()) {
    const std::size_t colon = std::min(text.find(':', position), text.size());
    const std::string_view part = text.substr(position, colon - position);
    if (colon == text.size() && part.find('.') != std::string_view::npos) {
      const auto dotted = ReadDotted(part);
      if (!dotted || count > 6) return std::nullopt;
      groups[count++] = static_cast<std::uint16_t>((*dotted)[0] << 8 | (*dotted)[1]);
      groups[count++] = static_cast<std::uint16_t>((*dotted)[2] << 8 | (*dotted)[3]);
      position = colon;
      break;
    }
    if (part.empty() || part.size() > 4 || count == 8) return std::nullopt;
    unsigned value = 0;
    for (const char c : part) {
      const int digit = HexValue(c);
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    groups[count++] = static_cast<std::uint16_t>(value);
    if (colon == text.size()) {
      position = colon;
      break;
    }
    position = colon + 1;
    if (position < text.size() && text[position] == ':') {
      if (gap) return std::nullopt;  // a second "::"
      gap = count;
      ++position;
    } else if (position == text.size()) {
      return std::nullopt;  // a single trailing ':'
    }
  }
  if (gap ? count > 7 : count != 8) return std::nullopt;
  std::array<std::uint16_t, 8> expanded{};
  const std::size_t before = gap.value_or(count);
  std::copy_n(groups.begin(), before, expanded.begin());
  std::copy(groups.begin() + static_cast<std::ptrdiff_t>(before),
            groups.begin() + static_cast<std::ptrdiff_t>(count),
            expanded.end() - static_cast<std::ptrdiff_t>(count - before));
  std::array<std::uint8_t, 16> address{};
  for (std::size_t i = 0; i < expanded.size(); ++i) {
    address[2 * i] = static_cast<std::uint8_t>(expanded[i] >> 8);
    address[2 * i + 1] = static_cast<std::uint8_t>(expanded[i]);
  }
  return address;
}

std::string Ipv6Text(const std::array<std::uint8_t, 16>& address) {
  std::array<unsigned, 8> groups{};
  for (std::size_t i = 0; i < groups.size(); ++i) {
    groups[i] = static_cast<unsigned>(address[2 * i] << 8 | address[2 * i + 1]);
  }
  // The longest run of zero groups, the first of equals, if it is two groups or more.
  std::size_t best_start = groups.size();
  std::size_t best_length = 1;
  for (std::size_t i = 0; i < groups.size();) {
    std::size_t j = i;
    while (j < groups.size() && groups[j] == 0) ++j;
    if (j - i > best_length) {
      best_start = i;
      best_length = j - i;
    }
    i = j == i ? i + 1 : j;
  }
  std::string text;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    if (i == best_start) {
      text += "::";
      i += best_length - 1;
      continue;
    }
    if (!text.empty() && text.back() != ':') text += ':';
    std::array<char, 4> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), groups[i], 16).ptr;
    text.append(digits.data(), end);
  }
  return text;
}

}  // namespace

std::optional<Endpoint> ReadAddressLiteral(std::string_view text) noexcept {
  Endpoint endpoint;
  if (const auto dotted = ReadDotted(text)) {
    std::copy(dotted->begin(), dotted->end(), endpoint.address.begin());
    return endpoint;
  }
  if (text.find(':') == std::string_view::npos) return std::nullopt;
  const auto ipv6 = ReadIpv6(text);
  if (!ipv6) return std::nullopt;
  endpoint.ipv6 = true;
  endpoint.address = *ipv6;
  return endpoint;
}

std::string AddressTextOf(const Endpoint& endpoint) {
  if (endpoint.ipv6) return Ipv6Text(endpoint.address);
  std::string text;
  for (std::size_t i = 0; i < 4; ++i) {
    if (i > 0) text += '.';
    text += std::to_string(endpoint.address[i]);
  }
  return text;
}

Endpoint Unmapped(const Endpoint& endpoint) noexcept {
  constexpr std::array<std::uint8_t, 12> kMappedPrefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  if (!endpoint.ipv6 ||
      !std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), endpoint.address.begin())) {
    return endpoint;
  }
  Endpoint ipv4{.port = endpoint.port};
  std::copy_n(endpoint.address.begin() + 12, 4, ipv4.address.begin());
  return ipv4;
}

bool IsAnyAddress(const Endpoint& endpoint) noexcept {
  const std::size_t size = endpoint.ipv6 ? 16 : 4;
  return std::all_of(endpoint.address.begin(), endpoint.address.begin() + size,
                     [](std::uint8_t octet) { return octet == 0; });
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
