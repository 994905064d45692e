// The UDP socket component's contract, run against the back end of the platform the test program
// is built for (epoll natively, Winsock under Wine), on real sockets on 127.0.0.1 only.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"
#include "udp_socket_contract.h"

namespace kivostrel::contract {
namespace {

using Log = std::vector<std::string>;
using Datagrams = std::vector<Datagram>;

// A label too long for DNS: the resolver refuses it without sending a query.
const std::string kUnresolvableHost = std::string(70, 'q') + ".example";

// Logs every event in order; `on_datagram` runs inside DatagramReceived.
struct Recorder : UdpSocketEvents {
  Log log;
  Datagrams datagrams;
  std::int32_t error_code = 0;
  std::string error_description;
  std::function<void()> on_datagram;
  std::function<void()> on_closed;

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
  void SocketClosed() override {
    log.push_back("SocketClosed");
    if (on_closed) on_closed();
  }
  void SocketReady() override { log.push_back("SocketReady"); }
  void DatagramSent() override { log.push_back("DatagramSent"); }
};

// Runs the loop until `done` (five seconds at most unless told), then a little longer so that an
// event too many would show.
void RunUntil(UdpSocketCore& socket, const std::function<bool()>& done,
              std::chrono::seconds limit = std::chrono::seconds(5)) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  while (!done() && Clock::now() < deadline) RunOnce(&socket, 20);
  const auto settle = Clock::now() + std::chrono::milliseconds(50);
  while (Clock::now() < settle) RunOnce(&socket, 10);
}

void RunFor(UdpSocketCore& socket, const Recorder& events, std::size_t count) {
  RunUntil(socket, [&] { return events.log.size() >= count; });
}

// A component whose SocketReady has been delivered and taken off the log.
struct OpenedSocket {
  Recorder events;
  std::unique_ptr<UdpSocketCore> socket;
  explicit OpenedSocket(UdpSocketOptions options = {})
      : socket(MakeSocket(events, std::move(options))) {
    socket->OpenSocket("0");
    RunFor(*socket, events, 1);
    EXPECT_EQ(events.log, Log{"SocketReady"});
    events.log.clear();
  }
  std::string Port() const { return std::to_string(socket->LocalPort()); }
};

Bytes Pattern(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

TEST(UdpSocketContract, EventsOnlyFromTheLoopInCallOrder) {
  Recorder events;
  const auto socket = MakeSocket(events);
  PlainPeer peer;
  const std::string peer_port = std::to_string(peer.Port());
  socket->OpenSocket("0");
  socket->SendDatagram("127.0.0.1", peer_port, Pattern(5));
  socket->CloseSocket();
  socket->SendDatagram("127.0.0.1", peer_port, Pattern(5));  // no socket open
  socket->OpenSocket("0");
  EXPECT_EQ(peer.Receive().bytes, Pattern(5));
  EXPECT_TRUE(events.log.empty());
  RunFor(*socket, events, 6);
  EXPECT_EQ(events.log, (Log{"SocketReady", "DatagramSent", "SocketClosed",
                             "SocketError:SendDatagram", "SocketReady", "SocketReady"}));
  EXPECT_EQ(events.error_code, kErrors.not_open);

  peer.SendTo(socket->LocalPort(), Pattern(3));
  RunFor(*socket, events, 7);
  EXPECT_EQ(events.datagrams, (Datagrams{{"127.0.0.1", peer_port, Pattern(3)}}));
}

TEST(UdpSocketContract, DatagramsWithAPlainSocketBothWays) {
  for (const std::size_t size : {0, 1, 484, 60000, 65507}) {
    SCOPED_TRACE(size);
    OpenedSocket ours;
    PlainPeer peer;
    const std::string peer_port = std::to_string(peer.Port());
    peer.SendTo(ours.socket->LocalPort(), Pattern(size));
    RunFor(*ours.socket, ours.events, 1);
    EXPECT_EQ(ours.events.datagrams, (Datagrams{{"127.0.0.1", peer_port, Pattern(size)}}));

    ours.socket->SendDatagram("localhost", peer_port, Pattern(size));
    EXPECT_EQ(peer.Receive(), (Datagram{"127.0.0.1", ours.Port(), Pattern(size)}));
    RunFor(*ours.socket, ours.events, 2);
    EXPECT_EQ(ours.events.log, (Log{"DatagramReceived", "DatagramSent"}));
  }
}

TEST(UdpSocketContract, TwoComponentsAnswerFromTheirHandlers) {
  OpenedSocket a;
  OpenedSocket b;
  b.events.on_datagram = [&] {
    const Datagram& request = b.events.datagrams.back();
    b.socket->SendDatagram(request.address, request.port, Bytes{0xA2, 0x00});
  };
  a.socket->SendDatagram("127.0.0.1", b.Port(), Bytes{0xA0, 0x00});
  for (int round = 0; round < 250 && a.events.datagrams.empty(); ++round) {
    RunOnce(b.socket.get(), 0);
    RunOnce(a.socket.get(), 20);
  }
  RunFor(*b.socket, b.events, 2);
  EXPECT_EQ(b.events.datagrams, (Datagrams{{"127.0.0.1", a.Port(), {0xA0, 0x00}}}));
  EXPECT_EQ(a.events.datagrams, (Datagrams{{"127.0.0.1", b.Port(), {0xA2, 0x00}}}));
  EXPECT_EQ(a.events.log, (Log{"DatagramSent", "DatagramReceived"}));
  EXPECT_EQ(b.events.log, (Log{"DatagramReceived", "DatagramSent"}));
}

TEST(UdpSocketContract, FailedSendsAreReportedLaterThenReady) {
  const PlatformErrors& errors = kErrors;
  const struct {
    std::string host;
    const char* port;
    std::size_t size;
    std::int32_t code;  // 0: whatever the resolver says
    const char* said;
  } cases[] = {
      {kUnresolvableHost, "161", 10, 0, "cannot resolve host"},
      {"", "161", 10, errors.no_host_name, "cannot resolve host '': no host name given"},
      {"127.0.0.1", "70000", 10, errors.invalid_argument, "bad port '70000'"},
      {"127.0.0.1", "", 10, errors.unknown_service, "bad port ''"},
      {"127.0.0.1", "no-such-udp-service", 10, errors.unknown_service,
       "bad port 'no-such-udp-service': not a port number or a known UDP service"},
      {"127.0.0.1", "9", 65508, errors.message_too_long,
       "cannot send 65508 bytes to 127.0.0.1 port 9: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host + " port " + c.port);
    OpenedSocket ours;
    EXPECT_NO_THROW(ours.socket->SendDatagram(c.host, c.port, Pattern(c.size)));
    EXPECT_TRUE(ours.events.log.empty());
    RunFor(*ours.socket, ours.events, 2);
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

TEST(UdpSocketContract, PortsAreNumbersOrUdpServices) {
  Recorder events;
  const auto socket = MakeSocket(events);
  const struct {
    const char* text;
    std::uint16_t port;  // 0: refused
  } cases[] = {{"161", 161}, {"snmp", 161}, {"65535", 65535}, {"0", 0},
               {"-1", 0},    {"16 1", 0},   {"0x10", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::uint16_t port = 0;
    EXPECT_EQ(socket->ResolvePort(c.text, port).has_value(), c.port == 0);
    EXPECT_EQ(port, c.port);
  }
}

TEST(UdpSocketContract, LocalAddressTowardsLoopback) {
  Recorder events;
  const auto socket = MakeSocket(events);
  EXPECT_EQ(socket->LocalAddressFor("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(socket->LocalAddressFor("localhost"), "127.0.0.1");
  // An IPv4-mapped IPv6 host is reached over IPv4, from an IPv4 address.
  EXPECT_EQ(socket->LocalAddressFor("::ffff:127.0.0.1"), "127.0.0.1");
  for (const std::string& host : {kUnresolvableHost, std::string()}) {
    EXPECT_EQ(testing::ErrorNumberOf([&] { socket->LocalAddressFor(host); }), kErrHostNotFound);
  }
}

TEST(UdpSocketContract, FixedLocalPortAndOpensThatFail) {
  const std::uint16_t port = PlainPeer().Port();  // was free
  const UdpSocketOptions fixed{.local_address = "127.0.0.1", .local_port = port};
  OpenedSocket first(fixed);
  EXPECT_EQ(first.socket->LocalPort(), port);

  Recorder events;
  const auto second = MakeSocket(events, fixed);
  second->OpenSocket("0");
  RunFor(*second, events, 1);
  EXPECT_EQ(events.log, Log{"SocketError:OpenSocket"});
  EXPECT_EQ(events.error_code, kErrors.address_in_use);
  EXPECT_NE(events.error_description.find("cannot bind 127.0.0.1 port " + std::to_string(port)),
            std::string::npos)
      << events.error_description;
  EXPECT_FALSE(second->IsOpen());
  EXPECT_EQ(second->LocalPort(), 0);

  second->OpenSocket("not a port");
  RunFor(*second, events, 2);
  EXPECT_EQ(events.error_code, kErrors.invalid_argument);
  EXPECT_EQ(events.error_description, "bad local port 'not a port'");
}

TEST(UdpSocketContract, HandlerClosesOrDestroysWhileDatagramsWait) {
  for (const bool destroy : {false, true}) {
    SCOPED_TRACE(destroy ? "destroy" : "close");
    Recorder events;
    std::unique_ptr<UdpSocketCore> socket = MakeSocket(events);
    socket->OpenSocket("0");
    RunFor(*socket, events, 1);
    events.log.clear();
    PlainPeer peer;
    for (int i = 0; i < 5; ++i) peer.SendTo(socket->LocalPort(), Pattern(100));
    events.on_datagram = [&] { destroy ? socket.reset() : socket->CloseSocket(); };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (events.log.empty() && std::chrono::steady_clock::now() < deadline) {
      RunOnce(socket.get(), 20);
    }
    for (int settle = 0; settle < 5; ++settle) RunOnce(socket.get(), 10);
    if (destroy) {
      EXPECT_EQ(socket, nullptr);
      EXPECT_EQ(events.log, Log{"DatagramReceived"});
    } else {
      EXPECT_EQ(events.log, (Log{"DatagramReceived", "SocketClosed"}));
    }
  }
}

TEST(UdpSocketContract, DestroyedWithOutcomesQueuedRaisesNothing) {
  Recorder events;
  PlainPeer peer;
  {
    const auto socket = MakeSocket(events);
    socket->OpenSocket("0");
    socket->SendDatagram("127.0.0.1", std::to_string(peer.Port()), Pattern(4));
    socket->CloseSocket();
  }
  for (int settle = 0; settle < 10; ++settle) RunOnce(nullptr, 10);
  EXPECT_TRUE(events.log.empty());
}

TEST(UdpSocketContract, AnAnswerSentFromAHandlerIsReportedBeforeLaterDatagrams) {
  // An agent answers each request from inside DatagramReceived; the next request is already
  // waiting. Its DatagramSent must come before that next request, or the agent's next answer
  // would find the link still busy.
  OpenedSocket ours;
  PlainPeer peer;
  const std::string peer_port = std::to_string(peer.Port());
  ours.events.on_datagram = [&] { ours.socket->SendDatagram("127.0.0.1", peer_port, Bytes{1}); };
  for (int i = 0; i < 3; ++i) peer.SendTo(ours.socket->LocalPort(), Bytes{std::uint8_t(i)});
  RunFor(*ours.socket, ours.events, 6);
  EXPECT_EQ(ours.events.log, (Log{"DatagramReceived", "DatagramSent", "DatagramReceived",
                                  "DatagramSent", "DatagramReceived", "DatagramSent"}));
}

TEST(UdpSocketContract, ABoundedNumberOfDatagramsPerWakeUpNoneLost) {
  OpenedSocket ours;
  PlainPeer peer;
  for (int i = 0; i < 100; ++i) peer.SendTo(ours.socket->LocalPort(), Bytes{std::uint8_t(i)});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::size_t largest_step = 0;
  while (ours.events.datagrams.size() < 100 && std::chrono::steady_clock::now() < deadline) {
    const std::size_t before = ours.events.datagrams.size();
    RunOnce(ours.socket.get(), 20);
    largest_step = std::max(largest_step, ours.events.datagrams.size() - before);
  }
  EXPECT_GT(largest_step, 0u);
  EXPECT_LE(largest_step, static_cast<std::size_t>(UdpSocketCore::kMaxDatagramsPerWakeUp));
  ASSERT_EQ(ours.events.datagrams.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(ours.events.datagrams[i].bytes, Bytes{std::uint8_t(i)});
}

TEST(UdpSocketContract, ABurstFromAnotherThreadArrivesWholeEachDatagramOnce) {
  // As many traps a second as a busy manager may get, far more than a default receive buffer
  // holds while the host is slow to pump; each carries its sequence number first.
  constexpr std::uint32_t kCount = 10'000;
  constexpr auto kInterval = std::chrono::microseconds(100);
  OpenedSocket ours;
  const std::uint16_t port = ours.socket->LocalPort();
  PlainPeer peer;
  {
    const OtherThread sender([&] {
      Bytes datagram = Pattern(200);
      const auto start = std::chrono::steady_clock::now();
      for (std::uint32_t i = 0; i < kCount; ++i) {
        while (std::chrono::steady_clock::now() < start + kInterval * i) RunOnce(nullptr, 1);
        for (int octet = 0; octet < 4; ++octet)
          datagram[octet] = std::uint8_t(i >> (24 - 8 * octet));
        peer.SendTo(port, datagram);
      }
    });
    // Delivery is asserted, not speed: a slow host only takes longer.
    RunUntil(
        *ours.socket, [&] { return ours.events.datagrams.size() >= kCount; },
        std::chrono::seconds(60));
  }
  std::vector<bool> seen(kCount);
  std::uint32_t distinct = 0;
  for (const Datagram& datagram : ours.events.datagrams) {
    ASSERT_EQ(datagram.bytes.size(), 200u);
    const std::uint32_t sequence = std::uint32_t(datagram.bytes[0]) << 24 |
                                   std::uint32_t(datagram.bytes[1]) << 16 |
                                   std::uint32_t(datagram.bytes[2]) << 8 | datagram.bytes[3];
    ASSERT_LT(sequence, kCount);
    if (!seen[sequence]) ++distinct;
    seen[sequence] = true;
  }
  EXPECT_EQ(distinct, kCount);
  EXPECT_EQ(ours.events.datagrams.size(), kCount);
}

}  // namespace
}  // namespace kivostrel::contract

namespace kivostrel::contract {
namespace {

TEST(UdpSocketContract, RebindTakesEffectAtOnceOrChangesNothing) {
  OpenedSocket ours;  // every local address, a port the system chose
  PlainPeer peer;
  const std::uint16_t first = ours.socket->LocalPort();
  const struct {
    std::string address;
    std::uint16_t port;
    std::int32_t code;
    std::string said;
  } refused[] = {
      {"127.0.0.1", peer.Port(), kErrors.address_in_use,
       "cannot bind 127.0.0.1 port " + std::to_string(peer.Port())},
      {"192.0.2.1", 0, kErrors.address_not_available, "cannot bind 192.0.2.1 port 0"},
      {"2001:db8::1", 0, kErrors.address_not_available, "cannot bind 2001:db8::1 port 0"},
      {"example", 0, kErrors.invalid_argument, "bad local address 'example'"},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.address);
    const auto failure = ours.socket->Rebind(r.address, r.port);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code, r.code);
    EXPECT_EQ(failure->description.rfind(r.said, 0), 0u) << failure->description;
  }
  // The old socket still sends and receives.
  EXPECT_EQ(ours.socket->LocalPort(), first);
  ours.socket->SendDatagram("127.0.0.1", std::to_string(peer.Port()), Bytes{1});
  EXPECT_EQ(peer.Receive().port, std::to_string(first));
  RunFor(*ours.socket, ours.events, 1);
  EXPECT_EQ(ours.events.log, Log{"DatagramSent"});

  // A free port: the new socket is bound before anything closes, and OpenSocket("0") then
  // takes it instead of binding again (as the control does on SocketClosed). What reaches the
  // new socket is raised after its SocketReady.
  ours.events.on_closed = [&] { ours.socket->OpenSocket("0"); };
  const std::uint16_t wanted = PlainPeer().Port();  // was free
  EXPECT_FALSE(ours.socket->Rebind("localhost", wanted));
  EXPECT_EQ(ours.socket->options().local_address, "localhost");
  EXPECT_EQ(ours.socket->LocalPort(), wanted);
  peer.SendTo(wanted, Bytes{2});
  RunFor(*ours.socket, ours.events, 4);
  EXPECT_EQ(ours.events.log,
            (Log{"DatagramSent", "SocketClosed", "SocketReady", "DatagramReceived"}));
  EXPECT_EQ(ours.socket->LocalPort(), wanted);
  EXPECT_EQ(ours.events.datagrams,
            (Datagrams{{"127.0.0.1", std::to_string(peer.Port()), Bytes{2}}}));

  // The port it holds itself, on another address or on the same one again: it lets the port go
  // for the new socket.
  for (const char* address : {"", "127.0.0.1", "127.0.0.1"}) {
    SCOPED_TRACE(address);
    EXPECT_FALSE(ours.socket->Rebind(address, wanted));
    EXPECT_EQ(ours.socket->LocalPort(), wanted);
    EXPECT_EQ(ours.socket->options().local_address, address);
  }
  // A held port still refused by another socket leaves the socket it had.
  EXPECT_TRUE(ours.socket->Rebind("127.0.0.1", peer.Port()));
  peer.SendTo(wanted, Bytes{3});
  RunUntil(*ours.socket, [&] { return ours.events.datagrams.size() == 2; });
  ASSERT_EQ(ours.events.datagrams.size(), 2u);
  EXPECT_EQ(ours.events.datagrams[1].bytes, Bytes{3});
}

TEST(UdpSocketContract, ARebindLosesNoDatagramOfEitherSocketWhateverFollows) {
  // Around a rebind, datagrams wait on the old socket, and a burst reaches the new one after the
  // put has returned but before the loop has run again, as from another process; nothing comes
  // after it that could announce it anew. Every one is raised once, in order, after the
  // SocketReady that announces the new socket (a host sends only from then on). Twenty runs of
  // each way, the loop held back a little longer each time: the order in which the platform
  // announces the burst and the new socket varies. A put of the endpoint the socket has already
  // keeps it, so that a sender going on meanwhile is never refused.
  enum class Put { kByTheHost, kFromAHandlerToAnotherPort, kFromAHandlerToTheSamePort };
  const struct {
    const char* name;
    Put put;
    bool streaming;  // another thread sends all along instead of two bursts
  } ways[] = {
      {"a put, then a burst to the new port", Put::kByTheHost, false},
      {"a put, then a burst to the new port before it is announced", Put::kByTheHost, true},
      {"a put from a handler while nine wait, to another port", Put::kFromAHandlerToAnotherPort,
       false},
      {"a put from a handler while nine wait, to the same port", Put::kFromAHandlerToTheSamePort,
       false},
      {"a put from a handler to the same port while a sender goes on",
       Put::kFromAHandlerToTheSamePort, true},
  };
  for (const auto& way : ways) {
    for (int run = 0; run < 20 && !::testing::Test::HasFailure(); ++run) {
      SCOPED_TRACE(std::string(way.name) + ", run " + std::to_string(run));
      OpenedSocket ours;
      ours.events.on_closed = [&] { ours.socket->OpenSocket("0"); };
      PlainPeer peer;
      const std::uint16_t old_port = ours.socket->LocalPort();
      const bool same_port = way.put == Put::kFromAHandlerToTheSamePort;
      const std::uint16_t new_port = same_port ? old_port : PlainPeer().Port();
      // The same port is put with the address the socket has, another one on 127.0.0.1.
      const std::string new_address =
          same_port ? ours.socket->options().local_address : "127.0.0.1";
      std::uint8_t sent = 0;
      const auto burst = [&](std::uint16_t port) {
        for (const std::uint8_t end = sent + 10; sent < end; ++sent) peer.SendTo(port, Bytes{sent});
        WaitWithoutEvents(run % 4 * 10);
      };
      Log expected;
      bool rebound = false;
      if (way.put == Put::kByTheHost) {
        ASSERT_FALSE(ours.socket->Rebind(new_address, new_port));
        expected = {"SocketClosed", "SocketReady"};
        if (way.streaming) {
          ours.events.on_closed = [&] {
            burst(new_port);
            ours.socket->OpenSocket("0");
          };
        } else {
          burst(new_port);
        }
      } else {
        ours.events.on_datagram = [&] {
          if (std::exchange(rebound, true)) return;
          ASSERT_FALSE(ours.socket->Rebind(new_address, new_port));
        };
        expected = {"DatagramReceived", "SocketClosed", "SocketReady"};
      }
      if (way.streaming && way.put != Put::kByTheHost) {
        sent = 200;
        const OtherThread sender([&] {
          for (std::uint8_t i = 0; i < sent; ++i) {
            peer.SendTo(old_port, Bytes{i});
            // A datagram every 100 microseconds or so: the rebind falls inside the stream.
            const auto next = std::chrono::steady_clock::now() + std::chrono::microseconds(100);
            while (std::chrono::steady_clock::now() < next) {
            }
          }
        });
        RunUntil(*ours.socket, [&] { return ours.events.datagrams.size() == sent; });
      } else if (way.put != Put::kByTheHost) {
        burst(old_port);
        for (int round = 0; round < 250 && !rebound; ++round) RunOnce(ours.socket.get(), 20);
        ASSERT_TRUE(rebound);
        burst(new_port);
      }
      // Ten or twenty in bursts, 200 from the sender thread; the first is raised before a put
      // from its handler.
      const std::size_t total = way.put == Put::kByTheHost ? 10 : way.streaming ? 200 : 20;
      expected.resize(expected.size() + total - (way.put == Put::kByTheHost ? 0 : 1),
                      "DatagramReceived");
      RunFor(*ours.socket, ours.events, expected.size());
      EXPECT_EQ(ours.events.log, expected);
      ASSERT_EQ(ours.events.datagrams.size(), total);
      for (std::uint8_t i = 0; i < sent; ++i) EXPECT_EQ(ours.events.datagrams[i].bytes, Bytes{i});
      EXPECT_EQ(ours.socket->LocalPort(), new_port);
    }
  }
}

TEST(UdpSocketContract, Ipv6BothWaysAndIpv4PeersAsDotted) {
  OpenedSocket dual;  // every local address: IPv4 and IPv6 on one socket
  Recorder events;
  const auto six = MakeSocket(events, {.local_address = "::1"});
  six->OpenSocket("0");
  RunFor(*six, events, 1);
  if (events.log != Log{"SocketReady"}) {
    GTEST_SKIP() << "no IPv6 loopback here: " << events.error_description;
  }
  events.log.clear();
  const std::string six_port = std::to_string(six->LocalPort());

  dual.socket->SendDatagram("::1", six_port, Bytes{6});
  six->SendDatagram("::1", dual.Port(), Bytes{7});
  six->SendDatagram("127.0.0.1", dual.Port(), Bytes{8});  // an IPv6-only socket cannot
  for (int round = 0; round < 250 && (events.log.size() < 4 || dual.events.log.size() < 2);
       ++round) {
    RunOnce(six.get(), 10);
    RunOnce(dual.socket.get(), 10);
  }
  EXPECT_EQ(events.datagrams, (Datagrams{{"::1", dual.Port(), Bytes{6}}}));
  EXPECT_EQ(dual.events.datagrams, (Datagrams{{"::1", six_port, Bytes{7}}}));
  EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "SocketError:SendDatagram"), 1);
  EXPECT_EQ(six->LocalAddressFor("::1"), "::1");

  // IPv4 peers of the dual-stack socket read as dotted IPv4, never as ::ffff: addresses.
  PlainPeer peer;
  peer.SendTo(dual.socket->LocalPort(), Bytes{9});
  RunUntil(*dual.socket, [&] { return dual.events.datagrams.size() == 2; });
  ASSERT_EQ(dual.events.datagrams.size(), 2u);
  EXPECT_EQ(dual.events.datagrams[1].address, "127.0.0.1");
}

}  // namespace
}  // namespace kivostrel::contract
