// What a UDP socket component reports after an operation: the outcomes it queues until the host's
// pump raises them, and the small texts and parsing every implementation shares.
#pragma once

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

}  // namespace kivostrel::socket_outcome
