// The control's speed and endurance under Wine or Windows: round trips against plain Winsock,
// trap bursts, memory over many lifetimes and exchanges. The control must be registered.
#include <ole2.h>

#include <cstdio>

#include "bench_options.h"
#include "figures.h"
#include "late_bound_control.h"
#include "results_table.h"
#include "win/com_handles.h"

using namespace kivostrel::winbench;

int main(int argc, char** argv) {
  BenchOptions options;
  if (!ParseOptions(argc, argv, options)) return 2;
  kivostrel::com::OleSession ole;
  if (FAILED(ole.status())) {
    std::fprintf(stderr, "OleInitialize failed: 0x%08lx\n",
                 static_cast<unsigned long>(ole.status()));
    return 1;
  }
  CLSID clsid{};
  if (const HRESULT hr = ControlClsid(clsid); FAILED(hr)) {
    std::fprintf(stderr, "the control is not registered: 0x%08lx\n",
                 static_cast<unsigned long>(hr));
    return 1;
  }
  ResultsTable table;
  bool ok = true;
  if (options.Wants("roundtrip")) ok = MeasureRoundTrips(options, clsid, table) && ok;
  if (options.Wants("burst")) ok = MeasureTrapBursts(options, clsid, table) && ok;
  if (options.Wants("endurance")) ok = MeasureEndurance(options, clsid, table) && ok;
  table.Print();
  return ok ? 0 : 1;
}
