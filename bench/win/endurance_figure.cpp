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

// Whether the server reports that no object of its is left (DllCanUnloadNow).
const char* ServerObjectsLeft() {
  const HMODULE server = ::GetModuleHandleW(L"kivOstrel.ocx");
  const auto can_unload =
      server == nullptr ? nullptr
                        : reinterpret_cast<HRESULT(WINAPI*)()>(
                              reinterpret_cast<void*>(::GetProcAddress(server, "DllCanUnloadNow")));
  if (can_unload == nullptr) return "server objects unknown";
  return can_unload() == S_OK ? "no server object left" : "server objects left";
}

// The message-only windows of the process (the socket component's and the control's own).
long MessageOnlyWindows() {
  long count = 0;
  for (HWND window = nullptr;
       (window = ::FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;)
    ++count;
  return count;
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

struct Growth {
  double kilobytes = 0;
  long handles = 0;  // kernel handles the process gained
  long windows = 0;  // message-only windows it gained
  double seconds = 0;
};

// Commit charge and handles gained over `cycles` calls of `cycle` after `warm_up` of them; false
// when one failed.
bool MeasureGrowth(int warm_up, int cycles, const std::function<bool()>& cycle, Growth& growth) {
  for (int i = 0; i < warm_up; ++i)
    if (!cycle()) return false;
  DWORD handles_before = 0, handles_after = 0;
  ::GetProcessHandleCount(::GetCurrentProcess(), &handles_before);
  const long windows_before = MessageOnlyWindows();
  const std::size_t before = CommitCharge();
  const LONGLONG start = Ticks();
  for (int i = 0; i < cycles; ++i)
    if (!cycle()) return false;
  growth.seconds = SecondsBetween(start, Ticks());
  DrainMessages();
  growth.kilobytes = Kilobytes(before, CommitCharge());
  ::GetProcessHandleCount(::GetCurrentProcess(), &handles_after);
  growth.handles = static_cast<long>(handles_after) - static_cast<long>(handles_before);
  growth.windows = MessageOnlyWindows() - windows_before;
  return true;
}

// One row of the table: what `cycles` cycles of `what` left behind, and how long one took.
void AddGrowthRow(ResultsTable& table, const std::string& what, const std::string& counted,
                  const Growth& growth, int cycles, const char* when_checked) {
  const double per_cycle = growth.seconds / cycles;
  table.Add({"commit charge growth, " + what, Format(growth.kilobytes, 0, "KB"), "< 1024 KB",
             counted + "handles " + std::to_string(growth.handles) + ", windows " +
                 std::to_string(growth.windows) + ", " + ServerObjectsLeft() + when_checked + "; " +
                 (per_cycle >= 1e-3 ? Format(per_cycle * 1e3, 2, "ms")
                                    : Format(per_cycle * 1e6, 1, "us")) +
                 " a cycle"});
}

}  // namespace

bool MeasureEndurance(const BenchOptions& options, const CLSID& clsid, ResultsTable& table) {
  const int warm_up = options.short_mode ? 10 : 200;
  const int cycles = options.short_mode ? 50 : 10000;
  const std::string counted =
      std::to_string(cycles) + " cycles after " + std::to_string(warm_up) + " of warm-up; ";

  table.Add({"commit charge check: 8 MB written", Format(EightMegabytesSeenAsKilobytes(), 0, "KB"),
             "~8192 KB", "PagefileUsage (Wine 8 leaves PrivateUsage at 0)"});

  Growth growth;
  if (!MeasureGrowth(
          warm_up, cycles, [&] { return CreateReadyRelease(clsid); }, growth)) {
    std::fprintf(stderr, "endurance: a create/Ready/release cycle failed\n");
    return false;
  }
  AddGrowthRow(table, "create/Ready/release cycles", counted, growth, cycles, "");

  CannedResponder responder;
  {
    ControlRoundTrips exchanges(clsid, responder.port());
    if (!responder.ok() || !exchanges.ok() ||
        !MeasureGrowth(
            warm_up, cycles, [&] { return exchanges.Run(1); }, growth)) {
      std::fprintf(stderr, "endurance: a request/answer cycle failed\n");
      return false;
    }
  }
  AddGrowthRow(table, "request/answer cycles", counted, growth, cycles, " after release");
  return true;
}

}  // namespace kivostrel::winbench
