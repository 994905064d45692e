#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_clock.h"
#include "figures.h"
#include "round_trips.h"

namespace kivostrel::winbench {

namespace {

// Seconds for `count` exchanges, or a negative number when one failed.
template <class RoundTrips>
double SecondsFor(RoundTrips& trips, int count) {
  const LONGLONG start = Ticks();
  if (!trips.Run(count)) return -1;
  return SecondsBetween(start, Ticks());
}

std::string Spread(const std::vector<double>& values, int decimals) {
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  return Format(*low, decimals) + " to " + Format(*high, decimals);
}

}  // namespace

bool MeasureRoundTrips(const BenchOptions& options, const CLSID& clsid, ResultsTable& table) {
  const int warm_up = options.short_mode ? 5 : 200;
  const int batch = options.short_mode ? 10 : 1000;
  const int repetitions = options.short_mode ? 1 : options.repetitions;

  CannedResponder responder;
  WinsockRoundTrips raw(responder.port());
  ControlRoundTrips control(clsid, responder.port());
  if (!responder.ok() || !raw.ok() || !control.ok()) {
    std::fprintf(stderr, "round trip: set-up failed (responder %d, socket %d, control %d)\n",
                 responder.ok(), raw.ok(), control.ok());
    return false;
  }
  if (!raw.Run(warm_up) || !control.Run(warm_up)) {
    std::fprintf(stderr, "round trip: warm-up exchange failed\n");
    return false;
  }
  // Each repetition alternates slices of the two, so that whatever else loads the machine
  // weighs on both alike.
  const int slice = std::min(batch, 100);
  std::vector<double> raw_us, control_us, ratios;
  for (int r = 0; r < repetitions; ++r) {
    double raw_seconds = 0, control_seconds = 0;
    for (int done = 0; done < batch; done += slice) {
      const double raw_slice = SecondsFor(raw, slice);
      const double control_slice = SecondsFor(control, slice);
      if (raw_slice < 0 || control_slice < 0) {
        std::fprintf(stderr, "round trip: an exchange failed or timed out\n");
        return false;
      }
      raw_seconds += raw_slice;
      control_seconds += control_slice;
    }
    raw_us.push_back(raw_seconds * 1e6 / batch);
    control_us.push_back(control_seconds * 1e6 / batch);
    ratios.push_back(raw_seconds / control_seconds);
  }
  const std::string how = "median of " + std::to_string(repetitions) + " x " +
                          std::to_string(batch) + " exchanges, alternating by " +
                          std::to_string(slice) + "; ";
  table.Add({"round trip, raw Winsock", Format(Median(raw_us), 1, "us"), "",
             how + "range " + Spread(raw_us, 1)});
  table.Add({"round trip, control (late bound, events)", Format(Median(control_us), 1, "us"), "",
             how + "range " + Spread(control_us, 1)});
  table.Add({"round trip ratio raw/control", Format(Median(ratios), 2), ">= 0.90",
             "median of per-repetition ratios; range " + Spread(ratios, 2)});
  return true;
}

}  // namespace kivostrel::winbench
