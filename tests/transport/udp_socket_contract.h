// What the UDP socket contract suite needs from a platform: its socket component, a plain UDP
// socket as the far end, its event loop, and the error numbers it reports. Each platform's test
// program defines these once (posix_contract_platform.cpp, winsock_contract_platform.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "encoding/bytes.h"
#include "transport/udp_socket_core.h"

namespace kivostrel::contract {

struct Datagram {
  std::string address, port;
  Bytes bytes;
  bool operator==(const Datagram&) const = default;
};

// A plain blocking UDP socket bound to a free port on 127.0.0.1.
class PlainPeer {
 public:
  PlainPeer();
  ~PlainPeer();
  PlainPeer(const PlainPeer&) = delete;
  PlainPeer& operator=(const PlainPeer&) = delete;

  std::uint16_t Port() const;
  void SendTo(std::uint16_t port, const Bytes& bytes);
  // The next datagram; an empty address after five seconds without one. The component's events
  // are not delivered meanwhile.
  Datagram Receive();

 private:
  struct Socket;
  std::unique_ptr<Socket> socket_;
};

// Runs `work` on a thread of its own from construction; destruction waits for it to end.
class OtherThread {
 public:
  explicit OtherThread(std::function<void()> work);
  ~OtherThread();
  OtherThread(const OtherThread&) = delete;
  OtherThread& operator=(const OtherThread&) = delete;

 private:
  struct Native;
  std::unique_ptr<Native> native_;
};

// The platform's numbers for what the contract checks, in this order.
struct PlatformErrors {
  std::int32_t not_open;               // a send with no socket open
  std::int32_t invalid_argument;       // a bad local port, a remote port out of range
  std::int32_t unknown_service;        // a remote port that is no number and no UDP service
  std::int32_t no_host_name;           // the empty host text
  std::int32_t message_too_long;       // over 65507 bytes
  std::int32_t address_in_use;         // a bind to a port already bound
  std::int32_t address_not_available;  // a local address that is not this machine's
};

extern const PlatformErrors kErrors;
std::unique_ptr<UdpSocketCore> MakeSocket(UdpSocketEvents& events, UdpSocketOptions options = {});
// Runs the loop that delivers the events of `socket` once: one wake-up's work, waiting up to
// `timeout_ms` for something to do. `socket` is null once a test has destroyed it; the call then
// only waits, on any thread.
void RunOnce(UdpSocketCore* socket, int timeout_ms);
// Waits without delivering any event, as a host busy elsewhere does.
void WaitWithoutEvents(int timeout_ms);

}  // namespace kivostrel::contract
