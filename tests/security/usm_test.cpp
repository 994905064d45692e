// The User-based Security Model over the platform's crypto (OpenSSL natively, CNG under Wine):
// privacy keys extended as Net-SNMP extends them, against python's hashlib; messages protected
// by one engine and processed by another for every pair of protocols; and each way a message
// can fail, with the counter it raises and the Report it is answered with.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "encoding/ber_tags.h"
#include "encoding/hex.h"
#include "encoding/v3_message.h"
#include "encoding/value_constructors.h"
#include "security/usm.h"
#include "tests/security/cleanse_counter.h"
#include "tests/security/crypto_platform.h"
#include "tests/support/test_support.h"

namespace kivostrel {
namespace {

using testing::Hex;

const Bytes kAgentEngine = Hex("80 00 1F 88 80 11 22 33 44 55 66 77 88");

// Two engines on one clock: the agent, authoritative for what it receives, and a manager that
// protects requests for it.
class UsmTest : public ::testing::Test {
 protected:
  UsmTest() {
    for (Usm* usm : {&agent_, &manager_}) {
      usm->users().Add("noauth", "", "", "", "");
      usm->users().Add("md5", "MD5", "authpass1", "", "");
      usm->users().Add("md5des", "MD5", "authpass1", "DES", "privpass1");
      usm->users().Add("shaaes", "SHA", "authpass1", "AES", "privpass1");
      usm->users().Add("sha256aes256", "SHA-256", "authpass1", "AES-256", "privpass1");
      usm->users().Add("sha512aes192c", "SHA-512", "authpass1", "AES-192C", "privpass1");
    }
    agent_.set_boots(7);
  }

  // A GetRequest for sysDescr.0 from the manager under `user`, with the agent's boots and time
  // moved by `boots_by` and `time_by`.
  Bytes Request(const char* user, std::int32_t boots_by = 0, std::int32_t time_by = 0,
                bool reportable = true) {
    return manager_.Protect(
        {.message_id = 4242,
         .reportable = reportable,
         .level = 0x03,
         .user = manager_.users().Find(user),
         .user_name = user,
         .engine_id = kAgentEngine,
         .boots = agent_.boots() + boots_by,
         .time = agent_.engine_time() + time_by,
         .context_engine_id = kAgentEngine,
         .context_name = "ctx",
         .pdu = {.pdu = kTagGetRequest, .request_id = 99, .bindings = binding_}});
  }

  // Signs `message` again for `user` after it was changed.
  void Resign(Bytes& message, const char* user) {
    const auto read = ReadV3Message(message);
    ASSERT_TRUE(read);
    const UsmUser& u = *agent_.users().Find(user);
    const std::size_t at = read->auth_offset, size = read->auth.size();
    std::fill_n(message.begin() + at, size, 0);
    const Bytes mac =
        crypto_->Hmac(HashOf(u.auth), agent_.users().KeysFor(u, kAgentEngine).auth, message);
    std::copy_n(mac.begin(), size, message.begin() + at);
  }

  std::int64_t now_ = 5000;
  const std::unique_ptr<Crypto> crypto_ = crypto_platform::MakeCrypto();
  Usm agent_{*crypto_, [this] { return now_; }, kAgentEngine};
  Usm manager_{*crypto_, [this] { return now_; }, Hex("80 00 1F 88 80 99 99 99 99 99")};
  const Bytes binding_ = SNMPNullValue("1.3.6.1.2.1.1.1.0");
};

TEST_F(UsmTest, PrivacyKeysExtendedAsNetSnmpExtendsThem) {
  // RFC 3414 A.3's password and engine; the extensions computed with python's hashlib.
  const Bytes engine = Hex("00 00 00 00 00 00 00 00 00 00 00 02");
  const struct {
    const char* auth;
    const char* priv;
    const char* key;
  } cases[] = {
      {"MD5", "AES-192", "526F5EED9FCCE26F8964C2930787D82BFA24A92467426C2F"},
      {"SHA", "AES-256", "6695FEBC9288E36282235FC7151F128497B38F3F505E07EB9AF25568FA1F5DBE"},
      {"SHA", "AES-192C", "6695FEBC9288E36282235FC7151F128497B38F3F9B8B6D78"},
      {"MD5", "AES256C", "526F5EED9FCCE26F8964C2930787D82B79EFF44A90650EE0A3A40ABFAC5ACC12"},
      {"SHA-256", "AES-256", "8982E0E549E866DB361A6B625D84CCCC11162D453EE8CE3A6445C2D6776F0F8B"},
      {"SHA", "DES", "6695FEBC9288E36282235FC7151F1284"},
  };
  UsmUsers users(*crypto_);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.auth) + " " + c.priv);
    users.Add("u", c.auth, "maplesyrup", c.priv, "maplesyrup");
    EXPECT_EQ(ToHex(users.KeysFor(*users.Find("u"), engine).priv, ""), c.key);
  }
}

