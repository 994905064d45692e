// The engine's SNMPv3 members and what it sends and raises as a manager, against an agent's
// security model in the test: one discovery per agent, a request sent again once after a
// Report that its time was out of date, and the errors of the members.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "encoding/v3_message.h"
#include "engine_fixture.h"
#include "security/usm.h"

namespace kivostrel::testing {
namespace {

const Bytes kAgentEngine = Hex("80 00 1F 88 80 AA BB CC DD");

TEST_F(EngineTest, Snmpv3MembersRefuseWhatCannotWork) {
  kivOstrel& e = ReadyEngine();
  const std::string first_id = e.EngineID();
  EXPECT_EQ(first_id.size(), 26u);
  EXPECT_TRUE(first_id.starts_with("8001869F05")) << first_id;
  Create();
  EXPECT_NE(engine->EngineID(), first_id);
  kivOstrel& other = ReadyEngine();
  const struct {
    const char* what;
    std::function<void()> call;
    std::optional<std::int32_t> error;
    const char* says;  // in the description
  } cases[] = {
      {"SNMPv3", [&] { other.SnmpVersion(Variant(3)); }, std::nullopt, ""},
      {"SNMPv2", [&] { other.SnmpVersion(Variant(2)); }, kErrInvalidPropertyValue, ""},
      {"an engine ID of 5 octets", [&] { other.EngineID("80 01 86 9F 05"); }, std::nullopt, ""},
      {"an engine ID with colons and 0x", [&] { other.EngineID("0x80:00:1F:88:80:01"); },
       std::nullopt, ""},
      {"an engine ID of 4 octets", [&] { other.EngineID("80001F88"); }, kErrInvalidPropertyValue,
       "5 to 32 octets"},
      {"an engine ID of 33 octets", [&] { other.EngineID(std::string(66, 'A')); },
       kErrInvalidPropertyValue, "5 to 32 octets"},
      {"an engine ID that is no hex", [&] { other.EngineID("80001F88zz"); },
       kErrInvalidPropertyValue, "5 to 32 octets"},
      {"a context engine ID", [&] { other.ContextEngineID("80 00 00 00 AA"); }, std::nullopt, ""},
      {"a context engine ID of 2 octets", [&] { other.ContextEngineID("0102"); },
       kErrInvalidPropertyValue, "ContextEngineID takes 5 to 32 octets"},
      {"negative boots", [&] { other.EngineBoots(Variant(-1)); }, kErrInvalidPropertyValue, ""},
      {"boots as text", [&] { other.EngineBoots(Variant(std::string("12"))); }, std::nullopt, ""},
      {"an unknown protocol", [&] { other.AddUser("u", "SHA-1024", "secret-pass", "", ""); },
       kErrInvalidCall, "AddUser: unknown authentication protocol"},
      {"a short password", [&] { other.AddUser("u", "SHA", "s3cr#t", "", ""); }, kErrInvalidCall,
       "AddUser: the authentication password is shorter than 8 characters"},
      {"privacy without authentication", [&] { other.AddUser("u", "", "", "AES", "secret-pass"); },
       kErrInvalidCall, "AddUser: privacy needs authentication"},
      {"a send for no user",
       [&] { other.SendGetRequest("127.0.0.1", "161", "nobody", 1, other.SNMPNullValue("1.3")); },
       kErrInvalidCall, "no SNMPv3 user \"nobody\""},
      {"a response to no request",
       [&] { other.SendGetResponse("127.0.0.1", "161", "u", 7, 0, 0, {}); }, kErrInvalidCall,
       "no SNMPv3 request 7 from 127.0.0.1:161"},
      {"removing no user", [&] { other.RemoveUser("nobody"); }, std::nullopt, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<std::int32_t> error;
    std::string description;
    try {
      c.call();
    } catch (const AutomationError& failure) {
      error = failure.number();
      description = failure.description();
    }
    EXPECT_EQ(error, c.error);
    EXPECT_NE(description.find(c.says), std::string::npos) << description;
    EXPECT_EQ(description.find("s3cr#t"), std::string::npos);
  }
  EXPECT_EQ(other.SnmpVersion(), 3);
  EXPECT_EQ(other.EngineID(), "80001F888001");
  EXPECT_EQ(other.EngineBoots(), 12);
  EXPECT_EQ(other.ContextEngineID(), "80000000AA");
  EXPECT_TRUE(udp->sent.empty());
  EXPECT_EQ(other.Stat(), 1);
}

TEST_F(EngineTest, Snmpv3ManagerDiscoversOnceAndSendsAgainOnce) {
  kivOstrel& e = ReadyEngine();
  e.SnmpVersion(Variant(3));
  e.AddUser("alice", "SHA-256", "alice-auth", "AES", "alice-priv");
  e.ContextName("ctx");
  const OpenSslCrypto crypto;
  Usm peer(
      crypto, [this] { return seconds_now; }, kAgentEngine);
  peer.users().Add("alice", "SHA-256", "alice-auth", "AES", "alice-priv");
  peer.set_boots(3);
  seconds_now += 500;

  // Hands the engine's last datagram to the agent, and the agent's answer to the engine.
  const auto answer = [&](const std::function<Bytes(const IncomingV3&)>& reply) {
    const IncomingV3 in = peer.Process(udp->sent.back().message);
    udp->events().DatagramReceived("127.0.0.1", "161", reply(in));
  };
  const auto respond = [&](const IncomingV3& in) {
    const auto request = ReadRequestPdu(in.scoped->pdu);
    return peer.Protect({.message_id = in.message->message_id,
                         .level = 0x03,
                         .user = in.user,
                         .engine_id = kAgentEngine,
                         .boots = peer.boots(),
                         .time = peer.engine_time(),
                         .context_engine_id = kAgentEngine,
                         .context_name = in.scoped->context_name,
                         .pdu = {.pdu = kTagGetResponse,
                                 .request_id = request->request_id,
                                 .bindings = request->bindings}});
  };
  const auto report = [&](const IncomingV3& in) { return peer.ReportFor(in, 0); };
  const Bytes binding = e.SNMPNullValue("1.3.6.1.2.1.1.1.0");
  const auto get = [&](std::int32_t id) {
    e.SendGetRequest("127.0.0.1", "161", "alice", id, binding);
    udp->events().DatagramSent();
  };

  get(1);
  const auto discovery = ReadV3Message(udp->sent.back().message);
  ASSERT_TRUE(discovery);
  EXPECT_EQ(discovery->flags, kFlagReportable);
  EXPECT_TRUE(discovery->engine_id.empty());
  EXPECT_TRUE(discovery->user.empty());
  answer(report);  // usmStatsUnknownEngineIDs: the request follows at once
  EXPECT_TRUE(events.responses.empty());
  EXPECT_EQ(peer.Process(udp->sent.back().message).error, UsmError::kNone);
  answer(respond);
  ASSERT_EQ(events.responses.size(), 1u);
  EXPECT_EQ(events.responses[0].Community, "alice");
  EXPECT_EQ(events.responses[0].Version, 3);
  EXPECT_EQ(events.responses[0].RequestId, 1);
  EXPECT_EQ(e.SecurityError(), "");

  // The engine is known now: no second discovery.
  get(2);
  EXPECT_EQ(udp->sent.size(), 3u);
  const IncomingV3 second = peer.Process(udp->sent.back().message);
  EXPECT_EQ(second.error, UsmError::kNone);
  EXPECT_EQ(second.scoped->context_name, "ctx");

  // The agent restarts: its time Report makes the request go out again, once.
  peer.set_boots(4);
  seconds_now += 30;
  get(3);
  answer(report);
  EXPECT_EQ(udp->sent.size(), 5u);
  peer.set_boots(5);  // and again: this time the Report reaches the host
  answer(report);
  EXPECT_EQ(udp->sent.size(), 5u);
  ASSERT_EQ(events.responses.size(), 2u);
  EXPECT_EQ(events.responses[1].Command, "Report");
  EXPECT_EQ(e.SecurityError(), "not in time window");
  EXPECT_EQ(std::count(log.begin(), log.end(), "SendUnreported"), 2);
}

}  // namespace
}  // namespace kivostrel::testing
