#include "tools/ostrel/output_format.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tools/ostrel/control_host.h"
#include "tools/ostrel/snmpv2_texts.h"

namespace kivostrel::ostrel {
namespace {

using kivostrel::testing::Hex;

TEST(OstrelUtf8Test, SequenceLengths) {
  const struct {
    std::string text;
    std::size_t length;
  } cases[] = {
      {"", 0},
      {"A", 1},
      {"\xC3\xA9", 2},          // é
      {"\xE2\x82\xAC", 3},      // €
      {"\xF0\x9F\x98\x80", 4},  // U+1F600
      {"\xC0\x80", 0},          // overlong NUL
      {"\xE0\x80\x80", 0},      // overlong
      {"\xED\xA0\x80", 0},      // surrogate
      {"\xF4\x90\x80\x80", 0},  // above U+10FFFF
      {"\xC3", 0},              // cut short
      {"\x80", 0},              // lone continuation
      {"\xFF", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8SequenceLength(c.text), c.length) << ::testing::PrintToString(c.text);
  }
}

TEST(OstrelJsonStringTest, Escapes) {
  const struct {
    std::string text;
    const char* json;
  } cases[] = {
      {"", R"("")"},
      {"Linux 6.1", R"("Linux 6.1")"},
      {"a\"b\\c", R"("a\"b\\c")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {std::string("\x00\x01\x1F\x7F", 4), R"("\u0000\u0001\u001f\u007f")"},
      {"caf\xC3\xA9 \xE2\x82\xAC", "\"caf\xC3\xA9 \xE2\x82\xAC\""},
      {"\xE9t\xE9", R"("\u00e9t\u00e9")"},  // Latin-1 bytes, not UTF-8
      {"\xC3", R"("\u00c3")"},
      {"\xED\xA0\x80", R"("\u00ed\u00a0\u0080")"},
      {"/<>", R"("/<>")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonString(c.text), c.json) << ::testing::PrintToString(c.text);
  }
}

TEST(OstrelTimeTicksTest, Texts) {
  EXPECT_EQ(TimeTicksText(0), "0:00:00.00");
  EXPECT_EQ(TimeTicksText(12345), "0:02:03.45");
  EXPECT_EQ(TimeTicksText(8'640'000), "1d 0:00:00.00");
  EXPECT_EQ(TimeTicksText(4294967295u), "497d 2:27:52.95");
}

class OstrelFormatTest : public ::testing::Test {
 protected:
  // What the control reports for one datagram.
  Datagram Receive(std::string_view hex, std::int32_t string_type = 0) {
    host_->control().StringType(string_type);
    host_->Replay("127.0.0.1", "161", Hex(hex));
    EXPECT_EQ(host_->received().size(), 1u);
    Datagram datagram = host_->received().front();
    host_->received().clear();
    return datagram;
  }

  std::unique_ptr<ControlHost> host_ = ControlHost::Offline();
  const kivOstrel& control_ = host_->control();
};

TEST_F(OstrelFormatTest, ValueTexts) {
  const struct {
    OstrelObject row;
    const char* text;
  } cases[] = {
      {{"1.3.6.1.2.1.1.1.0", 4, "OctetString", std::string("Linux box")}, "OctetString: Linux box"},
      {{"1.3.6.1.2.1.1.1.0", 4, "OctetString", std::string()}, "OctetString: \"\""},
      {{"1.3.6.1.2.1.1.1.0", 4, "OctetString", std::string("a\nb")}, "OctetString: Hex: 61 0A 62"},
      {{"1.3.6.1.2.1.1.1.0", 4, "OctetString", std::string("\xFF")}, "OctetString: Hex: FF"},
      {{"1.3.6.1.2.1.1.1.0", 4, "OctetString", Bytes{0x00, 0x0C}}, "OctetString: Hex: 00 0C"},
      {{"1.3.6.1.2.1.1.1.0", 2, "Integer", -5}, "Integer: -5"},
      {{"1.3.6.1.2.1.2.2.1.10.1", 65, "Counter", -1}, "Counter: 4294967295"},
      {{"1.3.6.1.2.1.2.2.1.5.1", 66, "Gauge", 100}, "Gauge: 100"},
      {{"1.3.6.1.2.1.1.3.0", 67, "TimeTicks", 12345}, "TimeTicks: 12345 (0:02:03.45)"},
      {{"1.3.6.1.2.1.1.2.0", 6, "ObjectID", std::string("1.3.6.1.4.1.8072.3")},
       "ObjectID: iso.org.dod.internet.private.enterprises.8072.3"},
      {{"1.3.6.1.2.1.4.20.1.1.1", 64, "IpAddress", std::string("10.0.0.1")}, "IpAddress: 10.0.0.1"},
      {{"1.3.6.1.2.1.1.1.0", 5, "Null", std::string()}, "Null"},
      {{"1.3.6.1.2.1.1.1.0", 68, "Opaque", std::string()}, "Opaque"},
      {{"1.3.6.1.2.1.31.1.1.1.6.1", 70, "Counter64", std::uint64_t{18446744073709551615u}},
       "Counter64: 18446744073709551615"},
      {{"1.3.6.1.2.1.31.1.1.1.6.1", 70, "Counter64", std::uint64_t{0}}, "Counter64: 0"},
      {{"1.3.6.1.2.1.1.99.0", 128, "NoSuchObject", Variant()},
       "No Such Object available on this agent at this OID"},
      {{"1.3.6.1.2.1.1.1.1", 129, "NoSuchInstance", Variant()},
       "No Such Instance currently exists at this OID"},
      {{"1.3.6.1.6.3.99", 130, "EndOfMibView", Variant()},
       "No more variables left in this MIB View (It is past the end of the MIB tree)"},
      {{"1.3.6.1.2.1.1.1.0", 131, "131", Variant()}, "Tag 131"},
      {{"1.3.6.1.2.1.1.1.0", -1, "", Variant()}, "(undecodable value)"},
  };
  for (const auto& c : cases) EXPECT_EQ(ValueText(c.row, control_), c.text) << c.text;
}

TEST_F(OstrelFormatTest, BindingLinesNameTheObject) {
  EXPECT_EQ(BindingLine({"1.3.6.1.2.1.1.5.0", 4, "OctetString", std::string("vm")}, control_),
            "iso.org.dod.internet.mgmt.mib.system.sysName.0 = OctetString: vm");
  EXPECT_EQ(BindingLine({"2.5.4", 5, "Null", std::string()}, control_), "2.5.4 = Null");
  EXPECT_EQ(BindingLine({"", -1, "", Variant()}, control_),
            "(undecodable name) = (undecodable value)");
}

TEST_F(OstrelFormatTest, JsonOfAResponse) {
  const Datagram datagram = Receive(
      "30 38 02 01 00 04 06 70 75 62 6C 69 63 A2 2B 02 01 07 02 01 00 02 01 00 30 20"
      " 30 11 06 08 2B 06 01 02 01 01 01 00 04 05 4C 69 6E 75 78"
      " 30 0B 06 07 2B 06 01 02 01 01 03 43 00");
  EXPECT_EQ(DatagramJson(datagram, control_),
            R"({"RemoteIP":"127.0.0.1","RemotePort":"161","Version":0,"Community":"public",)"
            R"("Command":"GetResponse","RequestId":7,"ErrorStatus":0,"ErrorStatusText":"NoError",)"
            R"("Objects":[{"OIDName":"1.3.6.1.2.1.1.1.0","Name":)"
            R"("iso.org.dod.internet.mgmt.mib.system.sysDescr.0","OIDType":4,)"
            R"("OIDTypeName":"OctetString","OIDValue":"Linux"},{"OIDName":"1.3.6.1.2.1.1.3",)"
            R"("Name":"iso.org.dod.internet.mgmt.mib.system.sysUpTime","OIDType":67,)"
            R"("OIDTypeName":"TimeTicks","OIDValue":0}]})");
  EXPECT_EQ(DatagramHeader(datagram, control_),
            "GetResponse from 127.0.0.1:161: version 0, community \"public\", request id 7, "
            "NoError (0)");
}

TEST_F(OstrelFormatTest, JsonOfBytesAndOfAnUndecodableDatagram) {
  const Datagram bytes = Receive(
      "30 26 02 01 00 04 01 70 A2 1E 02 01 01 02 01 00 02 01 00 30 13"
      " 30 11 06 0A 2B 06 01 02 01 02 02 01 06 01 04 03 00 0C FF",
      1);
  EXPECT_NE(DatagramJson(bytes, control_).find(R"("OIDValue":{"bytes":"000CFF"})"),
            std::string::npos)
      << DatagramJson(bytes, control_);

  const Datagram garbage = Receive("30 03 02 01");
  EXPECT_EQ(garbage.ErrorStatus, -1);
  EXPECT_NE(DatagramJson(garbage, control_)
                .find(R"("ErrorStatus":-1,"ErrorStatusText":"FormatError","Objects":[])"),
            std::string::npos);
  EXPECT_EQ(DatagramHeader(garbage, control_).rfind("(undecodable) from 127.0.0.1:161", 0), 0u);
}

TEST_F(OstrelFormatTest, ErrorStatusNames) {
  const std::pair<std::int16_t, const char*> cases[] = {
      {-1, "FormatError"},       {5, "GenError"},     {6, "noAccess"},
      {12, "inconsistentValue"}, {17, "notWritable"}, {18, "inconsistentName"},
      {19, "UnknownError"},
  };
  for (const auto& [status, name] : cases) EXPECT_EQ(ErrorStatusName(status, control_), name);
}

// SNMPv2c messages as the control reports them, shown as listen and decode show them.
TEST_F(OstrelFormatTest, SnmpV2Datagrams) {
  const struct {
    const char* hex;
    const char* header;
    std::vector<std::string> lines;
    const char* json;  // a part of the JSON
  } cases[] = {
      // snmptrap -v 2c ... 12345 1.3.6.1.4.1.99999.0.1 1.3.6.1.4.1.99999.2 C 18446744073709551615
      {"30 5D 02 01 01 04 06 70 75 62 6C 69 63 A7 50 02 04 38 93 EF 60 02 01 00 02 01 00 30 42"
       " 30 0E 06 08 2B 06 01 02 01 01 03 00 43 02 30 39"
       " 30 18 06 0A 2B 06 01 06 03 01 01 04 01 00 06 0A 2B 06 01 04 01 86 8D 1F 00 01"
       " 30 16 06 09 2B 06 01 04 01 86 8D 1F 02 46 09 00 FF FF FF FF FF FF FF FF",
       "SNMPv2-Trap from 127.0.0.1:161: version 1, community \"public\", request id 949219168, "
       "NoError (0)",
       {"iso.org.dod.internet.mgmt.mib.system.sysUpTime.0 = TimeTicks: 12345 (0:02:03.45)",
        "iso.org.dod.internet.6.3.1.1.4.1.0 = ObjectID: "
        "iso.org.dod.internet.private.enterprises.99999.0.1",
        "iso.org.dod.internet.private.enterprises.99999.2 = Counter64: 18446744073709551615"},
       R"("OIDType":70,"OIDTypeName":"Counter64","OIDValue":18446744073709551615})"},
      // A response carrying notWritable (17) for its first binding.
      {"30 29 02 01 01 04 07 70 72 69 76 61 74 65 A2 1B 02 01 09 02 01 11 02 01 01 30 10"
       " 30 0E 06 08 2B 06 01 02 01 01 01 00 04 02 68 69",
       "GetResponse from 127.0.0.1:161: version 1, community \"private\", request id 9, "
       "notWritable (17)",
       {"iso.org.dod.internet.mgmt.mib.system.sysDescr.0 = OctetString: hi"},
       R"("ErrorStatus":17,"ErrorStatusText":"notWritable",)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    const Datagram datagram = Receive(c.hex);
    EXPECT_EQ(DatagramHeader(datagram, control_), c.header);
    std::vector<std::string> lines;
    for (const OstrelObject& row : datagram.Objects) lines.push_back(BindingLine(row, control_));
    EXPECT_EQ(lines, c.lines);
    EXPECT_NE(DatagramJson(datagram, control_).find(c.json), std::string::npos)
        << DatagramJson(datagram, control_);
  }
}

// SNMPv3 messages: the user where the community is shown, and the control's SecurityError for
// one the security model refused. Both are the same noAuthNoPriv SNMPv2-Trap (request id 7,
// engine 8000000001020304), from a user the control has and from one it lacks.
TEST_F(OstrelFormatTest, SnmpV3Datagrams) {
  host_->control().AddUser("carol", "", "", "", "");
  const struct {
    const char* hex;
    const char* header;
    std::vector<std::string> lines;
    const char* json;  // a part of the JSON
  } cases[] = {
      {"30 78 02 01 03 30 0F 02 02 12 34 02 03 00 FF E3 04 01 00 02 01 03 04 1D 30 1B"
       " 04 08 80 00 00 00 01 02 03 04 02 01 01 02 01 05 04 05 63 61 72 6F 6C 04 00 04 00"
       " 30 43 04 08 80 00 00 00 01 02 03 04 04 00 A7 35 02 01 07 02 01 00 02 01 00 30 2A"
       " 30 0E 06 08 2B 06 01 02 01 01 03 00 43 02 30 39"
       " 30 18 06 0A 2B 06 01 06 03 01 01 04 01 00 06 0A 2B 06 01 04 01 86 8D 1F 00 01",
       "SNMPv2-Trap from 127.0.0.1:161: version 3, user \"carol\", request id 7, NoError (0)",
       {"iso.org.dod.internet.mgmt.mib.system.sysUpTime.0 = TimeTicks: 12345 (0:02:03.45)",
        "iso.org.dod.internet.6.3.1.1.4.1.0 = ObjectID: "
        "iso.org.dod.internet.private.enterprises.99999.0.1"},
       R"("Version":3,"Community":"carol","Command":"SNMPv2-Trap","RequestId":7,"ErrorStatus":0,)"
       R"("ErrorStatusText":"NoError","SecurityError":"","Objects":[{)"},
      {"30 7A 02 01 03 30 0F 02 02 12 34 02 03 00 FF E3 04 01 00 02 01 03 04 1F 30 1D"
       " 04 08 80 00 00 00 01 02 03 04 02 01 01 02 01 05 04 07 6D 61 6C 6C 6F 72 79 04 00 04 00"
       " 30 43 04 08 80 00 00 00 01 02 03 04 04 00 A7 35 02 01 07 02 01 00 02 01 00 30 2A"
       " 30 0E 06 08 2B 06 01 02 01 01 03 00 43 02 30 39"
       " 30 18 06 0A 2B 06 01 06 03 01 01 04 01 00 06 0A 2B 06 01 04 01 86 8D 1F 00 01",
       "Report from 127.0.0.1:161: version 3, user \"mallory\", refused: unknown user",
       {},
       R"("Version":3,"Community":"mallory","Command":"Report","RequestId":0,"ErrorStatus":-1,)"
       R"("ErrorStatusText":"FormatError","SecurityError":"unknown user","Objects":[]})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    const Datagram datagram = Receive(c.hex);
    EXPECT_EQ(DatagramHeader(datagram, control_), c.header);
    std::vector<std::string> lines;
    for (const OstrelObject& row : datagram.Objects) lines.push_back(BindingLine(row, control_));
    EXPECT_EQ(lines, c.lines);
    EXPECT_NE(DatagramJson(datagram, control_).find(c.json), std::string::npos)
        << DatagramJson(datagram, control_);
  }
  // Only SNMPv3 messages carry the field.
  const Datagram v1 = Receive(
      "30 1C 02 01 00 04 06 70 75 62 6C 69 63 A2 0F 02 01 07 02 01 02 02 01 01 30 04"
      " 30 02 06 00");
  EXPECT_EQ(DatagramJson(v1, control_).find("SecurityError"), std::string::npos);
}

TEST_F(OstrelFormatTest, JsonWithTheFirstRowsOnly) {
  const Datagram datagram = Receive(
      "30 38 02 01 00 04 06 70 75 62 6C 69 63 A2 2B 02 01 07 02 01 00 02 01 00 30 20"
      " 30 11 06 08 2B 06 01 02 01 01 01 00 04 05 4C 69 6E 75 78"
      " 30 0B 06 07 2B 06 01 02 01 01 03 43 00");
  const std::pair<std::size_t, const char*> cases[] = {
      {0, R"("Objects":[]})"}, {1, R"("OIDValue":"Linux"}]})"}, {5, R"("OIDValue":0}]})"}};
  for (const auto& [rows, end] : cases) {
    EXPECT_TRUE(DatagramJson(datagram, control_, rows).ends_with(end)) << rows;
  }
}

TEST_F(OstrelFormatTest, ErrorIndexComesWithTheDatagram) {
  const Datagram datagram = Receive(
      "30 1C 02 01 00 04 06 70 75 62 6C 69 63 A2 0F 02 01 07 02 01 02 02 01 01 30 04"
      " 30 02 06 00");
  EXPECT_EQ(datagram.ErrorStatus, 2);
  EXPECT_EQ(datagram.ErrorIndex, 1);
  EXPECT_EQ(Datagram{}.ErrorIndex, 0);
}

}  // namespace
}  // namespace kivostrel::ostrel
