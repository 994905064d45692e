// The Linux UDP socket component on real sockets, on 127.0.0.1 only.
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "transport/posix/ipv4_names.h"
#include "transport/posix/posix_udp_socket.h"
#include "transport/posix/unique_fd.h"

namespace kivostrel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Log = std::vector<std::string>;

// A label too long for DNS: the resolver refuses it without sending a query.
const std::string kUnresolvableHost = std::string(70, 'q') + ".example";

struct Datagram {
  std::string address, port;
  Bytes bytes;
  bool operator==(const Datagram&) const = default;
};
using Datagrams = std::vector<Datagram>;

// Logs every event in order; `on_datagram` runs inside DatagramReceived.
struct Recorder : UdpSocketEvents {
  Log log;
  Datagrams datagrams;
  std::int32_t error_code = 0;
  std::string error_description;
  std::function<void()> on_datagram;

  void SocketError(std::int32_t code, const std::string& description,
                   const std::string& where) override {
    log.push_back("SocketError:" + where);
    error_code = code;
    error_description = description;
  }
  void DatagramReceived(const std::string& address, const std::string& port,
                        std::span<const std::uint8_t> data) override {
    log.push_back("DatagramReceived");
    datagrams.push_back({address, port, Bytes(data.begin(), data.end())});
    if (on_datagram) on_datagram();
  }
  void SocketClosed() override { log.push_back("SocketClosed"); }
  void SocketReady() override { log.push_back("SocketReady"); }
  void DatagramSent() override { log.push_back("DatagramSent"); }
};

// Pumps until the log holds `count` events (five seconds at most), then drains what is left.
void PumpFor(PosixUdpSocket& socket, const Recorder& events, std::size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (events.log.size() < count && std::chrono::steady_clock::now() < deadline) socket.Pump(20);
  while (socket.Pump(0) > 0) {
  }
}

// A component whose SocketReady has been pumped and taken off the log.
struct OpenedSocket {
  Recorder events;
  PosixUdpSocket socket;
  explicit OpenedSocket(PosixUdpSocketOptions options = {}) : socket(events, std::move(options)) {
    socket.OpenSocket("0");
    PumpFor(socket, events, 1);
    EXPECT_EQ(events.log, Log{"SocketReady"});
    events.log.clear();
  }
  std::string Port() const { return std::to_string(socket.LocalPort()); }
};

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{.sin_family = AF_INET, .sin_port = htons(port)};
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A blocking socket on 127.0.0.1 whose receive gives up after five seconds.
struct PlainSocket {
  UniqueFd fd{::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)};
  PlainSocket() {
    const sockaddr_in local = Loopback(0);
    const timeval limit{5, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    EXPECT_EQ(::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
  }
  std::string Port() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&local), &length);
    return std::to_string(ntohs(local.sin_port));
  }
  void SendTo(std::uint16_t port, const Bytes& bytes) const {
    const sockaddr_in to = Loopback(port);
    EXPECT_EQ(::sendto(fd.get(), bytes.data(), bytes.size(), 0,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(bytes.size()));
  }
  Datagram Receive() const {
    Bytes buffer(65536);
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const ssize_t got = ::recvfrom(fd.get(), buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &length);
    buffer.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return {DottedText(from.sin_addr), std::to_string(ntohs(from.sin_port)), buffer};
  }
};

Bytes Pattern(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

bool Readable(int fd, int timeout_ms = 0) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, timeout_ms) == 1 && (entry.revents & POLLIN) != 0;
}

