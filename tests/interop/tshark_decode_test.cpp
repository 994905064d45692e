// tshark decodes every kind of message the control sends, with every value type, and finds
// nothing malformed in them. The datagrams are the control's own, caught on 127.0.0.1, then
// turned into a capture with text2pcap.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/messages.h"
#include "encoding/value_constructors.h"
#include "engine_harness.h"
#include "security/openssl/openssl_crypto.h"
#include "security/usm.h"
#include "sent_messages.h"
#include "tests/support/netsnmp_peers.h"
#include "tests/support/test_support.h"

namespace kivostrel::testing {
namespace {

using std::chrono::milliseconds;

// The ports written into the capture; tshark is told that the second one is SNMP.
constexpr const char* kCapturePorts = "40000,16100";
constexpr const char* kSnmpPort = "16100";
constexpr const char* kEnterprise = kSentEnterprise;

// The input text2pcap reads: each datagram as hex lines of 16 octets behind their offset.
std::string Text2PcapInput(const std::vector<Bytes>& datagrams) {
  std::string text;
  char line[32];
  for (const Bytes& datagram : datagrams) {
    for (std::size_t offset = 0; offset < datagram.size(); offset += 16) {
      std::snprintf(line, sizeof line, "%06zx", offset);
      text += line;
      for (std::size_t i = offset; i < datagram.size() && i < offset + 16; ++i) {
        std::snprintf(line, sizeof line, " %02x", datagram[i]);
        text += line;
      }
      text += "\n";
    }
    text += "\n";
  }
  return text;
}

// The datagrams as a capture in `dir`, from 40000 to the SNMP port; fails the test when
// text2pcap does.
std::string CaptureOf(const TempDir& dir, const std::vector<Bytes>& datagrams) {
  std::ofstream(dir.path() / "messages.txt") << Text2PcapInput(datagrams);
  const std::string capture = (dir.path() / "messages.pcap").string();
  const CommandResult text2pcap =
      RunCommand({"text2pcap", "-q", "-4", "127.0.0.1,127.0.0.1", "-u", kCapturePorts,
                  (dir.path() / "messages.txt").string(), capture},
                 milliseconds(20000));
  EXPECT_EQ(text2pcap.exit_code, 0) << text2pcap.out << text2pcap.err;
  return capture;
}

// tshark on a capture, no name resolution, the port decoded as SNMP.
CommandResult Tshark(const std::string& capture, const std::vector<std::string>& options) {
  std::vector<std::string> argv{"tshark", "-n", "-r",
                                capture,  "-d", std::string("udp.port==") + kSnmpPort + ",snmp"};
  argv.insert(argv.end(), options.begin(), options.end());
  return RunCommand(argv, milliseconds(60000));
}

// tshark -V found nothing malformed and no expert warning or error in it.
void ExpectNothingFlagged(const std::string& verbose) {
  for (const char* flag : {"Malformed", "BER Error", "Expert Info (Warning", "Expert Info (Error"})
    EXPECT_EQ(verbose.find(flag), std::string::npos) << flag << " in\n" << verbose;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class TsharkDecodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(host_.WaitReady());
    datagrams_ = SendEveryKindOfMessage(host_);
    ASSERT_EQ(datagrams_.size(), 8u);
    capture_ = CaptureOf(dir_, datagrams_);
  }

  CommandResult Tshark(const std::vector<std::string>& options) const {
    return testing::Tshark(capture_, options);
  }

