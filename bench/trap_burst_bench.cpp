// A burst of SNMPv1 traps from another thread, through the engine on a native host pumping the
// POSIX socket: how many reach the host as Response events, paced at 10,000 a second and flat out.
// A count, not a timing: one iteration each, reported as counters.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "control/kivostrel.h"
#include "encoding/messages.h"
#include "encoding/value_constructors.h"
#include "transport/posix/posix_udp_socket.h"
#include "transport/sockets/unique_fd.h"

namespace {

using namespace kivostrel;
using Clock = std::chrono::steady_clock;

constexpr int kTraps = 10'000;

// A trap as a busy agent sends it: five bindings, about 200 bytes.
Bytes Trap() {
  Bytes bindings;
  for (const Bytes& binding : {
           SNMPStringValue("1.3.6.1.2.1.2.2.1.2.7",
                           "GigabitEthernet0/7: uplink to the core switch, rack 12"),
           SNMPIntegerValue("1.3.6.1.2.1.2.2.1.7.7", "1"),
           SNMPIntegerValue("1.3.6.1.2.1.2.2.1.8.7", "2"),
           SNMPCounterValue("1.3.6.1.2.1.2.2.1.10.7", "3735928559"),
           SnmpTimeTicksValue("1.3.6.1.2.1.2.2.1.9.7", "123456"),
       }) {
    bindings.insert(bindings.end(), binding.begin(), binding.end());
  }
  return BuildTrapMessage({.community = "public",
                           .enterprise = "1.3.6.1.4.1.99999.1",
                           .agent_address = "127.0.0.1",
                           .generic_trap = 2,
                           .specific_trap = "0",
                           .time_stamp = 123456,
                           .bindings = bindings});
}

class CountingHost final : public HostEvents, public Label {
 public:
  int responses = 0;
  int failures = 0;
  Clock::time_point last_response;

  void Response(const ReceivedMessage&, std::shared_ptr<ObjectsCollection>&) override {
    ++responses;
    last_response = Clock::now();
  }
  void Ready() override {}
  void WsError(std::int32_t, const std::string&, const std::string&) override { ++failures; }
  void SetCaption(const std::string&) override {}
  void Move(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
};

// Sends `kTraps` copies of `trap` to 127.0.0.1:`port`, `per_second` a second (0: flat out).
void SendBurst(std::uint16_t port, const Bytes& trap, int per_second) {
  const UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in to{.sin_family = AF_INET, .sin_port = htons(port)};
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const auto start = Clock::now();
  for (int i = 0; i < kTraps; ++i) {
    if (per_second > 0) {
      std::this_thread::sleep_until(start +
                                    std::chrono::microseconds(1'000'000LL * i / per_second));
    }
    (void)::sendto(socket.get(), trap.data(), trap.size(), 0,
                   reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
}

void TrapBurstThroughEngine(benchmark::State& state) {
  const int per_second = static_cast<int>(state.range(0));
  const Bytes trap = Trap();
  for (auto _ : state) {
    CountingHost host;
    PosixUdpSocket* socket = nullptr;
    kivOstrel control(host, host, [&socket](UdpSocketEvents& events) {
      auto made = std::make_unique<PosixUdpSocket>(events);
      socket = made.get();
      return made;
    });
    const auto ready_by = Clock::now() + std::chrono::seconds(5);
    while (control.Stat() != 1 && Clock::now() < ready_by) socket->Pump(50);
    if (control.Stat() != 1) {
      state.SkipWithError("the control did not become ready");
      return;
    }

    std::atomic<bool> sent{false};
    const auto start = Clock::now();
    std::thread sender([&] {
      SendBurst(static_cast<std::uint16_t>(control.LocalPort()), trap, per_second);
      sent = true;
    });
    // Until everything is in, or nothing more came for a second after the last send.
    auto quiet_since = Clock::now();
    while (host.responses < kTraps) {
      const int before = host.responses;
      socket->Pump(50);
      if (host.responses != before || !sent) quiet_since = Clock::now();
      if (Clock::now() - quiet_since > std::chrono::seconds(1)) break;
    }
    sender.join();

    const double seconds = std::chrono::duration<double>(host.last_response - start).count();
    state.counters["arrived"] = host.responses;
    state.counters["lost"] = kTraps - host.responses;
    state.counters["Responses/s"] = seconds > 0 ? host.responses / seconds : 0;
    state.counters["bytes"] = static_cast<double>(trap.size());
    if (host.failures != 0) state.SkipWithError("the socket reported a failure");
  }
}

}  // namespace

// per_second 0: flat out.
BENCHMARK(TrapBurstThroughEngine)
    ->ArgName("per_second")
    ->Arg(10'000)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
