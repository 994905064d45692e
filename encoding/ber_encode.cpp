#include "encoding/ber_encode.h"

#include "encoding/automation_error.h"
#include "encoding/ber_writer.h"
#include "encoding/conversions.h"
#include "encoding/integer_text.h"
#include "encoding/object_id.h"

namespace kivostrel {

Bytes EncodeLength(std::int32_t count) {
  if (count < 0) RaiseOverflow();
  BerWriter w(8);
  w.PrependLength(static_cast<std::size_t>(count));
  return std::move(w).Finish();
}

Bytes EncodeConstructed(BerTag tag, std::span<const std::uint8_t> content) {
  BerWriter w(content.size() + 8);
  w.PrependBytes(content);
  w.PrependConstructed(tag, 0);
  return std::move(w).Finish();
}

Bytes EncodeIntegerContent(std::string_view value_text) {
  Bytes element = EncodeInteger(value_text);
  element.erase(element.begin());  // the tag
  return element;
}

Bytes EncodeIntegerTagged(BerTag tag, std::string_view value_text) {
  const std::int64_t value = WireValueOf(tag, ParseIntegerText(value_text));
  BerWriter w(16);
  w.PrependInteger(tag, value);
  return std::move(w).Finish();
}

Bytes EncodeOctetString(std::string_view ansi_text) {
  return EncodeOctetBytes(AsBytes(ansi_text));
}

Bytes EncodeOctetBytes(std::span<const std::uint8_t> bytes) {
  BerWriter w(bytes.size() + 8);
  w.PrependBytes(bytes);
  w.PrependHeader(kTagOctetString, bytes.size());
  return std::move(w).Finish();
}

Bytes EncodeIpAddress(std::string_view address_text) {
  const auto octets = LongToBytes(AddressValueOf(address_text));
  return Bytes{kTagIpAddress, 4, octets[0], octets[1], octets[2], octets[3]};
}

Bytes EncodeObjectId(std::string_view oid_text) {
  const Subidentifiers subs = ParseObjectIdText(oid_text);
  BerWriter w(subs.size() * 2 + 8);
  w.PrependObjectId(subs.span());
  return std::move(w).Finish();
}

Bytes EncodeNull() {
  return Bytes{kTagNull, 0x00};
}

}  // namespace kivostrel
