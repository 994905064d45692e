// The few places where the Berkeley socket calls of Linux and of Windows Sockets differ: the
// error numbers, the handle type and its owner, how an error is read, which errors mean "try
// again", how the resolver and the service database answer, how the machine's addresses are
// listed. Everything else in this folder is written once for both.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
// After winsock2.h, so that it does not bring in the old winsock.h.
#include <iphlpapi.h>
#include <ws2tcpip.h>

#include "win/winsock_handles.h"
#else
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>

#include "transport/sockets/unique_fd.h"
#endif

#include "transport/udp_socket_core.h"

namespace kivostrel::native {

#ifdef _WIN32
inline constexpr UdpSocketCore::Platform kPlatform{
    .component = "WinsockUdpSocket",
    .invalid_argument = WSAEINVAL,
    .not_open = WSAENOTSOCK,
    .cancelled = WSAECANCELLED,
    .message_too_long = WSAEMSGSIZE,
    .no_host_name = WSAHOST_NOT_FOUND,
    .no_address = WSANO_DATA,
    .unknown_service = WSATYPE_NOT_FOUND,
    .address_not_available = WSAEADDRNOTAVAIL,
    .address_in_use = WSAEADDRINUSE,
};
using Socket = SOCKET;
using OwnedSocket = UniqueSocket;
using AddressLength = int;
using BufferPointer = char*;
using OptionPointer = const char*;
// Non-blocking mode comes with WSAAsyncSelect, once the socket is watched.
inline Socket OpenUdpSocket(int family) noexcept {
  return ::socket(family, SOCK_DGRAM, IPPROTO_UDP);
}
inline int LastError() noexcept {
  return ::WSAGetLastError();
}
inline constexpr int kSendFlags = 0;
inline bool Interrupted(int) noexcept {
  return false;
}
inline bool WouldBlock(int error) noexcept {
  return error == WSAEWOULDBLOCK;
}
// An ICMP report about an earlier send, where the system still passes one on to a receive.
inline bool IcmpReport(int error) noexcept {
  return error == WSAECONNRESET || error == WSAENETRESET;
}
// A failed getaddrinfo's status is a WSA number like any other, worded by the caller.
inline int LookupErrorCode(int status) noexcept {
  return status;
}
inline const char* LookupErrorReason(int) noexcept {
  return nullptr;
}
inline std::optional<std::uint16_t> UdpServicePort(const std::string& name) {
  // Windows keeps the answer per thread; it is read before any other Winsock call.
  const servent* found = ::getservbyname(name.c_str(), "udp");
  if (found == nullptr) return std::nullopt;
  return ntohs(static_cast<std::uint16_t>(found->s_port));
}
// Calls `visit` with the sockaddr of every unicast address of this machine's interfaces.
template <typename Visit>
void ForEachInterfaceAddress(Visit&& visit) {
  ULONG size = 16 * 1024;
  std::vector<std::uint8_t> buffer;
  ULONG status = ERROR_BUFFER_OVERFLOW;
  // The list may grow between the calls; the system says how much room it needs each time.
  for (int attempt = 0; attempt < 3 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    status = ::GetAdaptersAddresses(
        AF_UNSPEC, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
        nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (status != NO_ERROR) return;
  for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
       adapter = adapter->Next) {
    for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
         unicast = unicast->Next) {
      visit(static_cast<const sockaddr*>(unicast->Address.lpSockaddr));
    }
  }
}
#else
inline constexpr UdpSocketCore::Platform kPlatform{
    .component = "PosixUdpSocket",
    .invalid_argument = EINVAL,
    .not_open = EBADF,
    .cancelled = ECANCELED,
    .message_too_long = EMSGSIZE,
    .no_host_name = EAI_NONAME,
    .no_address = EAI_NONAME,
    .unknown_service = EAI_SERVICE,
    .address_not_available = EADDRNOTAVAIL,
    .address_in_use = EADDRINUSE,
};
using Socket = int;
using OwnedSocket = UniqueFd;
using AddressLength = socklen_t;
using BufferPointer = void*;
using OptionPointer = const void*;
inline Socket OpenUdpSocket(int family) noexcept {
  return ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}
inline int LastError() noexcept {
  return errno;
}
// A peer that went away must not kill the process with SIGPIPE.
inline constexpr int kSendFlags = MSG_NOSIGNAL;
inline bool Interrupted(int error) noexcept {
  return error == EINTR;
}
inline bool WouldBlock(int error) noexcept {
  return error == EAGAIN || error == EWOULDBLOCK;
}
inline bool IcmpReport(int) noexcept {
  return false;
}
// A failed getaddrinfo: EAI_SYSTEM means errno says why; other codes have their own words.
inline int LookupErrorCode(int status) noexcept {
  return status == EAI_SYSTEM ? errno : status;
}
inline const char* LookupErrorReason(int status) noexcept {
  return status == EAI_SYSTEM ? nullptr : ::gai_strerror(status);
}
inline std::optional<std::uint16_t> UdpServicePort(const std::string& name) {
  servent entry{};
  servent* found = nullptr;
  std::array<char, 1024> scratch{};
  if (::getservbyname_r(name.c_str(), "udp", &entry, scratch.data(), scratch.size(), &found) != 0 ||
      found == nullptr) {
    return std::nullopt;
  }
  return ntohs(static_cast<std::uint16_t>(found->s_port));
}
// Calls `visit` with the sockaddr of every address of this machine's interfaces.
template <typename Visit>
void ForEachInterfaceAddress(Visit&& visit) {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr != nullptr) visit(static_cast<const sockaddr*>(entry->ifa_addr));
  }
  ::freeifaddrs(list);
}
#endif

}  // namespace kivostrel::native
