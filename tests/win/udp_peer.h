// The far end of the control's traffic in the tests: a Winsock UDP socket on 127.0.0.1.
#pragma once

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win/winsock_handles.h"

namespace kivostrel::wintest {

class UdpPeer {
 public:
  // Binds 127.0.0.1 on `port` (0: a free one). ok() says whether that worked.
  explicit UdpPeer(std::uint16_t port = 0);
  bool ok() const noexcept { return static_cast<bool>(socket_); }
  std::uint16_t port() const noexcept { return port_; }
  std::wstring port_text() const { return std::to_wstring(port_); }

  // Waits for one datagram, dispatching this thread's messages meanwhile unless `pump` is false;
  // false after `timeout_ms`.
  bool Receive(std::vector<std::uint8_t>& data, sockaddr_in& from, DWORD timeout_ms,
               bool pump = true);
  bool SendTo(const std::vector<std::uint8_t>& data, const sockaddr_in& to);
  // True when a datagram is waiting, or arrives within `timeout_ms`.
  bool Readable(DWORD timeout_ms = 0) const;

 private:
  WinsockSession session_;
  UniqueSocket socket_;
  std::uint16_t port_ = 0;
};

}  // namespace kivostrel::wintest
