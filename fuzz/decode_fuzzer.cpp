// Any datagram, decoded as the control decodes what it receives: never a crash, an over-read or a
// leak, and the result keeps its promises. Every row is rendered, so the rows' readers run on
// whatever the walk located; copies and moves outlive the message they came from; and what a
// host was handed, built again with the encoder, decodes to the same rows.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "encoding/automation_error.h"
#include "encoding/ber_tags.h"
#include "encoding/message_decoder.h"
#include "encoding/messages.h"
#include "encoding/object_id.h"
#include "encoding/value_constructors.h"

namespace {

using namespace kivostrel;

// Renders every row twice, through both ways of reading the table: the same row gives the same
// object each time.
std::vector<OstrelObject> RenderEveryRow(const ReceivedRows& rows) {
  std::vector<OstrelObject> rendered;
  for (const OstrelObject& row : rows) {
    if (rendered.size() >= rows.size() || row != rows[rendered.size()]) std::abort();
    rendered.push_back(row);
  }
  if (rendered.size() != rows.size()) std::abort();
  return rendered;
}

// The binding a host would build from a row it was handed, with the value constructor of its
// type; nullopt for a row no constructor makes (a failed element, an identifier or Opaque
// value, a name or value the constructors refuse).
std::optional<Bytes> RebuiltBinding(const OstrelObject& row) {
  if (row.OIDName.empty()) return std::nullopt;
  const auto* number = std::get_if<std::int32_t>(&row.OIDValue);
  // Counters are handed out as signed 32-bit numbers and sent back as their unsigned value.
  const std::string unsigned_text =
      number ? std::to_string(static_cast<std::uint32_t>(*number)) : std::string();
  try {
    switch (row.OIDType) {
      case kTagInteger:
        return SNMPIntegerValue(row.OIDName, std::to_string(std::get<std::int32_t>(row.OIDValue)));
      case kTagCounter:
        return SNMPCounterValue(row.OIDName, unsigned_text);
      case kTagGauge:
        return SnmpGaugeValue(row.OIDName, unsigned_text);
      case kTagTimeTicks:
        return SnmpTimeTicksValue(row.OIDName, unsigned_text);
      case kTagNull:
        return SNMPNullValue(row.OIDName);
      case kTagIpAddress: {
        // Only four octets make an address the constructor takes; it reads "" as 0.0.0.0.
        const auto& text = std::get<std::string>(row.OIDValue);
        if (std::count(text.begin(), text.end(), '.') != 3) return std::nullopt;
        return SNMPIpAddrValue(row.OIDName, text);
      }
      case kTagOctetString:
        if (const auto* bytes = std::get_if<Bytes>(&row.OIDValue)) {
          return SNMPBinStringValue(row.OIDName, *bytes);
        }
        return SNMPStringValue(row.OIDName, std::get<std::string>(row.OIDValue));
      default:
        return std::nullopt;
    }
  } catch (const AutomationError&) {
    return std::nullopt;
  }
}

// The same binding: a name is compared by its subidentifiers, since a name that was not an
// object identifier in the datagram (an INTEGER 45, say) goes back out as one and reads "1.5".
bool SameRow(const OstrelObject& a, const OstrelObject& b) {
  return a.OIDType == b.OIDType && a.OIDTypeName == b.OIDTypeName && a.OIDValue == b.OIDValue &&
         std::ranges::equal(ParseObjectIdText(a.OIDName).span(),
                            ParseObjectIdText(b.OIDName).span());
}

// A request or response built again from what was rendered, as far as the encoder can express
// it, is read back as the same header and the same rows.
void CheckRebuiltMessage(const ReceivedMessage& m, const std::vector<OstrelObject>& rows,
                         std::int32_t string_type) {
  const BerTag pdus[] = {kTagGetRequest, kTagGetNextRequest, kTagGetResponse, kTagSetRequest};
  const BerTag* pdu = nullptr;
  for (const BerTag& candidate : pdus) {
    if (m.Command == TagTypeName(candidate)) pdu = &candidate;
  }
  if (pdu == nullptr || m.ErrorStatus == -1) return;
  Bytes bindings;
  std::vector<OstrelObject> kept;
  for (const OstrelObject& row : rows) {
    if (const auto binding = RebuiltBinding(row)) {
      bindings.insert(bindings.end(), binding->begin(), binding->end());
      kept.push_back(row);
    }
  }
  Bytes again;
  try {
    again = BuildRequestMessage({.pdu = *pdu,
                                 .community = m.Community,
                                 .request_id = m.RequestId,
                                 .error_status = m.ErrorStatus,
                                 .error_index = m.ErrorIndex,
                                 .bindings = bindings});
  } catch (const AutomationError&) {
    return;  // past the 32767 octets a message may hold
  }
  const ReceivedMessage back = DecodeReceivedMessage(again, string_type);
  if (back.Command != m.Command || back.Community != m.Community || back.RequestId != m.RequestId ||
      back.ErrorStatus != m.ErrorStatus || back.ErrorIndex != m.ErrorIndex ||
      back.Objects.size() != kept.size()) {
    std::abort();
  }
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (!SameRow(back.Objects[i], kept[i])) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> datagram(data, size);
  for (const std::int32_t string_type : {0, 1}) {
    auto m = std::make_unique<ReceivedMessage>(DecodeReceivedMessage(datagram, string_type));
    const std::vector<OstrelObject> rows = RenderEveryRow(m->Objects);
    if (m->Command != "Trap") {
      // Every row of a request or response comes from at least two octets.
      if (rows.size() > size / 2) std::abort();
      CheckRebuiltMessage(*m, rows, string_type);
    } else if (!rows.empty()) {
      // The notification form's own rows have their fixed types, whatever the datagram holds.
      const std::size_t n = rows.size();
      if (n < 5 || rows[0].OIDType != kTagTimeTicks || rows[1].OIDType != kTagObjectId ||
          rows[n - 3].OIDType != kTagIpAddress || rows[n - 2].OIDType != kTagOctetString ||
          rows[n - 1].OIDType != kTagObjectId) {
        std::abort();
      }
    }
    // Copies and moves own what they render: the message they came from is gone when they are
    // read (ASan catches a row left pointing into it).
    ReceivedMessage copy = *m;
    ReceivedMessage moved = std::move(*m);
    m.reset();
    ReceivedMessage assigned;
    assigned = copy;
    copy = std::move(moved);
    if (!(copy.Objects == rows) || !(assigned.Objects == rows)) std::abort();
  }
  return 0;
}
