#include "transport/win/winsock_names.h"

#include <ws2tcpip.h>

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

struct LocalFree {
  void operator()(char* text) const noexcept { ::LocalFree(text); }
};
using UniqueLocalText = std::unique_ptr<char, LocalFree>;

// Wine has no message texts for most Winsock numbers, so the common ones are spelled here.
struct KnownError {
  int code;
  const char* text;
};
constexpr KnownError kKnownErrors[] = {
    {WSAEINTR, "interrupted"},
    {WSAEBADF, "bad handle"},
    {WSAEACCES, "permission denied"},
    {WSAEFAULT, "bad address"},
    {WSAEINVAL, "invalid argument"},
    {WSAEMFILE, "too many open sockets"},
    {WSAEWOULDBLOCK, "the operation would block"},
    {WSAENOTSOCK, "not a socket"},
    {WSAEDESTADDRREQ, "destination address required"},
    {WSAEMSGSIZE, "message too long"},
    {WSAEAFNOSUPPORT, "address family not supported"},
    {WSAEADDRINUSE, "address already in use"},
    {WSAEADDRNOTAVAIL, "address not available"},
    {WSAENETDOWN, "network is down"},
    {WSAENETUNREACH, "network is unreachable"},
    {WSAENETRESET, "network dropped the connection"},
    {WSAECONNRESET, "port unreachable"},
    {WSAENOBUFS, "no buffer space available"},
    {WSAEHOSTUNREACH, "host is unreachable"},
    {WSASYSNOTREADY, "network subsystem not ready"},
    {WSAVERNOTSUPPORTED, "Winsock version not supported"},
    {WSANOTINITIALISED, "Winsock not initialised"},
    {WSAECANCELLED, "cancelled"},
    {WSATYPE_NOT_FOUND, "unknown service"},
    {WSAHOST_NOT_FOUND, "host not found"},
    {WSATRY_AGAIN, "temporary failure in name resolution"},
    {WSANO_RECOVERY, "name resolution failed"},
    {WSANO_DATA, "no address for the name"},
};

}  // namespace

std::string WinsockErrorText(int error) {
  for (const KnownError& known : kKnownErrors) {
    if (known.code == error) return known.text;
  }
  char* buffer = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  const UniqueLocalText owned(buffer);
  std::string text = length > 0 ? std::string(buffer, length) : std::string();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
    text.pop_back();
  }
  return text.empty() ? "Windows Sockets error " + std::to_string(error) : text;
}

std::optional<WinsockNameError> ResolveWinsockHost(std::string_view host, in_addr& address) {
  const std::string text(host);
  if (text.empty() || text.find('\0') != std::string::npos) {
    return WinsockNameError{WSAHOST_NOT_FOUND, CannotResolveText(host, "no host name given")};
  }
  if (::inet_pton(AF_INET, text.c_str(), &address) == 1) return std::nullopt;

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(text.c_str(), nullptr, &hints, &found);
  const UniqueAddrinfo list(found);
  if (status != 0) {
    return WinsockNameError{status, CannotResolveText(host, WinsockErrorText(status))};
  }
  for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in)) {
      sockaddr_in found_address{};
      std::memcpy(&found_address, entry->ai_addr, sizeof found_address);
      address = found_address.sin_addr;
      return std::nullopt;
    }
  }
  return WinsockNameError{WSANO_DATA, CannotResolveText(host, "no IPv4 address")};
}

std::optional<WinsockNameError> ResolveWinsockPort(std::string_view port,
                                                   std::uint16_t& port_number) {
  switch (socket_outcome::ReadRemotePort(port, port_number)) {
    case socket_outcome::PortText::kNumber:
      return std::nullopt;
    case socket_outcome::PortText::kOutOfRange:
      return WinsockNameError{WSAEINVAL, BadPortText(port, socket_outcome::kPortOutOfRange)};
    case socket_outcome::PortText::kName:
      break;
  }
  const std::string name(port);
  if (!name.empty() && name.find('\0') == std::string::npos) {
    // getservbyname keeps its answer per thread; it is read before any other Winsock call.
    if (const servent* found = ::getservbyname(name.c_str(), "udp")) {
      port_number = ntohs(static_cast<std::uint16_t>(found->s_port));
      return std::nullopt;
    }
  }
  return WinsockNameError{WSATYPE_NOT_FOUND, BadPortText(port, socket_outcome::kUnknownService)};
}

std::string DottedText(in_addr address) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

}  // namespace kivostrel
