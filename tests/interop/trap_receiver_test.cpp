// The control as a trap receiver: Net-SNMP's `snmptrap -v1` reported through Response in the
// SNMPv1-to-SNMPv2 notification form of RFC 3584 (section 3.1).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine_harness.h"
#include "tests/support/netsnmp_peers.h"

namespace kivostrel::testing {
namespace {

using std::chrono::milliseconds;

constexpr const char* kEnterprise = "1.3.6.1.4.1.99999";
constexpr const char* kSysUpTime = "1.3.6.1.2.1.1.3.0";
constexpr const char* kSnmpTrapOid = "1.3.6.1.6.3.1.1.4.1.0";
constexpr const char* kSnmpTrapAddress = "1.3.6.1.6.3.18.1.3.0";
constexpr const char* kSnmpTrapCommunity = "1.3.6.1.6.3.18.1.4.0";
constexpr const char* kSnmpTrapEnterprise = "1.3.6.1.6.3.1.1.4.3.0";

// One expected row: OIDName, OIDType, OIDTypeName, the value as ValueText shows it.
struct Row {
  std::string oid;
  std::int16_t type;
  std::string type_name;
  std::string value;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
  return out << "{" << row.oid << ", " << row.type << ", " << row.type_name << ", " << row.value
             << "}";
}

std::vector<Row> RowsOf(const ResponseEvent& event) {
  std::vector<Row> rows;
  for (const OstrelObject& object : event.Objects)
    rows.push_back(
        {object.OIDName, object.OIDType, object.OIDTypeName, ValueText(object.OIDValue)});
  return rows;
}

class TrapReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(host_.WaitReady()); }

  // Runs snmptrap against the control and returns the one Response it caused.
  ResponseEvent ReceiveTrap(const std::vector<std::string>& trap_arguments,
                            const std::string& community = "public") {
    std::vector<std::string> argv{"snmptrap", "-v1", "-c", community, "127.0.0.1:" + host_.Port()};
    argv.insert(argv.end(), trap_arguments.begin(), trap_arguments.end());
    const CommandResult sent =
        RunNetSnmpTool(argv, milliseconds(10000), [this] { host_.PumpOnce(); });
    EXPECT_EQ(sent.exit_code, 0) << sent.out << sent.err;
    EXPECT_TRUE(host_.WaitResponses(1)) << "no Response for the trap";
    return host_.responses.empty() ? ResponseEvent{} : host_.responses.front();
  }

  EngineHarness host_;
};

TEST_F(TrapReceiverTest, EnterpriseSpecificTrapWithEveryValueType) {
  const std::string b = std::string(kEnterprise) + ".1.";
  const ResponseEvent trap = ReceiveTrap({kEnterprise, "10.1.2.3",
                                          "6",         "17",
                                          "123456",    b + "1",
                                          "s",         "hello world",
                                          b + "2",     "i",
                                          "-5",        b + "3",
                                          "c",         "4294967295",
                                          b + "4",     "u",
                                          "8",         b + "5",
                                          "t",         "9",
                                          b + "6",     "a",
                                          "1.2.3.4",   b + "7",
                                          "o",         "1.3.6.1.2.1.1.1.0",
                                          b + "8",     "x",
                                          "00FF41",    b + "9",
                                          "n",         ""});
  EXPECT_EQ(trap.RemoteIP, "127.0.0.1");
  EXPECT_EQ(trap.Version, 0);
  EXPECT_EQ(trap.Community, "public");
  EXPECT_EQ(trap.Command, "Trap");
  EXPECT_EQ(trap.RequestId, 0);
  EXPECT_EQ(trap.ErrorStatus, 0);
  const std::vector<Row> expected{
      {kSysUpTime, kTagTimeTicks, "TimeTicks", "123456"},
      {kSnmpTrapOid, kTagObjectId, "ObjectID", std::string(kEnterprise) + ".0.17"},
      {b + "1", kTagOctetString, "OctetString", "hello world"},
      {b + "2", kTagInteger, "Integer", "-5"},
      // Counter, Gauge and TimeTicks arrive as signed 32-bit numbers.
      {b + "3", kTagCounter, "Counter", "-1"},
      {b + "4", kTagGauge, "Gauge", "8"},
      {b + "5", kTagTimeTicks, "TimeTicks", "9"},
      {b + "6", kTagIpAddress, "IpAddress", "1.2.3.4"},
      {b + "7", kTagObjectId, "ObjectID", "1.3.6.1.2.1.1.1.0"},
      {b + "8", kTagOctetString, "OctetString", std::string("\x00\xFF\x41", 3)},
      {b + "9", kTagNull, "Null", ""},
      // The agent-addr field, not the datagram's source.
      {kSnmpTrapAddress, kTagIpAddress, "IpAddress", "10.1.2.3"},
      {kSnmpTrapCommunity, kTagOctetString, "OctetString", "public"},
      {kSnmpTrapEnterprise, kTagObjectId, "ObjectID", kEnterprise},
  };
  EXPECT_EQ(RowsOf(trap), expected);
  std::vector<std::string> keys;
  for (std::size_t k = 0; k < expected.size(); ++k) keys.push_back(std::to_string(k));
  EXPECT_EQ(trap.keys, keys);
}

