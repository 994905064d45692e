// SNMPv2c with Net-SNMP: the control as a manager of snmpd, a notification sender to snmptrapd,
// a receiver of snmptrap and snmpinform, and an agent for snmpget and snmpbulkget.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "encoding/messages.h"
#include "engine_harness.h"
#include "tests/support/netsnmp_peers.h"

namespace kivostrel::testing {
namespace {

using std::chrono::milliseconds;

constexpr const char* kIfHcInOctets1 = "1.3.6.1.2.1.31.1.1.1.6.1";
constexpr const char* kEnterprise = "1.3.6.1.4.1.99999";

class Snmpv2ManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(host_.WaitReady());
    host_.engine().SnmpVersion(Variant(1));
  }

  ResponseEvent Exchange(const std::function<void(kivOstrel&)>& send) {
    const std::size_t before = host_.responses.size();
    send(host_.engine());
    EXPECT_TRUE(host_.WaitResponses(before + 1)) << "no answer; snmpd's log:\n" << agent_.Log();
    EXPECT_TRUE(host_.PumpUntil([this] { return host_.engine().Stat() == 1; }));
    return host_.responses.size() > before ? host_.responses[before] : ResponseEvent{};
  }

  std::string Port() const { return std::to_string(agent_.port()); }

  SnmpAgent agent_;
  EngineHarness host_;
};

TEST_F(Snmpv2ManagerTest, GetsOfEveryKindAnsweredInVersion2c) {
  const struct {
    const char* what;
    bool next;
    const char* oid;
    const char* answered;  // the row's OIDName
    std::int16_t type;
    const char* type_name;
  } cases[] = {
      {"a text", false, "1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.1.0", 4, "OctetString"},
      {"a Counter64", false, kIfHcInOctets1, kIfHcInOctets1, 70, "Counter64"},
      {"no such object", false, "1.3.6.1.2.1.1.99.0", "1.3.6.1.2.1.1.99.0", 128, "NoSuchObject"},
      {"no such instance", false, "1.3.6.1.2.1.1.1.1", "1.3.6.1.2.1.1.1.1", 129, "NoSuchInstance"},
      {"past the end", true, "1.3.6.1.6.3.99", "1.3.6.1.6.3.99", 130, "EndOfMibView"},
  };
  std::int32_t id = 100;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes binding = host_.engine().SNMPNullValue(c.oid);
    const ResponseEvent r = Exchange([&](kivOstrel& e) {
      if (c.next) {
        e.SendGetNextRequest("127.0.0.1", Port(), "public", ++id, binding);
      } else {
        e.SendGetRequest("127.0.0.1", Port(), "public", ++id, binding);
      }
    });
    EXPECT_EQ(r.Version, 1);
    EXPECT_EQ(r.Command, "GetResponse");
    EXPECT_EQ(r.RequestId, id);
    EXPECT_EQ(r.ErrorStatus, 0);
    ASSERT_EQ(r.Objects.size(), 1u);
    const OstrelObject row = r.Objects[0];
    EXPECT_EQ(row.OIDName, c.answered);
    EXPECT_EQ(row.OIDType, c.type);
    EXPECT_EQ(row.OIDTypeName, c.type_name);
    if (c.type == 70) {
      // snmpd's octet counter of lo, as a 64-bit number; it only grows.
      const auto* octets = std::get_if<std::uint64_t>(&row.OIDValue);
      ASSERT_NE(octets, nullptr);
      const CommandResult later =
          RunNetSnmpTool({"snmpget", "-v2c", "-c", "public", "-Oqv", agent_.Endpoint(), c.oid},
                         milliseconds(5000));
      EXPECT_GE(std::stoull(later.out), *octets);
    } else if (c.type >= 128) {
      EXPECT_TRUE(IsEmpty(row.OIDValue));
    }
  }
}

