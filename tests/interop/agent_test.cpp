// The control as a simple SNMPv1 agent on a fixed port of 127.0.0.1, answering Net-SNMP's
// snmpget, snmpgetnext, snmpset and snmpwalk from inside its Response event.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine_harness.h"
#include "tests/support/netsnmp_peers.h"

namespace kivostrel::testing {
namespace {

using std::chrono::milliseconds;

// Object identifiers in their lexicographic order, arc by arc, as GetNext walks them.
struct OidLess {
  static std::vector<std::uint32_t> Arcs(const std::string& oid) {
    std::vector<std::uint32_t> arcs;
    std::istringstream in(oid);
    std::string arc;
    while (std::getline(in, arc, '.')) arcs.push_back(static_cast<std::uint32_t>(std::stoul(arc)));
    return arcs;
  }
  bool operator()(const std::string& a, const std::string& b) const { return Arcs(a) < Arcs(b); }
};

// A small MIB of one object per value type, and what Net-SNMP prints for each.
struct AgentObject {
  const char* name;
  std::string oid;
  std::string printed;
  friend void PrintTo(const AgentObject& object, std::ostream* out) { *out << object.name; }
};

const std::string kBase = "1.3.6.1.4.1.99999.1.";

std::vector<AgentObject> AgentObjects() {
  return {
      {"String", kBase + "1.0", "STRING: \"simple agent\""},
      {"Integer", kBase + "2.0", "INTEGER: -42"},
      {"Counter", kBase + "3.0", "Counter32: 4294967295"},
      {"Gauge", kBase + "4.0", "Gauge32: 1000"},
      {"TimeTicks", kBase + "5.0", "Timeticks: (123456) 0:20:34.56"},
      {"IpAddress", kBase + "6.0", "IpAddress: 10.0.0.254"},
      {"BinString", kBase + "7.0", "Hex-STRING: 00 01 FE FF"},
      {"Null", kBase + "8.0", "NULL"},
  };
}

// Serves the small MIB through the control: the host of a simple agent.
class SimpleAgent {
 public:
  SimpleAgent() {
    // The port is chosen free and then bound by the control; another process may take it in
    // between, so a failed start is tried again with another.
    for (int attempt = 0; attempt < 5 && !host_; ++attempt) {
      port_ = FreeUdpPort();
      auto host = std::make_unique<EngineHarness>(port_);
      if (host->PumpUntil([&] { return host->engine().Stat() == 1; })) host_ = std::move(host);
    }
    if (!host_) return;
    kivOstrel& engine = host_->engine();
    mib_[kBase + "1.0"] = engine.SNMPStringValue(kBase + "1.0", "simple agent");
    mib_[kBase + "2.0"] = engine.SNMPIntegerValue(kBase + "2.0", "-42");
    mib_[kBase + "3.0"] = engine.SNMPCounterValue(kBase + "3.0", "4294967295");
    mib_[kBase + "4.0"] = engine.SnmpGaugeValue(kBase + "4.0", "1000");
    mib_[kBase + "5.0"] = engine.SnmpTimeTicksValue(kBase + "5.0", "123456");
    mib_[kBase + "6.0"] = engine.SNMPIpAddrValue(kBase + "6.0", "10.0.0.254");
    mib_[kBase + "7.0"] = engine.SNMPBinStringValue(kBase + "7.0", Bytes{0x00, 0x01, 0xFE, 0xFF});
    mib_[kBase + "8.0"] = engine.SNMPNullValue(kBase + "8.0");
    host_->on_response = [this](const ResponseEvent& request) { Answer(request); };
    host_->on_ready = [this] { SendWaitingAnswers(); };
  }

  bool started() const { return host_ != nullptr; }
  EngineHarness& host() { return *host_; }
  std::string Endpoint() const { return "127.0.0.1:" + std::to_string(port_); }
  // Requests that had to wait for the Ready of the answer before them.
  int deferred_answers() const { return deferred_answers_; }

  // A Net-SNMP tool run to its end while the control is pumped.
  CommandResult Run(std::vector<std::string> argv) {
    CommandResult result = RunNetSnmpTool(argv, milliseconds(10000), [this] { host_->PumpOnce(); });
    result.out = WithoutTrailingBlanks(result.out);
    return result;
  }

