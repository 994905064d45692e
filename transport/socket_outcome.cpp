#include "transport/socket_outcome.h"

#include <charconv>

namespace kivostrel::socket_outcome {
namespace {

template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace

void Raise(UdpSocketEvents& events, const Outcome& outcome) {
  std::visit(Overloaded{
                 [&](const Failure& failure) {
                   events.SocketError(failure.code, failure.description, failure.where);
                 },
                 [&](Ready) { events.SocketReady(); },
                 [&](Sent) { events.DatagramSent(); },
                 [&](Closed) { events.SocketClosed(); },
             },
             outcome);
}

std::string Target(std::string_view address, std::string_view port) {
  return std::string(address) + " port " + std::string(port);
}

bool LocalPortFrom(std::string_view text, std::uint16_t configured, std::uint16_t& port) {
  if (text.empty() || text == "0") {
    port = configured;
    return true;
  }
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

}  // namespace kivostrel::socket_outcome
