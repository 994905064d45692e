#include "loopback_socket.h"

namespace kivostrel::winbench {

sockaddr_in LoopbackAddress(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

UniqueSocket OpenLoopbackSocket(std::uint16_t port) {
  UniqueSocket socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (!socket) return socket;
  const sockaddr_in address = LoopbackAddress(port);
  if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    socket.reset();
  return socket;
}

std::uint16_t PortOf(SOCKET socket) {
  sockaddr_in address{};
  int length = sizeof address;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

bool AskReceiveBuffer(SOCKET socket, int bytes) {
  return ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                      sizeof bytes) == 0;
}

bool SendTo(SOCKET socket, std::span<const std::uint8_t> datagram, const sockaddr_in& to) {
  const int sent = ::sendto(socket, reinterpret_cast<const char*>(datagram.data()),
                            static_cast<int>(datagram.size()), 0,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to);
  return sent == static_cast<int>(datagram.size());
}

}  // namespace kivostrel::winbench
