// The control as a trap sender: its Trap received and printed by snmptrapd.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine_harness.h"
#include "tests/support/netsnmp_peers.h"

namespace kivostrel::testing {
namespace {

using std::chrono::milliseconds;
using Printed = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kEnterprise = "1.3.6.1.4.1.99999";

class TrapSenderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(host_.WaitReady()); }

  // Sends one trap and returns it as snmptrapd printed it.
  PrintedTrap SendAndReceive(const std::string& community, const std::string& enterprise,
                             std::int16_t generic, const std::string& specific,
                             const Bytes& bindings = {}) {
    const std::size_t before = receiver_.Traps().size();
    host_.engine().SendTrap("127.0.0.1", Port(), community, enterprise, generic, specific,
                            Variant(bindings));
    EXPECT_TRUE(
        receiver_.WaitForTraps(before + 1, milliseconds(5000), [this] { host_.PumpOnce(); }))
        << "snmptrapd printed nothing; its log:\n"
        << receiver_.Log();
    EXPECT_TRUE(host_.errors.empty());
    const std::vector<PrintedTrap> traps = receiver_.Traps();
    return traps.size() > before ? traps[before] : PrintedTrap{};
  }

  std::string Port() const { return std::to_string(receiver_.port()); }

  TrapReceiver receiver_;
  EngineHarness host_;
};

// Every value constructor's binding, with the text Net-SNMP prints for it.
struct BindingCase {
  Bytes binding;
  std::string oid;
  std::string printed;
};

std::vector<BindingCase> EveryKindOfBinding(const kivOstrel& engine) {
  const std::string base = std::string(kEnterprise) + ".1.";
  return {
      {engine.SNMPStringValue(base + "1", "hello world"), base + "1", "STRING: \"hello world\""},
      {engine.SNMPIntegerValue(base + "2", "-5"), base + "2", "INTEGER: -5"},
      {engine.SNMPIntegerValue(base + "3", "-2147483648"), base + "3", "INTEGER: -2147483648"},
      {engine.SNMPCounterValue(base + "4", "7"), base + "4", "Counter32: 7"},
      {engine.SNMPCounterValue(base + "5", "4294967295"), base + "5", "Counter32: 4294967295"},
      {engine.SnmpGaugeValue(base + "6", "8"), base + "6", "Gauge32: 8"},
      {engine.SnmpTimeTicksValue(base + "7", "9"), base + "7", "Timeticks: (9) 0:00:00.09"},
      {engine.SNMPIpAddrValue(base + "8", "1.2.3.4"), base + "8", "IpAddress: 1.2.3.4"},
      {engine.SNMPBinStringValue(base + "9", Bytes{0x00, 0xFF, 0x41}), base + "9",
       "Hex-STRING: 00 FF 41"},
      {engine.SNMPNullValue(base + "10"), base + "10", "NULL"},
  };
}

TEST_F(TrapSenderTest, EnterpriseSpecificTrapWithEveryValueType) {
  kivOstrel& engine = host_.engine();
  engine.AgentAddress("127.0.0.1");
  engine.TickCount(123456);
  Bytes bindings;
  Printed expected;
  for (const BindingCase& c : EveryKindOfBinding(engine)) {
    bindings.insert(bindings.end(), c.binding.begin(), c.binding.end());
    expected.emplace_back(c.oid, c.printed);
  }

  const PrintedTrap trap = SendAndReceive("public", kEnterprise, 6, "17", bindings);
  SCOPED_TRACE(trap.line);
  EXPECT_EQ(trap.version, 0);
  EXPECT_EQ(trap.community, "public");
  EXPECT_EQ(trap.enterprise, kEnterprise);
  EXPECT_EQ(trap.agent_address, "127.0.0.1");
  EXPECT_EQ(trap.generic_trap, 6);
  EXPECT_EQ(trap.specific_trap, "17");
  EXPECT_EQ(trap.time_stamp, 123456);
  EXPECT_EQ(trap.bindings, expected);
}

