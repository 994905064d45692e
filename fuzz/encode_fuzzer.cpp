// Host texts of any shape through the value constructors and the trap builder: either an
// automation error, or bytes that decode back to what was asked for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "encoding/automation_error.h"
#include "encoding/integer_text.h"
#include "encoding/message_decoder.h"
#include "encoding/messages.h"
#include "encoding/object_id.h"
#include "encoding/value_constructors.h"

namespace {

using namespace kivostrel;

// Input: OID text, NUL, value text, NUL, address text.
std::string_view NextField(std::string_view& rest) {
  const std::size_t end = rest.find('\0');
  const std::string_view field = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
  return field;
}

void CheckIntegerRoundTrip(std::string_view oid, std::string_view value) {
  Bytes binding;
  std::int64_t number = 0;
  try {
    binding = SNMPIntegerValue(oid, value);
    number = ParseIntegerText(value);
  } catch (const AutomationError&) {
    return;
  }
  const Bytes message = BuildRequestMessage({.pdu = kTagGetResponse, .bindings = binding});
  const ReceivedMessage m = DecodeReceivedMessage(message, 0);
  if (m.ErrorStatus != 0 || m.Objects.size() != 1) std::abort();
  if (m.Objects[0].OIDType != kTagInteger) std::abort();
  // The decoder keeps the low four octets: values in the 32-bit range come back unchanged.
  if (number >= INT32_MIN && number <= INT32_MAX &&
      m.Objects[0].OIDValue != Variant(static_cast<std::int32_t>(number))) {
    std::abort();
  }
}

void CheckTrap(std::string_view oid, std::string_view value, std::string_view address) {
  Bytes message;
  try {
    message = BuildTrapMessage({.enterprise = oid,
                                .agent_address = address,
                                .generic_trap = 6,
                                .specific_trap = value,
                                .time_stamp = 42,
                                .bindings = SNMPStringValue("1.3.6.1", value)});
  } catch (const AutomationError&) {
    return;
  }
  // An empty object identifier cannot be read back, so neither can a trap with no enterprise.
  if (ParseObjectIdText(oid).size() == 0) return;
  const ReceivedMessage m = DecodeReceivedMessage(message, 0);
  // Every other trap the builder accepts decodes, with its binding between the header rows.
  if (m.Command != "Trap" || m.Objects.size() != 6) std::abort();
  if (m.Objects[2].OIDValue != Variant(std::string(value))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string_view oid = NextField(rest);
  const std::string_view value = NextField(rest);
  const std::string_view address = NextField(rest);
  CheckIntegerRoundTrip(oid, value);
  CheckTrap(oid, value, address);
  try {
    (void)SNMPIpAddrValue(oid, address);
  } catch (const AutomationError&) {
  }
  return 0;
}
