// SNMPv3 with Net-SNMP: the control as a manager of snmpd for every pair of protocols, through
// discovery, a restart of the agent and each Report; as a receiver of snmptrap and snmpinform
// from any engine; as a notification sender to snmptrapd; and as an agent for snmpget.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine_harness.h"
#include "tests/support/netsnmp_peers.h"

namespace kivostrel::testing {
namespace {

using std::chrono::milliseconds;

constexpr const char* kSysDescr0 = "1.3.6.1.2.1.1.1.0";
constexpr const char* kSysContact0 = "1.3.6.1.2.1.1.4.0";
constexpr const char* kAuthPassword = "authpass-v3";
constexpr const char* kPrivPassword = "privpass-v3";

// One user per pair of protocols, named after them, and one without any; the same in the control
// and in snmpd.
struct User {
  std::string name;
  std::string auth;  // as AddUser takes it
  std::string priv;
  std::string netsnmp_auth;  // as Net-SNMP's createUser and tools take it
  std::string netsnmp_priv;
};
const std::vector<User>& Users() {
  static const std::vector<User> users = [] {
    const std::pair<const char*, const char*> auths[] = {
        {"MD5", "MD5"},         {"SHA", "SHA"},         {"SHA-224", "SHA-224"},
        {"SHA-256", "SHA-256"}, {"SHA-384", "SHA-384"}, {"SHA-512", "SHA-512"}};
    const std::pair<const char*, const char*> privs[] = {{"", ""},
                                                         {"DES", "DES"},
                                                         {"AES", "AES"},
                                                         {"AES-192", "AES-192"},
                                                         {"AES-256", "AES-256"},
                                                         {"AES-192C", "AES192C"},
                                                         {"AES-256C", "AES256C"}};
    const auto named = [](std::string text) {
      std::string name;
      for (const char c : text) {
        if (c != '-') name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
      return name;
    };
    std::vector<User> all{{"plain", "", "", "", ""}};
    for (const auto& [auth, netsnmp_auth] : auths) {
      for (const auto& [priv, netsnmp_priv] : privs) {
        std::string name = named(auth);
        if (*priv) name.append("-").append(named(priv));
        all.push_back({name, auth, priv, netsnmp_auth, netsnmp_priv});
      }
    }
    return all;
  }();
  return users;
}
const User& UserNamed(std::string_view name) {
  for (const User& user : Users()) {
    if (user.name == name) return user;
  }
  throw std::out_of_range(std::string(name));
}

std::string Level(const User& user) {
  if (user.auth.empty()) return "noAuthNoPriv";
  return user.priv.empty() ? "authNoPriv" : "authPriv";
}

// createUser and access lines for snmpd or snmptrapd; `engine` ("-e ID ") for a trap sender's.
std::string CreateUserLines(const std::string& engine = {}) {
  std::string lines;
  for (const User& user : Users()) {
    lines += "createUser " + engine + user.name;
    if (!user.auth.empty()) lines += " " + user.netsnmp_auth + " " + kAuthPassword;
    if (!user.priv.empty()) lines += " " + user.netsnmp_priv + " " + kPrivPassword;
    lines += "\n";
    if (engine.empty()) {
      lines += "rwuser " + user.name + " " +
               (user.auth.empty()   ? "noauth"
                : user.priv.empty() ? "auth"
                                    : "priv") +
               "\n";
    }
  }
  return lines;
}

void AddUsers(kivOstrel& engine) {
  for (const User& user : Users()) {
    engine.AddUser(user.name, user.auth, user.auth.empty() ? "" : kAuthPassword, user.priv,
                   user.priv.empty() ? "" : kPrivPassword);
  }
}

// Net-SNMP's options for a user.
std::vector<std::string> UserOptions(const User& user, const std::string& engine_id = {}) {
  std::vector<std::string> options{"-v3", "-u", user.name, "-l", Level(user)};
  if (!user.auth.empty()) {
    options.insert(options.end(), {"-a", user.netsnmp_auth, "-A", kAuthPassword});
  }
  if (!user.priv.empty()) {
    options.insert(options.end(), {"-x", user.netsnmp_priv, "-X", kPrivPassword});
  }
  if (!engine_id.empty()) options.insert(options.end(), {"-e", engine_id});
  return options;
}

class Snmpv3ManagerTest : public ::testing::Test {
 protected:
  Snmpv3ManagerTest() : agent_(false, CreateUserLines()) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(host_.WaitReady());
    host_.engine().SnmpVersion(Variant(3));
    AddUsers(host_.engine());
  }

  ResponseEvent Exchange(const std::function<void(kivOstrel&)>& send) {
    const std::size_t before = host_.responses.size();
    EXPECT_TRUE(host_.PumpUntil([this] { return host_.engine().Stat() == 1; }));
    send(host_.engine());
    EXPECT_TRUE(host_.WaitResponses(before + 1)) << "no answer; snmpd's log:\n" << agent_.Log();
    return host_.responses.size() > before ? host_.responses[before] : ResponseEvent{};
  }

  std::string Port() const { return std::to_string(agent_.port()); }

  SnmpAgent agent_;
  EngineHarness host_;
};

TEST_F(Snmpv3ManagerTest, EveryPairOfProtocolsGetsSetsAndWalks) {
  std::int32_t id = 300;
  for (const User& user : Users()) {
    SCOPED_TRACE(user.name);
    kivOstrel& engine = host_.engine();
    const Bytes descr = engine.SNMPNullValue(kSysDescr0);
    const Bytes contact = engine.SNMPStringValue(kSysContact0, "ops-" + user.name);
    const struct {
      const char* command;
      std::function<void(kivOstrel&)> send;
      const char* first_row;
    } operations[] = {
        {"get", [&](kivOstrel& e) { e.SendGetRequest("127.0.0.1", Port(), user.name, id, descr); },
         kSysDescr0},
        {"getnext",
         [&](kivOstrel& e) {
           e.SendGetNextRequest("127.0.0.1", Port(), user.name, id,
                                e.SNMPNullValue("1.3.6.1.2.1.1"));
         },
         kSysDescr0},
        {"set",
         [&](kivOstrel& e) { e.SendSetRequest("127.0.0.1", Port(), user.name, id, contact); },
         kSysContact0},
        {"getbulk",
         [&](kivOstrel& e) {
           e.SendGetBulkRequest("127.0.0.1", Port(), user.name, id, 0, 3,
                                e.SNMPNullValue("1.3.6.1.2.1.1"));
         },
         kSysDescr0},
    };
    for (const auto& operation : operations) {
      SCOPED_TRACE(operation.command);
      ++id;
      const ResponseEvent r = Exchange(operation.send);
      EXPECT_EQ(r.Command, "GetResponse");
      EXPECT_EQ(r.Version, 3);
      EXPECT_EQ(r.Community, user.name);
      EXPECT_EQ(r.RequestId, id);
      EXPECT_EQ(r.ErrorStatus, 0);
      EXPECT_EQ(engine.SecurityError(), "");
      ASSERT_FALSE(r.Objects.empty());
      EXPECT_EQ(r.Objects[0].OIDName, operation.first_row);
    }
    EXPECT_EQ(host_.responses.back().Objects.size(), 3u);  // the bulk's three repetitions
  }
  // snmpd took the last set: snmpget over SNMPv3 reads it back.
  const CommandResult read = RunNetSnmpTool(
      [&] {
        std::vector<std::string> argv{"snmpget"};
        const auto options = UserOptions(UserNamed("sha-aes"));
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {"-Ov", agent_.Endpoint(), kSysContact0});
        return argv;
      }(),
      milliseconds(5000));
  EXPECT_EQ(read.out, std::string("STRING: \"ops-") + Users().back().name + "\"\n") << read.err;
}

TEST_F(Snmpv3ManagerTest, ReportsReachTheHostAndARestartedAgentIsFoundAgain) {
  kivOstrel& engine = host_.engine();
  engine.AddUser("stranger", "SHA", kAuthPassword, "AES", kPrivPassword);  // not in snmpd
  const Bytes descr = engine.SNMPNullValue(kSysDescr0);
  // "sha-aes" with a wrong password, "md5" with privacy snmpd does not give it.
  const struct {
    const char* what;
    const char* user;
    std::function<void()> before;
    const char* command;
    const char* security_error;
    const char* counter;  // the Report's row
  } cases[] = {
      {"unknown user", "stranger", {}, "Report", "unknown user", "1.3.6.1.6.3.15.1.1.3.0"},
      {"wrong password", "sha-aes",
       [&] { engine.AddUser("sha-aes", "SHA", "wrong-password", "AES", kPrivPassword); }, "Report",
       "wrong digest", "1.3.6.1.6.3.15.1.1.5.0"},
      {"a level above the agent's user", "md5",
       [&] { engine.AddUser("md5", "MD5", kAuthPassword, "DES", kPrivPassword); }, "Report",
       "unsupported security level", "1.3.6.1.6.3.15.1.1.1.0"},
      // The same engine ID with its boots counted on: "not in time window", then sent again.
      {"a restart between requests", "sha256-aes", [&] { agent_.Restart(); }, "GetResponse", "",
       kSysDescr0},
  };
  std::int32_t id = 900;
  // The agent's engine is known before the cases begin.
  EXPECT_EQ(Exchange([&](kivOstrel& e) {
              e.SendGetRequest("127.0.0.1", Port(), "sha256-aes", ++id, descr);
            }).Command,
            "GetResponse");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.before) c.before();
    const ResponseEvent r =
        Exchange([&](kivOstrel& e) { e.SendGetRequest("127.0.0.1", Port(), c.user, ++id, descr); });
    EXPECT_EQ(r.Command, c.command);
    EXPECT_EQ(engine.SecurityError(), c.security_error);
    ASSERT_EQ(r.Objects.size(), 1u);
    EXPECT_EQ(r.Objects[0].OIDName, c.counter);
    // Nothing more: no second answer to the same request.
    host_.PumpUntil([] { return false; }, milliseconds(200));
    EXPECT_EQ(host_.responses.back().RequestId, r.RequestId);
  }
  // After its restart the agent refused the old time once (usmStatsNotInTimeWindows.0).
  const CommandResult counted = RunNetSnmpTool(
      {"snmpget", "-v1", "-c", "public", "-Ov", agent_.Endpoint(), "1.3.6.1.6.3.15.1.1.2.0"},
      milliseconds(5000));
  EXPECT_EQ(counted.out, "Counter32: 1\n") << counted.err;
}

