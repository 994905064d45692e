#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_clock.h"
#include "figures.h"
#include "round_trips.h"

namespace kivostrel::winbench {

namespace {

// Microseconds per exchange of one timed batch, or a negative number when it failed.
template <class RoundTrips>
double MicrosecondsPerTrip(RoundTrips& trips, int count) {
  const LONGLONG start = Ticks();
  if (!trips.Run(count)) return -1;
  return SecondsBetween(start, Ticks()) * 1e6 / count;
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
  // The two alternate, so that whatever else loads the machine weighs on both alike.
  std::vector<double> raw_us, control_us, ratios;
  for (int r = 0; r < repetitions; ++r) {
    const double raw_trip = MicrosecondsPerTrip(raw, batch);
    const double control_trip = MicrosecondsPerTrip(control, batch);
    if (raw_trip < 0 || control_trip < 0) {
      std::fprintf(stderr, "round trip: an exchange failed or timed out\n");
      return false;
    }
    raw_us.push_back(raw_trip);
    control_us.push_back(control_trip);
    ratios.push_back(raw_trip / control_trip);
  }
  const std::string how =
      "median of " + std::to_string(repetitions) + " x " + std::to_string(batch) + " exchanges; ";
  table.Add({"round trip, raw Winsock", Format(Median(raw_us), 1, "us"), "",
             how + "range " + Spread(raw_us, 1)});
  table.Add({"round trip, control (late bound, events)", Format(Median(control_us), 1, "us"), "",
             how + "range " + Spread(control_us, 1)});
  table.Add({"round trip ratio raw/control", Format(Median(ratios), 2), ">= 0.90",
             "median of per-repetition ratios; range " + Spread(ratios, 2)});
  return true;
}

}  // namespace kivostrel::winbench
