// The OID name table: what every control instance pays at creation, and what a host pays per
// translation and search.
#include <benchmark/benchmark.h>

#include <string>

#include "oidtable/oid_name_table.h"

namespace {

using namespace kivostrel;

// A 12-arc identifier: the deepest default row (11 arcs) with an instance suffix.
constexpr const char* kOid = "1.3.6.1.2.1.13.8.1.1.2.5";
constexpr const char* kName =
    "iso.org.dod.internet.mgmt.mib.appletalk.nbp.nbpTable.nbpEntry.nbpObject.5";

OidNameTable Loaded() {
  OidNameTable table;
  table.LoadDefaultOIDNames();
  return table;
}

// What control creation does: an empty table, then the 731 default rows.
void BM_OidTable_CreateAndLoad(benchmark::State& state) {
  Loaded();  // the per-process image is built once, outside the timing
  for (auto _ : state) {
    OidNameTable table;
    table.LoadDefaultOIDNames();
    benchmark::DoNotOptimize(&table);
  }
}
BENCHMARK(BM_OidTable_CreateAndLoad);

// The same rows through 731 SetOIDFirst calls: the cost the shared image avoids.
void BM_OidTable_LoadRowByRow(benchmark::State& state) {
  const OidNameTable source = Loaded();
  for (auto _ : state) {
    OidNameTable table;
    for (const auto& row : source.OIDToName().Entries()) table.SetOIDFirst(row.key, row.item);
    benchmark::DoNotOptimize(&table);
  }
}
BENCHMARK(BM_OidTable_LoadRowByRow);

// A loaded table's first edit, which copies both shared lists.
void BM_OidTable_FirstEdit(benchmark::State& state) {
  for (auto _ : state) {
    OidNameTable table = Loaded();
    table.SetOID("1.3.6.1.2.1.1.5", "myName");
    benchmark::DoNotOptimize(&table);
  }
}
BENCHMARK(BM_OidTable_FirstEdit);

// A later edit of a table that already owns its lists.
void BM_OidTable_LaterEdit(benchmark::State& state) {
  OidNameTable table = Loaded();
  table.SetOID("1.3.6.1.2.1.1.5", "myName");
  for (auto _ : state) {
    table.SetOID("1.3.6.1.2.1.1.5", "myName");
    benchmark::DoNotOptimize(&table);
  }
}
BENCHMARK(BM_OidTable_LaterEdit);

void BM_OidTable_OID2Name(benchmark::State& state) {
  const OidNameTable table = Loaded();
  if (table.OID2Name(kOid) != kName) state.SkipWithError("wrong translation");
  for (auto _ : state) {
    std::string name = table.OID2Name(kOid);
    benchmark::DoNotOptimize(name.data());
  }
}
BENCHMARK(BM_OidTable_OID2Name);

void BM_OidTable_Name2OID(benchmark::State& state) {
  const OidNameTable table = Loaded();
  if (table.Name2OID(kName) != kOid) state.SkipWithError("wrong translation");
  for (auto _ : state) {
    std::string oid = table.Name2OID(kName);
    benchmark::DoNotOptimize(oid.data());
  }
}
BENCHMARK(BM_OidTable_Name2OID);

void BM_OidTable_FindName(benchmark::State& state) {
  const OidNameTable table = Loaded();
  if (table.FindName("ifIn").size() != 7) state.SkipWithError("wrong search result");
  for (auto _ : state) {
    auto found = table.FindName("ifIn");
    benchmark::DoNotOptimize(found.data());
  }
}
BENCHMARK(BM_OidTable_FindName);

}  // namespace