TEST(PosixUdpSocketTest, EventsOnlyFromThePumpInCallOrder) {
  Recorder events;
  PosixUdpSocket socket(events);
  PlainSocket peer;
  EXPECT_FALSE(Readable(socket.fd()));
  socket.OpenSocket("0");
  socket.SendDatagram("127.0.0.1", peer.Port(), Pattern(5));
  socket.CloseSocket();
  socket.SendDatagram("127.0.0.1", peer.Port(), Pattern(5));  // no socket open
  socket.OpenSocket("0");
  EXPECT_TRUE(events.log.empty());
  EXPECT_TRUE(Readable(socket.fd()));
  EXPECT_EQ(peer.Receive().bytes, Pattern(5));
  EXPECT_EQ(socket.Pump(0), 6);
  EXPECT_EQ(events.log, (Log{"SocketReady", "DatagramSent", "SocketClosed",
                             "SocketError:SendDatagram", "SocketReady", "SocketReady"}));
  EXPECT_FALSE(Readable(socket.fd()));

  peer.SendTo(socket.LocalPort(), Pattern(3));
  EXPECT_TRUE(Readable(socket.fd(), 5000));  // a waiting datagram
  EXPECT_EQ(socket.Pump(0), 1);
  EXPECT_FALSE(Readable(socket.fd()));
}

TEST(PosixUdpSocketTest, DatagramsWithAPlainSocketBothWays) {
  for (const std::size_t size : {0, 1, 484, 60000, 65507}) {
    SCOPED_TRACE(size);
    OpenedSocket ours;
    PlainSocket peer;
    peer.SendTo(ours.socket.LocalPort(), Pattern(size));
    PumpFor(ours.socket, ours.events, 1);
    EXPECT_EQ(ours.events.datagrams, (Datagrams{{"127.0.0.1", peer.Port(), Pattern(size)}}));

    ours.socket.SendDatagram("localhost", peer.Port(), Pattern(size));
    EXPECT_EQ(peer.Receive(), (Datagram{"127.0.0.1", ours.Port(), Pattern(size)}));
    PumpFor(ours.socket, ours.events, 2);
    EXPECT_EQ(ours.events.log, (Log{"DatagramReceived", "DatagramSent"}));
  }
}

TEST(PosixUdpSocketTest, TwoComponentsAnswerFromTheirHandlers) {
  OpenedSocket a;
  OpenedSocket b;
  b.events.on_datagram = [&] {
    const Datagram& request = b.events.datagrams.back();
    b.socket.SendDatagram(request.address, request.port, Bytes{0xA2, 0x00});
  };
  a.socket.SendDatagram("127.0.0.1", b.Port(), Bytes{0xA0, 0x00});
  for (int round = 0; round < 250 && a.events.datagrams.empty(); ++round) {
    b.socket.Pump(0);
    a.socket.Pump(20);
  }
  EXPECT_EQ(b.events.datagrams, (Datagrams{{"127.0.0.1", a.Port(), {0xA0, 0x00}}}));
  EXPECT_EQ(a.events.datagrams, (Datagrams{{"127.0.0.1", b.Port(), {0xA2, 0x00}}}));
}