  TempDir dir_;
  std::string capture_;
  EngineHarness host_;
  std::vector<Bytes> datagrams_;
};

TEST_F(TsharkDecodeTest, NothingMalformedAndNoExpertWarning) {
  ASSERT_EQ(datagrams_.size(), 8u);
  const CommandResult verbose = Tshark({"-V"});
  ASSERT_EQ(verbose.exit_code, 0) << verbose.err;
  ExpectNothingFlagged(verbose.out);
  EXPECT_EQ(verbose.out.find("Expert Info"), std::string::npos) << verbose.out;
  // Every frame is taken for SNMP: one that the dissector refuses shows as plain data.
  std::size_t snmp_frames = 0;
  for (const std::string& line : SplitLines(verbose.out))
    snmp_frames += line == "Simple Network Management Protocol" ? 1 : 0;
  EXPECT_EQ(snmp_frames, datagrams_.size());
  EXPECT_EQ(verbose.out.find("\nData ("), std::string::npos) << verbose.out;

  const CommandResult expert = Tshark({"-q", "-z", "expert,note"});
  ASSERT_EQ(expert.exit_code, 0) << expert.err;
  for (const char* severity : {"Errors (", "Warnings (", "Notes ("})
    EXPECT_EQ(expert.out.find(severity), std::string::npos) << expert.out;
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i ? separator : "") + parts[i];
  return text;
}

TEST_F(TsharkDecodeTest, EveryMessageDecodesToWhatWasSent) {
  const std::vector<std::string> fields{
      "snmp.version",       "snmp.community",       "snmp.data",
      "snmp.request_id",    "snmp.error_status",    "snmp.error_index",
      "snmp.enterprise",    "snmp.agent_addr",      "snmp.generic_trap",
      "snmp.specific_trap", "snmp.time_stamp",      "snmp.name",
      "snmp.value.octets",  "snmp.value.int",       "snmp.value.counter",
      "snmp.value.g32",     "snmp.value.timeticks", "snmp.value.ipv4",
      "snmp.value.unk",     "_ws.malformed",        "_ws.expert"};
  std::vector<std::string> options{"-T", "fields",       "-E", "separator=|",
                                   "-E", "occurrence=a", "-E", "aggregator=;"};
  for (const std::string& field : fields) {
    options.push_back("-e");
    options.push_back(field);
  }
  const CommandResult result = Tshark(options);
  ASSERT_EQ(result.exit_code, 0) << result.err;

  // snmp.data numbers the PDU kinds: 0 get-request, 1 get-next-request, 2 get-response,
  // 3 set-request, 4 trap.
  const std::string b = std::string(kEnterprise) + ".1.";
  const std::string names =
      Join({b + "1.0", b + "2.0", b + "3.0", b + "4.0", b + "5.0", b + "6.0", b + "7.0", b + "8.0"},
           ";");
  const std::vector<std::string> values{
      "68656c6c6f20776f726c64;0001feff", "-5", "4294967295", "1000", "123456", "10.0.0.254"};
  const std::vector<std::string> none(6, "");
  const auto row = [](std::vector<std::string> header, const std::string& name,
                      const std::vector<std::string>& row_values) {
    header.push_back(name);
    header.insert(header.end(), row_values.begin(), row_values.end());
    header.insert(header.end(), {"", "", ""});  // no unknown value, nothing malformed, no expert
    return Join(header, "|");
  };
  const std::vector<std::string> expected{
      row({"0", "public", "0", "1", "0", "0", "", "", "", "", ""}, "1.3.6.1.2.1.1.1.0", none),
      row({"0", "public", "1", "2", "0", "0", "", "", "", "", ""}, names, values),
      row({"0", "private", "3", "3", "0", "0", "", "", "", "", ""}, names, values),
      row({"0", "public", "2", "4", "0", "0", "", "", "", "", ""}, names, values),
      row({"0", "public", "2", "-5", "2", "1", "", "", "", "", ""}, "1.3.6.1.2.1.1.1.0", none),
      row({"0", "public", "4", "", "", "", kEnterprise, "127.0.0.1", "6", "17", "123456"}, names,
          values),
      row({"0", "public", "4", "", "", "", kEnterprise, "127.0.0.1", "2", "0", "123456"},
          "1.3.6.1.2.1.2.2.1.1.3", {"", "3", "", "", "", ""}),
      row({"0", "", "0", "2147483647", "0", "0", "", "", "", "", ""}, "", none),
  };
  EXPECT_EQ(SplitLines(result.out), expected);
}

