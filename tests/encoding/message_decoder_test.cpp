#include "encoding/message_decoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "encoding/ber_writer.h"
#include "encoding/messages.h"
#include "encoding/object_id.h"
#include "encoding/value_constructors.h"
#include "tests/support/test_support.h"

namespace kivostrel {
namespace {

using testing::Hex;

struct ElementCase {
  const char* hex;
  std::int32_t string_type;
  std::int16_t tag;
  const char* type_name;
  Variant value;
  std::size_t consumed;
};

const ElementCase kElementCases[] = {
    {"02 01 FF", 0, 2, "Integer", -1, 3},
    {"02 02 00 FF", 0, 2, "Integer", 255, 4},
    {"02 04 FF FF FF FF", 0, 2, "Integer", -1, 6},
    {"02 05 01 00 00 00 00", 0, 2, "Integer", 0, 7},
    {"02 02 FF 7F", 0, 2, "Integer", -129, 4},
    {"02 03 80 00 00", 0, 2, "Integer", -8388608, 5},
    {"02 04 80 00 00 00", 0, 2, "Integer", INT32_MIN, 6},
    {"41 05 00 FF FF FF FF", 0, 65, "Counter", -1, 7},
    {"42 01 FF", 0, 66, "Gauge", 255, 3},
    {"43 02 30 39", 0, 67, "TimeTicks", 12345, 4},
    {"43 00", 0, 67, "TimeTicks", 0, 2},
    {"04 02 41 42", 0, 4, "OctetString", std::string("AB"), 4},
    {"04 02 41 42", 1, 4, "OctetString", Bytes{65, 66}, 4},
    {"04 02 41 42", 2, 4, "OctetString", std::string("AB"), 4},
    {"04 80", 0, 4, "OctetString", std::string(), 2},
    {"04 81 03 61 62 63", 0, 4, "OctetString", std::string("abc"), 6},
    {"04 84 00 00 00 01 7A", 0, 4, "OctetString", std::string("z"), 7},
    {"04 05 61 62", 0, 4, "OctetString", std::string("ab"), 7},  // clipped to the data
    {"05 00", 0, 5, "Null", std::string(), 2},
    {"06 08 2B 06 01 02 01 01 01 00", 0, 6, "ObjectID", std::string("1.3.6.1.2.1.1.1.0"), 10},
    {"06 03 88 37 03", 0, 6, "ObjectID", std::string("2.999.3"), 5},
    {"06 02 78 01", 0, 6, "ObjectID", std::string("2.40.1"), 4},
    {"06 03 81 34 03", 0, 6, "ObjectID", std::string("2.100.3"), 5},
    {"06 04 60 86 48 01", 0, 6, "ObjectID", std::string("2.16.840.1"), 6},
    {"06 05 04 00 7F 00 07", 0, 6, "ObjectID", std::string("0.4.0.127.0.7"), 7},
    {"06 02 00 11", 0, 6, "ObjectID", std::string("0.0.17"), 4},
    {"06 02 05 01", 0, 6, "ObjectID", std::string("0.5.1"), 4},
    {"06 01 00", 0, 6, "ObjectID", std::string("0"), 3},   // one arc, as "0" is encoded
    {"06 01 27", 0, 6, "ObjectID", std::string("39"), 3},  // the largest such arc
    {"06 01 2B", 0, 6, "ObjectID", std::string("1.3"), 3},
    {"06 01 78", 0, 6, "ObjectID", std::string("2.40"), 3},
    {"06 03 2B 82 37", 0, 6, "ObjectID", std::string("1.3.311"), 5},
    {"06 03 2B 06 86", 0, 6, "ObjectID", std::string("1.3.6"), 5},  // open last group
    {"06 05 87 FF FF FF 7F", 0, 6, "ObjectID", std::string("2.2147483567"), 7},
    {"40 04 C0 A8 01 0A", 0, 64, "IpAddress", std::string("192.168.1.10"), 6},
    {"40 00", 0, 64, "IpAddress", std::string(), 2},
    {"40 02 01 02", 0, 64, "IpAddress", std::string("1.2"), 4},
    {"44 03 01 02 03", 0, 68, "Opaque", std::string(), 5},
    {"03 02 00 00", 0, 3, "3", std::monostate{}, 4},
    {"30 0C 06 08", 0, 48, "Sequence", std::string(), 2},
    {"A0 00", 0, 160, "GetRequest", std::string(), 2},
    {"A1 00", 0, 161, "GetNextRequest", std::string(), 2},
    {"A2 82 01 00 02", 0, 162, "GetResponse", std::string(), 4},
    {"A3 00", 0, 163, "SetRequest", std::string(), 2},
    {"A4 00", 0, 164, "Trap", std::string(), 2},
    {"04 84 7F FF FF FF", 0, 4, "OctetString", std::string(), 6 + 2147483647u},
};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A GetResponse whose one binding has the name 1.3 and the value `element`, as it stands.
Bytes ResponseWithValue(const Bytes& element, const Bytes& then = {}) {
  const Bytes binding = Concat(
      {Hex("30"), Bytes{static_cast<std::uint8_t>(3 + element.size())}, Hex("06 01 2B"), element});
  return BuildRequestMessage({.pdu = kTagGetResponse, .bindings = Concat({binding, then})});
}

bool Constructed(std::int16_t tag) {
  return tag == kTagSequence || (tag >= kTagGetRequest && tag <= kTagTrap);
}

TEST(DecodeReceivedMessageTest, ElementVectorsAsBindingValues) {
  // Each element is a binding's value. Where the walk goes on past it (a primitive element whose
  // content is all there), a second binding follows and must be read whole.
  const Bytes next = SNMPIntegerValue("1.4", "9");
  for (const auto& c : kElementCases) {
    SCOPED_TRACE(c.hex);
    const Bytes element = Hex(c.hex);
    if (element.size() > 120) continue;  // kept to a one-octet binding length
    const bool followed = !Constructed(c.tag) && c.consumed == element.size();
    const ReceivedMessage m =
        DecodeReceivedMessage(ResponseWithValue(element, followed ? next : Bytes{}), c.string_type);
    ASSERT_EQ(m.ErrorStatus, 0);
    ASSERT_EQ(m.Objects.size(), followed ? 2u : 1u);
    EXPECT_EQ(m.Objects[0], (OstrelObject{"1.3", c.tag, c.type_name, c.value}));
    if (followed) {
      EXPECT_EQ(m.Objects[1], (OstrelObject{"1.4", 2, "Integer", 9}));
    }
  }
}

TEST(DecodeReceivedMessageTest, FailedValuesGiveOIDTypeMinusOneAndTheWalkGoesOnByTheirExtent) {
  const struct {
    const char* hex;
    bool followed;  // a binding after it is read; else the walk cannot go on or nothing follows
  } cases[] = {
      {"02", false},
      {"04 82 01", false},                // a long length cut short
      {"04 84 80 00 00 00", false},       // length past 2^31 - 1
      {"04 85 00 80 00 00 00", false},    // the same in five octets
      {"02 03", false},                   // declared content missing
      {"02 00", true},                    // INTEGER without content
      {"06 00", true},                    // empty object identifier
      {"06 06 2B 88 80 80 80 00", true},  // subidentifier 2^31
      {"06 05 88 80 80 80 00", true},     // first subidentifier 2^31
      {"06 01 81", true},                 // first subidentifier cut short
      {"06 02 88 B7", true},              // the same after two octets
  };
  const Bytes next = SNMPIntegerValue("1.4", "9");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    const ReceivedMessage m =
        DecodeReceivedMessage(ResponseWithValue(Hex(c.hex), c.followed ? next : Bytes{}), 0);
    ASSERT_EQ(m.Objects.size(), c.followed ? 2u : 1u);
    EXPECT_EQ(m.Objects[0], (OstrelObject{"1.3", -1, "", std::monostate{}}));
    if (c.followed) {
      EXPECT_EQ(m.Objects[1], (OstrelObject{"1.4", 2, "Integer", 9}));
    }
  }
}

TEST(DecodeReceivedMessageTest, ObjectIdTextsGoBackOutAsTheSameIdentifier) {
  // Each identifier text of the vectors, encoded by our own encoder as a binding's name and as
  // its value, is received as the same text in both places.
  for (const auto& c : kElementCases) {
    if (c.tag != kTagObjectId) continue;
    const std::string& text = std::get<std::string>(c.value);
    SCOPED_TRACE(text);
    BerWriter writer;
    const std::size_t end = writer.size();
    const Subidentifiers arcs = ParseObjectIdText(text);
    writer.PrependObjectId(arcs.span());
    writer.PrependObjectId(arcs.span());
    writer.PrependConstructed(kTagSequence, end);
    const Bytes binding = std::move(writer).Finish();
    const Bytes datagram = BuildRequestMessage({.pdu = kTagGetResponse, .bindings = binding});
    EXPECT_EQ(DecodeReceivedMessage(datagram, 0).Objects,
              (std::vector<OstrelObject>{{text, kTagObjectId, "ObjectID", text}}));
  }
}

TEST(DecodeReceivedMessageTest, GetResponseWithTwoBindings) {
  const Bytes bindings = Concat({SNMPIntegerValue("1.3.6.1.2.1.2.2.1.7.1", "2"),
                                 SNMPStringValue("1.3.6.1.2.1.1.5.0", "router")});
  const Bytes datagram = BuildRequestMessage({.pdu = kTagGetResponse,
                                              .community = "public",
                                              .request_id = 4711,
                                              .error_status = 2,
                                              .error_index = 1,
                                              .bindings = bindings});
  const ReceivedMessage m = DecodeReceivedMessage(datagram, 0);
  EXPECT_EQ(m.Version, 0);
  EXPECT_EQ(m.Community, "public");
  EXPECT_EQ(m.Command, "GetResponse");
  EXPECT_EQ(m.RequestId, 4711);
  EXPECT_EQ(m.ErrorStatus, 2);
  EXPECT_EQ(m.ErrorIndex, 1);
  ASSERT_EQ(m.Objects.size(), 2u);
  EXPECT_EQ(m.Objects[0], (OstrelObject{"1.3.6.1.2.1.2.2.1.7.1", 2, "Integer", 2}));
  EXPECT_EQ(m.Objects[1],
            (OstrelObject{"1.3.6.1.2.1.1.5.0", 4, "OctetString", std::string("router")}));
}

TEST(DecodeReceivedMessageTest, CopiesAndMovesRenderTheSameRows) {
  // A trap's rows come from the datagram and from the table's own texts. The datagram and the
  // decoded message are freed before the copies are read: ASan catches any row left pointing
  // into either.
  auto datagram = std::make_unique<Bytes>(
      BuildTrapMessage({.enterprise = "1.3.6.1.4.1.9999",
                        .agent_address = "10.0.0.1",
                        .generic_trap = 6,
                        .specific_trap = "17",
                        .time_stamp = 5,
                        .bindings = SNMPStringValue("1.3.6.1.4.1.9999.1", "hi")}));
  auto decoded =
      std::make_unique<ReceivedMessage>(DecodeReceivedMessage(*datagram, kStringTypeBytes));
  datagram.reset();
  std::vector<OstrelObject> expected(decoded->Objects.begin(), decoded->Objects.end());
  ASSERT_EQ(expected.size(), 6u);
  EXPECT_EQ(expected[2].OIDValue, Variant(Bytes{'h', 'i'}));  // the string type is kept
  ReceivedMessage copy = *decoded;
  const ReceivedMessage moved = std::move(*decoded);
  decoded.reset();
  ReceivedMessage assigned;
  assigned = copy;
  EXPECT_EQ(moved.Objects, expected);
  EXPECT_EQ(assigned.Objects, expected);
  EXPECT_EQ(copy.Objects, expected);
}

TEST(DecodeReceivedMessageTest, EveryRequestKindAndValueType) {
  const Bytes bindings =
      Concat({SNMPNullValue("1.3.6.1.2.1.1.1.0"), SnmpTimeTicksValue("1.3.6.1.2.1.1.3.0", "12345"),
              SNMPCounterValue("1.3.6.1.2.1.2.2.1.10.1", "4294967295"),
              SnmpGaugeValue("1.3.6.1.2.1.2.2.1.5.1", "100000000"),
              SNMPIpAddrValue("1.3.6.1.2.1.4.20.1.1.10.0.0.1", "10.0.0.1"),
              SNMPBinStringValue("1.3.6.1.2.1.2.2.1.6.1", Hex("00 0C 29 01 02 03"))});
  const std::vector<OstrelObject> expected = {
      {"1.3.6.1.2.1.1.1.0", 5, "Null", std::string()},
      {"1.3.6.1.2.1.1.3.0", 67, "TimeTicks", 12345},
      {"1.3.6.1.2.1.2.2.1.10.1", 65, "Counter", -1},
      {"1.3.6.1.2.1.2.2.1.5.1", 66, "Gauge", 100000000},
      {"1.3.6.1.2.1.4.20.1.1.10.0.0.1", 64, "IpAddress", std::string("10.0.0.1")},
      {"1.3.6.1.2.1.2.2.1.6.1", 4, "OctetString", Hex("00 0C 29 01 02 03")},
  };
  for (const BerTag pdu : {kTagGetRequest, kTagGetNextRequest, kTagGetResponse, kTagSetRequest}) {
    SCOPED_TRACE(static_cast<int>(pdu));
    const Bytes datagram =
        BuildRequestMessage({.pdu = pdu, .community = "c", .request_id = -5, .bindings = bindings});
    const ReceivedMessage m = DecodeReceivedMessage(datagram, kStringTypeBytes);
    EXPECT_EQ(m.Command, TagTypeName(pdu));
    EXPECT_EQ(m.RequestId, -5);
    EXPECT_EQ(m.ErrorStatus, 0);
    EXPECT_EQ(m.Community, "c");  // a byte-array community arrives as its bytes
    EXPECT_EQ(m.Objects, expected);
  }
}

TEST(DecodeReceivedMessageTest, UndecodableHeadersReportFormatError) {
  const Bytes valid = BuildRequestMessage({.pdu = kTagGetResponse,
                                           .community = "public",
                                           .request_id = 7,
                                           .bindings = SNMPNullValue("1.3.6.1.2.1.1.1.0")});
  const struct {
    std::size_t length;  // a prefix of the valid message
    std::int16_t version;
    const char* community;
    const char* command;
    std::int32_t request_id;
  } cases[] = {
      {0, 0, "0", "", 0},                   // empty datagram
      {1, 0, "0", "", 0},                   // a tag without a length
      {4, 0, "0", "", 0},                   // version cut short: its INTEGER has no content
      {15, 0, "public", "GetResponse", 0},  // request id missing
      {18, 0, "public", "GetResponse", 7},  // error status missing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    const ReceivedMessage m = DecodeReceivedMessage(std::span(valid).first(c.length), 0);
    EXPECT_EQ(m.ErrorStatus, -1);
    EXPECT_EQ(m.Version, c.version);
    EXPECT_EQ(m.Community, c.community);
    EXPECT_EQ(m.Command, c.command);
    EXPECT_EQ(m.RequestId, c.request_id);
    EXPECT_TRUE(m.Objects.empty());
  }
}

TEST(DecodeReceivedMessageTest, HeaderValuesThatDoNotConvertReportFormatError) {
  const struct {
    const char* what;
    const char* hex;
  } cases[] = {
      {"version past 16 bits", "30 13 02 03 01 11 70 04 00 A2 0B 02 01 01 02 01 00 02 01 00 30 00"},
      {"error status past 16 bits",
       "30 12 02 01 00 04 00 A2 0B 02 01 01 02 03 01 00 00 02 01 00 30 00"},
      {"request id a text", "30 12 02 01 00 04 00 A2 0B 04 01 78 02 01 00 02 01 00 30 00"},
      {"request id an array", "30 12 02 01 00 04 00 A2 0B 04 01 31 02 01 00 02 01 00 30 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes datagram = Hex(c.hex);
    // The array case needs byte-array strings; text "1" would convert.
    const std::int32_t string_type = std::string_view(c.what).ends_with("array") ? 1 : 0;
    EXPECT_EQ(DecodeReceivedMessage(datagram, string_type).ErrorStatus, -1);
  }
  // A request id sent as the text of a number converts, as automation converts texts.
  const Bytes text_id = Hex("30 12 02 01 00 04 00 A2 0B 04 01 39 02 01 00 02 01 00 30 00");
  EXPECT_EQ(DecodeReceivedMessage(text_id, 0).RequestId, 9);
  EXPECT_EQ(DecodeReceivedMessage(text_id, 0).ErrorStatus, 0);
}

TEST(DecodeReceivedMessageTest, EmptyBindingListGivesNoObjects) {
  const Bytes datagram = BuildRequestMessage({.pdu = kTagGetResponse, .request_id = 1});
  const ReceivedMessage m = DecodeReceivedMessage(datagram, 0);
  EXPECT_EQ(m.ErrorStatus, 0);
  EXPECT_TRUE(m.Objects.empty());
}

TEST(DecodeReceivedMessageTest, FailedBindingElementsLeaveNoStaleValues) {
  // Three bindings: a good one, one whose INTEGER value has no content, one whose name is an
  // empty object identifier; then a good one again.
  const Bytes bindings = Concat({SNMPIntegerValue("1.3.1", "5"), Hex("30 05 06 01 2C 02 00"),
                                 Hex("30 04 06 00 02 01 07"), SNMPIntegerValue("1.3.4", "9")});
  const Bytes datagram = BuildRequestMessage({.pdu = kTagGetResponse, .bindings = bindings});
  const std::vector<OstrelObject> expected = {
      {"1.3.1", 2, "Integer", 5},
      {"1.4", -1, "", std::monostate{}},
      {"", 2, "Integer", 7},
      {"1.3.4", 2, "Integer", 9},
  };
  EXPECT_EQ(DecodeReceivedMessage(datagram, 0).Objects, expected);
}

TEST(DecodeReceivedMessageTest, UnreadableElementEndsTheWalk) {
  // The second binding's value has a long length cut short: nothing after it can be found.
  const Bytes bindings = Concat({SNMPIntegerValue("1.3.1", "5"), Hex("30 05 06 01 2C 04 83 01")});
  const Bytes datagram = BuildRequestMessage({.pdu = kTagGetResponse, .bindings = bindings});
  const std::vector<OstrelObject> expected = {
      {"1.3.1", 2, "Integer", 5},
      {"1.4", -1, "", std::monostate{}},
  };
  EXPECT_EQ(DecodeReceivedMessage(datagram, 0).Objects, expected);
}

TEST(DecodeReceivedMessageTest, UnknownTagIsSkippedByItsLength) {
  const Bytes bindings = Hex("30 07 06 01 2B 03 02 00 00 30 05 06 01 2C 02 01 01");
  const Bytes datagram = BuildRequestMessage({.pdu = kTagGetResponse, .bindings = bindings});
  const std::vector<OstrelObject> expected = {
      {"1.3", 3, "3", std::monostate{}},
      {"1.4", 2, "Integer", 1},
  };
  EXPECT_EQ(DecodeReceivedMessage(datagram, 0).Objects, expected);
}

// An element with a three-octet long-form length, whatever its size.
Bytes LongFormElement(std::uint8_t tag, const Bytes& content) {
  const std::size_t n = content.size();
  return Concat({Bytes{tag, 0x83, static_cast<std::uint8_t>(n >> 16),
                       static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)},
                 content});
}

TEST(DecodeReceivedMessageTest, DatagramsPast32767OctetsAreDecodedWhole) {
  // A GetResponse carrying 40000 octets in one binding, and a second binding after it.
  const Bytes big =
      LongFormElement(0x30, Concat({Hex("06 01 2B"), LongFormElement(0x04, Bytes(40000, 0x61))}));
  const Bytes list = LongFormElement(0x30, Concat({big, SNMPIntegerValue("1.4", "3")}));
  const Bytes pdu = LongFormElement(0xA2, Concat({Hex("02 01 01 02 01 00 02 01 00"), list}));
  const Bytes datagram = LongFormElement(0x30, Concat({Hex("02 01 00 04 00"), pdu}));
  ASSERT_GT(datagram.size(), 40000u);
  const ReceivedMessage m = DecodeReceivedMessage(datagram, 0);
  EXPECT_EQ(m.ErrorStatus, 0);
  ASSERT_EQ(m.Objects.size(), 2u);
  EXPECT_EQ(m.Objects[0].OIDName, "1.3");
  EXPECT_EQ(std::get<std::string>(m.Objects[0].OIDValue), std::string(40000, 'a'));
  EXPECT_EQ(m.Objects[1], (OstrelObject{"1.4", 2, "Integer", 3}));
}

TEST(DecodeReceivedMessageTest, TrapInNotificationForm) {
  const struct {
    const char* specific;
    std::int64_t time_stamp;
    std::int32_t uptime;   // what sysUpTime.0 reports
    const char* trap_oid;  // snmpTrapOID.0
  } cases[] = {
      {"17", 12345, 12345, "1.3.6.1.4.1.9999.0.17"},
      // A negative specific trap gives the arc of its unsigned 32-bit value; a negative time
      // stamp comes back as the number that was sent.
      {"-1", -5, -5, "1.3.6.1.4.1.9999.0.4294967295"},
      {"-2147483648", 4294967295, -1, "1.3.6.1.4.1.9999.0.2147483648"},
  };
  const Bytes binding = SNMPStringValue("1.3.6.1.4.1.9999.1", "hello");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.specific);
    const Bytes datagram = BuildTrapMessage({.community = "public",
                                             .enterprise = "1.3.6.1.4.1.9999",
                                             .agent_address = "10.0.0.1",
                                             .generic_trap = 6,
                                             .specific_trap = c.specific,
                                             .time_stamp = c.time_stamp,
                                             .bindings = binding});
    const ReceivedMessage m = DecodeReceivedMessage(datagram, 0);
    EXPECT_EQ(m.Command, "Trap");
    EXPECT_EQ(m.Community, "public");
    EXPECT_EQ(m.RequestId, 0);
    EXPECT_EQ(m.ErrorStatus, 0);
    const std::vector<OstrelObject> expected = {
        {"1.3.6.1.2.1.1.3.0", 67, "TimeTicks", c.uptime},
        {"1.3.6.1.6.3.1.1.4.1.0", 6, "ObjectID", std::string(c.trap_oid)},
        {"1.3.6.1.4.1.9999.1", 4, "OctetString", std::string("hello")},
        {"1.3.6.1.6.3.18.1.3.0", 64, "IpAddress", std::string("10.0.0.1")},
        {"1.3.6.1.6.3.18.1.4.0", 4, "OctetString", std::string("public")},
        {"1.3.6.1.6.3.1.1.4.3.0", 6, "ObjectID", std::string("1.3.6.1.4.1.9999")},
    };
    EXPECT_EQ(m.Objects, expected);
  }
}

