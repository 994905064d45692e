#include <atomic>
#include <cstdio>

#include "bench_clock.h"
#include "encoding/messages.h"
#include "encoding/value_constructors.h"
#include "event_counter.h"
#include "figures.h"
#include "late_bound_control.h"
#include "loopback_socket.h"
#include "win/message_pump.h"
#include "worker_thread.h"

namespace kivostrel::winbench {

namespace {

// An enterprise-specific SNMPv1 trap with five bindings of different types.
Bytes BurstTrap() {
  Bytes bindings;
  for (const Bytes& binding : {SNMPIntegerValue("1.3.6.1.4.1.99999.1", "42"),
                               SNMPStringValue("1.3.6.1.4.1.99999.2", "link down on port 7"),
                               SnmpGaugeValue("1.3.6.1.4.1.99999.3", "1000000"),
                               SNMPCounterValue("1.3.6.1.4.1.99999.4", "123456789"),
                               SNMPIpAddrValue("1.3.6.1.4.1.99999.5", "127.0.0.1")})
    bindings.insert(bindings.end(), binding.begin(), binding.end());
  return BuildTrapMessage({.community = "public",
                           .enterprise = "1.3.6.1.4.1.99999",
                           .agent_address = "127.0.0.1",
                           .generic_trap = 6,
                           .specific_trap = "17",
                           .time_stamp = 12345,
                           .bindings = bindings});
}

struct BurstResult {
  long sent = 0;
  long arrived = 0;
  double responses_per_second = 0;
  double sends_per_second = 0;  // as the sender managed it
};

// `count` traps to a new control from another thread, `per_second` apart (0: flat out). The
// burst ends when every trap has raised its Response, or when none has come for a second after
// the last was sent.
bool RunBurst(const CLSID& clsid, long count, long per_second, BurstResult& result) {
  LateBoundControl control(clsid);
  EventCounter sink;
  if (!control.ok() || FAILED(sink.Advise(control.get())) ||
      !DispatchMessagesUntil([&] { return sink.readies > 0; }, 5000))
    return false;
  const std::uint16_t port = control.LocalPort();
  WinsockSession session;
  UniqueSocket sender = OpenLoopbackSocket();
  if (port == 0 || !sender) return false;

  const Bytes trap = BurstTrap();
  const sockaddr_in to = LoopbackAddress(port);
  const LONGLONG period = per_second > 0 ? TicksIn(1.0 / per_second) : 0;
  const LONGLONG start = Ticks();
  std::atomic<long> sent{0};
  std::atomic<bool> done{false};
  LONGLONG last_send = start;
  {
    WorkerThread thread([&] {
      for (long i = 0; i < count; ++i) {
        // Sleep is far too coarse for 100 us: give the core away until the trap is due.
        while (period != 0 && Ticks() < start + i * period) ::SwitchToThread();
        if (SendTo(sender.get(), trap, to)) ++sent;
      }
      last_send = Ticks();
      done = true;
    });
    LONGLONG quiet_since = 0;
    long last_seen = -1;
    DispatchMessagesUntil(
        [&] {
          if (sink.responses >= count) return true;
          if (!done) return false;
          if (sink.responses != last_seen) {
            last_seen = sink.responses;
            quiet_since = Ticks();
          }
          return SecondsBetween(quiet_since, Ticks()) > 1.0;
        },
        120000);
  }
  result.sent = sent;
  result.arrived = sink.responses;
  const double seconds = sink.responses > 0 ? SecondsBetween(start, sink.last_response_ticks) : 0;
  result.responses_per_second = seconds > 0 ? sink.responses / seconds : 0;
  const double sending = SecondsBetween(start, last_send);
  result.sends_per_second = sending > 0 ? result.sent / sending : 0;
  return true;
}

}  // namespace

bool MeasureTrapBursts(const BenchOptions& options, const CLSID& clsid, ResultsTable& table) {
  const long count = options.short_mode ? 200 : 10000;
  struct Burst {
    const char* name;
    long per_second;
  };
  for (const Burst& burst :
       {Burst{"trap burst paced 10000/s", 10000}, Burst{"trap burst flat out", 0}}) {
    BurstResult result;
    if (!RunBurst(clsid, count, burst.per_second, result)) {
      std::fprintf(stderr, "%s: set-up failed\n", burst.name);
      return false;
    }
    const std::string name = burst.name;
    table.Add({name + ": arrived",
               std::to_string(result.arrived) + " of " + std::to_string(result.sent), "",
               "5 bindings each, sent from another thread"});
    table.Add({name + ": lost", std::to_string(result.sent - result.arrived), "",
               "sent at " + Format(result.sends_per_second, 0, "/s")});
    table.Add({name + ": Responses per second", Format(result.responses_per_second, 0, "/s"), "",
               "arrived / (first send to last Response)"});
  }
  return true;
}

}  // namespace kivostrel::winbench
