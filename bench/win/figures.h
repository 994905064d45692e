// The three figures of the benchmark program. Each adds its rows to the table and returns false
// when it could not be measured (a control that was not created, an exchange that timed out).
#pragma once

#include <windows.h>

#include "bench_options.h"
#include "results_table.h"

namespace kivostrel::winbench {

// A GetRequest/GetResponse round trip through the control against two plain sockets.
bool MeasureRoundTrips(const BenchOptions& options, const CLSID& clsid, ResultsTable& table);
// Traps sent to the control by a Linux process outside Wine, paced and flat out.
bool MeasureTrapBursts(const BenchOptions& options, const CLSID& clsid, ResultsTable& table);
// Commit charge before and after many control lifetimes and many exchanges of one control.
bool MeasureEndurance(const BenchOptions& options, const CLSID& clsid, ResultsTable& table);

}  // namespace kivostrel::winbench