 private:
  void Answer(const ResponseEvent& request) {
    if (request.ErrorStatus != 0) return;
    const bool set = request.Command == "SetRequest";
    if (request.Command != "GetRequest" && request.Command != "GetNextRequest" && !set) return;
    if (request.Community != (set ? "private" : "public")) return;  // unknown: no answer

    Bytes answer;
    std::int32_t error_status = 0;
    std::int32_t error_index = 0;
    for (std::size_t i = 0; i < request.Objects.size() && error_status == 0; ++i) {
      const OstrelObject& row = request.Objects[i];
      Bytes binding;
      if (request.Command == "GetNextRequest") {
        const auto next = mib_.upper_bound(row.OIDName);
        if (next != mib_.end()) binding = next->second;
      } else if (const auto found = mib_.find(row.OIDName); found != mib_.end()) {
        binding = set ? (found->second = BindingOf(row)) : found->second;
      }
      if (binding.empty()) {
        error_status = 2;  // noSuchName
        error_index = static_cast<std::int32_t>(i + 1);
      }
      answer.insert(answer.end(), binding.begin(), binding.end());
    }
    if (error_status != 0) {
      // An SNMPv1 error response carries the request's bindings.
      answer.clear();
      for (const OstrelObject& row : request.Objects) {
        const Bytes binding = BindingOf(row);
        answer.insert(answer.end(), binding.begin(), binding.end());
      }
    }
    waiting_.push_back({request.RemoteIP, request.RemotePort, request.Community, request.RequestId,
                        error_status, error_index, std::move(answer)});
    SendWaitingAnswers();
  }

  // The control sends one datagram at a time: a request that arrives while the last answer is
  // still in flight (a manager that asks again at once) is answered on the next Ready.
  void SendWaitingAnswers() {
    kivOstrel& engine = host_->engine();
    while (!waiting_.empty() && engine.Stat() == 1) {
      const WaitingAnswer& a = waiting_.front();
      engine.SendGetResponse(a.address, a.port, a.community, a.request_id, a.error_status,
                             a.error_index, a.bindings);
      waiting_.pop_front();
    }
    if (!waiting_.empty()) ++deferred_answers_;
  }

  // The binding of a received row, built again from its decoded value.
  Bytes BindingOf(const OstrelObject& row) const {
    kivOstrel& engine = host_->engine();
    const std::string text = ValueToText(row.OIDValue);
    switch (row.OIDType) {
      case kTagInteger:
        return engine.SNMPIntegerValue(row.OIDName, text);
      case kTagOctetString:
        if (const auto* bytes = std::get_if<Bytes>(&row.OIDValue))
          return engine.SNMPBinStringValue(row.OIDName, *bytes);
        return engine.SNMPStringValue(row.OIDName, text);
      case kTagIpAddress:
        return engine.SNMPIpAddrValue(row.OIDName, text);
      case kTagCounter:
        return engine.SNMPCounterValue(row.OIDName, text);
      case kTagGauge:
        return engine.SnmpGaugeValue(row.OIDName, text);
      case kTagTimeTicks:
        return engine.SnmpTimeTicksValue(row.OIDName, text);
      default:
        return engine.SNMPNullValue(row.OIDName);
    }
  }

  std::uint16_t port_ = 0;
  std::unique_ptr<EngineHarness> host_;
  std::map<std::string, Bytes, OidLess> mib_;
  struct WaitingAnswer {
    std::string address, port, community;
    std::int32_t request_id, error_status, error_index;
    Bytes bindings;
  };
  std::deque<WaitingAnswer> waiting_;
  int deferred_answers_ = 0;
};

class AgentTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(agent_.started()) << "the control could not bind a port"; }
  SimpleAgent agent_;
};

class AgentGetTest : public AgentTest, public ::testing::WithParamInterface<AgentObject> {};

TEST_P(AgentGetTest, SnmpgetPrintsTheValue) {
  const AgentObject& object = GetParam();
  const CommandResult result = agent_.Run({"snmpget", "-v1", "-c", "public", "-On", "-t", "2", "-r",
                                           "1", agent_.Endpoint(), object.oid});
  ASSERT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "." + object.oid + " = " + object.printed + "\n") << result.err;

  // What the agent saw: snmpget's GetRequest.
  ASSERT_FALSE(agent_.host().responses.empty());
  const ResponseEvent& request = agent_.host().responses.front();
  EXPECT_EQ(request.RemoteIP, "127.0.0.1");
  EXPECT_EQ(request.Version, 0);
  EXPECT_EQ(request.Community, "public");
  EXPECT_EQ(request.Command, "GetRequest");
  EXPECT_EQ(request.ErrorStatus, 0);
  ASSERT_EQ(request.Objects.size(), 1u);
  EXPECT_EQ(request.Objects[0].OIDName, object.oid);
  EXPECT_EQ(request.Objects[0].OIDType, kTagNull);
  EXPECT_EQ(request.Objects[0].OIDTypeName, "Null");
}