TEST(Snmpv3ReceiverTest, TrapsFromTwoEnginesAndAnInformWithOneUser) {
  EngineHarness host;
  ASSERT_NO_FATAL_FAILURE(host.WaitReady());
  AddUsers(host.engine());
  const std::string agent = "127.0.0.1:" + host.Port();
  const User& user = UserNamed("sha256-aes256");
  const struct {
    const char* tool;
    const char* engine_id;  // the sender's; snmpinform discovers the control's
    const char* command;
  } cases[] = {
      {"snmptrap", "0x8000000001020304", "SNMPv2-Trap"},
      {"snmptrap", "0x80000000010A0B0C0D", "SNMPv2-Trap"},
      {"snmpinform", "", "InformRequest"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.engine_id);
    const std::size_t before = host.responses.size();
    std::vector<std::string> argv{c.tool};
    const auto options = UserOptions(user, c.engine_id);
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {"-r", "0", "-t", "3", agent, "77", "1.3.6.1.4.1.99999.0.5",
                             "1.3.6.1.4.1.99999.1", "s", "hello"});
    const CommandResult sent = RunNetSnmpTool(argv, milliseconds(10000), [&] { host.PumpOnce(); });
    EXPECT_EQ(sent.exit_code, 0) << sent.out << sent.err;  // snmpinform was acknowledged
    ASSERT_TRUE(host.WaitResponses(before + 1));
    const ResponseEvent& r = host.responses[before];
    EXPECT_EQ(r.Version, 3);
    EXPECT_EQ(r.Community, user.name);
    EXPECT_EQ(r.Command, c.command);
    ASSERT_EQ(r.Objects.size(), 3u);
    EXPECT_EQ(r.Objects[2].OIDValue, Variant(std::string("hello")));
  }
  EXPECT_EQ(host.responses.size(), std::size(cases));
  EXPECT_TRUE(host.errors.empty());
}

