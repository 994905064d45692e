// Plain blocking Winsock UDP sockets on 127.0.0.1, for the far ends of the benchmarks' traffic.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <span>

#include "win/winsock_handles.h"

namespace kivostrel::winbench {

// A socket bound to 127.0.0.1:`port` (0: a free one); empty on failure. The caller keeps a
// WinsockSession alive meanwhile.
UniqueSocket OpenLoopbackSocket(std::uint16_t port = 0);
// The port `socket` is bound to, 0 on failure.
std::uint16_t PortOf(SOCKET socket);
// Asks for a receive buffer of `bytes`; false when refused.
bool AskReceiveBuffer(SOCKET socket, int bytes);
sockaddr_in LoopbackAddress(std::uint16_t port);
bool SendTo(SOCKET socket, std::span<const std::uint8_t> datagram, const sockaddr_in& to);

}  // namespace kivostrel::winbench
