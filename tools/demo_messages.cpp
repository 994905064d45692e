// ostrel-demo: builds the variable bindings and the messages a host sends, and prints each in
// hex with a line on what it is.
#include <cstdio>
#include <string>
#include <vector>

#include "encoding/automation_error.h"
#include "encoding/hex.h"
#include "encoding/messages.h"
#include "encoding/value_constructors.h"

namespace {

using kivostrel::Bytes;

void Show(const std::string& what, const Bytes& bytes) {
  std::printf("%s (%zu octets)\n  %s\n", what.c_str(), bytes.size(),
              kivostrel::ToHex(bytes).c_str());
}

}  // namespace

int main() {
  using namespace kivostrel;
  try {
    std::printf("Variable bindings, one per value constructor:\n\n");
    const Bytes sys_descr = SNMPNullValue("1.3.6.1.2.1.1.1.0");
    Show("SNMPNullValue 1.3.6.1.2.1.1.1.0 (sysDescr.0, NULL for a request)", sys_descr);
    Show("SnmpTimeTicksValue 1.3.6.1.2.1.1.3.0 = 12345 (sysUpTime.0, 123.45 s)",
         SnmpTimeTicksValue("1.3.6.1.2.1.1.3.0", "12345"));
    const Bytes sys_name = SNMPStringValue("1.3.6.1.2.1.1.5.0", "router");
    Show("SNMPStringValue 1.3.6.1.2.1.1.5.0 = \"router\" (sysName.0)", sys_name);
    Show("SNMPIntegerValue 1.3.6.1.2.1.2.2.1.7.1 = 2 (ifAdminStatus.1 down)",
         SNMPIntegerValue("1.3.6.1.2.1.2.2.1.7.1", "2"));
    Show("SNMPCounterValue 1.3.6.1.2.1.2.2.1.10.1 = 4294967295 (ifInOctets.1, top of range)",
         SNMPCounterValue("1.3.6.1.2.1.2.2.1.10.1", "4294967295"));
    Show("SnmpGaugeValue 1.3.6.1.2.1.2.2.1.5.1 = 100000000 (ifSpeed.1, 100 Mbit/s)",
         SnmpGaugeValue("1.3.6.1.2.1.2.2.1.5.1", "100000000"));
    Show("SNMPIpAddrValue 1.3.6.1.2.1.4.20.1.1.10.0.0.1 = 10.0.0.1 (ipAdEntAddr)",
         SNMPIpAddrValue("1.3.6.1.2.1.4.20.1.1.10.0.0.1", "10.0.0.1"));
    const std::vector<std::uint8_t> mac{0x00, 0x0C, 0x29, 0x01, 0x02, 0x03};
    Show("SNMPBinStringValue 1.3.6.1.2.1.2.2.1.6.1 = 00:0C:29:01:02:03 (ifPhysAddress.1)",
         SNMPBinStringValue("1.3.6.1.2.1.2.2.1.6.1", mac));

    std::printf("\nMessages (SNMPv1, version field 0):\n\n");
    Show("GetRequest, community \"\", request id 1, sysDescr.0",
         BuildRequestMessage({.pdu = kTagGetRequest, .request_id = 1, .bindings = sys_descr}));
    Show("SetRequest, community \"private\", request id 2, sysName.0 = \"router\"",
         BuildRequestMessage({.pdu = kTagSetRequest,
                              .community = "private",
                              .request_id = 2,
                              .bindings = sys_name}));
    Show("GetResponse, community \"public\", request id 1, noSuchName (2) at index 1",
         BuildRequestMessage({.pdu = kTagGetResponse,
                              .community = "public",
                              .request_id = 1,
                              .error_status = 2,
                              .error_index = 1,
                              .bindings = sys_descr}));
    Show("Trap, enterprise 1.3.6.1.4.1.9999, agent 10.0.0.1, enterpriseSpecific 1, at 12345",
         BuildTrapMessage({.enterprise = "1.3.6.1.4.1.9999",
                           .agent_address = "10.0.0.1",
                           .generic_trap = 6,
                           .specific_trap = "1",
                           .time_stamp = 12345}));
  } catch (const AutomationError& e) {
    std::fprintf(stderr, "error %d (%s): %s\n", e.number(), e.source().c_str(),
                 e.description().c_str());
    return 1;
  }
  return 0;
}
