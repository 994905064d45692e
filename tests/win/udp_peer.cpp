#include "udp_peer.h"

#include "dispatch_client.h"

namespace kivostrel::wintest {

UdpPeer::UdpPeer(std::uint16_t port) {
  if (session_.error() != 0) return;
  UniqueSocket s(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (!s) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::bind(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
  int length = sizeof address;
  if (::getsockname(s.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
  port_ = ntohs(address.sin_port);
  socket_ = std::move(s);
}

bool UdpPeer::Readable(DWORD timeout_ms) const {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket_.get(), &readable);
  timeval limit{static_cast<long>(timeout_ms / 1000), static_cast<long>(timeout_ms % 1000) * 1000};
  return ::select(0, &readable, nullptr, nullptr, &limit) == 1;
}

bool UdpPeer::Receive(std::vector<std::uint8_t>& data, sockaddr_in& from, DWORD timeout_ms,
                      bool pump) {
  if (!ok()) return false;
  if (!(pump ? PumpUntil([this] { return Readable(); }, timeout_ms) : Readable(timeout_ms))) {
    return false;
  }
  data.assign(65536, 0);
  int length = sizeof from;
  const int received =
      ::recvfrom(socket_.get(), reinterpret_cast<char*>(data.data()), static_cast<int>(data.size()),
                 0, reinterpret_cast<sockaddr*>(&from), &length);
  if (received < 0) return false;
  data.resize(static_cast<size_t>(received));
  return true;
}

bool UdpPeer::SendTo(const std::vector<std::uint8_t>& data, const sockaddr_in& to) {
  return ::sendto(socket_.get(), reinterpret_cast<const char*>(data.data()),
                  static_cast<int>(data.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                  sizeof to) == static_cast<int>(data.size());
}

}  // namespace kivostrel::wintest