// The SNMPv2c messages and types, built as the control builds them (its tests pin the same
// octets), with the exception values a v2c agent answers with.
TEST(TsharkSnmpv2Test, EveryMessageAndTypeDecodesWithoutAWarning) {
  const std::string b = std::string(kEnterprise) + ".1.";
  const Bytes counter = SNMPCounter64Value(b + "9.0", "18446744073709551615");
  const Bytes null = SNMPNullValue(b + "1.0");
  Bytes answers = counter;
  for (const char* exception :
       {"30 06 06 02 2B 01 80 00", "30 06 06 02 2B 02 81 00", "30 06 06 02 2B 03 82 00"}) {
    const Bytes binding = Hex(exception);
    answers.insert(answers.end(), binding.begin(), binding.end());
  }
  const Bytes notification = NotificationBindings(123456, b + "0.5", counter);
  const auto message = [](BerTag pdu, std::int32_t id, const Bytes& bindings,
                          std::int32_t error_index = 0) {
    return BuildRequestMessage({.pdu = pdu,
                                .version = 1,
                                .community = "public",
                                .request_id = id,
                                .error_index = error_index,
                                .bindings = bindings});
  };
  const std::vector<Bytes> datagrams{
      message(kTagGetRequest, 1, null),
      message(kTagGetBulkRequest, 2, null, 10),
      message(kTagGetResponse, 3, answers),
      message(kTagSnmpV2Trap, 4, notification),
      message(kTagInformRequest, 5, notification),
      message(kTagReport, 6, counter),
  };
  TempDir dir;
  const std::string capture = CaptureOf(dir, datagrams);
  const CommandResult verbose = Tshark(capture, {"-V"});
  ASSERT_EQ(verbose.exit_code, 0) << verbose.err;
  // Exception values are noted (a note, not a warning) and nothing else.
  ExpectNothingFlagged(verbose.out);

  // snmp.data numbers the SNMPv2 PDUs 5 getBulkRequest, 6 informRequest, 7 snmpV2-trap, 8 report.
  const CommandResult fields = Tshark(capture, {"-T", "fields",
                                                "-E", "separator=|",
                                                "-E", "occurrence=a",
                                                "-E", "aggregator=;",
                                                "-e", "snmp.version",
                                                "-e", "snmp.data",
                                                "-e", "snmp.request_id",
                                                "-e", "snmp.max_repetitions",
                                                "-e", "snmp.value.counter",
                                                "-e", "snmp.noSuchObject",
                                                "-e", "snmp.noSuchInstance",
                                                "-e", "snmp.endOfMibView",
                                                "-e", "_ws.expert"});
  ASSERT_EQ(fields.exit_code, 0) << fields.err;
  const std::string max = "18446744073709551615";
  const std::string notes =
      "Expert Info (Note/Response): noSuchObject;Expert Info (Note/Response): noSuchInstance;"
      "Expert Info (Note/Response): endOfMibView";
  EXPECT_EQ(SplitLines(fields.out),
            (std::vector<std::string>{"1|0|1||||||", "1|5|2|10|||||",
                                      "1|2|3||" + max + "|1|1|1|" + notes, "1|7|4||" + max + "||||",
                                      "1|6|5||" + max + "||||", "1|8|6||" + max + "||||"}));
}

// The checks above would notice a bad message: tshark flags these, or does not take them for
// SNMP at all.
struct BadMessageCase {
  const char* name;
  const char* hex;
  const char* flagged_by;  // text that tshark -V prints for it
  friend void PrintTo(const BadMessageCase& c, std::ostream* out) { *out << c.name; }
};

class TsharkBadMessageTest : public ::testing::TestWithParam<BadMessageCase> {};

TEST_P(TsharkBadMessageTest, TsharkFlagsIt) {
  const BadMessageCase& c = GetParam();
  TempDir dir;
  const CommandResult verbose = Tshark(CaptureOf(dir, {Hex(c.hex)}), {"-V"});
  ASSERT_EQ(verbose.exit_code, 0) << verbose.err;
  EXPECT_NE(verbose.out.find(c.flagged_by), std::string::npos) << verbose.out;
}

