#include "transport/posix/ipv4_names.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include "transport/socket_outcome.h"

namespace kivostrel {
namespace {

using socket_outcome::BadPortText;
using socket_outcome::CannotResolveText;

struct AddrinfoFree {
  void operator()(addrinfo* list) const noexcept { ::freeaddrinfo(list); }
};
using UniqueAddrinfo = std::unique_ptr<addrinfo, AddrinfoFree>;

}  // namespace

std::optional<NameError> ResolveHost(std::string_view host, in_addr& address) {
  const std::string text(host);
  // A text with a NUL inside would be looked up as its first part only.
  if (text.empty() || text.find('\0') != std::string::npos) {
    return NameError{EAI_NONAME, CannotResolveText(host, "no host name given")};
  }
  if (::inet_pton(AF_INET, text.c_str(), &address) == 1) return std::nullopt;

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(text.c_str(), nullptr, &hints, &found);
  const UniqueAddrinfo list(found);
  if (status != 0) {
    const bool system = status == EAI_SYSTEM;
    const int code = system ? errno : status;
    return NameError{
        code, CannotResolveText(host, system ? std::strerror(code) : ::gai_strerror(status))};
  }
  for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in)) {
      sockaddr_in found_address{};
      std::memcpy(&found_address, entry->ai_addr, sizeof found_address);
      address = found_address.sin_addr;
      return std::nullopt;
    }
  }
  return NameError{EAI_NONAME, CannotResolveText(host, "no IPv4 address")};
}

std::optional<NameError> ResolvePort(std::string_view port, std::uint16_t& port_number) {
  switch (socket_outcome::ReadRemotePort(port, port_number)) {
    case socket_outcome::PortText::kNumber:
      return std::nullopt;
    case socket_outcome::PortText::kOutOfRange:
      return NameError{EINVAL, BadPortText(port, socket_outcome::kPortOutOfRange)};
    case socket_outcome::PortText::kName:
      break;
  }

  const std::string name(port);
  if (!name.empty() && name.find('\0') == std::string::npos) {
    servent entry{};
    servent* found = nullptr;
    std::array<char, 1024> scratch{};
    if (::getservbyname_r(name.c_str(), "udp", &entry, scratch.data(), scratch.size(), &found) ==
            0 &&
        found != nullptr) {
      port_number = ntohs(static_cast<std::uint16_t>(found->s_port));
      return std::nullopt;
    }
  }
  return NameError{EAI_SERVICE, BadPortText(port, socket_outcome::kUnknownService)};
}

std::string DottedText(in_addr address) {
  std::array<char, INET_ADDRSTRLEN> text{};
  ::inet_ntop(AF_INET, &address, text.data(), text.size());
  return text.data();
}

}  // namespace kivostrel