TEST(PosixUdpSocketTest, FailedSendsAreReportedLaterThenReady) {
  const struct {
    std::string host;
    const char* port;
    std::size_t size;
    const char* said;
  } cases[] = {
      {kUnresolvableHost, "161", 10, "cannot resolve host"},
      {"", "161", 10, "cannot resolve host"},
      {"127.0.0.1", "70000", 10, "bad port '70000'"},
      {"127.0.0.1", "", 10, "bad port"},
      {"127.0.0.1", "no-such-udp-service", 10, "bad port 'no-such-udp-service'"},
      {"127.0.0.1", "9", 65508, "cannot send 65508 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host + " port " + c.port);
    OpenedSocket ours;
    EXPECT_NO_THROW(ours.socket.SendDatagram(c.host, c.port, Pattern(c.size)));
    EXPECT_TRUE(ours.events.log.empty());
    PumpFor(ours.socket, ours.events, 2);
    EXPECT_EQ(ours.events.log, (Log{"SocketError:SendDatagram", "SocketReady"}));
    EXPECT_NE(ours.events.error_code, 0);
    EXPECT_NE(ours.events.error_description.find(c.said), std::string::npos)
        << ours.events.error_description;
  }
}

TEST(PosixUdpSocketTest, PortsAreNumbersOrUdpServices) {
  const struct {
    const char* text;
    std::uint16_t port;  // 0: refused
  } cases[] = {{"161", 161}, {"snmp", 161}, {"snmptrap", 162}, {"65535", 65535},
               {"0", 0},     {"-1", 0},     {"16 1", 0},       {"0x10", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::uint16_t port = 0;
    EXPECT_EQ(ResolvePort(c.text, port).has_value(), c.port == 0);
    EXPECT_EQ(port, c.port);
  }
}

TEST(PosixUdpSocketTest, LocalAddressTowardsLoopback) {
  Recorder events;
  PosixUdpSocket socket(events);
  EXPECT_EQ(socket.LocalAddressFor("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(socket.LocalAddressFor("localhost"), "127.0.0.1");
  EXPECT_EQ(testing::ErrorNumberOf([&] { socket.LocalAddressFor(kUnresolvableHost); }),
            kErrHostNotFound);
}

TEST(PosixUdpSocketTest, FixedLocalPortAndABindThatFails) {
  const auto port = static_cast<std::uint16_t>(std::stoi(PlainSocket().Port()));  // was free
  const PosixUdpSocketOptions fixed{.local_address = "127.0.0.1", .local_port = port};
  OpenedSocket first(fixed);
  EXPECT_EQ(first.socket.LocalPort(), port);

  Recorder events;
  PosixUdpSocket second(events, fixed);
  second.OpenSocket("0");
  PumpFor(second, events, 1);
  EXPECT_EQ(events.log, Log{"SocketError:OpenSocket"});
  EXPECT_EQ(events.error_code, EADDRINUSE);
  EXPECT_FALSE(second.IsOpen());
}

TEST(PosixUdpSocketTest, HandlerClosesOrDestroysWhileDatagramsWait) {
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroy" : "close");
    Recorder events;
    auto socket = std::make_unique<PosixUdpSocket>(events);
    socket->OpenSocket("0");
    socket->Pump(0);
    events.log.clear();
    PlainSocket peer;
    for (int i = 0; i < 5; ++i) peer.SendTo(socket->LocalPort(), Pattern(100));
    events.on_datagram = [&] { destroy ? socket.reset() : socket->CloseSocket(); };
    EXPECT_EQ(socket->Pump(1000), 1);
    if (destroy) {
      EXPECT_EQ(socket, nullptr);
      EXPECT_EQ(events.log, Log{"DatagramReceived"});
    } else {
      PumpFor(*socket, events, 2);
      EXPECT_EQ(events.log, (Log{"DatagramReceived", "SocketClosed"}));
    }
  }
}

TEST(PosixUdpSocketTest, AnAnswerSentFromAHandlerIsReportedBeforeLaterDatagrams) {
  // An agent answers each request from inside DatagramReceived; the next request is already
  // waiting. Its DatagramSent must come before that next request, or the agent's next answer
  // would find the link still busy.
  OpenedSocket ours;
  PlainSocket peer;
  ours.events.on_datagram = [&] { ours.socket.SendDatagram("127.0.0.1", peer.Port(), Bytes{1}); };
  for (int i = 0; i < 3; ++i) peer.SendTo(ours.socket.LocalPort(), Bytes{std::uint8_t(i)});
  PumpFor(ours.socket, ours.events, 6);
  EXPECT_EQ(ours.events.log, (Log{"DatagramReceived", "DatagramSent", "DatagramReceived",
                                  "DatagramSent", "DatagramReceived", "DatagramSent"}));
}

TEST(PosixUdpSocketTest, AtMost32DatagramsPerPump) {
  OpenedSocket ours;
  PlainSocket peer;
  for (int i = 0; i < 100; ++i) peer.SendTo(ours.socket.LocalPort(), Bytes{std::uint8_t(i)});
  const int first = ours.socket.Pump(1000);
  EXPECT_GT(first, 0);
  EXPECT_LE(first, PosixUdpSocket::kMaxDatagramsPerPump);
  PumpFor(ours.socket, ours.events, 100);
  ASSERT_EQ(ours.events.datagrams.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(ours.events.datagrams[i].bytes, Bytes{std::uint8_t(i)});
}

}  // namespace
}  // namespace kivostrel
