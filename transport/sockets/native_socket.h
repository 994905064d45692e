// The few places where the Berkeley socket calls of Linux and of Windows Sockets differ: the
// error numbers, the handle type and its owner, how an error is read, which errors mean "try
// again". Everything else in this folder is written once for both.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
// After winsock2.h, so that it does not bring in the old winsock.h.
#include <ws2tcpip.h>

#include "win/winsock_handles.h"
#else
#include <arpa/inet.h>
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
#endif

}  // namespace kivostrel::native
