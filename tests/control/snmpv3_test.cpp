// The engine's SNMPv3 members and what it sends and raises as a manager, against an agent's
// security model in the test: one discovery per agent, a request sent again once after a
// Report that its time was out of date, and the errors of the members.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "control/v3_exchanges.h"
#include "encoding/v3_message.h"
#include "encoding/value_constructors.h"
#include "engine_fixture.h"
#include "security/usm.h"
#include "tests/security/cleanse_counter.h"

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

  // A password typed in any of AddUser's places is never shown, whatever AddUser makes of it,
  // and the engine's copies of the passwords (as given, and in the ANSI code page) are wiped,
  // whether the user is added or refused.
  const auto crypto = std::make_shared<const CleanseCounter>();
  Create(crypto);
  kivOstrel& counted = ReadyEngine();
  counted.SnmpVersion(Variant(3));
  for (std::size_t place = 0; place < 5; ++place) {
    std::array<std::string, 5> arguments{"ops", "SHA", "ops-auth-pass", "AES", "ops-priv-pass"};
    const std::string secret = "my-auth-secret-" + std::to_string(place);
    arguments[place] = secret;
    crypto->texts.clear();
    try {
      counted.AddUser(arguments[0], arguments[1], arguments[2], arguments[3], arguments[4]);
    } catch (const AutomationError& failure) {
      EXPECT_EQ(failure.description().find(secret), std::string::npos) << failure.description();
      EXPECT_EQ(failure.source().find(secret), std::string::npos);
    }
    EXPECT_GE(crypto->TimesWiped(arguments[2]), 2u) << place;
    EXPECT_GE(crypto->TimesWiped(arguments[4]), 2u) << place;
  }
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

