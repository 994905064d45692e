// SNMPv2c on the wire: the version field, GetBulk and notifications built, Counter64 bindings,
// and what the decoder makes of the SNMPv2 types and PDUs.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "encoding/message_decoder.h"
#include "encoding/messages.h"
#include "encoding/value_constructors.h"
#include "tests/support/test_support.h"

namespace kivostrel {
namespace {

using testing::ErrorNumberOf;
using testing::Hex;

TEST(Snmpv2Test, Counter64Bindings) {
  const struct {
    const char* value;
    const char* hex;  // empty: `error`
    std::int32_t error;
  } cases[] = {
      {"0", "30 06 06 01 2B 46 01 00", 0},
      {"255", "30 07 06 01 2B 46 02 00 FF", 0},
      {" +4294967296 ", "30 0A 06 01 2B 46 05 01 00 00 00 00", 0},
      {"9223372036854775807", "30 0D 06 01 2B 46 08 7F FF FF FF FF FF FF FF", 0},
      {"9223372036854775808", "30 0E 06 01 2B 46 09 00 80 00 00 00 00 00 00 00", 0},
      {"18446744073709551615", "30 0E 06 01 2B 46 09 00 FF FF FF FF FF FF FF FF", 0},
      {"-0", "30 06 06 01 2B 46 01 00", 0},
      {"18446744073709551616", "", kErrOverflow},
      {"-1", "", kErrOverflow},
      {"12x", "", kErrTypeMismatch},
      {"", "", kErrTypeMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    if (c.error == 0) {
      EXPECT_EQ(SNMPCounter64Value("1.3", c.value), Hex(c.hex));
    } else {
      EXPECT_EQ(ErrorNumberOf([&] { SNMPCounter64Value("1.3", c.value); }), c.error);
    }
  }
}

TEST(Snmpv2Test, MessagesBuilt) {
  const Bytes null = SNMPNullValue("1.3");
  const struct {
    const char* what;
    std::function<Bytes()> build;
    const char* hex;
  } cases[] = {
      {"v2c get",
       [&] {
         return BuildRequestMessage({.pdu = kTagGetRequest,
                                     .version = 1,
                                     .community = "c",
                                     .request_id = 1,
                                     .bindings = null});
       },
       "30 1A 02 01 01 04 01 63 A0 12 02 01 01 02 01 00 02 01 00 30 07 30 05 06 01 2B 05 00"},
      {"getbulk, 0 non-repeaters, 10 repetitions",
       [&] {
         return BuildRequestMessage({.pdu = kTagGetBulkRequest,
                                     .version = 1,
                                     .community = "c",
                                     .request_id = 7,
                                     .error_status = 0,
                                     .error_index = 10,
                                     .bindings = null});
       },
       "30 1A 02 01 01 04 01 63 A5 12 02 01 07 02 01 00 02 01 0A 30 07 30 05 06 01 2B 05 00"},
      {"notification bindings", [] { return NotificationBindings(5, "1.3.6.1.6.3.1.1.5.1", {}); },
       "30 0D 06 08 2B 06 01 02 01 01 03 00 43 01 05 "
       "30 17 06 0A 2B 06 01 06 03 01 01 04 01 00 06 09 2B 06 01 06 03 01 01 05 01"},
      {"notification bindings of a translated trap, time stamp past 2^31",
       [&] { return NotificationBindings(-2, "1.3.0.9", null, "1.3"); },
       "30 11 06 08 2B 06 01 02 01 01 03 00 43 05 00 FF FF FF FE "
       "30 11 06 0A 2B 06 01 06 03 01 01 04 01 00 06 03 2B 00 09 "
       "30 05 06 01 2B 05 00 "
       "30 0F 06 0A 2B 06 01 06 03 01 01 04 03 00 06 01 2B"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ToHex(c.build()), ToHex(Hex(c.hex)));
  }
}

TEST(Snmpv2Test, TrapOidsOfSnmpv1Traps) {
  EXPECT_EQ(TrapOidOf("1.3.6.1.4.1.9", 0, 0), "1.3.6.1.6.3.1.1.5.1");
  EXPECT_EQ(TrapOidOf("1.3.6.1.4.1.9", 5, 3), "1.3.6.1.6.3.1.1.5.6");
  EXPECT_EQ(TrapOidOf("1.3.6.1.4.1.9", 6, 17), "1.3.6.1.4.1.9.0.17");
  EXPECT_EQ(TrapOidOf("1.3.6.1.4.1.9", 7, 4294967295u), "1.3.6.1.4.1.9.0.4294967295");
}

TEST(Snmpv2Test, Counter64AndExceptionValuesReceived) {
  const struct {
    const char* value;  // a binding's value element, after the name 1.3
    std::int16_t type;  // OIDType
    const char* name;   // OIDTypeName
    Variant decoded;    // OIDValue
  } cases[] = {
      {"46 01 00", 70, "Counter64", std::uint64_t{0}},
      {"46 00", 70, "Counter64", std::uint64_t{0}},
      {"46 03 78 07 C0", 70, "Counter64", std::uint64_t{0x7807C0}},
      {"46 09 00 FF FF FF FF FF FF FF FF", 70, "Counter64",
       std::numeric_limits<std::uint64_t>::max()},
      // Ten octets: the last eight count, as the 32-bit types keep their last four.
      {"46 0A 01 02 00 00 00 00 00 00 00 2A", 70, "Counter64", std::uint64_t{42}},
      {"80 00", 128, "NoSuchObject", std::monostate{}},
      {"81 00", 129, "NoSuchInstance", std::monostate{}},
      {"82 00", 130, "EndOfMibView", std::monostate{}},
      {"82 02 01 02", 130, "EndOfMibView", std::monostate{}},  // content is skipped
  };
  const Bytes next = SNMPIntegerValue("1.4", "9");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    const Bytes element = Hex(c.value);
    Bytes bindings = Hex("30");
    bindings.push_back(static_cast<std::uint8_t>(3 + element.size()));
    bindings.insert(bindings.end(), {0x06, 0x01, 0x2B});
    bindings.insert(bindings.end(), element.begin(), element.end());
    bindings.insert(bindings.end(), next.begin(), next.end());
    const ReceivedMessage m = DecodeReceivedMessage(
        BuildRequestMessage({.pdu = kTagGetResponse, .version = 1, .bindings = bindings}), 0);
    ASSERT_EQ(m.Objects.size(), 2u);
    EXPECT_EQ(m.Objects[0], (OstrelObject{"1.3", c.type, c.name, c.decoded}));
    EXPECT_EQ(m.Objects[1], (OstrelObject{"1.4", 2, "Integer", 9}));
  }
}

TEST(Snmpv2Test, Snmpv2PdusDecodeAsAResponseDoes) {
  const Bytes binding = SNMPCounter64Value("1.3.6.1.2.1.31.1.1.1.6.1", "18446744073709551615");
  const struct {
    BerTag pdu;
    const char* command;
  } cases[] = {
      {kTagGetBulkRequest, "GetBulkRequest"},
      {kTagInformRequest, "InformRequest"},
      {kTagSnmpV2Trap, "SNMPv2-Trap"},
      {kTagReport, "Report"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    const ReceivedMessage m = DecodeReceivedMessage(BuildRequestMessage({.pdu = c.pdu,
                                                                         .version = 1,
                                                                         .community = "public",
                                                                         .request_id = -7,
                                                                         .error_status = 1,
                                                                         .error_index = 25,
                                                                         .bindings = binding}),
                                                    0);
    EXPECT_EQ(m.Version, 1);
    EXPECT_EQ(m.Command, c.command);
    EXPECT_EQ(m.RequestId, -7);
    EXPECT_EQ(m.ErrorStatus, 1);  // a GetBulk's non-repeaters
    EXPECT_EQ(m.ErrorIndex, 25);  // and its max-repetitions
    EXPECT_EQ(m.Objects, (std::vector<OstrelObject>{{"1.3.6.1.2.1.31.1.1.1.6.1", 70, "Counter64",
                                                     std::numeric_limits<std::uint64_t>::max()}}));
  }
}

TEST(Snmpv2Test, AGetBulkWithNegativeCountsReachesTheHostAsItCame) {
  const ReceivedMessage m =
      DecodeReceivedMessage(BuildRequestMessage({.pdu = kTagGetBulkRequest,
                                                 .version = 1,
                                                 .request_id = 3,
                                                 .error_status = -2,
                                                 .error_index = -2147483647 - 1,
                                                 .bindings = SNMPNullValue("1.3")}),
                            0);
  EXPECT_EQ(m.Command, "GetBulkRequest");
  EXPECT_EQ(m.ErrorStatus, -2);
  EXPECT_EQ(m.ErrorIndex, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(m.Objects.size(), 1u);
}

}  // namespace
}  // namespace kivostrel