class TrapSenderGenericTest : public TrapSenderTest,
                              public ::testing::WithParamInterface<std::int16_t> {};

TEST_P(TrapSenderGenericTest, GenericTrapKeepsItsNumber) {
  const std::int16_t generic = GetParam();
  host_.engine().AgentAddress("10.20.30.40");
  host_.engine().TickCount(generic * 100 + 1);
  const Bytes binding = host_.engine().SNMPIntegerValue("1.3.6.1.2.1.2.2.1.1.1", "1");
  const PrintedTrap trap = SendAndReceive("public", kEnterprise, generic, "0", binding);
  SCOPED_TRACE(trap.line);
  EXPECT_EQ(trap.generic_trap, generic);
  EXPECT_EQ(trap.specific_trap, "0");
  EXPECT_EQ(trap.agent_address, "10.20.30.40");
  EXPECT_EQ(trap.time_stamp, generic * 100 + 1);
  EXPECT_EQ(trap.bindings, (Printed{{"1.3.6.1.2.1.2.2.1.1.1", "INTEGER: 1"}}));
}

INSTANTIATE_TEST_SUITE_P(Snmptrapd, TrapSenderGenericTest, ::testing::Range<std::int16_t>(0, 6));

TEST_F(TrapSenderTest, AgentAddressAndTimeStampChosenAutomatically) {
  // The tick counter at its largest: 4294967295 ms is 429496729 hundredths.
  EngineHarness host(0, kivOstrel::Options{.tick_count = [] { return 4294967295u; }});
  ASSERT_NO_FATAL_FAILURE(host.WaitReady());
  ASSERT_EQ(host.engine().AgentAddress(), "");
  ASSERT_EQ(host.engine().TickCount(), -1);
  host.engine().SendTrap("127.0.0.1", Port(), "public", kEnterprise, 6, "1");
  ASSERT_TRUE(receiver_.WaitForTraps(1, milliseconds(5000), [&] { host.PumpOnce(); }))
      << receiver_.Log();
  const PrintedTrap trap = receiver_.Traps().at(0);
  SCOPED_TRACE(trap.line);
  // LocalAddressFor 127.0.0.1 is the loopback address itself.
  EXPECT_EQ(trap.agent_address, "127.0.0.1");
  EXPECT_EQ(trap.time_stamp, 429496729);
  EXPECT_TRUE(trap.bindings.empty());
}

TEST_F(TrapSenderTest, CommunityAndLargeSpecificNumberArriveUnchanged) {
  host_.engine().AgentAddress("192.0.2.1");
  host_.engine().TickCount(0);
  const PrintedTrap trap =
      SendAndReceive("trap-community", "1.3.6.1.4.1.8072.9999.1", 6, "2147483647");
  SCOPED_TRACE(trap.line);
  EXPECT_EQ(trap.community, "trap-community");
  EXPECT_EQ(trap.enterprise, "1.3.6.1.4.1.8072.9999.1");
  EXPECT_EQ(trap.specific_trap, "2147483647");
  EXPECT_EQ(trap.time_stamp, 0);
  EXPECT_EQ(trap.agent_address, "192.0.2.1");
}

TEST_F(TrapSenderTest, SeveralTrapsInARowArriveInOrder) {
  host_.engine().AgentAddress("127.0.0.1");
  for (int i = 1; i <= 5; ++i) {
    host_.engine().TickCount(i);
    const PrintedTrap trap = SendAndReceive("public", kEnterprise, 6, std::to_string(i));
    EXPECT_EQ(trap.specific_trap, std::to_string(i));
    EXPECT_EQ(trap.time_stamp, i);
    // The next send waits for the DatagramSent of this one.
    ASSERT_TRUE(host_.PumpUntil([this] { return host_.engine().Stat() == 1; }));
  }
  EXPECT_EQ(receiver_.Traps().size(), 5u);
}

}  // namespace
}  // namespace kivostrel::testing