// The attacks measured on the manager, the receiver and the agent, each as a row: forged and
// stray datagrams from another port or with the agent's address, replays, and what RFC 3414 and
// 3411 refuse. A row that drives an attack also checks that the genuine exchange still works.
TEST_F(EngineTest, Snmpv3ForgedStrayAndReplayedDatagramsChangeNothing) {
  const Bytes kOtherEngine = Hex("80 00 1F 88 80 11 22 33 44");
  const OpenSslCrypto crypto;
  struct Agent {
    Usm usm;
    std::string port;
  };
  struct World {
    kivOstrel& e;
    Agent a;  // the agent the host talks to, 127.0.0.1:161
    Agent b;  // another agent with the same user, whose engine a forger names
  };
  const auto make_agent = [&](const Bytes& id, std::string port) {
    Agent agent{Usm(
                    crypto, [this] { return seconds_now; }, id),
                std::move(port)};
    agent.usm.users().Add("alice", "SHA-256", "alice-auth", "AES", "alice-priv");
    agent.usm.set_boots(3);
    return agent;
  };
  const auto deliver = [&](const std::string& port, const Bytes& datagram) {
    udp->events().DatagramReceived("127.0.0.1", port, datagram);
  };
  const auto get = [&](World& w, std::int32_t id) {
    w.e.SendGetRequest("127.0.0.1", "161", "alice", id, w.e.SNMPNullValue("1.3.6.1.2.1.1.5.0"));
    udp->events().DatagramSent();
  };
  // The agent's Report for the last datagram (its discovery, or a time Report).
  const auto report_of = [&](Agent& agent) {
    const IncomingV3 in = agent.usm.Process(LastSent());
    return agent.usm.ReportFor(in, 0);
  };
  const auto response_of = [&](Agent& agent) {
    const IncomingV3 in = agent.usm.Process(LastSent());
    EXPECT_EQ(in.error, UsmError::kNone);
    if (in.error != UsmError::kNone) return Bytes{};
    const auto request = ReadRequestPdu(in.scoped->pdu);
    return agent.usm.ProtectFromThisEngine({.message_id = in.message->message_id,
                                            .level = 0x03,
                                            .user = in.user,
                                            .context_engine_id = agent.usm.engine_id(),
                                            .pdu = {.pdu = kTagGetResponse,
                                                    .request_id = request->request_id,
                                                    .bindings = request->bindings}});
  };
  // A whole exchange with A: discovery if need be, the request, its answer.
  const auto exchange = [&](World& w, std::int32_t id) {
    get(w, id);
    if (ReadV3Message(LastSent())->engine_id.empty()) deliver("161", report_of(w.a));
    deliver("161", response_of(w.a));
    ASSERT_FALSE(events.responses.empty());
    EXPECT_EQ(events.responses.back().Command, "GetResponse");
    EXPECT_EQ(events.responses.back().RequestId, id);
  };
  const auto msg_id = [&] { return ReadV3Message(LastSent())->message_id; };
  // An unauthenticated Report with the counter `error`, as anyone can write it.
  const auto forged_report = [&](const Bytes& id, std::int32_t message_id, UsmError error) {
    Usm forger(
        crypto, [this] { return seconds_now; }, id);
    return forger.ProtectFromThisEngine(
        {.message_id = message_id,
         .user_name = "alice",
         .context_engine_id = id,
         .pdu = {.pdu = kTagReport, .bindings = SNMPCounterValue(CounterOidOf(error), "1")}});
  };
  // A trap from the engine `id` at `boots` and `time`, as alice: one sender that claims any
  // engine, so that alice's passwords are hashed once.
  Usm sender(
      crypto, [this] { return seconds_now; }, kOtherEngine);
  sender.users().Add("alice", "SHA-256", "alice-auth", "AES", "alice-priv");
  const auto trap_from = [&](const Bytes& id, std::int32_t boots, std::int32_t time) {
    return sender.Protect({.message_id = 77,
                           .level = 0x03,
                           .user = sender.users().Find("alice"),
                           .engine_id = id,
                           .boots = boots,
                           .time = time,
                           .context_engine_id = id,
                           .pdu = {.pdu = kTagSnmpV2Trap, .request_id = 5}});
  };

  const struct {
    const char* attack;
    std::function<void(World&)> run;
  } rows[] = {
      {"a forged discovery Report from another port names another engine",
       [&](World& w) {
         get(w, 1);
         const std::int32_t discovery = msg_id();
         deliver("9999", forged_report(kOtherEngine, discovery, UsmError::kUnknownEngineId));
         EXPECT_EQ(udp->sent.size(), 1u) << "no request goes out for the forged engine";
         deliver("161", report_of(w.a));
         EXPECT_EQ(w.a.usm.Process(LastSent()).error, UsmError::kNone);
         deliver("161", response_of(w.a));
         EXPECT_EQ(events.responses.back().Command, "GetResponse");
       }},
      {"a forged Report with the agent's address cannot move a confirmed engine",
       [&](World& w) {
         exchange(w, 1);
         get(w, 2);
         const std::size_t sent = udp->sent.size();
         deliver("161", forged_report(w.b.usm.engine_id(), msg_id(), UsmError::kUnknownEngineId));
         EXPECT_EQ(udp->sent.size(), sent) << "the SET is not sent again for B";
         get(w, 3);  // and the next request still goes to A
         EXPECT_EQ(w.a.usm.Process(LastSent()).error, UsmError::kNone);
         EXPECT_EQ(w.b.usm.Process(LastSent()).error, UsmError::kUnknownEngineId);
       }},
      {"forged time and digest Reports neither end nor resend a request",
       [&](World& w) {
         exchange(w, 1);
         get(w, 2);
         const std::size_t sent = udp->sent.size();
         for (const UsmError error : {UsmError::kNotInTimeWindow, UsmError::kWrongDigest}) {
           deliver("161", forged_report(w.a.usm.engine_id(), msg_id(), error));
         }
         EXPECT_EQ(udp->sent.size(), sent);
         deliver("161", response_of(w.a));
         EXPECT_EQ(events.responses.back().RequestId, 2);
         EXPECT_EQ(events.responses.back().Community, "alice");
       }},
      {"a stray message of an unknown user is raised as refused and ends nothing",
       [&](World& w) {
         exchange(w, 1);
         get(w, 2);
         Usm stranger(
             crypto, [this] { return seconds_now; }, w.a.usm.engine_id());
         deliver("9999", stranger.ProtectFromThisEngine(
                             {.message_id = msg_id() + 1,
                              .user_name = "mallory",
                              .context_engine_id = w.a.usm.engine_id(),
                              .pdu = {.pdu = kTagGetResponse, .request_id = 2}}));
         EXPECT_EQ(events.responses.back().ErrorStatus, -1);
         EXPECT_EQ(w.e.SecurityError(), "unknown user");
         deliver("161", response_of(w.a));
         EXPECT_EQ(events.responses.back().Command, "GetResponse");
         EXPECT_EQ(w.e.SecurityError(), "");
       }},
      {"a pinned engine is never discovered, and its clock is asked for",
       [&](World& w) {
         w.e.PinEngineID("127.0.0.1", "161", "80001F8880AABBCCDD");
         get(w, 1);
         const auto first = ReadV3Message(LastSent());
         EXPECT_EQ(Bytes(first->engine_id.begin(), first->engine_id.end()), w.a.usm.engine_id());
         EXPECT_EQ(first->boots, 0);
         const std::int32_t probe = first->message_id;
         deliver("161", forged_report(w.b.usm.engine_id(), probe, UsmError::kUnknownEngineId));
         EXPECT_EQ(udp->sent.size(), 1u);
         deliver("161", report_of(w.a));  // authenticated: not in time window, with its clock
         EXPECT_EQ(udp->sent.size(), 2u);
         deliver("161", response_of(w.a));
         EXPECT_EQ(events.responses.back().Command, "GetResponse");
       }},
      {"a user removed while its discovery is under way ends the request with a Report",
       [&](World& w) {
         get(w, 1);
         w.e.RemoveUser("alice");
         deliver("161", report_of(w.a));
         EXPECT_EQ(udp->sent.size(), 1u);
         EXPECT_EQ(events.responses.back().Command, "Report");
         EXPECT_EQ(events.responses.back().ErrorStatus, -1);
         EXPECT_EQ(events.responses.back().Community, "alice");
         EXPECT_EQ(w.e.SecurityError(), "unknown user");
       }},
      {"a request too large to encode fails at the send, before the discovery",
       [&](World& w) {
         const Bytes big = kivOstrel::JoinBindings(
             std::vector<Bytes>{w.e.SNMPStringValue("1.3.6.1.2.1.1.4.0", std::string(20000, 'x')),
                                w.e.SNMPStringValue("1.3.6.1.2.1.1.5.0", std::string(20000, 'x'))});
         std::int32_t error = 0;
         try {
           w.e.SendSetRequest("127.0.0.1", "161", "alice", 1, big);
         } catch (const AutomationError& failure) {
           error = failure.number();
         }
         EXPECT_EQ(error, 6);
         EXPECT_TRUE(udp->sent.empty());
         EXPECT_EQ(w.e.Stat(), 1);
       }},
      {"what fails while a datagram is handled reaches the host as a socket error",
       [&](World& w) {
         udp->fail_unreported = true;  // the discovery's Report cannot go out
         Usm manager(
             crypto, [this] { return seconds_now; }, kOtherEngine);
         deliver("40000", manager.Protect({.message_id = 9,
                                           .reportable = true,
                                           .pdu = {.pdu = kTagGetRequest, .request_id = 9}}));
         EXPECT_TRUE(events.responses.empty());
         EXPECT_EQ(std::count(log.begin(), log.end(),
                              "WsError(5,cannot handle a datagram: the system is out of buffers,"
                              "Receive)"),
                   1);
         udp->fail_unreported = false;
         deliver("40000", trap_from(kOtherEngine, 1, 10));  // and the next one is handled
         EXPECT_EQ(events.responses.size(), 1u);
         EXPECT_EQ(w.e.SecurityError(), "");
       }},
      {"the clock probe a manager sends this engine is answered and raises nothing",
       [&](World& w) {
         Usm manager(
             crypto, [this] { return seconds_now; }, kOtherEngine);
         manager.users().Add("alice", "SHA-256", "alice-auth", "AES", "alice-priv");
         const Bytes id = Hex(w.e.EngineID());
         deliver("40000", manager.Protect({.message_id = 9,
                                           .reportable = true,
                                           .level = 0x03,
                                           .user = manager.users().Find("alice"),
                                           .engine_id = id,
                                           .context_engine_id = id,
                                           .pdu = {.pdu = kTagGetRequest, .request_id = 4}}));
         EXPECT_TRUE(events.responses.empty());
         ASSERT_EQ(udp->sent.size(), 1u);
         const IncomingV3 report = manager.Process(LastSent());
         EXPECT_EQ(report.error, UsmError::kNone);
         EXPECT_EQ(report.message->flags & kFlagAuth, kFlagAuth);
         EXPECT_EQ(report.message->boots, w.e.EngineBoots());
       }},
      {"a new engine's first message at boots 2147483647 is out of every window",
       [&](World&) {
         deliver("40000", trap_from(kOtherEngine, 0x7FFFFFFF, 10));
         EXPECT_EQ(events.responses.back().ErrorStatus, -1);
         EXPECT_EQ(engine->SecurityError(), "not in time window");
       }},
      {"an engine ID of 4 octets is unreadable",
       [&](World&) {
         deliver("40000", trap_from(Hex("80 00 1F 88"), 1, 10));
         EXPECT_EQ(events.responses.back().ErrorStatus, -1);
         EXPECT_EQ(engine->SecurityError(), "unreadable message");
       }},
      {"a trap refused as too old stays refused after 5,000 other engines",
       [&](World&) {
         const Bytes old = trap_from(kOtherEngine, 1, 100);
         deliver("40000", trap_from(kOtherEngine, 1, 1000));
         deliver("40000", old);
         EXPECT_EQ(engine->SecurityError(), "not in time window");
         Bytes other = kOtherEngine;
         for (int i = 0; i < 5000; ++i) {
           other[5] = static_cast<std::uint8_t>(i >> 8), other[6] = static_cast<std::uint8_t>(i);
           deliver("40000", trap_from(other, 1, 10));
         }
         EXPECT_EQ(engine->SecurityError(), "");
         deliver("40000", old);
         EXPECT_EQ(engine->SecurityError(), "not in time window");
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.attack);
    Create();
    events.responses.clear();
    kivOstrel& e = ReadyEngine();
    e.SnmpVersion(Variant(3));
    e.AddUser("alice", "SHA-256", "alice-auth", "AES", "alice-priv");
    seconds_now += 500;
    World world{e, make_agent(kAgentEngine, "161"), make_agent(kOtherEngine, "1161")};
    row.run(world);
  }
}

// Every table that traffic or a host makes grow, pushed past its cap: it stays at the cap, the
// entry used longest ago going first.
TEST(Snmpv3Tables, EachStopsAtItsCapDroppingTheLeastRecentlyUsed) {
  const OpenSslCrypto crypto;
  std::int64_t now = 1000;
  V3Exchanges manager(crypto, [&] { return now; });
  manager.usm().users().Add("anon", "", "", "", "");
  const Bytes get = SNMPNullValue("1.3.6.1.2.1.1.1.0");
  const auto peer = [](std::size_t i) {
    return UdpSocket::Peer{"127.0.0.1", std::to_string(1024 + i)};
  };

  // Requests waiting, and the agents' engines their discoveries' Reports name.
  Usm agent(
      crypto, [&] { return now; }, kAgentEngine);
  const std::size_t agents = V3Exchanges::kMaxTargets + 3;
  for (std::size_t i = 0; i < agents; ++i) {
    const Bytes discovery =
        manager.Request("127.0.0.1", peer(i).port, peer(i), "anon",
                        {.pdu = kTagGetRequest, .request_id = 1, .bindings = get});
    const Bytes report = agent.ReportFor(agent.Process(discovery), 0);
    EXPECT_EQ(manager.Receive("127.0.0.1", peer(i).port, report, 0).sends.size(), 1u);
  }
  EXPECT_EQ(manager.target_count(), V3Exchanges::kMaxTargets);
  EXPECT_EQ(manager.pending_count(), V3Exchanges::kMaxPending);

  // Requests received and not answered yet.
  Usm sender(
      crypto, [&] { return now; }, kAgentEngine);
  for (std::int32_t id = 1; id <= static_cast<std::int32_t>(V3Exchanges::kMaxAnswerable) + 5;
       ++id) {
    const Bytes request = sender.Protect({.message_id = id,
                                          .reportable = true,
                                          .user_name = "anon",
                                          .engine_id = manager.usm().engine_id(),
                                          .context_engine_id = manager.usm().engine_id(),
                                          .pdu = {.pdu = kTagGetRequest, .request_id = id}});
    EXPECT_TRUE(manager.Receive("127.0.0.1", "40000", request, 0).pdu);
  }
  EXPECT_EQ(manager.answerable_count(), V3Exchanges::kMaxAnswerable);
  EXPECT_THROW(manager.Response("127.0.0.1", "40000", {.pdu = kTagGetResponse, .request_id = 1}),
               AutomationError);  // the oldest, forgotten
  EXPECT_FALSE(
      manager.Response("127.0.0.1", "40000", {.pdu = kTagGetResponse, .request_id = 9}).empty());

  // Engine clocks and localised keys.
  Usm usm(
      crypto, [&] { return now; }, kAgentEngine);
  usm.users().Add("alice", "SHA", "alice-auth", "", "");
  Bytes engine = kAgentEngine;
  const auto nth = [&](std::size_t i) {
    engine[5] = static_cast<std::uint8_t>(i >> 16);
    engine[6] = static_cast<std::uint8_t>(i >> 8);
    engine[7] = static_cast<std::uint8_t>(i);
    return engine;
  };
  for (std::size_t i = 0; i < Usm::kMaxClocks + 10; ++i) usm.Synchronise(nth(i), 1, 5);
  EXPECT_EQ(usm.clock_count(), Usm::kMaxClocks);
  EXPECT_EQ(usm.ClockOf(nth(9)), nullptr);
  EXPECT_NE(usm.ClockOf(nth(10)), nullptr);
  for (std::size_t i = 0; i < UsmUsers::kMaxCachedKeys + 10; ++i) {
    usm.users().KeysFor(*usm.users().Find("alice"), nth(i));
  }
  EXPECT_EQ(usm.users().cached_keys(), UsmUsers::kMaxCachedKeys);
}

}  // namespace
}  // namespace kivostrel::testing
