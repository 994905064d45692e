#include "transport/socket_outcome.h"

#include <algorithm>
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

PortText ReadRemotePort(std::string_view text, std::uint16_t& port) {
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  if (text.empty() || !std::all_of(text.begin(), text.end(), is_digit)) return PortText::kName;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535) {
    return PortText::kOutOfRange;
  }
  port = static_cast<std::uint16_t>(value);
  return PortText::kNumber;
}

std::string Quoted(std::string_view text) {
  // Filled in place: g++ 12 warns falsely (-Wrestrict) on concatenating small strings.
  std::string quoted(text.size() + 2, '\'');
  text.copy(quoted.data() + 1, text.size());
  return quoted;
}

std::string CannotResolveText(std::string_view host, std::string_view reason) {
  return "cannot resolve host " + Quoted(host) + ": " + std::string(reason);
}

std::string BadPortText(std::string_view port, std::string_view reason) {
  return "bad port " + Quoted(port) + ": " + std::string(reason);
}

std::string CannotSendText(std::size_t size, std::string_view target, std::string_view reason) {
  return "cannot send " + std::to_string(size) + " bytes to " + std::string(target) + ": " +
         std::string(reason);
}

}  // namespace kivostrel::socket_outcome
