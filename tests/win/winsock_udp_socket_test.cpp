// The Winsock UDP socket component on real sockets, on 127.0.0.1 only, under Wine or Windows.
#include <winsock2.h>
// After winsock2.h, so that it does not bring in the old winsock.h.
#include <windows.h>

#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "win/winsock_handles.h"
#include "transport/win/winsock_names.h"
#include "transport/win/winsock_udp_socket.h"

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

// Dispatches one waiting message of this thread; false when there is none.
bool DispatchOne() {
  MSG message{};
  if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
  return true;
}

// Runs the message loop until `done` (`limit` at most), then a little longer so that an event too
// many would show.
void LoopUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  while (!done() && Clock::now() < deadline) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    while (DispatchOne()) {
    }
  }
  const auto settle = Clock::now() + std::chrono::milliseconds(50);
  while (Clock::now() < settle) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    while (DispatchOne()) {
    }
  }
}

void LoopFor(const Recorder& events, std::size_t count) {
  LoopUntil([&] { return events.log.size() >= count; });
}

// A component whose SocketReady has been delivered and taken off the log.
struct OpenedSocket {
  Recorder events;
  WinsockUdpSocket socket;
  explicit OpenedSocket(WinsockUdpSocketOptions options = {}) : socket(events, std::move(options)) {
    socket.OpenSocket("0");
    LoopFor(events, 1);
    EXPECT_EQ(events.log, Log{"SocketReady"});
    events.log.clear();
  }
  std::string Port() const { return std::to_string(socket.LocalPort()); }
};

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A blocking socket on 127.0.0.1 whose receive gives up after five seconds.
struct PlainSocket {
  WinsockSession session;
  UniqueSocket socket{::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)};
  PlainSocket() {
    const sockaddr_in local = Loopback(0);
    const DWORD limit_ms = 5000;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit_ms),
                 sizeof limit_ms);
    const int buffer = 1 << 20;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&buffer),
                 sizeof buffer);
    EXPECT_EQ(::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
  }
  std::uint16_t PortNumber() const {
    sockaddr_in local{};
    int length = sizeof local;
    ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
  }
  std::string Port() const { return std::to_string(PortNumber()); }
  void SendTo(std::uint16_t port, const Bytes& bytes) const {
    const sockaddr_in to = Loopback(port);
    EXPECT_EQ(::sendto(socket.get(), reinterpret_cast<const char*>(bytes.data()),
                       static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                       sizeof to),
              static_cast<int>(bytes.size()));
  }
  Datagram Receive() const {
    Bytes buffer(65536);
    sockaddr_in from{};
    int length = sizeof from;
    const int got =
        ::recvfrom(socket.get(), reinterpret_cast<char*>(buffer.data()),
                   static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from), &length);
    buffer.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return {DottedText(from.sin_addr), std::to_string(ntohs(from.sin_port)), buffer};
  }
};