// A host that relays a trap sends what Response handed it: identifiers under 0 and 2, and
// Counter, Gauge and TimeTicks of 2^31 or more (handed over as negative numbers), reach
// snmptrapd as snmptrap sent them.
TEST_F(TrapReceiverTest, RelayedTrapGoesOutAsItCameIn) {
  const ResponseEvent trap = ReceiveTrap(
      {"2.999.3", "10.1.2.3", "6", "-1", "4294967291", "0.0.17", "c", "4294967295", "0.4.0.127.0.7",
       "u", "2147483648", "2.40.1", "t", "4294967291", "2.100.3", "o", "2.16.840.1"});
  const std::vector<Row> expected{
      {kSysUpTime, kTagTimeTicks, "TimeTicks", "-5"},
      {kSnmpTrapOid, kTagObjectId, "ObjectID", "2.999.3.0.4294967295"},
      {"0.0.17", kTagCounter, "Counter", "-1"},
      {"0.4.0.127.0.7", kTagGauge, "Gauge", "-2147483648"},
      {"2.40.1", kTagTimeTicks, "TimeTicks", "-5"},
      {"2.100.3", kTagObjectId, "ObjectID", "2.16.840.1"},
      {kSnmpTrapAddress, kTagIpAddress, "IpAddress", "10.1.2.3"},
      {kSnmpTrapCommunity, kTagOctetString, "OctetString", "public"},
      {kSnmpTrapEnterprise, kTagObjectId, "ObjectID", "2.999.3"},
  };
  ASSERT_EQ(RowsOf(trap), expected);

  // The relay: every binding a constructor can build (there is none for an identifier value),
  // the enterprise, the agent address and the time stamp, as the host was handed them.
  kivOstrel& engine = host_.engine();
  const std::vector<OstrelObject> rows(trap.Objects.begin(), trap.Objects.end());
  Bytes bindings;
  for (const OstrelObject& row : std::span(rows).subspan(2, 3)) {
    const std::string value = ValueText(row.OIDValue);
    const Bytes binding = row.OIDType == kTagCounter ? engine.SNMPCounterValue(row.OIDName, value)
                          : row.OIDType == kTagGauge
                              ? engine.SnmpGaugeValue(row.OIDName, value)
                              : engine.SnmpTimeTicksValue(row.OIDName, value);
    bindings.insert(bindings.end(), binding.begin(), binding.end());
  }
  engine.AgentAddress(ValueText(rows[6].OIDValue));
  engine.TickCount(std::get<std::int32_t>(rows[0].OIDValue));
  TrapReceiver receiver;
  engine.SendTrap("127.0.0.1", std::to_string(receiver.port()), "public",
                  ValueText(rows[8].OIDValue), 6, "1", Variant(bindings));
  ASSERT_TRUE(receiver.WaitForTraps(1, milliseconds(5000), [this] { host_.PumpOnce(); }))
      << receiver.Log();
  const PrintedTrap relayed = receiver.Traps().at(0);
  SCOPED_TRACE(relayed.line);
  EXPECT_EQ(relayed.enterprise, "2.999.3");
  EXPECT_EQ(relayed.agent_address, "10.1.2.3");
  EXPECT_EQ(relayed.time_stamp, 4294967291);
  EXPECT_EQ(relayed.bindings, (std::vector<std::pair<std::string, std::string>>{
                                  {"0.0.17", "Counter32: 4294967295"},
                                  {"0.4.0.127.0.7", "Gauge32: 2147483648"},
                                  {"2.40.1", "Timeticks: (4294967291) 497 days, 2:27:52.91"}}));
}

