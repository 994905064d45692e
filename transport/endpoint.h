// Endpoint: an IPv4 address and UDP port, and the texts hosts write them in.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivostrel {

struct Endpoint {
  std::array<std::uint8_t, 4> address{};  // in written order: 127.0.0.1 is {127, 0, 0, 1}
  std::uint16_t port = 0;

  friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

// A dotted address as the system's own inet_pton reads it: exactly four decimal parts from 0 to
// 255, without leading zeros, nothing around them. Anything else is nullopt (and may still be a
// host name).
std::optional<std::array<std::uint8_t, 4>> ReadDottedAddress(std::string_view text) noexcept;

// "a.b.c.d".
std::string DottedText(const std::array<std::uint8_t, 4>& address);

// How a remote port text reads: a decimal port from 1 to 65535, digits outside that range, or
// something else, which the platform looks up as a UDP service name.
enum class PortText { kNumber, kOutOfRange, kName };
PortText ReadRemotePort(std::string_view text, std::uint16_t& port) noexcept;

// The port OpenSocket binds: "0" and "" mean `configured`, otherwise a decimal port from 0 to
// 65535. Nullopt for anything else.
std::optional<std::uint16_t> ReadLocalPort(std::string_view text,
                                           std::uint16_t configured) noexcept;

}  // namespace kivostrel
