// Decoding a received GetResponse into binding rows: kivOstrel side by side with Net-SNMP's
// libsnmp (snmp_parse into a fresh PDU), same bytes, with 1, 10 and 50 bindings; and kivOstrel
// again with every row read after decoding.
#include <benchmark/benchmark.h>

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
// clang-format on

#include <string>

#include "encoding/message_decoder.h"
#include "encoding/messages.h"
#include "encoding/value_constructors.h"

namespace {

using namespace kivostrel;

// A GetResponse as an agent answers a walk of the interfaces table: names, counters, speeds.
Bytes GetResponseWith(int bindings) {
  Bytes list;
  for (int i = 0; i < bindings; ++i) {
    const std::string index = std::to_string(i + 1);
    Bytes binding;
    switch (i % 3) {
      case 0:
        binding = SNMPStringValue("1.3.6.1.2.1.2.2.1.2." + index, "GigabitEthernet0/" + index);
        break;
      case 1:
        binding = SNMPCounterValue("1.3.6.1.2.1.2.2.1.10." + index, "3735928559");
        break;
      default:
        binding = SnmpGaugeValue("1.3.6.1.2.1.2.2.1.5." + index, "1000000000");
        break;
    }
    list.insert(list.end(), binding.begin(), binding.end());
  }
  return BuildRequestMessage(
      {.pdu = kTagGetResponse, .community = "public", .request_id = 1234, .bindings = list});
}

// An SNMPv2c response to a GetBulk of the 64-bit octet counters of `bindings` interfaces.
Bytes BulkResponseOfCounter64s(int bindings) {
  Bytes list;
  for (int i = 0; i < bindings; ++i) {
    const Bytes binding = SNMPCounter64Value("1.3.6.1.2.1.31.1.1.1.6." + std::to_string(i + 1),
                                             "18446744073709551557");
    list.insert(list.end(), binding.begin(), binding.end());
  }
  return BuildRequestMessage({.pdu = kTagGetResponse,
                              .version = 1,
                              .community = "public",
                              .request_id = 1234,
                              .bindings = list});
}

// What a host pays to look at every name, type and value of a received message.
void DecodeAndReadEveryRow(benchmark::State& state, const Bytes& datagram) {
  for (auto _ : state) {
    const ReceivedMessage message = DecodeReceivedMessage(datagram, 0);
    for (const OstrelObject& row : message.Objects) {
      benchmark::DoNotOptimize(row.OIDName.data());
      benchmark::DoNotOptimize(row.OIDTypeName.data());
      benchmark::DoNotOptimize(row.OIDValue);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * datagram.size()));
}

void LibsnmpParse(benchmark::State& state, Bytes datagram, long version) {
  netsnmp_session session;
  snmp_sess_init(&session);
  session.version = version;
  for (auto _ : state) {
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_RESPONSE);
    if (snmp_parse(nullptr, &session, pdu, datagram.data(), datagram.size()) != 0) {
      state.SkipWithError("snmp_parse failed");
    }
    benchmark::DoNotOptimize(pdu->variables);
    snmp_free_pdu(pdu);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * datagram.size()));
}

void BM_Ostrel_DecodeGetResponse(benchmark::State& state) {
  const Bytes datagram = GetResponseWith(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    ReceivedMessage message = DecodeReceivedMessage(datagram, 0);
    benchmark::DoNotOptimize(message);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * datagram.size()));
}
BENCHMARK(BM_Ostrel_DecodeGetResponse)->Arg(1)->Arg(10)->Arg(50);

// The same, then every row read: what a host that looks at every name, type and value pays.
void BM_Ostrel_DecodeAndReadEveryRow(benchmark::State& state) {
  DecodeAndReadEveryRow(state, GetResponseWith(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_Ostrel_DecodeAndReadEveryRow)->Arg(1)->Arg(10)->Arg(50);

void BM_Libsnmp_ParseGetResponse(benchmark::State& state) {
  LibsnmpParse(state, GetResponseWith(static_cast<int>(state.range(0))), SNMP_VERSION_1);
}
BENCHMARK(BM_Libsnmp_ParseGetResponse)->Arg(1)->Arg(10)->Arg(50);

void BM_Ostrel_DecodeBulkCounter64sAndReadEveryRow(benchmark::State& state) {
  DecodeAndReadEveryRow(state, BulkResponseOfCounter64s(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_Ostrel_DecodeBulkCounter64sAndReadEveryRow)->Arg(50);

void BM_Libsnmp_ParseBulkCounter64s(benchmark::State& state) {
  LibsnmpParse(state, BulkResponseOfCounter64s(static_cast<int>(state.range(0))), SNMP_VERSION_2c);
}
BENCHMARK(BM_Libsnmp_ParseBulkCounter64s)->Arg(50);

}  // namespace
