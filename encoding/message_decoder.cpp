#include "encoding/message_decoder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>

#include "encoding/ber_tags.h"
#include "encoding/byte_cursor.h"
#include "encoding/integer_text.h"

namespace kivostrel {
namespace {

constexpr std::uint64_t kMaxLength = std::numeric_limits<std::int32_t>::max();

// The data from `position` on; empty once a declared length has carried the position past the
// end.
std::span<const std::uint8_t> Rest(std::span<const std::uint8_t> data, std::size_t position) {
  return position < data.size() ? data.subspan(position) : std::span<const std::uint8_t>{};
}

// The last four octets of the content, with zeros in front of shorter content, read as a signed
// 32-bit number: longer content keeps only its low four octets.
std::int32_t LowFourOctets(std::span<const std::uint8_t> content) {
  std::uint32_t value = 0;
  for (const std::uint8_t octet : content.last(std::min<std::size_t>(content.size(), 4))) {
    value = value << 8 | octet;
  }
  return static_cast<std::int32_t>(value);
}

// INTEGER content of one to three declared octets is sign-extended from its first octet.
std::int32_t SignExtended(std::int32_t value, std::uint64_t declared_length,
                          std::span<const std::uint8_t> content) {
  if (declared_length >= 1 && declared_length <= 3 && content[0] >= 0x80) {
    return static_cast<std::int32_t>(value - (std::int64_t{1} << (8 * declared_length)));
  }
  return value;
}

// Appends the object identifier text of `content`. False for empty content, a subidentifier
// past 2^31 - 1 or a first subidentifier cut short; `out` may then hold part of the text.
//
// The first subidentifier s is split into two arcs as X.690 8.19.4 has it: "0." s below 40,
// "1." (s - 40) below 80, "2." (s - 80) from there on, so that the text encodes back to the same
// octets. One exception keeps the control's own one-piece encoding ("5" is the single octet 05)
// readable: content holding nothing but an s below 40 is that arc alone.
bool AppendObjectIdText(std::span<const std::uint8_t> content, std::string& out) {
  std::uint64_t first = 0;
  std::size_t i = 0;
  do {
    if (i == content.size()) return false;
    first = first * 128 + (content[i] & 0x7F);
    if (first > kMaxLength) return false;
  } while (content[i++] >= 0x80);

  // Every content octet adds at most four characters ("127." from one octet, "16383." from two,
  // ...), and the first subidentifier at most four more ("2.47" from one octet,
  // "2.2147483567" from five): the text is written in place, then cut back.
  const std::size_t used = out.size();
  out.resize(used + 4 * content.size() + 4);
  char* next = out.data() + used;
  char* const end = out.data() + out.size();
  const auto put_number = [&next, end](std::uint64_t number) {
    if (number < 10) {
      *next++ = static_cast<char>('0' + number);
    } else {
      next = std::to_chars(next, end, number).ptr;
    }
  };
  if (i == content.size() && first < 40) {
    put_number(first);
  } else {
    const std::uint64_t top = first < 80 ? first / 40 : 2;
    put_number(top);
    *next++ = '.';
    put_number(first - 40 * top);
  }
  std::uint64_t sub = 0;
  for (; i < content.size(); ++i) {
    sub = sub * 128 + (content[i] & 0x7F);
    if (sub > kMaxLength) return false;
    if (content[i] < 0x80) {
      *next++ = '.';
      put_number(sub);
      sub = 0;
    }
  }
  // A later group still open (its final octet has the high bit) adds nothing.
  out.resize(static_cast<std::size_t>(next - out.data()));
  return true;
}

std::string IpAddressText(std::span<const std::uint8_t> content) {
  std::string text;
  for (const std::uint8_t octet : content) {
    if (!text.empty()) text += '.';
    text += std::to_string(octet);
  }
  return text;
}

std::string OctetText(std::span<const std::uint8_t> content) {
  return std::string(reinterpret_cast<const char*>(content.data()), content.size());
}

bool IsConstructed(std::uint8_t tag) {
  return tag == kTagSequence || (tag >= kTagGetRequest && tag <= kTagTrap);
}

}  // namespace

namespace {

// What every element has before its value is read: its tag, its declared length and where its
// content lies.
struct ElementHeader {
  std::uint8_t tag = 0;
  std::uint64_t length = 0;               // as declared
  std::size_t content_start = 0;          // counted from the element's first octet
  std::span<const std::uint8_t> content;  // clipped to the octets present

