// The strict reader of SNMPv3 messages on its own: messages as this engine builds them and as
// Net-SNMP sends them are read back field by field; every prefix of each, in a buffer of exactly
// its size (so that ASan sees any read past it), and each malformation are refused.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "encoding/v3_message.h"
#include "encoding/value_constructors.h"
#include "tests/support/test_support.h"

namespace kivostrel {
namespace {

using testing::Hex;

const Bytes kEngine = Hex("80 00 1F 88 80 11 22 33 44");

// A message with `fields`, its scoped PDU a GetRequest for sysDescr.0 in plaintext.
Bytes Message(V3Fields fields) {
  const Bytes scoped = BuildScopedPdu(
      kEngine, "ctx",
      {.pdu = kTagGetRequest, .request_id = 7, .bindings = SNMPNullValue("1.3.6.1.2.1.1.1.0")});
  return BuildV3Message(fields, scoped, false).message;
}

TEST(V3MessageReader, ReadsWholeMessagesAndRefusesEveryPrefixAndMalformation) {
  const Bytes salt = Hex("00 00 00 01 00 00 00 02");
  const struct {
    const char* what;
    Bytes message;
    std::size_t engine_id_size;
    std::string user;
    std::size_t auth_size;
  } valid[] = {
      // snmpget -v3's discovery: reportable, no engine, no user, a GetRequest without bindings.
      {"Net-SNMP's discovery",
       Hex("30 3E 02 01 03 30 11 02 04 54 96 BB 9A 02 03 00 FF E3 04 01 04 02 01 03 04 10 30 0E "
           "04 00 02 01 00 02 01 00 04 00 04 00 04 00 30 14 04 00 04 00 A0 0E 02 04 1C 14 66 03 "
           "02 01 00 02 01 00 30 00"),
       0, "", 0},
      {"authNoPriv",
       Message({.message_id = 5,
                .flags = 0x05,
                .engine_id = kEngine,
                .boots = 3,
                .time = 400,
                .user = "alice",
                .auth_size = 12}),
       9, "alice", 12},
      {"authPriv's header",
       Message({.message_id = 0x7FFFFFFF,
                .flags = 0x07,
                .engine_id = kEngine,
                .boots = 2147483647,
                .time = 2147483647,
                .user = std::string(32, 'u'),
                .auth_size = 48,
                .priv = salt}),
       9, std::string(32, 'u'), 48},
  };
  for (const auto& v : valid) {
    SCOPED_TRACE(v.what);
    const auto read = ReadV3Message(v.message);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->engine_id.size(), v.engine_id_size);
    EXPECT_EQ(read->user, v.user);
    EXPECT_EQ(read->auth.size(), v.auth_size);
    EXPECT_TRUE(ReadScopedPdu(read->scoped));
    for (std::size_t size = 0; size < v.message.size(); ++size) {
      const auto prefix = std::make_unique<std::uint8_t[]>(size);
      std::copy_n(v.message.begin(), size, prefix.get());
      EXPECT_FALSE(ReadV3Message({prefix.get(), size})) << "a prefix of " << size << " octets";
    }
  }

  Bytes trailing = valid[1].message;
  trailing.push_back(0);
  const struct {
    const char* what;
    Bytes message;
  } refused[] = {
      {"an engine ID of 4 octets",
       Message({.flags = 0x04, .engine_id = Hex("80 00 1F 88"), .user = "u"})},
      {"an engine ID of 33 octets", Message({.flags = 0x04, .engine_id = Bytes(33, 0x80)})},
      {"a user name of 33 octets",
       Message({.flags = 0x04, .engine_id = kEngine, .user = std::string(33, 'u')})},
      {"msgMaxSize 483", Message({.max_size = 483, .flags = 0x04, .engine_id = kEngine})},
      {"a negative msgID", Message({.message_id = -1, .engine_id = kEngine})},
      {"a negative time", Message({.engine_id = kEngine, .time = -1})},
      {"an octet after the message", trailing},
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(r.what);
    EXPECT_FALSE(ReadV3Message(r.message));
  }
}

}  // namespace
}  // namespace kivostrel