TEST(Snmpv3ReceiverTest, TrapsThatFailTheSecurityModelAreRaisedAsFormatErrors) {
  EngineHarness host;
  ASSERT_NO_FATAL_FAILURE(host.WaitReady());
  AddUsers(host.engine());
  const std::string agent = "127.0.0.1:" + host.Port();
  const struct {
    const char* what;
    std::vector<std::string> options;
    const char* security_error;
  } cases[] = {
      {"a wrong authentication password",
       {"-v3", "-u", "sha-aes", "-l", "authPriv", "-a", "SHA", "-A", "wrong-password", "-x", "AES",
        "-X", kPrivPassword, "-e", "0x8000000001020304"},
       "wrong digest"},
      {"a wrong privacy password",
       {"-v3", "-u", "sha-aes", "-l", "authPriv", "-a", "SHA", "-A", kAuthPassword, "-x", "AES",
        "-X", "wrong-password", "-e", "0x8000000001020305"},
       "decryption error"},
      {"an unknown user",
       {"-v3", "-u", "nobody", "-l", "authNoPriv", "-a", "SHA", "-A", kAuthPassword, "-e",
        "0x8000000001020306"},
       "unknown user"},
      {"no authentication for a user who has it",
       {"-v3", "-u", "sha-aes", "-l", "noAuthNoPriv", "-e", "0x8000000001020307"},
       "unsupported security level"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t before = host.responses.size();
    std::vector<std::string> argv{"snmptrap"};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.insert(argv.end(), {agent, "77", "1.3.6.1.4.1.99999.0.5"});
    RunNetSnmpTool(argv, milliseconds(5000), [&] { host.PumpOnce(); });
    ASSERT_TRUE(host.WaitResponses(before + 1));
    const ResponseEvent& r = host.responses[before];
    EXPECT_EQ(r.ErrorStatus, -1);
    EXPECT_EQ(r.Command, "Report");
    EXPECT_TRUE(r.Objects.empty());
    EXPECT_EQ(host.engine().SecurityError(), c.security_error);
  }
}

TEST(Snmpv3NotificationTest, TrapsAndInformsFromTheControlPrintedBySnmptrapd) {
  EngineHarness host;
  ASSERT_NO_FATAL_FAILURE(host.WaitReady());
  kivOstrel& engine = host.engine();
  engine.SnmpVersion(Variant(3));
  AddUsers(engine);
  // Traps come from the control's engine, informs go to snmptrapd's own.
  TrapReceiver receiver(CreateUserLines("-e 0x" + engine.EngineID() + " ") + CreateUserLines());
  const std::string port = std::to_string(receiver.port());
  const struct {
    const char* what;
    const char* user;
    std::function<void()> send;
  } cases[] = {
      {"SendTrap", "sha256-aes256",
       [&] { engine.SendTrap("127.0.0.1", port, "sha256-aes256", "1.3.6.1.4.1.99999", 6, "17"); }},
      {"SendNotification", "sha-des",
       [&] { engine.SendNotification("127.0.0.1", port, "sha-des", "1.3.6.1.4.1.99999.7"); }},
      {"SendInformRequest", "sha512-aes192",
       [&] {
         engine.SendInformRequest("127.0.0.1", port, "sha512-aes192", 555, "1.3.6.1.4.1.99999.8");
       }},
  };
  std::size_t index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(host.PumpUntil([&] { return engine.Stat() == 1; }));
    c.send();
    ASSERT_TRUE(receiver.WaitForTraps(++index, milliseconds(5000), [&] { host.PumpOnce(); }))
        << receiver.Log();
    const PrintedTrap trap = receiver.Traps()[index - 1];
    EXPECT_EQ(trap.version, 3) << trap.line;
  }
  // snmptrapd acknowledges the inform.
  ASSERT_TRUE(host.WaitResponses(1));
  EXPECT_EQ(host.responses[0].Command, "GetResponse");
  EXPECT_EQ(host.responses[0].RequestId, 555);
  EXPECT_EQ(host.responses[0].Version, 3);
}

