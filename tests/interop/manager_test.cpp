// The control as a manager: its GetRequest, GetNextRequest and SetRequest answered by snmpd.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine_harness.h"
#include "tests/support/netsnmp_peers.h"

namespace kivostrel::testing {
namespace {

using std::chrono::milliseconds;

constexpr const char* kSysDescr = "1.3.6.1.2.1.1.1.0";
constexpr const char* kSysObjectId = "1.3.6.1.2.1.1.2.0";
constexpr const char* kSysUpTime = "1.3.6.1.2.1.1.3.0";
constexpr const char* kSysContact = "1.3.6.1.2.1.1.4.0";
constexpr const char* kSysLocation = "1.3.6.1.2.1.1.6.0";

// What Net-SNMP's own snmpget prints as the value alone, without quotes or a leading dot.
std::string ValuePrintedBySnmpget(const SnmpAgent& agent, const std::string& oid) {
  const CommandResult result = RunNetSnmpTool(
      {"snmpget", "-v1", "-c", "public", "-On", "-Oqv", agent.Endpoint(), oid}, milliseconds(5000));
  EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
  std::string text = result.out;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    text = text.substr(1, text.size() - 2);
  if (!text.empty() && text.front() == '.') text.erase(0, 1);
  return text;
}

class ManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(host_.WaitReady()); }

  // Sends with `send` and returns the one Response that answers it.
  ResponseEvent Exchange(const std::function<void(kivOstrel&)>& send) {
    const std::size_t before = host_.responses.size();
    send(host_.engine());
    EXPECT_TRUE(host_.WaitResponses(before + 1)) << "snmpd did not answer; its log:\n"
                                                 << agent_.Log();
    // The control is free for the next send once DatagramSent has been pumped.
    EXPECT_TRUE(host_.PumpUntil([this] { return host_.engine().Stat() == 1; }));
    return host_.responses.size() > before ? host_.responses[before] : ResponseEvent{};
  }

  ResponseEvent Get(const std::vector<std::string>& oids, std::int32_t request_id,
                    const std::string& community = "public") {
    Bytes bindings;
    for (const std::string& oid : oids) {
      const Bytes binding = host_.engine().SNMPNullValue(oid);
      bindings.insert(bindings.end(), binding.begin(), binding.end());
    }
    return Exchange([&](kivOstrel& engine) {
      engine.SendGetRequest("127.0.0.1", Port(), community, request_id, bindings);
    });
  }

  std::string Port() const { return std::to_string(agent_.port()); }

  SnmpAgent agent_;
  EngineHarness host_;
};

// --- GetRequest: one value of each type snmpd has at hand ---

struct GetCase {
  const char* name;
  const char* oid;
  std::int16_t type;
  const char* type_name;
  bool compare_with_snmpget;  // false for values that change between two requests
  friend void PrintTo(const GetCase& c, std::ostream* out) { *out << c.name; }
};

class ManagerGetTest : public ManagerTest, public ::testing::WithParamInterface<GetCase> {};

