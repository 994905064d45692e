// The contract suite's platform on Linux: PosixUdpSocket, pumped by the test itself.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "transport/posix/posix_udp_socket.h"
#include "transport/sockets/unique_fd.h"
#include "udp_socket_contract.h"

namespace kivostrel::contract {
namespace {

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{.sin_family = AF_INET, .sin_port = htons(port)};
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

const PlatformErrors kErrors{EBADF,    EINVAL,     EAI_SERVICE,  EAI_NONAME,
                             EMSGSIZE, EADDRINUSE, EADDRNOTAVAIL};

std::unique_ptr<UdpSocketCore> MakeSocket(UdpSocketEvents& events, UdpSocketOptions options) {
  return std::make_unique<PosixUdpSocket>(events, std::move(options));
}

void RunOnce(UdpSocketCore* socket, int timeout_ms) {
  if (socket == nullptr) {
    WaitWithoutEvents(timeout_ms);
  } else {
    static_cast<PosixUdpSocket*>(socket)->Pump(timeout_ms);
  }
}

void WaitWithoutEvents(int timeout_ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(timeout_ms));
}

struct OtherThread::Native {
  std::thread thread;
};

OtherThread::OtherThread(std::function<void()> work)
    : native_(std::make_unique<Native>(Native{std::thread(std::move(work))})) {}

OtherThread::~OtherThread() {
  native_->thread.join();
}

struct PlainPeer::Socket {
  UniqueFd fd{::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)};
};

PlainPeer::PlainPeer() : socket_(std::make_unique<Socket>()) {
  const sockaddr_in local = Loopback(0);
  const timeval limit{5, 0};
  ::setsockopt(socket_->fd.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  EXPECT_EQ(::bind(socket_->fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
}

PlainPeer::~PlainPeer() = default;

std::uint16_t PlainPeer::Port() const {
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  ::getsockname(socket_->fd.get(), reinterpret_cast<sockaddr*>(&bound), &length);
  return ntohs(bound.sin_port);
}

void PlainPeer::SendTo(std::uint16_t port, const Bytes& bytes) {
  const sockaddr_in to = Loopback(port);
  EXPECT_EQ(::sendto(socket_->fd.get(), bytes.data(), bytes.size(), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(bytes.size()));
}

Datagram PlainPeer::Receive() {
  Bytes buffer(65536);
  sockaddr_in from{};
  socklen_t length = sizeof from;
  const ssize_t got = ::recvfrom(socket_->fd.get(), buffer.data(), buffer.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &length);
  if (got < 0) return {};
  buffer.resize(static_cast<std::size_t>(got));
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
  return {text, std::to_string(ntohs(from.sin_port)), buffer};
}

}  // namespace kivostrel::contract
