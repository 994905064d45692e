#include "encoding/message_decoder.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "encoding/ber_tags.h"
#include "encoding/messages.h"

namespace kivostrel {

namespace {

// Reads (binding sequence, name, value) triples from `position` to the end of the data,
// recording where each row's name and value lie: the rows read them when asked. A failed element
// is gone past by its declared extent; one whose tag and length cannot be read ends the walk.
void AddBindingRows(std::span<const std::uint8_t> data, std::size_t position, ReceivedRows& rows) {
  ReceivedRows::Piece name;
  for (std::size_t k = 0; position < data.size(); ++k) {
    const auto header = ReadElementHeader(Rest(data, position));
    if (!header) {
      // Not even a tag and a length: nothing more to read. A value cut here still gives its row.
      if (k % 3 == 2) rows.AddBinding(name, {});
      return;
    }
    switch (k % 3) {
      case 0:
        break;
      case 1:
        name = ReceivedRows::ElementAt(position, *header);
        break;
      case 2:
        rows.AddBinding(name, ReceivedRows::ElementAt(position, *header));
        break;
    }
    position += header->continue_at();
  }
}

// How many binding rows to make room for: a binding takes at least six octets, but most take
// more; the guess is bounded by the octets present.
std::size_t ExpectedRows(std::span<const std::uint8_t> data, std::size_t position) {
  return std::min<std::size_t>(Rest(data, position).size() / 24 + 1, 256);
}

// True when ReadElementValue would succeed: only an INTEGER without content and an OBJECT
// IDENTIFIER it refuses fail.
bool ValueReads(const ElementHeader& header, std::int32_t string_type) {
  if (header.tag == kTagInteger) return !header.content.empty();
  if (header.tag != kTagObjectId) return true;
  Variant scratch;
  return ReadElementValue(header, string_type, scratch);
}

// The eight header elements of a received message, located and checked but not yet read.
struct HeaderElements {
  // Where a slot's element lies; left unset for a slot not reached, which is never read.
  struct Slot {
    std::size_t position;
    std::uint32_t declared;
    std::uint8_t tag;
    std::uint8_t content_start;
  };
  std::span<const std::uint8_t> data;
  std::array<Slot, kHeaderSlots + 1> slots;  // 1-based; slot 0 is never used
  // Slots `first` to `decoded` decoded; one after them is not reached, one before `first` is not
  // in the data (a PDU on its own starts at slot 4).
  std::size_t first = 1;
  std::size_t decoded = 0;