TEST_P(ManagerGetTest, GetResponseCarriesTheValueSnmpgetSees) {
  const GetCase& c = GetParam();
  const std::int32_t request_id = 0x5A0000 + static_cast<std::int32_t>(c.type);
  const ResponseEvent response = Get({c.oid}, request_id);

  EXPECT_EQ(response.RemoteIP, "127.0.0.1");
  EXPECT_EQ(response.RemotePort, Port());
  EXPECT_EQ(response.Version, 0);
  EXPECT_EQ(response.Community, "public");
  EXPECT_EQ(response.Command, "GetResponse");
  EXPECT_EQ(response.RequestId, request_id);
  EXPECT_EQ(response.ErrorStatus, 0);
  ASSERT_EQ(response.Objects.size(), 1u);
  const OstrelObject& row = response.Objects[0];
  EXPECT_EQ(response.keys[0], "0");
  EXPECT_EQ(row.OIDName, c.oid);
  EXPECT_EQ(row.OIDType, c.type);
  EXPECT_EQ(row.OIDTypeName, c.type_name);
  EXPECT_EQ(host_.engine().Name2TypeID(row.OIDTypeName), c.type);
  if (c.type == kTagOctetString || c.type == kTagObjectId || c.type == kTagIpAddress) {
    ASSERT_TRUE(std::holds_alternative<std::string>(row.OIDValue)) << ValueText(row.OIDValue);
  } else {
    ASSERT_TRUE(std::holds_alternative<std::int32_t>(row.OIDValue)) << ValueText(row.OIDValue);
    EXPECT_GE(std::get<std::int32_t>(row.OIDValue), 0);
  }
  if (c.compare_with_snmpget) {
    EXPECT_EQ(ValueText(row.OIDValue), ValuePrintedBySnmpget(agent_, c.oid));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Snmpd, ManagerGetTest,
    ::testing::Values(GetCase{"sysDescr", kSysDescr, kTagOctetString, "OctetString", true},
                      GetCase{"sysObjectID", kSysObjectId, kTagObjectId, "ObjectID", true},
                      GetCase{"sysUpTime", kSysUpTime, kTagTimeTicks, "TimeTicks", false},
                      GetCase{"ifNumber", "1.3.6.1.2.1.2.1.0", kTagInteger, "Integer", true},
                      GetCase{"snmpInPkts", "1.3.6.1.2.1.11.1.0", kTagCounter, "Counter", false},
                      GetCase{"ifSpeed1", "1.3.6.1.2.1.2.2.1.5.1", kTagGauge, "Gauge", true},
                      GetCase{"ipAdEntAddrLoopback", "1.3.6.1.2.1.4.20.1.1.127.0.0.1",
                              kTagIpAddress, "IpAddress", true}),
    [](const ::testing::TestParamInfo<GetCase>& param) { return std::string(param.param.name); });

TEST_F(ManagerTest, OneRequestWithThreeBindingsGivesThreeRowsInOrder) {
  const ResponseEvent response = Get({kSysDescr, kSysObjectId, kSysUpTime}, -7);
  EXPECT_EQ(response.RequestId, -7);
  EXPECT_EQ(response.ErrorStatus, 0);
  ASSERT_EQ(response.Objects.size(), 3u);
  EXPECT_EQ(response.keys, (std::vector<std::string>{"0", "1", "2"}));
  EXPECT_EQ(response.Objects[0].OIDName, kSysDescr);
  EXPECT_EQ(response.Objects[0].OIDType, kTagOctetString);
  EXPECT_EQ(response.Objects[1].OIDName, kSysObjectId);
  EXPECT_EQ(response.Objects[1].OIDValue, Variant(std::string("1.3.6.1.4.1.8072.3.2.10")));
  EXPECT_EQ(response.Objects[2].OIDName, kSysUpTime);
  EXPECT_EQ(response.Objects[2].OIDTypeName, "TimeTicks");
}

TEST_F(ManagerTest, ResponsesOfSnmpdDecodeToTheSameBytesTheyCameIn) {
  const ResponseEvent response = Get({kSysObjectId}, 99);
  // RawData is the datagram unchanged: its length octets cover it exactly.
  ASSERT_GE(response.RawData.size(), 2u);
  EXPECT_EQ(response.RawData[0], 0x30);
  EXPECT_EQ(static_cast<std::size_t>(response.RawData[1]) + 2, response.RawData.size());
}

// --- GetNextRequest ---

struct GetNextCase {
  const char* name;
  const char* from;
  const char* next;
  friend void PrintTo(const GetNextCase& c, std::ostream* out) { *out << c.name; }
};

class ManagerGetNextTest : public ManagerTest, public ::testing::WithParamInterface<GetNextCase> {};

TEST_P(ManagerGetNextTest, GetNextGivesTheFollowingObject) {
  const GetNextCase& c = GetParam();
  const Bytes binding = host_.engine().SNMPNullValue(c.from);
  const ResponseEvent response = Exchange([&](kivOstrel& engine) {
    engine.SendGetNextRequest("127.0.0.1", Port(), "public", 31337, binding);
  });
  EXPECT_EQ(response.Command, "GetResponse");
  EXPECT_EQ(response.RequestId, 31337);
  EXPECT_EQ(response.ErrorStatus, 0);
  ASSERT_EQ(response.Objects.size(), 1u);
  EXPECT_EQ(response.Objects[0].OIDName, c.next);
}

INSTANTIATE_TEST_SUITE_P(Snmpd, ManagerGetNextTest,
                         ::testing::Values(GetNextCase{"SystemGroup", "1.3.6.1.2.1.1", kSysDescr},
                                           GetNextCase{"SysDescr", kSysDescr, kSysObjectId},
                                           GetNextCase{"SysObjectID", kSysObjectId, kSysUpTime}),
                         [](const ::testing::TestParamInfo<GetNextCase>& param) {
                           return std::string(param.param.name);
                         });

// --- SetRequest ---

TEST_F(ManagerTest, SetSysContactThenGetItBack) {
  const std::string contact = "interop test <noc@localhost>";
  const Bytes binding = host_.engine().SNMPStringValue(kSysContact, contact);
  const ResponseEvent set = Exchange([&](kivOstrel& engine) {
    engine.SendSetRequest("127.0.0.1", Port(), "private", 4242, binding);
  });
  EXPECT_EQ(set.Command, "GetResponse");
  EXPECT_EQ(set.Community, "private");
  EXPECT_EQ(set.RequestId, 4242);
  EXPECT_EQ(set.ErrorStatus, 0) << host_.engine().Err2Str(set.ErrorStatus);
  ASSERT_EQ(set.Objects.size(), 1u);
  EXPECT_EQ(set.Objects[0].OIDName, kSysContact);
  EXPECT_EQ(set.Objects[0].OIDValue, Variant(contact));

  const ResponseEvent get = Get({kSysContact}, 4243);
  EXPECT_EQ(get.ErrorStatus, 0);
  ASSERT_EQ(get.Objects.size(), 1u);
  EXPECT_EQ(get.Objects[0].OIDTypeName, "OctetString");
  EXPECT_EQ(get.Objects[0].OIDValue, Variant(contact));
  EXPECT_EQ(ValuePrintedBySnmpget(agent_, kSysContact), contact);
}

TEST_F(ManagerTest, SetSysLocationFromBytesThenGetItBackAsBytes) {
  const Bytes location{'R', 'a', 'c', 'k', ' ', '4', '2', '/', '7'};
  const Bytes binding = host_.engine().SNMPBinStringValue(kSysLocation, location);
  const ResponseEvent set = Exchange([&](kivOstrel& engine) {
    engine.SendSetRequest("127.0.0.1", Port(), "private", 77, binding);
  });
  EXPECT_EQ(set.ErrorStatus, 0) << host_.engine().Err2Str(set.ErrorStatus);

  host_.engine().StringType(1);
  const ResponseEvent get = Get({kSysLocation}, 78);
  ASSERT_EQ(get.Objects.size(), 1u);
  EXPECT_EQ(get.Objects[0].OIDValue, Variant(location));
  EXPECT_EQ(get.Community, "public");  // the community stays text with byte-array values
}

// --- Error statuses ---

struct ErrorCase {
  const char* name;
  BerTag pdu;
  const char* community;
  const char* oid;
  char value_kind;  // 'n' null, 's' string, 'i' integer
  std::int16_t error_status;
  const char* error_name;
  friend void PrintTo(const ErrorCase& c, std::ostream* out) { *out << c.name; }
};

class ManagerErrorTest : public ManagerTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ManagerErrorTest, SnmpdAnswersWithTheErrorStatus) {
  const ErrorCase& c = GetParam();
  kivOstrel& engine = host_.engine();
  const Bytes binding = c.value_kind == 's'   ? engine.SNMPStringValue(c.oid, "x")
                        : c.value_kind == 'i' ? engine.SNMPIntegerValue(c.oid, "5")
                                              : engine.SNMPNullValue(c.oid);
  const ResponseEvent response = Exchange([&](kivOstrel& e) {
    if (c.pdu == kTagSetRequest) {
      e.SendSetRequest("127.0.0.1", Port(), c.community, 1000, binding);
    } else {
      e.SendGetRequest("127.0.0.1", Port(), c.community, 1000, binding);
    }
  });
  EXPECT_EQ(response.Command, "GetResponse");
  EXPECT_EQ(response.RequestId, 1000);
  EXPECT_EQ(response.ErrorStatus, c.error_status);
  EXPECT_EQ(engine.Err2Str(response.ErrorStatus), c.error_name);
  // An SNMPv1 error response echoes the request's bindings.
  ASSERT_EQ(response.Objects.size(), 1u);
  EXPECT_EQ(response.Objects[0].OIDName, c.oid);
}

INSTANTIATE_TEST_SUITE_P(Snmpd, ManagerErrorTest,
                         ::testing::Values(ErrorCase{"GetOfMissingObject", kTagGetRequest, "public",
                                                     "1.3.6.1.2.1.1.99.0", 'n', 2, "NoSuchName"},
                                           ErrorCase{"SetWithReadOnlyCommunity", kTagSetRequest,
                                                     "public", kSysContact, 's', 2, "NoSuchName"},
                                           ErrorCase{"SetOfWrongType", kTagSetRequest, "private",
                                                     kSysContact, 'i', 3, "BadValue"}),
                         [](const ::testing::TestParamInfo<ErrorCase>& param) {
                           return std::string(param.param.name);
                         });

TEST_F(ManagerTest, UnknownCommunityGetsNoAnswer) {
  const Bytes binding = host_.engine().SNMPNullValue(kSysDescr);
  host_.engine().SendGetRequest("127.0.0.1", Port(), "not-a-community", 5, binding);
  EXPECT_FALSE(host_.WaitResponses(1, milliseconds(700)));
  EXPECT_TRUE(host_.errors.empty());
  EXPECT_EQ(host_.engine().Stat(), 1);
}

}  // namespace
}  // namespace kivostrel::testing