TEST(DecodeReceivedMessageTest, GenericTrapsMapToStandardNotifications) {
  for (std::int16_t generic = 0; generic <= 5; ++generic) {
    SCOPED_TRACE(generic);
    const Bytes datagram = BuildTrapMessage({.enterprise = "1.3.6.1.4.1.8072.3.2.10",
                                             .agent_address = "127.0.0.1",
                                             .generic_trap = generic,
                                             .specific_trap = "0",
                                             .time_stamp = 1});
    const ReceivedMessage m = DecodeReceivedMessage(datagram, 0);
    ASSERT_EQ(m.Objects.size(), 5u);
    EXPECT_EQ(m.Objects[1].OIDValue,
              Variant(std::string("1.3.6.1.6.3.1.1.5.") + std::to_string(generic + 1)));
  }
}

TEST(DecodeReceivedMessageTest, TrapWhoseHeaderCannotBeReadIsAFormatError) {
  const Bytes valid = BuildTrapMessage({.enterprise = "1.3.6.1.4.1.9999",
                                        .agent_address = "10.0.0.1",
                                        .generic_trap = 6,
                                        .specific_trap = "1",
                                        .time_stamp = 12345});
  // Cut inside the time stamp; and the agent address sent as an OCTET STRING.
  Bytes wrong_type = valid;
  wrong_type[18] = 0x04;
  for (const Bytes& datagram : {Bytes(valid.begin(), valid.begin() + 31), wrong_type}) {
    const ReceivedMessage m = DecodeReceivedMessage(datagram, 0);
    EXPECT_EQ(m.Command, "Trap");
    EXPECT_EQ(m.ErrorStatus, -1);
    EXPECT_TRUE(m.Objects.empty());
  }
}