Bytes Pattern(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

TEST(WinsockUdpSocketTest, EventsOnlyFromTheMessageLoopInCallOrder) {
  Recorder events;
  WinsockUdpSocket socket(events);
  PlainSocket peer;
  socket.OpenSocket("0");
  socket.SendDatagram("127.0.0.1", peer.Port(), Pattern(5));
  socket.CloseSocket();
  socket.SendDatagram("127.0.0.1", peer.Port(), Pattern(5));  // no socket open
  socket.OpenSocket("0");
  EXPECT_TRUE(events.log.empty());
  EXPECT_EQ(peer.Receive().bytes, Pattern(5));
  EXPECT_TRUE(events.log.empty());
  LoopFor(events, 6);
  EXPECT_EQ(events.log, (Log{"SocketReady", "DatagramSent", "SocketClosed",
                             "SocketError:SendDatagram", "SocketReady", "SocketReady"}));
  EXPECT_EQ(events.error_code, WSAENOTSOCK);

  peer.SendTo(socket.LocalPort(), Pattern(3));
  LoopFor(events, 7);
  EXPECT_EQ(events.datagrams, (Datagrams{{"127.0.0.1", peer.Port(), Pattern(3)}}));
}

TEST(WinsockUdpSocketTest, DatagramsWithAPlainSocketBothWays) {
  for (const std::size_t size : {0, 1, 484, 60000, 65507}) {
    SCOPED_TRACE(size);
    OpenedSocket ours;
    PlainSocket peer;
    peer.SendTo(ours.socket.LocalPort(), Pattern(size));
    LoopFor(ours.events, 1);
    EXPECT_EQ(ours.events.datagrams, (Datagrams{{"127.0.0.1", peer.Port(), Pattern(size)}}));

    ours.socket.SendDatagram("localhost", peer.Port(), Pattern(size));
    EXPECT_EQ(peer.Receive(), (Datagram{"127.0.0.1", ours.Port(), Pattern(size)}));
    LoopFor(ours.events, 2);
    EXPECT_EQ(ours.events.log, (Log{"DatagramReceived", "DatagramSent"}));
  }
}

TEST(WinsockUdpSocketTest, TwoComponentsAnswerFromTheirHandlers) {
  OpenedSocket a;
  OpenedSocket b;
  b.events.on_datagram = [&] {
    const Datagram& request = b.events.datagrams.back();
    b.socket.SendDatagram(request.address, request.port, Bytes{0xA2, 0x00});
  };
  a.socket.SendDatagram("127.0.0.1", b.Port(), Bytes{0xA0, 0x00});
  LoopUntil([&] { return !a.events.datagrams.empty(); });
  EXPECT_EQ(b.events.datagrams, (Datagrams{{"127.0.0.1", a.Port(), {0xA0, 0x00}}}));
  EXPECT_EQ(a.events.datagrams, (Datagrams{{"127.0.0.1", b.Port(), {0xA2, 0x00}}}));
  EXPECT_EQ(a.events.log, (Log{"DatagramSent", "DatagramReceived"}));
  EXPECT_EQ(b.events.log, (Log{"DatagramReceived", "DatagramSent"}));
}

TEST(WinsockUdpSocketTest, FailedSendsAreReportedLaterThenReady) {
  const struct {
    std::string host;
    const char* port;
    std::size_t size;
    std::int32_t code;  // 0: whatever the resolver says
    const char* said;
  } cases[] = {
      {kUnresolvableHost, "161", 10, 0, "cannot resolve host"},
      {"", "161", 10, WSAHOST_NOT_FOUND, "cannot resolve host"},
      {"127.0.0.1", "70000", 10, WSAEINVAL, "bad port '70000'"},
      {"127.0.0.1", "", 10, WSATYPE_NOT_FOUND, "bad port"},
      {"127.0.0.1", "no-such-udp-service", 10, WSATYPE_NOT_FOUND, "bad port 'no-such-udp-service'"},
      {"127.0.0.1", "9", 65508, WSAEMSGSIZE, "cannot send 65508 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host + " port " + c.port);
    OpenedSocket ours;
    EXPECT_NO_THROW(ours.socket.SendDatagram(c.host, c.port, Pattern(c.size)));
    EXPECT_TRUE(ours.events.log.empty());
    LoopFor(ours.events, 2);
    EXPECT_EQ(ours.events.log, (Log{"SocketError:SendDatagram", "SocketReady"}));
    if (c.code != 0) {
      EXPECT_EQ(ours.events.error_code, c.code);
    } else {
      EXPECT_NE(ours.events.error_code, 0);
    }
    EXPECT_NE(ours.events.error_description.find(c.said), std::string::npos)
        << ours.events.error_description;
  }
}

TEST(WinsockUdpSocketTest, PortsAreNumbersOrUdpServices) {
  const WinsockSession session;
  const struct {
    const char* text;
    std::uint16_t port;  // 0: refused
  } cases[] = {{"161", 161}, {"snmp", 161}, {"65535", 65535}, {"0", 0},
               {"-1", 0},    {"16 1", 0},   {"0x10", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::uint16_t port = 0;
    EXPECT_EQ(ResolveWinsockPort(c.text, port).has_value(), c.port == 0);
    EXPECT_EQ(port, c.port);
  }
}

TEST(WinsockUdpSocketTest, LocalAddressTowardsLoopback) {
  Recorder events;
  WinsockUdpSocket socket(events);
  EXPECT_EQ(socket.LocalAddressFor("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(socket.LocalAddressFor("localhost"), "127.0.0.1");
  EXPECT_EQ(testing::ErrorNumberOf([&] { socket.LocalAddressFor(kUnresolvableHost); }),
            kWinsockErrHostNotFound);
  EXPECT_EQ(testing::ErrorNumberOf([&] { socket.LocalAddressFor(""); }), kWinsockErrHostNotFound);
}

TEST(WinsockUdpSocketTest, FixedLocalPortAndABindThatFails) {
  const std::uint16_t port = PlainSocket().PortNumber();  // was free
  const WinsockUdpSocketOptions fixed{"127.0.0.1", port};
  OpenedSocket first(fixed);
  EXPECT_EQ(first.socket.LocalPort(), port);

  Recorder events;
  WinsockUdpSocket second(events, fixed);
  second.OpenSocket("0");
  LoopFor(events, 1);
  EXPECT_EQ(events.log, Log{"SocketError:OpenSocket"});
  EXPECT_EQ(events.error_code, WSAEADDRINUSE);
  EXPECT_FALSE(second.IsOpen());

  second.OpenSocket("not a port");
  LoopFor(events, 2);
  EXPECT_EQ(events.error_code, WSAEINVAL);
}

TEST(WinsockUdpSocketTest, HandlerClosesOrDestroysWhileDatagramsWait) {
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroy" : "close");
    Recorder events;
    auto socket = std::make_unique<WinsockUdpSocket>(events);
    socket->OpenSocket("0");
    LoopFor(events, 1);
    events.log.clear();
    PlainSocket peer;
    for (int i = 0; i < 5; ++i) peer.SendTo(socket->LocalPort(), Pattern(100));
    events.on_datagram = [&] { destroy ? socket.reset() : socket->CloseSocket(); };
    LoopFor(events, destroy ? 1 : 2);
    if (destroy) {
      EXPECT_EQ(socket, nullptr);
      EXPECT_EQ(events.log, Log{"DatagramReceived"});
    } else {
      EXPECT_EQ(events.log, (Log{"DatagramReceived", "SocketClosed"}));
    }
  }
}

TEST(WinsockUdpSocketTest, DestroyedWithOutcomesQueuedRaisesNothing) {
  Recorder events;
  PlainSocket peer;
  {
    WinsockUdpSocket socket(events);
    socket.OpenSocket("0");
    socket.SendDatagram("127.0.0.1", peer.Port(), Pattern(4));
    socket.CloseSocket();
  }
  LoopUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_TRUE(events.log.empty());
}

TEST(WinsockUdpSocketTest, AnAnswerSentFromAHandlerIsReportedBeforeLaterDatagrams) {
  // An agent answers each request from inside DatagramReceived; the next request is already
  // waiting. Its DatagramSent must come before that next request, or the agent's next answer
  // would find the link still busy.
  OpenedSocket ours;
  PlainSocket peer;
  ours.events.on_datagram = [&] { ours.socket.SendDatagram("127.0.0.1", peer.Port(), Bytes{1}); };
  for (int i = 0; i < 3; ++i) peer.SendTo(ours.socket.LocalPort(), Bytes{std::uint8_t(i)});
  LoopFor(ours.events, 6);
  EXPECT_EQ(ours.events.log, (Log{"DatagramReceived", "DatagramSent", "DatagramReceived",
                                  "DatagramSent", "DatagramReceived", "DatagramSent"}));
}

TEST(WinsockUdpSocketTest, AtMost32DatagramsPerMessage) {
  OpenedSocket ours;
  PlainSocket peer;
  for (int i = 0; i < 100; ++i) peer.SendTo(ours.socket.LocalPort(), Bytes{std::uint8_t(i)});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::size_t largest_step = 0;
  while (ours.events.datagrams.size() < 100 && std::chrono::steady_clock::now() < deadline) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    const std::size_t before = ours.events.datagrams.size();
    DispatchOne();
    largest_step = std::max(largest_step, ours.events.datagrams.size() - before);
  }
  EXPECT_GT(largest_step, 0u);
  EXPECT_LE(largest_step, static_cast<std::size_t>(WinsockUdpSocket::kMaxDatagramsPerMessage));
  ASSERT_EQ(ours.events.datagrams.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(ours.events.datagrams[i].bytes, Bytes{std::uint8_t(i)});
}

}  // namespace
}  // namespace kivostrel