INSTANTIATE_TEST_SUITE_P(
    Tshark, TsharkBadMessageTest,
    ::testing::Values(
        BadMessageCase{"NullLongerThanItsBinding",
                       "30 20 02 01 00 04 00 A0 19 02 01 01 02 01 00 02 01 00 30 0E 30 0C 06 08 "
                       "2B 06 01 02 01 01 01 00 05 02",
                       "Expert Info (Warning/Malformed)"},
        BadMessageCase{"TrailingOctetInBindingList",
                       "30 21 02 01 00 04 00 A0 1A 02 01 01 02 01 00 02 01 00 30 0F 30 0C 06 08 "
                       "2B 06 01 02 01 01 01 00 05 00 00",
                       "Malformed Packet"},
        BadMessageCase{"TruncatedMessage",
                       "30 20 02 01 00 04 00 A0 19 02 01 01 02 01 00 02 01 00 30 0E 30 0C 06 08 "
                       "2B 06 01",
                       "\nData ("}),
    [](const ::testing::TestParamInfo<BadMessageCase>& param) {
      return std::string(param.param.name);
    });

// tshark, given the users' passwords, checks the digest of the control's SNMPv3 messages and
// decrypts them, for every protocol it knows (its AES192/AES256 extend keys as Reeder's draft
// does, the control's AES-192C/AES-256C).
TEST(TsharkSnmpv3Test, EveryProtocolAuthenticatedAndDecrypted) {
  const OpenSslCrypto crypto;
  const Bytes engine_id = Hex("80 01 86 9F 05 01 02 03 04 05 06 07 08");
  Usm usm(
      crypto, [] { return std::int64_t{100}; }, engine_id);
  const struct {
    const char* user;
    const char* auth;
    const char* priv;
    const char* tshark_auth;
    const char* tshark_priv;
  } cases[] = {
      {"md5des", "MD5", "DES", "MD5", "DES"},
      {"shaaes", "SHA", "AES", "SHA1", "AES"},
      {"sha224aes192c", "SHA-224", "AES-192C", "SHA2-224", "AES192"},
      {"sha256aes256c", "SHA-256", "AES-256C", "SHA2-256", "AES256"},
      {"sha384aes", "SHA-384", "AES", "SHA2-384", "AES"},
      {"sha512des", "SHA-512", "DES", "SHA2-512", "DES"},
  };
  std::vector<Bytes> datagrams;
  std::vector<std::string> options{"-V"};
  std::int32_t id = 0;
  for (const auto& c : cases) {
    usm.users().Add(c.user, c.auth, "auth-pass", c.priv, "priv-pass");
    const Bytes binding = SNMPStringValue(std::string(kEnterprise) + ".1.0", c.user);
    ++id;
    datagrams.push_back(
        usm.Protect({.message_id = id,
                     .level = 0x03,
                     .user = usm.users().Find(c.user),
                     .engine_id = engine_id,
                     .boots = 1,
                     .time = 100,
                     .context_engine_id = engine_id,
                     .pdu = {.pdu = kTagSnmpV2Trap, .request_id = id, .bindings = binding}}));
    options.insert(
        options.end(),
        {"-o", std::string("uat:snmp_users:") + ToHex(engine_id, "") + ",\"" + c.user + "\",\"" +
                   c.tshark_auth + "\",\"auth-pass\",\"" + c.tshark_priv + "\",\"priv-pass\""});
  }
  TempDir dir;
  const std::string capture = CaptureOf(dir, datagrams);
  const CommandResult verbose = Tshark(capture, options);
  ASSERT_EQ(verbose.exit_code, 0) << verbose.err;
  ExpectNothingFlagged(verbose.out);
  std::size_t authenticated = 0;
  for (std::size_t at = 0; (at = verbose.out.find("[Authentication: OK]", at)) != std::string::npos;
       ++at) {
    ++authenticated;
  }
  EXPECT_EQ(authenticated, std::size(cases)) << verbose.out;
  for (const auto& c : cases) {
    EXPECT_NE(verbose.out.find(std::string("Value (OctetString): \"") + c.user + "\""),
              std::string::npos)
        << c.user << " not decrypted";
  }
}

}  // namespace
}  // namespace kivostrel::testing
