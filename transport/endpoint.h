// Endpoint: an IPv4 or IPv6 address and a UDP port, and the texts hosts write them in.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivostrel {

struct Endpoint {
  bool ipv6 = false;
  // In network order. IPv4 uses the first four octets: 127.0.0.1 is {127, 0, 0, 1, 0, ...}.
  std::array<std::uint8_t, 16> address{};
  std::uint16_t port = 0;

  friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

// An address literal as the system's own inet_pton reads it, port 0: a dotted IPv4 address of
// exactly four decimal parts from 0 to 255 without leading zeros, or an IPv6 address in any of
// its text forms (a trailing dotted IPv4 part included; no zone). Nullopt for anything else,
// which may still be a host name.
std::optional<Endpoint> ReadAddressLiteral(std::string_view text) noexcept;

// "a.b.c.d" for IPv4; IPv6 in its canonical form ("::1", "2001:db8::7"): lowercase, the longest
// run of two or more zero groups written "::".
std::string AddressTextOf(const Endpoint& endpoint);

// The IPv4 address an IPv4-mapped IPv6 address (::ffff:a.b.c.d) stands for; any other address
// unchanged.
Endpoint Unmapped(const Endpoint& endpoint) noexcept;

// True for 0.0.0.0 and ::.
bool IsAnyAddress(const Endpoint& endpoint) noexcept;

// How a remote port text reads: a decimal port from 1 to 65535, digits outside that range, or
// something else, which the platform looks up as a UDP service name.
enum class PortText { kNumber, kOutOfRange, kName };
PortText ReadRemotePort(std::string_view text, std::uint16_t& port) noexcept;

// The port OpenSocket binds: "0" and "" mean `configured`, otherwise a decimal port from 0 to
// 65535. Nullopt for anything else.
std::optional<std::uint16_t> ReadLocalPort(std::string_view text,
                                           std::uint16_t configured) noexcept;

}  // namespace kivostrel
