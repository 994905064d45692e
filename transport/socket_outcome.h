// What a UDP socket component reports after an operation: the outcomes it queues until the host's
// pump raises them, and the small texts and parsing every implementation shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "transport/udp_socket.h"

namespace kivostrel::socket_outcome {

struct Failure {
  std::int32_t code;
  std::string description;
  std::string where;
};
struct Ready {};
struct Sent {};
struct Closed {};
using Outcome = std::variant<Failure, Ready, Sent, Closed>;

// Raises the event that reports `outcome`.
void Raise(UdpSocketEvents& events, const Outcome& outcome);

// "ADDRESS port PORT": how messages name a destination, in the host's own texts.
std::string Target(std::string_view address, std::string_view port);

// "0" and "" mean the configured port; otherwise a decimal port. False for anything else.
bool LocalPortFrom(std::string_view text, std::uint16_t configured, std::uint16_t& port);

// How a remote port text reads: a decimal port from 1 to 65535, digits outside that range, or
// something else, which the platform looks up as a UDP service name.
enum class PortText { kNumber, kOutOfRange, kName };
PortText ReadRemotePort(std::string_view text, std::uint16_t& port);

// The texts every implementation reports, so that hosts see the same words on each platform.
std::string Quoted(std::string_view text);  // 'text'
std::string CannotResolveText(std::string_view host, std::string_view reason);
std::string BadPortText(std::string_view port, std::string_view reason);
std::string CannotSendText(std::size_t size, std::string_view target, std::string_view reason);
inline constexpr const char* kPortOutOfRange = "not a number from 1 to 65535";
inline constexpr const char* kUnknownService = "not a port number or a known UDP service";

}  // namespace kivostrel::socket_outcome
