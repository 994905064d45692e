// MIB modules: loading every module of a folder, loading IF-MIB with its imports, and a value's
// text as its module describes it, each beside libsnmp's own (read_all_mibs, read_module,
// snprint_value). The folders are Net-SNMP's own modules (/usr/share/snmp/mibs) and the IETF
// ones of $KIVOSTREL_IETF_MIBS; without the latter these benchmarks are skipped.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "control/kivostrel.h"
#include "mib/mib_library.h"
#include "mib/value_text.h"

namespace {

using namespace kivostrel;

constexpr const char* kNetSnmpModules = "/usr/share/snmp/mibs";
// ifOperStatus.3, for each side in its own type.
constexpr oid kIfOperStatus[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 3};
constexpr std::uint32_t kIfOperStatusArcs[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 8, 3};

std::vector<std::string> Folders() {
  const char* ietf = std::getenv("KIVOSTREL_IETF_MIBS");
  if (ietf == nullptr || *ietf == '\0') return {};
  return {ietf, kNetSnmpModules};
}

std::size_t HeapInUse() {
  return mallinfo2().uordblks;
}

// libsnmp's MIB tree is one per process: each load starts from a tree shut down.
void LibsnmpStart(const std::vector<std::string>& folders) {
  static bool initialised = false;
  if (!initialised) {
    setenv("MIBS", "", 1);
    setenv("MIBDIRS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
    initialised = true;
  }
  shutdown_mib();
  netsnmp_init_mib();
  for (const std::string& folder : folders) add_mibdir(folder.c_str());
}

void BM_Ostrel_MibLoadAll(benchmark::State& state) {
  const auto folders = Folders();
  if (folders.empty()) return state.SkipWithError("KIVOSTREL_IETF_MIBS is not set");
  std::size_t nodes = 0;
  std::size_t heap = 0;
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    mib::MibLibrary library;
    library.SetSearchPath(folders);
    nodes = library.LoadAll().added.size();
    heap = HeapInUse() - before;
    benchmark::DoNotOptimize(nodes);
  }
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["heap_MB"] = static_cast<double>(heap) / 1e6;
}
BENCHMARK(BM_Ostrel_MibLoadAll)->Unit(benchmark::kMillisecond);

void BM_Libsnmp_MibLoadAll(benchmark::State& state) {
  const auto folders = Folders();
  if (folders.empty()) return state.SkipWithError("KIVOSTREL_IETF_MIBS is not set");
  std::size_t heap = 0;
  for (auto _ : state) {
    // The tree of the last iteration is freed by the shut-down: measured from there.
    LibsnmpStart(folders);
    const std::size_t before = HeapInUse();
    benchmark::DoNotOptimize(read_all_mibs());
    heap = HeapInUse() - before;
  }
  state.counters["heap_MB"] = static_cast<double>(heap) / 1e6;
}
BENCHMARK(BM_Libsnmp_MibLoadAll)->Unit(benchmark::kMillisecond);

void BM_Ostrel_MibLoadIfMib(benchmark::State& state) {
  const auto folders = Folders();
  if (folders.empty()) return state.SkipWithError("KIVOSTREL_IETF_MIBS is not set");
  for (auto _ : state) {
    mib::MibLibrary library;
    library.SetSearchPath(folders);
    const mib::LoadResult loaded = library.Load("IF-MIB");
    if (loaded.module != "IF-MIB") state.SkipWithError("IF-MIB did not load");
    benchmark::DoNotOptimize(loaded.added.size());
  }
}
BENCHMARK(BM_Ostrel_MibLoadIfMib)->Unit(benchmark::kMicrosecond);

void BM_Libsnmp_MibLoadIfMib(benchmark::State& state) {
  const auto folders = Folders();
  if (folders.empty()) return state.SkipWithError("KIVOSTREL_IETF_MIBS is not set");
  for (auto _ : state) {
    LibsnmpStart(folders);
    if (read_module("IF-MIB") == nullptr) state.SkipWithError("IF-MIB did not load");
  }
}
BENCHMARK(BM_Libsnmp_MibLoadIfMib)->Unit(benchmark::kMicrosecond);

// ifOperStatus.3 = 2 as "down(2)", through the engine's member as a host calls it.
void BM_Ostrel_FormatValue(benchmark::State& state) {
  const auto folders = Folders();
  if (folders.empty()) return state.SkipWithError("KIVOSTREL_IETF_MIBS is not set");
  mib::MibLibrary library;
  library.SetSearchPath(folders);
  library.Load("IF-MIB");
  const mib::MibNode* object = library.FindPrefix(kIfOperStatusArcs);
  if (object == nullptr) return state.SkipWithError("no ifOperStatus");
  const Variant value(2);
  for (auto _ : state) {
    const mib::MibNode* found = library.FindPrefix(kIfOperStatusArcs);
    auto text = mib::FormatValue(*found, value);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_Ostrel_FormatValue);

void BM_Libsnmp_FormatValue(benchmark::State& state) {
  const auto folders = Folders();
  if (folders.empty()) return state.SkipWithError("KIVOSTREL_IETF_MIBS is not set");
  LibsnmpStart(folders);
  read_module("IF-MIB");
  netsnmp_variable_list value{};
  long number = 2;
  snmp_set_var_typed_value(&value, ASN_INTEGER, &number, sizeof number);
  char text[256];
  for (auto _ : state) {
    benchmark::DoNotOptimize(snprint_value(text, sizeof text, kIfOperStatus,
                                           sizeof kIfOperStatus / sizeof kIfOperStatus[0], &value));
  }
}
BENCHMARK(BM_Libsnmp_FormatValue);

}  // namespace
