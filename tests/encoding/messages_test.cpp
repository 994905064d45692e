#include <gtest/gtest.h>

#include "encoding/messages.h"
#include "encoding/value_constructors.h"
#include "tests/support/test_support.h"

namespace kivostrel {
namespace {

using testing::ErrorNumberOf;
using testing::Hex;

const Bytes& SysDescrNull() {
  static const Bytes binding = SNMPNullValue("1.3.6.1.2.1.1.1.0");
  return binding;
}

TEST(RequestMessageTest, LayoutsOfTheFourRequestAndResponsePdus) {
  const struct {
    const char* what;
    RequestMessage message;
    const char* hex;
  } cases[] = {
      {"get",
       {.pdu = kTagGetRequest, .request_id = 1, .bindings = SysDescrNull()},
       "30 20 02 01 00 04 00 A0 19 02 01 01 02 01 00 02 01 00 30 0E "
       "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
      {"getnext",
       {.pdu = kTagGetNextRequest, .request_id = 1, .bindings = SysDescrNull()},
       "30 20 02 01 00 04 00 A1 19 02 01 01 02 01 00 02 01 00 30 0E "
       "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
      {"set",
       {.pdu = kTagSetRequest, .request_id = 1, .bindings = SysDescrNull()},
       "30 20 02 01 00 04 00 A3 19 02 01 01 02 01 00 02 01 00 30 0E "
       "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
      {"response",
       {.pdu = kTagGetResponse,
        .request_id = 1,
        .error_status = 2,
        .error_index = 1,
        .bindings = SysDescrNull()},
       "30 20 02 01 00 04 00 A2 19 02 01 01 02 01 02 02 01 01 30 0E "
       "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
      {"community",
       {.pdu = kTagGetRequest, .community = "public", .request_id = 1, .bindings = SysDescrNull()},
       "30 26 02 01 00 04 06 70 75 62 6C 69 63 A0 19 02 01 01 02 01 00 02 01 00 30 0E "
       "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
      {"empty list",
       {.pdu = kTagGetRequest, .request_id = 1},
       "30 12 02 01 00 04 00 A0 0B 02 01 01 02 01 00 02 01 00 30 00"},
      {"extreme ids",
       {.pdu = kTagGetResponse,
        .request_id = -2147483647 - 1,
        .error_status = -1,
        .error_index = 2147483647},
       "30 18 02 01 00 04 00 A2 11 02 04 80 00 00 00 02 01 FF 02 04 7F FF FF FF 30 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(BuildRequestMessage(c.message), Hex(c.hex));
  }
}

TEST(RequestMessageTest, FirstExampleIs34Octets) {
  EXPECT_EQ(BuildRequestMessage({.request_id = 1, .bindings = SysDescrNull()}).size(), 34u);
}

TEST(RequestMessageTest, BindingListLimitsAreEnforced) {
  // Message content: version 3 + community 2 + PDU header 4 + ids 9 + list header 4 + list.
  // The message's own content reaches 32767 at a binding list of 32745 octets.
  const Bytes fits(32745, 0);
  const Bytes bytes = BuildRequestMessage({.bindings = fits});
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), Hex("30 82 7F FF"));
  const Bytes too_long(32746, 0);
  EXPECT_EQ(ErrorNumberOf([&] { (void)BuildRequestMessage({.bindings = too_long}); }),
            kErrOverflow);
  const Bytes list_too_long(32768, 0);
  EXPECT_EQ(ErrorNumberOf([&] { (void)BuildRequestMessage({.bindings = list_too_long}); }),
            kErrOverflow);
}

TrapMessage ExampleTrap() {
  return {.enterprise = "1.3.6.1.4.1.9999",
          .agent_address = "10.0.0.1",
          .generic_trap = 6,
          .specific_trap = "1",
          .time_stamp = 12345};
}

TEST(TrapMessageTest, ExampleIs36Octets) {
  const Bytes bytes = BuildTrapMessage(ExampleTrap());
  EXPECT_EQ(bytes, Hex("30 22 02 01 00 04 00 A4 1B 06 07 2B 06 01 04 01 CE 0F 40 04 0A 00 00 01 "
                       "02 01 06 02 01 01 43 02 30 39 30 00"));
  EXPECT_EQ(bytes.size(), 36u);
}

TEST(TrapMessageTest, FieldVariants) {
  const Bytes uptime = SnmpTimeTicksValue("1.3.6.1.2.1.1.3.0", "12345");
  const struct {
    const char* what;
    TrapMessage message;
    const char* hex;
  } cases[] = {
      {"automatic stamp at the tick counter's top",
       {.enterprise = "1.3",
        .generic_trap = 0,
        .specific_trap = "0",
        .time_stamp = TimeStampFromTickCount(4294967295u)},
       "30 1E 02 01 00 04 00 A4 17 06 01 2B 40 04 00 00 00 00 02 01 00 02 01 00 "
       "43 04 19 99 99 99 30 00"},
      {"negative stamp and big specific",
       {.community = "c",
        .enterprise = "1.3",
        .agent_address = "127.0.0.1",
        .generic_trap = -1,
        .specific_trap = "-9223372036854775808",
        .time_stamp = -5},
       "30 27 02 01 00 04 01 63 A4 1F 06 01 2B 40 04 7F 00 00 01 02 01 FF "
       "02 08 80 00 00 00 00 00 00 00 43 05 00 FF FF FF FB 30 00"},
      {"with a binding",
       {.enterprise = "1.3", .generic_trap = 1, .specific_trap = " 7 ", .bindings = uptime},
       "30 2B 02 01 00 04 00 A4 24 06 01 2B 40 04 00 00 00 00 02 01 01 02 01 07 43 01 00 "
       "30 10 30 0E 06 08 2B 06 01 02 01 01 03 00 43 02 30 39"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(BuildTrapMessage(c.message), Hex(c.hex));
  }
}

TEST(TrapMessageTest, ErrorsComeInFieldOrder) {
  const Bytes too_long(32768, 0);
  const struct {
    const char* what;
    TrapMessage message;
    std::int32_t error;
  } cases[] = {
      {"enterprise is a name", {.enterprise = "iso.org", .specific_trap = "1"}, kErrTypeMismatch},
      {"enterprise arc negative", {.enterprise = "1.-3", .specific_trap = "1"}, kErrOverflow},
      {"agent address typo",
       {.enterprise = "1.3", .agent_address = "10.0.0", .specific_trap = "1"},
       kErrTypeMismatch},
      {"specific not a number", {.enterprise = "1.3", .specific_trap = "one"}, kErrTypeMismatch},
      {"specific too big",
       {.enterprise = "1.3", .specific_trap = "9223372036854775808"},
       kErrOverflow},
      {"bindings too long",
       {.enterprise = "1.3", .specific_trap = "1", .bindings = too_long},
       kErrOverflow},
      {"enterprise before specific", {.enterprise = "1.-3", .specific_trap = "x"}, kErrOverflow},
      {"address before bindings",
       {.enterprise = "1.3", .agent_address = "x", .specific_trap = "1", .bindings = too_long},
       kErrTypeMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ErrorNumberOf([&] { (void)BuildTrapMessage(c.message); }), c.error);
  }
}

}  // namespace
}  // namespace kivostrel
