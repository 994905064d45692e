#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "bench_clock.h"
#include "encoding/hex.h"
#include "encoding/messages.h"
#include "encoding/value_constructors.h"
#include "event_counter.h"
#include "figures.h"
#include "late_bound_control.h"
#include "linux_program.h"
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

// Where the sender's report arrives: a blocking socket read on a thread of its own, so that
// waiting for it costs the control's thread nothing.
class SenderReport {
 public:
  SenderReport() : socket_(OpenLoopbackSocket()), port_(socket_ ? PortOf(socket_.get()) : 0) {
    if (port_ != 0) thread_ = std::make_unique<WorkerThread>([this] { Receive(); });
  }
  ~SenderReport() {
    // A report that never came: unblock the read.
    if (thread_ && !arrived_) {
      UniqueSocket waker = OpenLoopbackSocket();
      if (waker) SendTo(waker.get(), {}, LoopbackAddress(port_));
    }
  }
  SenderReport(const SenderReport&) = delete;
  SenderReport& operator=(const SenderReport&) = delete;

  std::uint16_t port() const noexcept { return port_; }
  bool arrived() const noexcept { return arrived_; }
  // Valid once arrived().
  long sent() const noexcept { return sent_; }
  double seconds() const noexcept { return seconds_; }

 private:
  void Receive() {
    char text[128] = {};
    const int size = ::recv(socket_.get(), text, sizeof text - 1, 0);
    if (size > 0) {
      text[size] = '\0';
      std::sscanf(text, "sent=%ld seconds=%lf", &sent_, &seconds_);
    }
    arrived_ = true;
  }

  UniqueSocket socket_;
  std::uint16_t port_;
  long sent_ = 0;
  double seconds_ = 0;
  std::atomic<bool> arrived_{false};
  // Last: joined before the members it reads go.
  std::unique_ptr<WorkerThread> thread_;
};

// `count` traps to a new control from trap_sender.py, a Linux process that sends without the
// wineserver, `per_second` apart (0: flat out). The burst ends when every trap has raised its
// Response, or when none has come for a second after the sender reported its end.
bool RunBurst(const BenchOptions& options, const CLSID& clsid, long count, long per_second,
              BurstResult& result) {
  LateBoundControl control(clsid);
  EventCounter sink;
  if (!control.ok() || FAILED(sink.Advise(control.get())) ||
      !DispatchMessagesUntil([&] { return sink.readies > 0; }, 5000))
    return false;
  const std::uint16_t port = control.LocalPort();
  WinsockSession session;
  SenderReport report;
  if (port == 0 || report.port() == 0) return false;
  if (!StartLinuxProgram({"/usr/bin/python3", options.sender, std::to_string(port),
                          std::to_string(count), std::to_string(per_second), ToHex(BurstTrap(), ""),
                          std::to_string(report.port())}))
    return false;

  LONGLONG quiet_since = 0;
  long last_seen = -1;
  DispatchMessagesUntil(
      [&] {
        if (sink.responses >= count) return true;
        if (!report.arrived()) return false;
        if (sink.responses != last_seen) {
          last_seen = sink.responses;
          quiet_since = Ticks();
        }
        return SecondsBetween(quiet_since, Ticks()) > 1.0;
      },
      120000);
  if (!report.arrived() && !DispatchMessagesUntil([&] { return report.arrived(); }, 10000)) {
    std::fprintf(stderr, "the trap sender never reported (%s)\n", options.sender.c_str());
    return false;
  }
  result.sent = report.sent();
  result.arrived = sink.responses;
  const double receiving = SecondsBetween(sink.first_response_ticks, sink.last_response_ticks);
  result.responses_per_second = receiving > 0 ? (sink.responses - 1) / receiving : 0;
  result.sends_per_second = report.seconds() > 0 ? result.sent / report.seconds() : 0;
  return true;
}

}  // namespace

bool MeasureTrapBursts(const BenchOptions& options, const CLSID& clsid, ResultsTable& table) {
  if (options.sender.empty()) {
    std::fprintf(stderr, "trap bursts: --sender names no trap_sender.py\n");
    return false;
  }
  const long count = options.short_mode ? 200 : 10000;
  struct Burst {
    const char* name;
    long per_second;
  };
  for (const Burst& burst :
       {Burst{"trap burst paced 10000/s", 10000}, Burst{"trap burst flat out", 0}}) {
    BurstResult result;
    if (!RunBurst(options, clsid, count, burst.per_second, result)) {
      std::fprintf(stderr, "%s: set-up failed\n", burst.name);
      return false;
    }
    const std::string name = burst.name;
    table.Add({name + ": arrived",
               std::to_string(result.arrived) + " of " + std::to_string(result.sent), "",
               "5 bindings each, sent by a Linux process outside Wine"});
    table.Add({name + ": lost", std::to_string(result.sent - result.arrived), "",
               "sent at " + Format(result.sends_per_second, 0, "/s")});
    table.Add({name + ": Responses per second", Format(result.responses_per_second, 0, "/s"), "",
               "first Response to last"});
  }
  return true;
}

}  // namespace kivostrel::winbench