TEST_F(TrapReceiverTest, OctetStringsAsBytesWithStringTypeOne) {
  host_.engine().StringType(1);
  const ResponseEvent trap = ReceiveTrap(
      {kEnterprise, "127.0.0.1", "6", "1", "5", std::string(kEnterprise) + ".2", "x", "00FF41"});
  ASSERT_EQ(trap.Objects.size(), 6u);
  EXPECT_EQ(trap.Objects[2].OIDValue, Variant(Bytes{0x00, 0xFF, 0x41}));
  EXPECT_EQ(trap.Community, "public");
}

struct GenericCase {
  int generic;
  const char* trap_oid;
  friend void PrintTo(const GenericCase& c, std::ostream* out) { *out << c.generic; }
};

class TrapReceiverGenericTest : public TrapReceiverTest,
                                public ::testing::WithParamInterface<GenericCase> {};

TEST_P(TrapReceiverGenericTest, GenericTrapGivesItsStandardTrapOid) {
  const GenericCase& c = GetParam();
  const ResponseEvent trap = ReceiveTrap({kEnterprise, "127.0.0.1", std::to_string(c.generic), "0",
                                          "42", "1.3.6.1.2.1.2.2.1.1.2", "i", "2"},
                                         "traps");
  EXPECT_EQ(trap.Command, "Trap");
  EXPECT_EQ(trap.ErrorStatus, 0);
  EXPECT_EQ(trap.Community, "traps");
  const std::vector<Row> expected{
      {kSysUpTime, kTagTimeTicks, "TimeTicks", "42"},
      {kSnmpTrapOid, kTagObjectId, "ObjectID", c.trap_oid},
      {"1.3.6.1.2.1.2.2.1.1.2", kTagInteger, "Integer", "2"},
      {kSnmpTrapAddress, kTagIpAddress, "IpAddress", "127.0.0.1"},
      {kSnmpTrapCommunity, kTagOctetString, "OctetString", "traps"},
      {kSnmpTrapEnterprise, kTagObjectId, "ObjectID", kEnterprise},
  };
  EXPECT_EQ(RowsOf(trap), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Snmptrap, TrapReceiverGenericTest,
    ::testing::Values(GenericCase{0, "1.3.6.1.6.3.1.1.5.1"},  // coldStart
                      GenericCase{1, "1.3.6.1.6.3.1.1.5.2"},  // warmStart
                      GenericCase{2, "1.3.6.1.6.3.1.1.5.3"},  // linkDown
                      GenericCase{3, "1.3.6.1.6.3.1.1.5.4"},  // linkUp
                      GenericCase{4, "1.3.6.1.6.3.1.1.5.5"},  // authenticationFailure
                      GenericCase{5, "1.3.6.1.6.3.1.1.5.6"},  // egpNeighborLoss
                      GenericCase{6, "1.3.6.1.4.1.99999.0.0"}),
    [](const ::testing::TestParamInfo<GenericCase>& param) {
      return "Generic" + std::to_string(param.param.generic);
    });

TEST_F(TrapReceiverTest, TrapWithoutBindingsHasOnlyTheFiveAddedRows) {
  const ResponseEvent trap = ReceiveTrap({"1.3.6.1.4.1.8072.2.3", "192.0.2.7", "6", "99", "0"});
  const std::vector<Row> expected{
      {kSysUpTime, kTagTimeTicks, "TimeTicks", "0"},
      {kSnmpTrapOid, kTagObjectId, "ObjectID", "1.3.6.1.4.1.8072.2.3.0.99"},
      {kSnmpTrapAddress, kTagIpAddress, "IpAddress", "192.0.2.7"},
      {kSnmpTrapCommunity, kTagOctetString, "OctetString", "public"},
      {kSnmpTrapEnterprise, kTagObjectId, "ObjectID", "1.3.6.1.4.1.8072.2.3"},
  };
  EXPECT_EQ(RowsOf(trap), expected);
}

}  // namespace
}  // namespace kivostrel::testing
