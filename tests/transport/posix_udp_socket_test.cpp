// What only the Linux component has: fd(), readable exactly while Pump(0) has work, for hosts
// that poll it in their own loop. The rest of its behaviour is the contract suite's.
#include <poll.h>

#include <gtest/gtest.h>

#include "transport/posix/posix_udp_socket.h"
#include "udp_socket_contract.h"

namespace kivostrel {
namespace {

struct Counter : UdpSocketEvents {
  int events = 0;
  void SocketError(std::int32_t, const std::string&, const std::string&) override { ++events; }
  void DatagramReceived(const std::string&, const std::string&,
                        std::span<const std::uint8_t>) override {
    ++events;
  }
  void SocketClosed() override { ++events; }
  void SocketReady() override { ++events; }
  void DatagramSent() override { ++events; }
};

bool Readable(int fd, int timeout_ms = 0) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, timeout_ms) == 1 && (entry.revents & POLLIN) != 0;
}

TEST(PosixUdpSocketTest, FdIsReadableExactlyWhilePumpHasWork) {
  Counter counter;
  PosixUdpSocket socket(counter);
  contract::PlainPeer peer;
  EXPECT_FALSE(Readable(socket.fd()));
  socket.OpenSocket("0");
  socket.SendDatagram("127.0.0.1", std::to_string(peer.Port()), Bytes{1, 2});
  socket.CloseSocket();
  socket.OpenSocket("0");
  EXPECT_TRUE(Readable(socket.fd()));
  EXPECT_EQ(socket.Pump(0), 4);
  EXPECT_EQ(counter.events, 4);
  EXPECT_FALSE(Readable(socket.fd()));

  peer.SendTo(socket.LocalPort(), Bytes{3});
  EXPECT_TRUE(Readable(socket.fd(), 5000));  // a waiting datagram
  EXPECT_EQ(socket.Pump(0), 1);
  EXPECT_FALSE(Readable(socket.fd()));
}

}  // namespace
}  // namespace kivostrel