TEST_F(Snmpv2ManagerTest, GetBulkAndSetAnsweredAsSnmpbulkgetAndSnmpsetAreAnswered) {
  const Bytes system = host_.engine().SNMPNullValue("1.3.6.1.2.1.1");
  const ResponseEvent bulk = Exchange(
      [&](kivOstrel& e) { e.SendGetBulkRequest("127.0.0.1", Port(), "public", 7, 0, 10, system); });
  const CommandResult expected =
      RunNetSnmpTool({"snmpbulkget", "-v2c", "-c", "public", "-On", "-Cn0", "-Cr10",
                      agent_.Endpoint(), "1.3.6.1.2.1.1"},
                     milliseconds(5000));
  ASSERT_EQ(bulk.Objects.size(), 10u);
  std::string names;
  for (const OstrelObject& row : bulk.Objects) names += "." + row.OIDName + " ";
  for (std::size_t at = 0, line = 0; line < 10; ++line) {
    const std::size_t end = expected.out.find('\n', at);
    const std::string printed = expected.out.substr(at, expected.out.find(' ', at) - at);
    EXPECT_NE(names.find(printed + " "), std::string::npos) << printed << " not in " << names;
    at = end + 1;
  }

  const Bytes contact = host_.engine().SNMPStringValue("1.3.6.1.2.1.1.4.0", "v2c <ops>");
  const ResponseEvent set =
      Exchange([&](kivOstrel& e) { e.SendSetRequest("127.0.0.1", Port(), "private", 8, contact); });
  EXPECT_EQ(set.ErrorStatus, 0);
  const CommandResult read = RunNetSnmpTool(
      {"snmpget", "-v2c", "-c", "public", "-Oqv", agent_.Endpoint(), "1.3.6.1.2.1.1.4.0"},
      milliseconds(5000));
  EXPECT_EQ(read.out, "\"v2c <ops>\"\n");
}

class Snmpv2NotificationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(host_.WaitReady());
    host_.engine().SnmpVersion(Variant(1));
    host_.engine().TickCount(4242);
  }

  PrintedTrap Printed(std::size_t index) {
    EXPECT_TRUE(receiver_.WaitForTraps(index + 1, milliseconds(5000), [this] { host_.PumpOnce(); }))
        << receiver_.Log();
    const std::vector<PrintedTrap> traps = receiver_.Traps();
    return traps.size() > index ? traps[index] : PrintedTrap{};
  }

  std::string Port() const { return std::to_string(receiver_.port()); }

  TrapReceiver receiver_;
  EngineHarness host_;
};

TEST_F(Snmpv2NotificationTest, TrapsNotificationsAndInformsPrintedBySnmptrapd) {
  kivOstrel& engine = host_.engine();
  const std::string one = std::string(kEnterprise) + ".1";
  const Bytes counter = engine.SNMPCounter64Value(one, "18446744073709551615");
  using Bindings = std::vector<std::pair<std::string, std::string>>;
  const Bindings head = {{"1.3.6.1.2.1.1.3.0", "Timeticks: (4242) 0:00:42.42"}};
  const struct {
    const char* what;
    std::function<void()> send;
    Bindings after_uptime;
  } cases[] = {
      {"SendTrap translated",
       [&] { engine.SendTrap("127.0.0.1", Port(), "public", kEnterprise, 6, "17", counter); },
       {{"1.3.6.1.6.3.1.1.4.1.0", "OID: .1.3.6.1.4.1.99999.0.17"},
        {one, "Counter64: 18446744073709551615"},
        {"1.3.6.1.6.3.1.1.4.3.0", "OID: .1.3.6.1.4.1.99999"}}},
      {"a standard trap translated",
       [&] { engine.SendTrap("127.0.0.1", Port(), "public", kEnterprise, 2, "0"); },
       {{"1.3.6.1.6.3.1.1.4.1.0", "OID: .1.3.6.1.6.3.1.1.5.3"},
        {"1.3.6.1.6.3.1.1.4.3.0", "OID: .1.3.6.1.4.1.99999"}}},
      {"SendNotification",
       [&] { engine.SendNotification("127.0.0.1", Port(), "public", "1.3.6.1.4.1.99999.7"); },
       {{"1.3.6.1.6.3.1.1.4.1.0", "OID: .1.3.6.1.4.1.99999.7"}}},
      {"SendInformRequest",
       [&] {
         engine.SendInformRequest("127.0.0.1", Port(), "public", 555, "1.3.6.1.4.1.99999.8",
                                  counter);
       },
       {{"1.3.6.1.6.3.1.1.4.1.0", "OID: .1.3.6.1.4.1.99999.8"},
        {one, "Counter64: 18446744073709551615"}}},
  };
  std::size_t index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(host_.PumpUntil([&] { return engine.Stat() == 1; }));
    c.send();
    const PrintedTrap trap = Printed(index++);
    EXPECT_EQ(trap.version, 1);
    EXPECT_EQ(trap.community, "public");
    Bindings expected = head;
    expected.insert(expected.end(), c.after_uptime.begin(), c.after_uptime.end());
    EXPECT_EQ(trap.bindings, expected) << trap.line;
  }
  // snmptrapd acknowledges the inform: a GetResponse with its request id.
  ASSERT_TRUE(host_.WaitResponses(1));
  EXPECT_EQ(host_.responses[0].Command, "GetResponse");
  EXPECT_EQ(host_.responses[0].RequestId, 555);
  EXPECT_EQ(host_.responses[0].Version, 1);
}

