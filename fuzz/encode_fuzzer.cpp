// Host texts of any shape through the value constructors and the trap builder: either an
// automation error, or bytes that decode back to what was asked for.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The text the decoder gives for an identifier text the encoder accepted: its arcs joined, or a
// lone second arc for 0.0 to 0.39 (one subidentifier below 40 reads as one arc). nullopt where
// the decoder splits the first subidentifier otherwise (a lone arc of 40 or more, a second arc
// of 40 or more under 0 or 1, a first arc past 2).
std::optional<std::string> PlainText(std::string_view oid) {
  std::vector<std::int64_t> arcs;
  for (std::size_t pos = 0; pos <= oid.size();) {
    const std::size_t end = std::min(oid.find('.', pos), oid.size());
    if (end > pos) arcs.push_back(ParseIntegerText(oid.substr(pos, end - pos)));
    pos = end + 1;
  }
  if (arcs.empty()) return std::string();
  if (arcs.size() == 2 && arcs[0] == 0 && arcs[1] < 40) arcs.erase(arcs.begin());
  const bool plain =
      arcs.size() == 1 ? arcs[0] < 40 : arcs[0] == 2 || (arcs[0] < 2 && arcs[1] < 40);
  if (!plain) return std::nullopt;
  std::string text;
  for (const std::int64_t arc : arcs) {
    if (!text.empty()) text += '.';
    text += std::to_string(arc);
  }
  return text;
}

// Every integer constructor's binding, received as a host receives it and built again from what
// the host was handed: the same octets go out, so long as the value fits the 32 bits a host
// holds (2^31 to 2^32 - 1 as their negative form, for all but INTEGER).
void CheckIntegerRoundTrip(std::string_view oid, std::string_view value) {
  constexpr struct {
    BerTag tag;
    Bytes (*build)(std::string_view, std::string_view);
    std::int64_t highest;
  } kConstructors[] = {{kTagInteger, SNMPIntegerValue, INT32_MAX},
                       {kTagCounter, SNMPCounterValue, UINT32_MAX},
                       {kTagGauge, SnmpGaugeValue, UINT32_MAX},
                       {kTagTimeTicks, SnmpTimeTicksValue, UINT32_MAX}};
  for (const auto& constructor : kConstructors) {
    Bytes binding;
    std::int64_t number = 0;
    try {
      binding = constructor.build(oid, value);
      number = ParseIntegerText(value);
    } catch (const AutomationError&) {
      return;
    }
    const Bytes message = BuildRequestMessage({.pdu = kTagGetResponse, .bindings = binding});
    const ReceivedMessage m = DecodeReceivedMessage(message, 0);
    if (m.ErrorStatus != 0 || m.Objects.size() != 1) std::abort();
    const OstrelObject& row = m.Objects[0];
    if (row.OIDType != constructor.tag) std::abort();
    // The name: the arcs as given where they are X.690's own, and always the same identifier.
    // Only the empty identifier cannot be read back; it leaves the name empty.
    const std::optional<std::string> plain = PlainText(oid);
    if (plain && row.OIDName != *plain) std::abort();
    // (A split first subidentifier may lengthen a text by a few characters, past what a host's
    // text may hold.)
    const bool name_fits = row.OIDName.size() < 32766;
    if (!row.OIDName.empty() && name_fits &&
        !std::ranges::equal(ParseObjectIdText(row.OIDName).span(), ParseObjectIdText(oid).span())) {
      std::abort();
    }
    // The value: the low four octets as a signed 32-bit number.
    if (number < INT32_MIN || number > constructor.highest || !name_fits) continue;
    if (row.OIDValue != Variant(static_cast<std::int32_t>(static_cast<std::uint32_t>(number)))) {
      std::abort();
    }
    const std::string_view name = row.OIDName.empty() ? oid : std::string_view(row.OIDName);
    if (constructor.build(name, ValueToText(row.OIDValue)) != binding) std::abort();
  }
}

void CheckTrap(std::string_view oid, std::string_view value, std::string_view address) {
  // The value text is the specific trap, and where it fits a host's 32 bits the time stamp too.
  const IntegerText number = ReadIntegerText(value);
  const bool fits = number.error == IntegerTextError::kNone && number.value >= INT32_MIN &&
                    number.value <= INT32_MAX;
  const std::int64_t time_stamp = fits ? number.value : 42;
  Bytes message;
  try {
    message = BuildTrapMessage({.enterprise = oid,
                                .agent_address = address,
                                .generic_trap = 6,
                                .specific_trap = value,
                                .time_stamp = time_stamp,
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
  if (m.Objects[0].OIDValue != Variant(static_cast<std::int32_t>(time_stamp))) std::abort();
  // snmpTrapOID.0 ends in the specific trap's unsigned 32-bit value.
  const OstrelObject trap_row = m.Objects[1];
  const auto* trap_oid = std::get_if<std::string>(&trap_row.OIDValue);
  const std::string arc = ".0." + std::to_string(static_cast<std::uint32_t>(time_stamp));
  if (trap_oid == nullptr || (fits && !trap_oid->ends_with(arc))) std::abort();
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
