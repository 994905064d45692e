// pysnmp as a second, independent peer: its BER decoder reads every kind of message the control
// sends, and its SNMPv1 trap (made from an SNMPv2 notification) reaches the control in the
// same notification form it started from.
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/hex.h"
#include "engine_harness.h"
#include "sent_messages.h"
#include "tests/support/netsnmp_peers.h"

namespace kivostrel::testing {
namespace {

using std::chrono::milliseconds;

// Debian's pysnmp belongs to the system's Python, which another python3 on PATH may hide.
std::string PythonWithPysnmp() {
  return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

constexpr const char* kNeedsPysnmp =
    "(these tests need the Debian package python3-pysnmp4, which ./run test installs)\n";

CommandResult RunPython(const char* script, std::vector<std::string> arguments,
                        const WhileWaiting& while_waiting = {}) {
  std::vector<std::string> argv{PythonWithPysnmp(), "-c", script};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunCommand(argv, milliseconds(30000),
                    {{"PYTHONDONTWRITEBYTECODE", "1"}, {"PYTHONWARNINGS", "ignore"}},
                    while_waiting);
}

// Decodes each argument (a message in hex) as an SNMPv1 message and prints its header, then
// one line per binding: OID|type|value.
constexpr const char* kDecodeScript = R"(
import sys
from pyasn1.codec.ber import decoder
from pysnmp.proto import api
v1 = api.protoModules[api.protoVersion1]
def leaf(value):
    while hasattr(value, 'getComponent'):
        value = value.getComponent()
    return value
for text in sys.argv[1:]:
    message, rest = decoder.decode(bytes.fromhex(text), v1.Message())
    pdu = v1.apiMessage.getPDU(message)
    kind = message.getComponentByPosition(2).getName()
    head = [kind, str(int(v1.apiMessage.getVersion(message))),
            bytes(v1.apiMessage.getCommunity(message)).decode(), 'rest=%d' % len(rest)]
    if kind == 'trap':
        head += [v1.apiTrapPDU.getEnterprise(pdu).prettyPrint(),
                 v1.apiTrapPDU.getAgentAddr(pdu).prettyPrint(),
                 str(int(v1.apiTrapPDU.getGenericTrap(pdu))),
                 str(int(v1.apiTrapPDU.getSpecificTrap(pdu))),
                 str(int(v1.apiTrapPDU.getTimeStamp(pdu)))]
        bindings = v1.apiTrapPDU.getVarBinds(pdu)
    else:
        head += [str(int(v1.apiPDU.getRequestID(pdu))), str(int(v1.apiPDU.getErrorStatus(pdu))),
                 str(int(v1.apiPDU.getErrorIndex(pdu)))]
        bindings = v1.apiPDU.getVarBinds(pdu)
    print('|'.join(head))
    for name, value in bindings:
        value = leaf(value)
        shown = bytes(value).hex() if type(value).__name__ == 'OctetString' else value.prettyPrint()
        print('  %s|%s|%s' % (name.prettyPrint(), type(value).__name__, shown))
)";

// Sends one SNMPv1 trap made from an SNMPv2 notification, as RFC 3584 turns one into the other.
constexpr const char* kTrapScript = R"(
import sys
from pysnmp.hlapi import *
error, status, index, bindings = next(sendNotification(
    SnmpEngine(), CommunityData('pysnmp', mpModel=0),
    UdpTransportTarget(('127.0.0.1', int(sys.argv[1])), timeout=2, retries=0), ContextData(),
    'trap',
    NotificationType(ObjectIdentity('1.3.6.1.4.1.99999.0.17')).addVarBinds(
        ('1.3.6.1.4.1.99999.1.1', OctetString('from pysnmp')),
        ('1.3.6.1.4.1.99999.1.2', Integer32(-7)),
        ('1.3.6.1.4.1.99999.1.3', Counter32(4000000000)),
        ('1.3.6.1.6.3.18.1.3.0', IpAddress('127.0.0.1')))))
if error:
    print(error)
    sys.exit(1)
)";

// Sends an SNMPv2c inform and waits for its acknowledgement; exits 1 without one.
constexpr const char* kInformScript = R"(
import sys
from pysnmp.hlapi import *
error, status, index, bindings = next(sendNotification(
    SnmpEngine(), CommunityData('pysnmp', mpModel=1),
    UdpTransportTarget(('127.0.0.1', int(sys.argv[1])), timeout=2, retries=0), ContextData(),
    'inform',
    NotificationType(ObjectIdentity('1.3.6.1.4.1.99999.0.18')).addVarBinds(
        ('1.3.6.1.4.1.99999.1.4', Counter64(18446744073709551615)))))
if error or status:
    print(error or status.prettyPrint())
    sys.exit(1)
)";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(PysnmpTest, DecodesEveryKindOfMessageTheControlSends) {
  EngineHarness host;
  ASSERT_NO_FATAL_FAILURE(host.WaitReady());
  const std::vector<Bytes> datagrams = SendEveryKindOfMessage(host);
  ASSERT_EQ(datagrams.size(), 8u);
  std::vector<std::string> hex;
  for (const Bytes& datagram : datagrams) {
    std::string text = ToHex(datagram);
    std::erase(text, ' ');
    hex.push_back(text);
  }
  const CommandResult result = RunPython(kDecodeScript, hex);
  ASSERT_FALSE(result.timed_out);
  ASSERT_EQ(result.exit_code, 0) << kNeedsPysnmp << result.out << result.err;

  const std::string b = "  1.3.6.1.4.1.99999.1.";
  const std::vector<std::string> every_value{
      b + "1.0|OctetString|68656c6c6f20776f726c64",
      b + "2.0|Integer|-5",
      b + "3.0|Counter|4294967295",
      b + "4.0|Gauge|1000",
      b + "5.0|TimeTicks|123456",
      b + "6.0|IpAddress|10.0.0.254",
      b + "7.0|OctetString|0001feff",
      b + "8.0|Null|",
  };
  const std::string sys_descr = "  1.3.6.1.2.1.1.1.0|Null|";
  std::vector<std::string> expected;
  const auto add = [&](const std::string& head, const std::vector<std::string>& bindings) {
    expected.push_back(head);
    expected.insert(expected.end(), bindings.begin(), bindings.end());
  };
  add("get-request|0|public|rest=0|1|0|0", {sys_descr});
  add("get-next-request|0|public|rest=0|2|0|0", every_value);
  add("set-request|0|private|rest=0|3|0|0", every_value);
  add("get-response|0|public|rest=0|4|0|0", every_value);
  add("get-response|0|public|rest=0|-5|2|1", {sys_descr});
  add("trap|0|public|rest=0|1.3.6.1.4.1.99999|127.0.0.1|6|17|123456", every_value);
  add("trap|0|public|rest=0|1.3.6.1.4.1.99999|127.0.0.1|2|0|123456",
      {"  1.3.6.1.2.1.2.2.1.1.3|Integer|3"});
  add("get-request|0||rest=0|2147483647|0|0", {});
  EXPECT_EQ(Lines(result.out), expected) << result.err;
}

