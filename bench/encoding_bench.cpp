// Building a GetRequest: kivOstrel side by side with Net-SNMP's libsnmp, same message.
//
// The message is the first example host's request: SNMPv1 GetRequest, empty community,
// request id 1, one binding of 1.3.6.1.2.1.1.1.0 with a NULL value (34 octets).
#include <benchmark/benchmark.h>

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
// clang-format on

#include <cstdlib>
#include <cstring>

#include "encoding/messages.h"
#include "encoding/value_constructors.h"

namespace {

using namespace kivostrel;

// The send operation's work: the message from the binding list bytes a host holds.
void BM_Ostrel_GetRequest(benchmark::State& state) {
  const Bytes bindings = SNMPNullValue("1.3.6.1.2.1.1.1.0");
  for (auto _ : state) {
    Bytes message =
        BuildRequestMessage({.pdu = kTagGetRequest, .request_id = 1, .bindings = bindings});
    benchmark::DoNotOptimize(message.data());
  }
}
BENCHMARK(BM_Ostrel_GetRequest);

// The host's whole path: the binding from its OID text, then the message.
void BM_Ostrel_GetRequestFromOidText(benchmark::State& state) {
  for (auto _ : state) {
    const Bytes bindings = SNMPNullValue("1.3.6.1.2.1.1.1.0");
    Bytes message =
        BuildRequestMessage({.pdu = kTagGetRequest, .request_id = 1, .bindings = bindings});
    benchmark::DoNotOptimize(message.data());
  }
}
BENCHMARK(BM_Ostrel_GetRequestFromOidText);

// libsnmp: a PDU with one NULL binding (OID given as arcs), serialised with snmp_build.
void BM_Libsnmp_GetRequest(benchmark::State& state) {
  netsnmp_session session;
  snmp_sess_init(&session);
  session.version = SNMP_VERSION_1;
  static unsigned char community[] = "";
  session.community = community;
  session.community_len = 0;
  const oid sys_descr[] = {1, 3, 6, 1, 2, 1, 1, 1, 0};
  size_t capacity = 1024;
  auto* buffer = static_cast<u_char*>(std::malloc(capacity));
  for (auto _ : state) {
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
    pdu->reqid = 1;
    pdu->version = SNMP_VERSION_1;
    snmp_add_null_var(pdu, sys_descr, sizeof sys_descr / sizeof sys_descr[0]);
    size_t offset = 0;
    if (snmp_build(&buffer, &capacity, &offset, &session, pdu) != 0 || offset != 34) {
      state.SkipWithError("snmp_build failed");
    }
    benchmark::DoNotOptimize(buffer);
    snmp_free_pdu(pdu);
  }
  std::free(buffer);
}
BENCHMARK(BM_Libsnmp_GetRequest);

}  // namespace
