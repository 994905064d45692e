// The control over IPv6 on ::1 with Net-SNMP: as a manager against snmpd on udp6, and as an
// agent that snmpget asks over udp6. Its local address is put as a host would put it.
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "engine_harness.h"
#include "tests/support/netsnmp_peers.h"
#include "transport/sockets/unique_fd.h"

namespace kivostrel::testing {
namespace {

using std::chrono::milliseconds;

constexpr const char* kSysName = "1.3.6.1.2.1.1.5.0";

// Whether this machine has an IPv6 loopback to test on.
bool HasIpv6Loopback() {
  const UniqueFd probe(::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in6 loopback{};
  loopback.sin6_family = AF_INET6;
  loopback.sin6_addr = in6addr_loopback;
  return probe &&
         ::bind(probe.get(), reinterpret_cast<const sockaddr*>(&loopback), sizeof loopback) == 0;
}

// The control with its local address put, ready again after the rebind.
void PutLocalAddress(EngineHarness& host, const std::string& address) {
  ASSERT_NO_FATAL_FAILURE(host.WaitReady());
  const int readies = host.ready_events;
  host.engine().LocalAddress(address);
  ASSERT_TRUE(host.PumpUntil([&] { return host.ready_events > readies; }));
  EXPECT_EQ(host.engine().Stat(), 1);
}

TEST(Ipv6Interop, ManagerAsksSnmpdOnUdp6) {
  if (!HasIpv6Loopback()) GTEST_SKIP() << "no IPv6 loopback here";
  SnmpAgent agent(/*ipv6=*/true);
  EngineHarness host;
  ASSERT_NO_FATAL_FAILURE(PutLocalAddress(host, ""));  // every address, IPv4 and IPv6
  host.engine().SendGetRequest("::1", std::to_string(agent.port()), "public", 61,
                               host.engine().SNMPNullValue(kSysName));
  ASSERT_TRUE(host.WaitResponses(1)) << agent.Log();
  const ResponseEvent& answer = host.responses[0];
  EXPECT_EQ(answer.RemoteIP, "::1");
  EXPECT_EQ(answer.RemotePort, std::to_string(agent.port()));
  EXPECT_EQ(answer.Command, "GetResponse");
  EXPECT_EQ(answer.RequestId, 61);
  EXPECT_EQ(answer.ErrorStatus, 0);
  ASSERT_EQ(answer.Objects.size(), 1u);
  EXPECT_EQ(answer.Objects[0].OIDName, kSysName);
}

TEST(Ipv6Interop, SnmpgetAsksTheControlOnUdp6) {
  if (!HasIpv6Loopback()) GTEST_SKIP() << "no IPv6 loopback here";
  EngineHarness host;
  ASSERT_NO_FATAL_FAILURE(PutLocalAddress(host, "::1"));
  host.on_response = [&](const ResponseEvent& request) {
    if (request.Command != "GetRequest" || request.Objects.empty()) return;
    kivOstrel& engine = host.engine();
    engine.SendGetResponse(request.RemoteIP, request.RemotePort, request.Community,
                           request.RequestId, 0, 0,
                           engine.SNMPStringValue(request.Objects[0].OIDName, "six"));
  };
  const std::string port = std::to_string(host.engine().LocalPort());
  const CommandResult result = RunNetSnmpTool({"snmpget", "-v1", "-c", "public", "-On", "-t", "2",
                                               "-r", "1", "udp6:[::1]:" + port, kSysName},
                                              milliseconds(10000), [&] { host.PumpOnce(); });
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  EXPECT_NE(result.out.find(".1.3.6.1.2.1.1.5.0 = STRING: \"six\""), std::string::npos)
      << result.out;
  ASSERT_EQ(host.responses.size(), 1u);
  EXPECT_EQ(host.responses[0].RemoteIP, "::1");
}

}  // namespace
}  // namespace kivostrel::testing