TEST_F(UsmTest, AddUserRefusesWhatCannotWork) {
  const struct {
    const char* auth;
    const char* auth_password;
    const char* priv;
    const char* priv_password;
    const char* says;
  } cases[] = {
      {"SHA-1024", "authpass1", "", "", "unknown authentication protocol"},
      {"SHA", "authpass1", "3DES", "privpass1", "unknown privacy protocol"},
      {"", "", "AES", "privpass1", "privacy needs authentication"},
      {"SHA", "tiny#7", "", "", "authentication password is shorter than 8"},
      {"SHA", "authpass1", "AES", "tiny#7", "privacy password is shorter than 8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.says);
    try {
      agent_.users().Add("u", c.auth, c.auth_password, c.priv, c.priv_password);
      ADD_FAILURE() << "taken";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
      for (const std::string password : {c.auth_password, c.priv_password}) {
        if (!password.empty()) {
          EXPECT_EQ(std::string(e.what()).find(password), std::string::npos);
        }
      }
    }
  }
  EXPECT_EQ(agent_.users().Find("u"), nullptr);
}

TEST_F(UsmTest, EveryPairOfProtocolsAcceptedAndAnyChangedOctetRefused) {
  for (const char* user : {"noauth", "md5", "md5des", "shaaes", "sha256aes256", "sha512aes192c"}) {
    SCOPED_TRACE(user);
    const Bytes request = Request(user);
    const IncomingV3 in = agent_.Process(request);
    ASSERT_EQ(in.error, UsmError::kNone) << SecurityErrorText(in.error);
    EXPECT_TRUE(in.authoritative);
    EXPECT_EQ(in.user, agent_.users().Find(user));
    ASSERT_TRUE(in.scoped);
    EXPECT_EQ(in.scoped->context_name, "ctx");
    const auto pdu = ReadRequestPdu(in.scoped->pdu);
    ASSERT_TRUE(pdu);
    EXPECT_EQ(pdu->request_id, 99);
    EXPECT_EQ(Bytes(pdu->bindings.begin(), pdu->bindings.end()), binding_);
    if (agent_.users().Find(user)->level() == 0) continue;
    // Authenticated: no octet can change and still be taken as this request.
    for (std::size_t i = 0; i < request.size(); ++i) {
      Bytes changed = request;
      changed[i] ^= 0x01;
      const IncomingV3 tampered = agent_.Process(changed);
      EXPECT_NE(tampered.error, UsmError::kNone) << "octet " << i;
    }
  }
  // A second request to the same engine localises no key again.
  const std::size_t localised = manager_.users().localisations();
  Request("shaaes");
  EXPECT_EQ(manager_.users().localisations(), localised);
}

TEST_F(UsmTest, EachFailureCountedAndReported) {
  now_ += 1000;  // the agent's engine has run for a while
  using Make = std::function<Bytes()>;
  const auto built = [](const V3Fields& fields, Bytes scoped, bool encrypted) {
    return BuildV3Message(fields, scoped, encrypted).message;
  };
  const Bytes plain_scoped = BuildScopedPdu(kAgentEngine, "", {.pdu = kTagGetRequest});
  const struct {
    const char* what;
    Make message;
    UsmError error;
    bool reported;
  } cases[] = {
      {"an engine ID of 10 KB",
       [&] {
         const Bytes huge(10240, 0x80);
         return built({.flags = 4, .engine_id = huge}, plain_scoped, false);
       },
       UsmError::kParse, false},
      {"a negative msgMaxSize",
       [&] {
         return built({.max_size = -1, .flags = 4, .engine_id = kAgentEngine}, plain_scoped, false);
       },
       UsmError::kParse, false},
      {"privacy without authentication",
       [&] {
         return built({.flags = 6, .engine_id = kAgentEngine, .user = "shaaes"}, plain_scoped,
                      false);
       },
       UsmError::kInvalidMessage, false},
      {"a discovery request",
       [&] { return built({.flags = 4}, BuildScopedPdu({}, "", {.pdu = kTagGetRequest}), false); },
       UsmError::kUnknownEngineId, true},
      {"a request for another engine",
       [&] { return built({.flags = 4, .engine_id = Hex("80 00 00 00 01")}, plain_scoped, false); },
       UsmError::kUnknownEngineId, true},
      {"an unknown user",
       [&] {
         return built({.flags = 4, .engine_id = kAgentEngine, .user = "nobody"}, plain_scoped,
                      false);
       },
       UsmError::kUnknownUserName, true},
      {"no authentication for a user who has it",
       [&] {
         return built({.flags = 4, .engine_id = kAgentEngine, .user = "md5"}, plain_scoped, false);
       },
       UsmError::kUnsupportedSecLevel, true},
      {"privacy for a user who has none",
       [&] {
         return built({.flags = 7,
                       .engine_id = kAgentEngine,
                       .user = "md5",
                       .auth_size = 12,
                       .priv = Hex("00 00 00 00 00 00 00 01")},
                      plain_scoped, true);
       },
       UsmError::kUnsupportedSecLevel, true},
      {"authentication without privacy for a user who has both",
       [&] {
         return manager_.Protect({.message_id = 5,
                                  .reportable = true,
                                  .level = kFlagAuth,
                                  .user = manager_.users().Find("shaaes"),
                                  .engine_id = kAgentEngine,
                                  .boots = agent_.boots(),
                                  .time = agent_.engine_time(),
                                  .context_engine_id = kAgentEngine,
                                  .pdu = {.pdu = kTagGetRequest}});
       },
       UsmError::kUnsupportedSecLevel, true},
      {"a digest of no octets",
       [&] {
         return built({.flags = 5, .engine_id = kAgentEngine, .user = "md5"}, plain_scoped, false);
       },
       UsmError::kWrongDigest, true},
      {"a wrong digest",
       [&] {
         Bytes m = Request("shaaes");
         m[ReadV3Message(m)->auth_offset] ^= 0xFF;
         return m;
       },
       UsmError::kWrongDigest, true},
      {"other boots", [&] { return Request("shaaes", 1); }, UsmError::kNotInTimeWindow, true},
      {"151 seconds ahead", [&] { return Request("shaaes", 0, 151); }, UsmError::kNotInTimeWindow,
       true},
      {"151 seconds behind", [&] { return Request("shaaes", 0, -151); }, UsmError::kNotInTimeWindow,
       true},
      {"privacy parameters of 7 octets",
       [&] {
         const Bytes request = Request("shaaes");
         const auto read = ReadV3Message(request);
         Bytes m = built({.message_id = 1,
                          .flags = 7,
                          .engine_id = kAgentEngine,
                          .boots = agent_.boots(),
                          .time = agent_.engine_time(),
                          .user = "shaaes",
                          .auth_size = 12,
                          .priv = read->priv.first(7)},
                         Bytes(read->scoped.begin(), read->scoped.end()), true);
         Resign(m, "shaaes");
         return m;
       },
       UsmError::kDecryptionError, true},
      {"ciphertext that decrypts to garbage",
       [&] {
         Bytes m = Request("md5des");
         const auto read = ReadV3Message(m);
         const std::size_t at = static_cast<std::size_t>(read->scoped.data() - m.data());
         m[at] ^= 0xFF;
         Resign(m, "md5des");
         return m;
       },
       UsmError::kDecryptionError, true},
      {"DES ciphertext of a length that is no multiple of 8",
       [&] {
         const Bytes request = Request("md5des");
         const auto read = ReadV3Message(request);
         Bytes cipher(read->scoped.begin(), read->scoped.end() - 1);
         Bytes m = built({.message_id = 1,
                          .flags = 7,
                          .engine_id = kAgentEngine,
                          .boots = agent_.boots(),
                          .time = agent_.engine_time(),
                          .user = "md5des",
                          .auth_size = 12,
                          .priv = read->priv},
                         cipher, true);
         Resign(m, "md5des");
         return m;
       },
       UsmError::kDecryptionError, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes message = c.message();
    const std::uint32_t before = agent_.Count(c.error);
    const IncomingV3 in = agent_.Process(message);
    EXPECT_EQ(in.error, c.error) << SecurityErrorText(in.error);
    EXPECT_EQ(agent_.Count(c.error), before + 1);
    if (!c.reported) continue;
    const Bytes report = agent_.ReportFor(in, 0);
    // The manager reads the Report: the counter and its value.
    const IncomingV3 answer = manager_.Process(report);
    ASSERT_EQ(answer.error, UsmError::kNone) << SecurityErrorText(answer.error);
    ASSERT_TRUE(answer.scoped);
    EXPECT_EQ(answer.scoped->pdu_tag, kTagReport);
    const auto pdu = ReadRequestPdu(answer.scoped->pdu);
    EXPECT_EQ(Bytes(pdu->bindings.begin(), pdu->bindings.end()),
              SNMPCounterValue(CounterOidOf(c.error), std::to_string(before + 1)));
    // Only the time-window Report is authenticated, so that its boots and time can be trusted.
    EXPECT_EQ(answer.message->flags, c.error == UsmError::kNotInTimeWindow ? 0x01 : 0x00);
  }
}

TEST_F(UsmTest, ANotificationSendersClockIsLearntAndReplaysRefused) {
  // The sender is authoritative for its traps: the agent here sends, the manager receives.
  const auto trap = [this](std::int32_t boots, std::int32_t time) {
    return agent_.Protect({.message_id = 1,
                           .level = 0x03,
                           .user = agent_.users().Find("shaaes"),
                           .engine_id = kAgentEngine,
                           .boots = boots,
                           .time = time,
                           .context_engine_id = kAgentEngine,
                           .pdu = {.pdu = kTagSnmpV2Trap, .bindings = binding_}});
  };
  const struct {
    const char* what;
    std::int64_t now_by;
    std::int32_t boots, time;
    UsmError error;
  } cases[] = {
      {"the first from an engine sets its clock", 0, 7, 1000, UsmError::kNone},
      {"a replay inside the window", 0, 7, 1000, UsmError::kNone},
      {"150 seconds older than the clock", 0, 7, 850, UsmError::kNone},
      {"151 seconds older", 0, 7, 849, UsmError::kNotInTimeWindow},
      {"the clock moves on with this engine's", 200, 7, 1000, UsmError::kNotInTimeWindow},
      {"and takes later times", 0, 7, 1200, UsmError::kNone},
      {"lower boots", 0, 6, 5000, UsmError::kNotInTimeWindow},
      {"higher boots after a restart", 0, 8, 3, UsmError::kNone},
      {"latched boots", 0, 0x7FFFFFFF, 3, UsmError::kNotInTimeWindow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    now_ += c.now_by;
    EXPECT_EQ(manager_.Process(trap(c.boots, c.time)).error, c.error);
  }
}

TEST(UsmSecretsTest, PasswordsKeysAndTheirBuffersAreWipedWhenFreed) {
  const CleanseCounter crypto;
  const struct {
    const char* auth;
    const char* priv;
    std::size_t ku;         // the two keys made from passwords
    std::size_t localised;  // and localised, the privacy key extended
    std::size_t prepared;   // the authentication key's copy in its prepared HMAC
  } rows[] = {
      {"SHA", "AES", 40, 36, 20},
      {"MD5", "DES", 32, 32, 16},
      {"SHA-256", "AES-256C", 64, 64, 32},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.auth) + " " + row.priv);
    UsmUsers users(crypto);
    crypto.cleansed = 0;
    users.Add("ops", row.auth, "ops-auth-pass", row.priv, "ops-priv-pass");
    // Each password's megabyte, once hashed.
    EXPECT_GE(crypto.cleansed, 2u * 1048576);
    users.KeysFor(*users.Find("ops"), kAgentEngine);
    crypto.cleansed = 0;
    EXPECT_TRUE(users.Remove("ops"));
    EXPECT_EQ(crypto.cleansed, row.ku + row.localised + row.prepared);
  }
  EXPECT_TRUE(crypto.all_zero);
}

}  // namespace
}  // namespace kivostrel