TEST(Snmpv3AgentTest, SnmpgetReachesTheControlWithoutItsEngineId) {
  EngineHarness host;
  ASSERT_NO_FATAL_FAILURE(host.WaitReady());
  kivOstrel& engine = host.engine();
  engine.SnmpVersion(Variant(3));
  AddUsers(engine);
  host.on_response = [&](const ResponseEvent& request) {
    if (request.Command != "GetRequest") return;
    engine.SendGetResponse(request.RemoteIP, request.RemotePort, request.Community,
                           request.RequestId, 0, 0,
                           engine.SNMPStringValue(request.Objects[0].OIDName, request.Community));
  };
  const std::string agent = "127.0.0.1:" + host.Port();
  for (const User& user : Users()) {
    SCOPED_TRACE(user.name);
    std::vector<std::string> argv{"snmpget"};
    const auto options = UserOptions(user);
    argv.insert(argv.end(), options.begin(), options.end());
    argv.insert(argv.end(), {"-r", "0", "-t", "3", "-Ov", agent, kSysDescr0});
    const CommandResult got = RunNetSnmpTool(argv, milliseconds(10000), [&] { host.PumpOnce(); });
    EXPECT_EQ(got.out, "STRING: \"" + user.name + "\"\n") << got.err;
  }
}

}  // namespace
}  // namespace kivostrel::testing