TEST(PysnmpTest, NotificationSentAsV1TrapArrivesInItsV2Form) {
  EngineHarness host;
  ASSERT_NO_FATAL_FAILURE(host.WaitReady());
  const CommandResult sent = RunPython(kTrapScript, {host.Port()}, [&] { host.PumpOnce(); });
  ASSERT_FALSE(sent.timed_out);
  ASSERT_EQ(sent.exit_code, 0) << kNeedsPysnmp << sent.out << sent.err;
  ASSERT_TRUE(host.WaitResponses(1));

  const ResponseEvent& trap = host.responses[0];
  EXPECT_EQ(trap.Command, "Trap");
  EXPECT_EQ(trap.Community, "pysnmp");
  EXPECT_EQ(trap.ErrorStatus, 0);
  std::vector<std::string> rows;
  for (const OstrelObject& row : trap.Objects) {
    // The time stamp is pysnmp's own uptime: only its type is known.
    const bool uptime = row.OIDName == "1.3.6.1.2.1.1.3.0";
    rows.push_back(row.OIDName + "|" + row.OIDTypeName + "|" +
                   (uptime ? std::string("*") : ValueText(row.OIDValue)));
  }
  const std::vector<std::string> expected{
      "1.3.6.1.2.1.1.3.0|TimeTicks|*",
      "1.3.6.1.6.3.1.1.4.1.0|ObjectID|1.3.6.1.4.1.99999.0.17",
      "1.3.6.1.4.1.99999.1.1|OctetString|from pysnmp",
      "1.3.6.1.4.1.99999.1.2|Integer|-7",
      "1.3.6.1.4.1.99999.1.3|Counter|-294967296",  // 4000000000 as a signed 32-bit number
      "1.3.6.1.6.3.18.1.3.0|IpAddress|127.0.0.1",
      "1.3.6.1.6.3.18.1.4.0|OctetString|pysnmp",
      "1.3.6.1.6.3.1.1.4.3.0|ObjectID|1.3.6.1.4.1.99999",
  };
  EXPECT_EQ(rows, expected);
}

TEST(PysnmpTest, InformV2cAcknowledgedByTheControl) {
  EngineHarness host;
  ASSERT_NO_FATAL_FAILURE(host.WaitReady());
  const CommandResult sent = RunPython(kInformScript, {host.Port()}, [&] { host.PumpOnce(); });
  ASSERT_FALSE(sent.timed_out);
  EXPECT_EQ(sent.exit_code, 0) << kNeedsPysnmp << sent.out << sent.err;
  ASSERT_TRUE(host.WaitResponses(1));
  const ResponseEvent& inform = host.responses[0];
  EXPECT_EQ(inform.Version, 1);
  EXPECT_EQ(inform.Command, "InformRequest");
  ASSERT_EQ(inform.Objects.size(), 3u);
  EXPECT_EQ(inform.Objects[2], (OstrelObject{"1.3.6.1.4.1.99999.1.4", 70, "Counter64",
                                             std::uint64_t{18446744073709551615u}}));
}

}  // namespace
}  // namespace kivostrel::testing