INSTANTIATE_TEST_SUITE_P(Snmpget, AgentGetTest, ::testing::ValuesIn(AgentObjects()),
                         [](const ::testing::TestParamInfo<AgentObject>& param) {
                           return std::string(param.param.name);
                         });

TEST_F(AgentTest, SnmpgetOfSeveralObjectsAtOnce) {
  const CommandResult result =
      agent_.Run({"snmpget", "-v1", "-c", "public", "-On", "-t", "2", "-r", "1", agent_.Endpoint(),
                  kBase + "1.0", kBase + "2.0", kBase + "6.0"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "." + kBase + "1.0 = STRING: \"simple agent\"\n." + kBase +
                            "2.0 = INTEGER: -42\n." + kBase + "6.0 = IpAddress: 10.0.0.254\n");
}

TEST_F(AgentTest, SnmpgetOfMissingObjectReportsNoSuchName) {
  // -Cf: report the error instead of asking again without the failed object.
  const CommandResult result =
      agent_.Run({"snmpget", "-v1", "-c", "public", "-On", "-Cf", "-t", "2", "-r", "1",
                  agent_.Endpoint(), kBase + "1.0", kBase + "99.0"});
  EXPECT_NE(result.exit_code, 0);
  const std::string printed = result.out + result.err;
  EXPECT_NE(printed.find("(noSuchName)"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Failed object: ." + kBase + "99.0"), std::string::npos) << printed;
}

TEST_F(AgentTest, SnmpgetnextGivesTheFirstObject) {
  const CommandResult result = agent_.Run({"snmpgetnext", "-v1", "-c", "public", "-On", "-t", "2",
                                           "-r", "1", agent_.Endpoint(), "1.3.6.1.4.1.99999"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "." + kBase + "1.0 = STRING: \"simple agent\"\n");
}

TEST_F(AgentTest, SnmpwalkVisitsEveryObjectInOrder) {
  const CommandResult result = agent_.Run({"snmpwalk", "-v1", "-c", "public", "-On", "-t", "2",
                                           "-r", "1", agent_.Endpoint(), "1.3.6.1.4.1.99999"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  std::string expected;
  for (const AgentObject& object : AgentObjects())
    expected += "." + object.oid + " = " + object.printed + "\n";
  expected += "End of MIB\n";  // SNMPv1: the noSuchName past the last object
  EXPECT_EQ(result.out, expected) << result.err;
  EXPECT_FALSE(result.timed_out);
  RecordProperty("deferred_answers", agent_.deferred_answers());
}

TEST_F(AgentTest, SnmpsetChangesTheValueThatSnmpgetThenSees) {
  const CommandResult set =
      agent_.Run({"snmpset", "-v1", "-c", "private", "-On", "-t", "2", "-r", "1", agent_.Endpoint(),
                  kBase + "1.0", "s", "changed", kBase + "2.0", "i", "2147483647"});
  EXPECT_EQ(set.exit_code, 0) << set.err;
  EXPECT_EQ(set.out,
            "." + kBase + "1.0 = STRING: \"changed\"\n." + kBase + "2.0 = INTEGER: 2147483647\n");
  const ResponseEvent& request = agent_.host().responses.front();
  EXPECT_EQ(request.Command, "SetRequest");
  EXPECT_EQ(request.Community, "private");

  const CommandResult get = agent_.Run({"snmpget", "-v1", "-c", "public", "-On", "-t", "2", "-r",
                                        "1", agent_.Endpoint(), kBase + "1.0"});
  EXPECT_EQ(get.out, "." + kBase + "1.0 = STRING: \"changed\"\n") << get.err;
}

TEST_F(AgentTest, UnknownCommunityTimesOut) {
  const CommandResult result = agent_.Run({"snmpget", "-v1", "-c", "wrong", "-On", "-t", "0.3",
                                           "-r", "0", agent_.Endpoint(), kBase + "1.0"});
  EXPECT_NE(result.exit_code, 0);
  EXPECT_NE(result.err.find("Timeout"), std::string::npos) << result.err;
  ASSERT_EQ(agent_.host().responses.size(), 1u);
  EXPECT_EQ(agent_.host().responses[0].Community, "wrong");
}

}  // namespace
}  // namespace kivostrel::testing
