#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "bench_clock.h"
#include "canned_responder.h"
#include "event_counter.h"
#include "figures.h"
#include "process_memory.h"
#include "round_trips.h"
#include "win/message_pump.h"

namespace kivostrel::winbench {

namespace {

// Dispatches what is queued, so that nothing a released control posted piles up.
void DrainMessages() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

// One lifetime as a host gives it: created, sink advised, Ready awaited, unadvised, released.
bool CreateReadyRelease(const CLSID& clsid) {
  com::ComPtr<IDispatch> control;
  if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                control.ReceiveVoid())))
    return false;
  EventCounter sink;
  if (FAILED(sink.Advise(control.get()))) return false;
  const bool ready = DispatchMessagesUntil([&] { return sink.readies > 0; }, 5000);
  sink.Unadvise();
  control.reset();
  DrainMessages();
  return ready;
}

double Kilobytes(std::size_t before, std::size_t after) {
  return (static_cast<double>(after) - static_cast<double>(before)) / 1024.0;
}

// The counter must follow the process's memory: 8 MB written must show.
double EightMegabytesSeenAsKilobytes() {
  constexpr std::size_t kSize = 8u << 20;
  const std::size_t before = CommitCharge();
  auto block = std::make_unique<char[]>(kSize);
  std::memset(block.get(), 1, kSize);
  const std::size_t after = CommitCharge();
  return Kilobytes(before, after);
}

// Commit charge growth over `cycles` calls of `cycle` after `warm_up` of them; false when one
// failed.
bool Growth(int warm_up, int cycles, const std::function<bool()>& cycle, double& kilobytes,
            double& seconds) {
  for (int i = 0; i < warm_up; ++i)
    if (!cycle()) return false;
  const std::size_t before = CommitCharge();
  const LONGLONG start = Ticks();
  for (int i = 0; i < cycles; ++i)
    if (!cycle()) return false;
  seconds = SecondsBetween(start, Ticks());
  DrainMessages();
  kilobytes = Kilobytes(before, CommitCharge());
  return true;
}

}  // namespace

bool MeasureEndurance(const BenchOptions& options, const CLSID& clsid, ResultsTable& table) {
  const int warm_up = options.short_mode ? 10 : 200;
  const int cycles = options.short_mode ? 50 : 10000;
  const std::string counted = std::to_string(cycles) + " cycles after " + std::to_string(warm_up) +
                              " of warm-up, PagefileUsage; ";

  table.Add({"commit charge check: 8 MB written", Format(EightMegabytesSeenAsKilobytes(), 0, "KB"),
             "~8192 KB", "PagefileUsage (Wine 8 leaves PrivateUsage at 0)"});

  double kilobytes = 0, seconds = 0;
  if (!Growth(
          warm_up, cycles, [&] { return CreateReadyRelease(clsid); }, kilobytes, seconds)) {
    std::fprintf(stderr, "endurance: a create/Ready/release cycle failed\n");
    return false;
  }
  table.Add({"commit charge growth, create/Ready/release cycles", Format(kilobytes, 0, "KB"),
             "< 1024 KB", counted + Format(seconds * 1e3 / cycles, 2, "ms") + " a cycle"});

  CannedResponder responder;
  ControlRoundTrips exchanges(clsid, responder.port());
  if (!responder.ok() || !exchanges.ok() ||
      !Growth(
          warm_up, cycles, [&] { return exchanges.Run(1); }, kilobytes, seconds)) {
    std::fprintf(stderr, "endurance: a request/answer cycle failed\n");
    return false;
  }
  table.Add({"commit charge growth, request/answer cycles", Format(kilobytes, 0, "KB"), "< 1024 KB",
             counted + Format(seconds * 1e6 / cycles, 1, "us") + " a cycle"});
  return true;
}

}  // namespace kivostrel::winbench