  ElementHeader Element(std::size_t slot) const {
    const Slot& s = slots[slot];
    const std::size_t start = s.position + s.content_start;
    return {.tag = s.tag,
            .length = s.declared,
            .content_start = s.content_start,
            .content = data.subspan(start, std::min<std::size_t>(s.declared, data.size() - start))};
  }
  ReceivedRows::Piece Piece(std::size_t slot) const {
    return ReceivedRows::ElementAt(slots[slot].position, Element(slot));
  }
  bool Has(std::size_t slot) const { return slot >= first && slot <= decoded; }
  // A slot's value (0 for a slot not reached).
  Variant Value(std::size_t slot, std::int32_t string_type) const {
    Variant value = std::int32_t{0};
    if (Has(slot)) ReadElementValue(Element(slot), string_type, value);
    return value;
  }
  std::uint8_t Tag(std::size_t slot) const { return Has(slot) ? slots[slot].tag : 0; }
};

// Locates slots `header.first` to 8, each read as a value would be; returns false at the first
// element that fails. `position` ends after the last element decoded.
bool LocateHeader(std::int32_t string_type, HeaderElements& header, std::size_t& position) {
  header.decoded = header.first - 1;
  for (std::size_t slot = header.first; slot <= kHeaderSlots; ++slot) {
    const auto element = ReadElementHeader(Rest(header.data, position));
    if (!element || !ValueReads(*element, string_type)) return false;
    header.slots[slot] = {position, static_cast<std::uint32_t>(element->length), element->tag,
                          static_cast<std::uint8_t>(element->content_start)};
    header.decoded = slot;
    position += element->continue_at();
  }
  return true;
}

// Automation's conversion of a slot value to a whole number within [low, high]; nullopt when
// it does not convert.
std::optional<std::int32_t> ToWholeNumber(const Variant& value, std::int64_t low,
                                          std::int64_t high) {
  std::int32_t error = 0;
  const std::optional<std::int32_t> number = ToLong(value, error);
  if (!number || *number < low || *number > high) return std::nullopt;
  return number;
}

// The same for a header slot, as `number` (0 when it does not convert) and whether it
// converts. A number element is read without making a value of it, and nothing goes through an
// optional: one copied whole after being built field by field stalls the load that reads it.
inline bool SlotWholeNumber(const HeaderElements& header, std::size_t slot,
                            std::int32_t string_type, std::int64_t low, std::int64_t high,
                            std::int32_t& number) {
  number = 0;
  if (header.Has(slot) && IsIntegerTag(header.slots[slot].tag)) {
    // A decoded slot always has its number.
    const std::int32_t read = ReadIntegerContent(header.Element(slot)).value_or(0);
    if (read < low || read > high) return false;
    number = read;
    return true;
  }
  const auto converted = ToWholeNumber(header.Value(slot, string_type), low, high);
  number = converted.value_or(0);
  return converted.has_value();
}

constexpr std::int64_t kShortMin = std::numeric_limits<std::int16_t>::min();
constexpr std::int64_t kShortMax = std::numeric_limits<std::int16_t>::max();
constexpr std::int64_t kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kLongMax = std::numeric_limits<std::int32_t>::max();

// The command: the PDU's type name, once its slot is decoded.
void FillCommand(const HeaderElements& header, ReceivedMessage& received) {
  if (!header.Has(4)) return;
  const std::string_view command = TagTypeName(header.slots[4].tag);
  received.Command = command.empty() ? TypeNameOf(header.slots[4].tag) : std::string(command);
}

// Version, community and command from the header slots, as far as they were decoded. Returns
// false when the version does not convert.
bool FillCommonFields(const HeaderElements& header, std::int32_t string_type,
                      ReceivedMessage& received) {
  if (header.Tag(3) == kTagOctetString) {
    // The text of either string type: the octets unchanged.
    const auto content = header.Element(3).content;
    received.Community.assign(reinterpret_cast<const char*>(content.data()), content.size());
  } else {
    received.Community = ValueToText(header.Value(3, string_type));
  }
  FillCommand(header, received);
  std::int32_t version = 0;
  const bool converts = SlotWholeNumber(header, 2, string_type, kShortMin, kShortMax, version);
  received.Version = static_cast<std::int16_t>(version);
  return converts;
}

// A trap's rows in the SNMPv2 notification form. Returns false when its header cannot be read.
bool AddTrapRows(std::span<const std::uint8_t> data, std::size_t position, std::int32_t string_type,
                 const HeaderElements& header, ReceivedRows& rows) {
  if (header.Tag(5) != kTagObjectId || header.Tag(6) != kTagIpAddress ||
      header.Tag(7) != kTagInteger || header.Tag(8) != kTagInteger) {
    return false;
  }
  const std::size_t stamp_position = position;
  const auto stamp = ReadElementHeader(Rest(data, position));
  if (!stamp || !IsIntegerTag(stamp->tag) || !ValueReads(*stamp, string_type)) return false;
  position += stamp->continue_at();
  if (position < data.size()) {
    const auto list = ReadElementHeader(Rest(data, position));
    if (!list || !ValueReads(*list, string_type)) return false;
    position += list->continue_at();
  }

  const std::int32_t generic_trap = std::get<std::int32_t>(header.Value(7, string_type));
  // An arc is never negative: a specific-trap field that reads as a negative 32-bit number
  // gives the arc of its unsigned 32-bit value, so the text stays an object identifier.
  const auto specific_arc =
      static_cast<std::uint32_t>(std::get<std::int32_t>(header.Value(8, string_type)));
  std::string enterprise;  // read only where the identifier needs it
  if (generic_trap < 0 || generic_trap > 5) {
    AppendObjectIdText(header.Element(5).content, enterprise);
  }
  const std::string trap_oid = TrapOidOf(enterprise, generic_trap, specific_arc);

  rows.AddFixedRow(kSysUpTime0, kTagTimeTicks, ReceivedRows::ElementAt(stamp_position, *stamp));
  rows.AddFixedRow(kSnmpTrapOid0, kTagObjectId, rows.StoreText(trap_oid));
  AddBindingRows(data, position, rows);
  rows.AddFixedRow(kSnmpTrapAddress0, kTagIpAddress, header.Piece(6));
  rows.AddFixedRow(kSnmpTrapCommunity0, kTagOctetString, header.Piece(3));
  rows.AddFixedRow(kSnmpTrapEnterprise0, kTagObjectId, header.Piece(5));
  return true;
}

// Request id, error status and index, then the binding rows, after a request's or response's
// header; ErrorStatus -1 and no rows unless the header and `more_ok` are.
void ReadRequestFields(const HeaderElements& header, bool header_ok, bool more_ok,
                       std::size_t position, std::int32_t string_type, ReceivedMessage& received) {
  std::int32_t error_status = 0;
  const bool request_id_ok =
      SlotWholeNumber(header, 5, string_type, kLongMin, kLongMax, received.RequestId);
  const bool error_status_ok =
      SlotWholeNumber(header, 6, string_type, kShortMin, kShortMax, error_status);
  received.ErrorStatus = static_cast<std::int16_t>(error_status);
  if (header_ok && IsIntegerTag(header.Tag(7))) {
    received.ErrorIndex = ReadIntegerContent(header.Element(7)).value_or(0);
  }
  if (!header_ok || !more_ok || !request_id_ok || !error_status_ok) {
    received.ErrorStatus = -1;
    return;
  }
  received.Objects.Reset(header.data, string_type, ExpectedRows(header.data, position));
  AddBindingRows(header.data, position, received.Objects);
}

}  // namespace

ReceivedMessage DecodeReceivedMessage(std::span<const std::uint8_t> data,
                                      std::int32_t string_type) {
  // The rows locate their pieces with 32-bit offsets; no datagram comes near that size.
  data = data.first(std::min<std::size_t>(data.size(), std::numeric_limits<std::uint32_t>::max()));
  ReceivedMessage received;
  HeaderElements header;  // not aggregate-initialised: that would zero every slot
  header.data = data;
  std::size_t position = 0;
  const bool header_ok = LocateHeader(string_type, header, position);
  const bool version_ok = FillCommonFields(header, string_type, received);

  if (header_ok && header.Tag(4) == kTagTrap) {
    received.Objects.Reset(data, string_type, ExpectedRows(data, position) + 5);
    if (!version_ok || !AddTrapRows(data, position, string_type, header, received.Objects)) {
      received.Objects = ReceivedRows();
      received.ErrorStatus = -1;
    }
    return received;
  }

  ReadRequestFields(header, header_ok, version_ok, position, string_type, received);
  return received;
}

ReceivedMessage DecodeReceivedPdu(std::span<const std::uint8_t> pdu, std::int32_t string_type) {
  pdu = pdu.first(std::min<std::size_t>(pdu.size(), std::numeric_limits<std::uint32_t>::max()));
  ReceivedMessage received;
  HeaderElements header;  // not aggregate-initialised: that would zero every slot
  header.data = pdu;
  header.first = 4;
  std::size_t position = 0;
  const bool header_ok = LocateHeader(string_type, header, position);
  FillCommand(header, received);
  // An SNMPv1 Trap PDU has no place in SNMPv3, and nothing to fill its community row with.
  const bool pdu_ok = header.Tag(4) != kTagTrap;
  ReadRequestFields(header, header_ok, pdu_ok, position, string_type, received);
  return received;
}

bool IsWholeInform(const ReceivedMessage& message) {
  if (message.Command != TagTypeName(kTagInformRequest) || message.ErrorStatus == -1) return false;
  return std::all_of(message.Objects.begin(), message.Objects.end(), [](const OstrelObject& row) {
    return row.OIDType != -1 && !row.OIDName.empty();
  });
}

}  // namespace kivostrel