  std::size_t after_content() const { return content_start + length; }
  // Where decoding goes on: into a SEQUENCE or PDU, past anything else. A value that fails to
  // decode is always primitive, so a failed element goes on from here too.
  std::size_t continue_at() const { return IsConstructed(tag) ? content_start : after_content(); }
};

// Tag and length octets; nullopt when they cannot be read (missing octets, a length past
// 2^31 - 1).
std::optional<ElementHeader> ReadElementHeader(std::span<const std::uint8_t> data) {
  ByteCursor cursor(data);
  ElementHeader header;
  std::uint8_t first_length = 0;
  if (!cursor.ReadByte(header.tag) || !cursor.ReadByte(first_length)) return std::nullopt;
  header.length = first_length;
  if (first_length >= 0x80) {
    header.length = 0;
    for (int i = 0; i < (first_length & 0x7F); ++i) {
      std::uint8_t octet = 0;
      if (!cursor.ReadByte(octet)) return std::nullopt;
      header.length = header.length * 256 + octet;
      if (header.length > kMaxLength) return std::nullopt;
    }
  }
  header.content_start = cursor.position();
  header.content = cursor.TakeUpTo(header.length);
  return header;
}

std::string TypeNameOf(std::uint8_t tag) {
  const std::string_view name = TagTypeName(tag);
  return name.empty() ? std::to_string(tag) : std::string(name);
}

// The element's value; false, leaving `value` as it was, when its content cannot be read.
bool ReadElementValue(const ElementHeader& header, std::int32_t string_type, Variant& value) {
  const auto content = header.content;
  switch (header.tag) {
    case kTagInteger:
      if (content.empty()) return false;
      value = SignExtended(LowFourOctets(content), header.length, content);
      return true;
    case kTagCounter:
    case kTagGauge:
    case kTagTimeTicks:
      value = LowFourOctets(content);
      return true;
    case kTagOctetString:
      if (string_type == kStringTypeBytes) {
        value = Bytes(content.begin(), content.end());
      } else {
        value = OctetText(content);
      }
      return true;
    case kTagObjectId: {
      std::string text;
      if (!AppendObjectIdText(content, text)) return false;
      value = std::move(text);
      return true;
    }
    case kTagIpAddress:
      value = IpAddressText(content);
      return true;
    case kTagNull:
    case kTagOpaque:
    case kTagSequence:
    case kTagGetRequest:
    case kTagGetNextRequest:
    case kTagGetResponse:
    case kTagSetRequest:
    case kTagTrap:
      value = std::string();
      return true;
    default:
      value = std::monostate{};  // an unknown tag: no value, skipped by its length
      return true;
  }
}

}  // namespace

DecodedElement DecodeElement(std::span<const std::uint8_t> data, std::int32_t string_type) {
  DecodedElement element;
  const auto header = ReadElementHeader(data);
  if (!header) return element;
  // From here on the element's extent is known, even if its content fails.
  element.consumed = header->continue_at();
  if (!ReadElementValue(*header, string_type, element.value)) return element;
  element.tag = header->tag;
  element.type_name = TypeNameOf(header->tag);
  return element;
}

namespace {

// Fills slots 1 to 8; returns false at the first element that fails. `position` ends after the
// last element decoded.
bool DecodeHeader(std::span<const std::uint8_t> data, std::int32_t string_type,
                  DecodedMessage& message, std::size_t& position) {
  for (std::size_t slot = 1; slot <= kHeaderSlots; ++slot) {
    const auto header = ReadElementHeader(Rest(data, position));
    HeaderSlot& target = message.slots[slot];
    if (!header || !ReadElementValue(*header, string_type, target.value)) return false;
    target.tag = header->tag;
    target.type_name = TypeNameOf(header->tag);
    position += header->continue_at();
  }
  return true;
}

// The text a binding's name element gives: an object identifier's dotted text, or any other
// value converted to text. False when the element fails.
bool ReadNameText(const ElementHeader& header, std::int32_t string_type, std::string& name) {
  if (header.tag == kTagObjectId) return AppendObjectIdText(header.content, name);
  Variant value;
  if (!ReadElementValue(header, string_type, value)) return false;
  name = ValueToText(value);
  return true;
}

// Reads (binding sequence, name, value) triples from `position` to the end of the data.
void DecodeBindings(std::span<const std::uint8_t> data, std::size_t position,
                    std::int32_t string_type, std::vector<OstrelObject>& objects) {
  // A binding takes at least six octets; the guess is bounded by the octets present.
  objects.reserve(objects.size() + std::min<std::size_t>(Rest(data, position).size() / 24, 256));
  std::string name;
  for (std::size_t k = 0; position < data.size(); ++k) {
    const auto header = ReadElementHeader(Rest(data, position));
    switch (k % 3) {
      case 0:  // the binding's SEQUENCE: stepped into
        break;
      case 1:
        name.clear();
        if (header && !ReadNameText(*header, string_type, name)) name.clear();
        break;
      case 2: {
        OstrelObject& row = objects.emplace_back();
        row.OIDName = std::move(name);
        if (header && ReadElementValue(*header, string_type, row.OIDValue)) {
          row.OIDType = header->tag;
          row.OIDTypeName = TypeNameOf(header->tag);
        } else {
          row.OIDType = -1;
        }
        break;
      }
    }
    if (!header) return;  // not even a tag and a length: nothing more to read
    position += header->continue_at();
  }
}

// Automation's conversion of a slot value to a whole number within [low, high]; nullopt when
// it does not convert.
std::optional<std::int32_t> ToWholeNumber(const Variant& value, std::int64_t low,
                                          std::int64_t high) {
  std::int64_t number = 0;
  if (const auto* integer = std::get_if<std::int32_t>(&value)) {
    number = *integer;
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    const IntegerText read = ReadIntegerText(*text);
    if (read.error != IntegerTextError::kNone) return std::nullopt;
    number = read.value;
  } else if (std::holds_alternative<Bytes>(value)) {
    return std::nullopt;
  }
  if (number < low || number > high) return std::nullopt;
  return static_cast<std::int32_t>(number);
}

constexpr std::int64_t kShortMin = std::numeric_limits<std::int16_t>::min();
constexpr std::int64_t kShortMax = std::numeric_limits<std::int16_t>::max();
constexpr std::int64_t kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kLongMax = std::numeric_limits<std::int32_t>::max();

// Version, community and command from the header slots, as far as they were decoded. Returns
// false when the version does not convert.
bool FillCommonFields(const DecodedMessage& message, ReceivedMessage& received) {
  received.Community = ValueToText(message.slots[3].value);
  received.Command = message.slots[4].type_name;
  const auto version = ToWholeNumber(message.slots[2].value, kShortMin, kShortMax);
  received.Version = static_cast<std::int16_t>(version.value_or(0));
  return version.has_value();
}

constexpr const char* kSysUpTime0 = "1.3.6.1.2.1.1.3.0";
constexpr const char* kSnmpTrapOid0 = "1.3.6.1.6.3.1.1.4.1.0";
constexpr const char* kSnmpTrapAddress0 = "1.3.6.1.6.3.18.1.3.0";
constexpr const char* kSnmpTrapCommunity0 = "1.3.6.1.6.3.18.1.4.0";
constexpr const char* kSnmpTrapEnterprise0 = "1.3.6.1.6.3.1.1.4.3.0";
constexpr const char* kStandardTraps = "1.3.6.1.6.3.1.1.5.";

bool IsIntegerTag(std::int16_t tag) {
  return tag == kTagInteger || tag == kTagCounter || tag == kTagGauge || tag == kTagTimeTicks;
}

// A trap's rows in the SNMPv2 notification form. Returns false when its header cannot be read.
bool DecodeTrap(std::span<const std::uint8_t> data, std::size_t position, std::int32_t string_type,
                const DecodedMessage& header, std::vector<OstrelObject>& rows) {
  const HeaderSlot& enterprise = header.slots[5];
  const HeaderSlot& agent = header.slots[6];
  const HeaderSlot& generic = header.slots[7];
  const HeaderSlot& specific = header.slots[8];
  if (enterprise.tag != kTagObjectId || agent.tag != kTagIpAddress || generic.tag != kTagInteger ||
      specific.tag != kTagInteger) {
    return false;
  }
  DecodedElement stamp = DecodeElement(Rest(data, position), string_type);
  if (!IsIntegerTag(stamp.tag)) return false;
  position += stamp.consumed;
  if (position < data.size()) {
    const DecodedElement list = DecodeElement(Rest(data, position), string_type);
    if (list.tag < 0) return false;
    position += list.consumed;
  }

  const std::string& enterprise_text = std::get<std::string>(enterprise.value);
  const std::int32_t generic_trap = std::get<std::int32_t>(generic.value);
  // An arc is never negative: a specific-trap field that reads as a negative 32-bit number
  // gives the arc of its unsigned 32-bit value, so the text stays an object identifier.
  const auto specific_arc = static_cast<std::uint32_t>(std::get<std::int32_t>(specific.value));
  const std::string trap_oid = generic_trap >= 0 && generic_trap <= 5
                                   ? kStandardTraps + std::to_string(generic_trap + 1)
                                   : enterprise_text + ".0." + std::to_string(specific_arc);

  rows.push_back({kSysUpTime0, kTagTimeTicks, "TimeTicks", std::move(stamp.value)});
  rows.push_back({kSnmpTrapOid0, kTagObjectId, "ObjectID", trap_oid});
  DecodeBindings(data, position, string_type, rows);
  rows.push_back({kSnmpTrapAddress0, kTagIpAddress, "IpAddress", agent.value});
  rows.push_back({kSnmpTrapCommunity0, kTagOctetString, "OctetString", header.slots[3].value});
  rows.push_back({kSnmpTrapEnterprise0, kTagObjectId, "ObjectID", enterprise_text});
  return true;
}

}  // namespace

DecodedMessage DecodeMessage(std::span<const std::uint8_t> data, std::int32_t string_type) {
  DecodedMessage message;
  std::size_t position = 0;
  if (!DecodeHeader(data, string_type, message, position)) return message;
  message.ok = true;
  DecodeBindings(data, position, string_type, message.objects);
  return message;
}

ReceivedMessage DecodeReceivedMessage(std::span<const std::uint8_t> data,
                                      std::int32_t string_type) {
  ReceivedMessage received;
  DecodedMessage message;
  std::size_t position = 0;
  const bool header_ok = DecodeHeader(data, string_type, message, position);
  const bool version_ok = FillCommonFields(message, received);

  if (header_ok && message.slots[4].tag == kTagTrap) {
    if (!version_ok || !DecodeTrap(data, position, string_type, message, received.Objects)) {
      received.Objects.clear();
      received.ErrorStatus = -1;
    }
    return received;
  }

  const auto request_id = ToWholeNumber(message.slots[5].value, kLongMin, kLongMax);
  const auto error_status = ToWholeNumber(message.slots[6].value, kShortMin, kShortMax);
  received.RequestId = request_id.value_or(0);
  received.ErrorStatus = static_cast<std::int16_t>(error_status.value_or(0));
  if (!header_ok || !version_ok || !request_id || !error_status) {
    received.ErrorStatus = -1;
    return received;
  }
  DecodeBindings(data, position, string_type, received.Objects);
  return received;
}

}  // namespace kivostrel