TEST(DecodeReceivedMessageTest, EveryPrefixInAnExactSizeBuffer) {
  const Bytes bindings = Concat({SNMPIntegerValue("1.3.6.1.2.1.2.2.1.7.1", "-2"),
                                 SNMPIpAddrValue("1.3.6.1.2.1.4.20.1.1.10.0.0.1", "10.0.0.1"),
                                 SNMPBinStringValue("1.3.6", Bytes(300, 0x80))});
  const Bytes messages[] = {
      BuildRequestMessage({.pdu = kTagGetResponse, .community = "public", .bindings = bindings}),
      BuildTrapMessage({.enterprise = "1.3.6.1.4.1.9999",
                        .specific_trap = "1",
                        .time_stamp = 5,
                        .bindings = bindings}),
  };
  for (const Bytes& message : messages) {
    for (std::size_t n = 0; n <= message.size(); ++n) {
      // A heap copy of exactly n octets, so that any read past the end is caught.
      auto copy = std::make_unique<std::uint8_t[]>(n);
      std::copy_n(message.begin(), n, copy.get());
      const ReceivedMessage m = DecodeReceivedMessage({copy.get(), n}, n % 2);
      EXPECT_LE(m.Objects.size(), 8u);
    }
  }
}

// A PDU on its own (an SNMPv3 scoped PDU's) reads as the same PDU does after a message's version
// and community: well formed, cut short, with values that fail, an error status out of range.
TEST(DecodeReceivedMessageTest, APduOnItsOwnReadsAsInAMessage) {
  const char* pdus[] = {
      "A2 1A 02 01 07 02 01 00 02 01 00 30 0F 30 0D 06 08 2B 06 01 02 01 01 05 00 04 01 78",
      "A7 10 02 01 01 02 01 00 02 01 00 30 05 30 03 06 01 2B",  // a binding without a value
      "A6 0C 02 01 05 02 01 00 02 01 00 30 01",                 // a cut binding list
      "A2 0B 02 01 07 02 03 01 00 00 02 01 00 30 00",           // error status past 16 bits
      "A5 0E 02 01 09 02 01 00 02 01 0A 30 03 02 00 05",        // an empty INTEGER as a value
      "A0 05 02 01 07 02",                                      // cut in the header
      "A8 0B 02 01 07 02 01 00 02 01 00 30 00",
  };
  for (const char* hex : pdus) {
    SCOPED_TRACE(hex);
    const Bytes pdu = Hex(hex);
    Bytes message = Hex("02 01 03 04 05 61 6C 69 63 65");  // version 3, "alice"
    message.insert(message.end(), pdu.begin(), pdu.end());
    message.insert(message.begin(), {0x30, static_cast<std::uint8_t>(message.size())});
    const ReceivedMessage whole = DecodeReceivedMessage(message, 0);
    const ReceivedMessage alone = DecodeReceivedPdu(pdu, 0);
    EXPECT_EQ(alone.Command, whole.Command);
    EXPECT_EQ(alone.RequestId, whole.RequestId);
    EXPECT_EQ(alone.ErrorStatus, whole.ErrorStatus);
    EXPECT_EQ(alone.ErrorIndex, whole.ErrorIndex);
    ASSERT_EQ(alone.Objects.size(), whole.Objects.size());
    for (std::size_t i = 0; i < whole.Objects.size(); ++i) {
      EXPECT_EQ(alone.Objects[i].OIDName, whole.Objects[i].OIDName);
      EXPECT_EQ(alone.Objects[i].OIDType, whole.Objects[i].OIDType);
      EXPECT_EQ(alone.Objects[i].OIDValue, whole.Objects[i].OIDValue);
    }
  }
  // An SNMPv1 Trap PDU has no place in SNMPv3.
  const ReceivedMessage trap = DecodeReceivedPdu(
      Hex("A4 16 06 03 2B 06 01 40 04 7F 00 00 01 02 01 06 02 01 11 43 01 05 30 00"), 0);
  EXPECT_EQ(trap.Command, "Trap");
  EXPECT_EQ(trap.ErrorStatus, -1);
  EXPECT_EQ(trap.Objects.size(), 0u);
}

}  // namespace
}  // namespace kivostrel