TEST(Snmpv2ReceiverTest, SnmptrapAndSnmpinformReachTheHostAndTheInformIsAcknowledged) {
  EngineHarness host;
  ASSERT_NO_FATAL_FAILURE(host.WaitReady());
  const std::string agent = "127.0.0.1:" + host.Port();
  const std::string one = std::string(kEnterprise) + ".1";
  const struct {
    const char* tool;
    const char* command;
  } cases[] = {{"snmptrap", "SNMPv2-Trap"}, {"snmpinform", "InformRequest"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tool);
    const std::size_t before = host.responses.size();
    const CommandResult sent =
        RunNetSnmpTool({c.tool, "-v", "2c", "-c", "public", "-r", "0", "-t", "3", agent, "77",
                        std::string(kEnterprise) + ".0.5", one, "C", "18446744073709551615"},
                       milliseconds(10000), [&] { host.PumpOnce(); });
    EXPECT_EQ(sent.exit_code, 0) << sent.out << sent.err;  // snmpinform got its answer
    ASSERT_TRUE(host.WaitResponses(before + 1));
    const ResponseEvent& r = host.responses[before];
    EXPECT_EQ(r.Version, 1);
    EXPECT_EQ(r.Command, c.command);
    EXPECT_EQ(r.Objects,
              (std::vector<OstrelObject>{
                  {"1.3.6.1.2.1.1.3.0", 67, "TimeTicks", 77},
                  {"1.3.6.1.6.3.1.1.4.1.0", 6, "ObjectID", std::string(kEnterprise) + ".0.5"},
                  {one, 70, "Counter64", std::uint64_t{18446744073709551615u}}}));
  }
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(host.ready_events, 1);  // the acknowledgement raised no Ready
}

TEST(Snmpv2AgentTest, SnmpgetAndSnmpbulkgetAnsweredInTheirVersion) {
  EngineHarness host;
  ASSERT_NO_FATAL_FAILURE(host.WaitReady());
  kivOstrel& engine = host.engine();
  const std::string base = std::string(kEnterprise) + ".2.";
  std::map<std::string, Bytes> mib;
  for (int i = 1; i <= 5; ++i) {
    const std::string oid = base + std::to_string(i) + ".0";
    mib[oid] = engine.SNMPCounter64Value(oid, std::to_string(i * 1000000000000ULL));
  }
  host.on_response = [&](const ResponseEvent& request) {
    // Answered in the version of the request; GetBulk from its max-repetitions.
    engine.SnmpVersion(Variant(static_cast<std::int32_t>(request.Version)));
    const OstrelObject first = request.Objects[0];
    Bytes answer;
    if (request.Command == "GetRequest") {
      answer = mib.at(first.OIDName);
    } else if (request.Command == "GetBulkRequest") {
      auto next = mib.upper_bound(first.OIDName);
      for (std::int32_t n = 0; n < request.ErrorIndex && next != mib.end(); ++n, ++next) {
        answer.insert(answer.end(), next->second.begin(), next->second.end());
      }
    }
    engine.SendGetResponse(request.RemoteIP, request.RemotePort, request.Community,
                           request.RequestId, 0, 0, answer);
  };
  const std::string agent = "127.0.0.1:" + host.Port();
  const auto run = [&](std::vector<std::string> argv) {
    CommandResult result = RunNetSnmpTool(argv, milliseconds(10000), [&] { host.PumpOnce(); });
    EXPECT_EQ(result.exit_code, 0) << result.err << result.out;
    return result.out;
  };
  EXPECT_EQ(run({"snmpget", "-v2c", "-c", "public", "-On", agent, base + "2.0"}),
            "." + base + "2.0 = Counter64: 2000000000000\n");
  EXPECT_EQ(run({"snmpbulkget", "-v2c", "-c", "public", "-On", "-Cn0", "-Cr3", agent,
                 std::string(kEnterprise) + ".2"}),
            "." + base + "1.0 = Counter64: 1000000000000\n." + base +
                "2.0 = Counter64: 2000000000000\n." + base + "3.0 = Counter64: 3000000000000\n");
}

}  // namespace
}  // namespace kivostrel::testing
