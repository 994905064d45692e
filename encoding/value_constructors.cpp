#include "encoding/value_constructors.h"

#include "encoding/ber_tags.h"
#include "encoding/ber_writer.h"
#include "encoding/conversions.h"
#include "encoding/integer_text.h"
#include "encoding/object_id.h"

namespace kivostrel {
namespace {

// Callers read the identifier and the value before anything is written, so that the first
// error in argument order is the one raised. The value goes in first: the writer works back to
// front.
template <typename WriteValue>
Bytes WrapBinding(const Subidentifiers& subs, std::size_t value_size, WriteValue write_value) {
  BerWriter w(ElementSize(ElementSize(ObjectIdContentSize(subs.span())) + value_size));
  write_value(w);
  w.PrependObjectId(subs.span());
  w.PrependConstructed(kTagSequence, 0);
  return std::move(w).Finish();
}

Bytes IntegerBinding(std::string_view object_id, BerTag tag, std::string_view value) {
  const Subidentifiers subs = ParseObjectIdText(object_id);
  const std::int64_t number = WireValueOf(tag, ParseIntegerText(value));
  return WrapBinding(subs, ElementSize(IntegerContentSize(number)),
                     [&](BerWriter& w) { w.PrependInteger(tag, number); });
}

}  // namespace

Bytes SNMPNullValue(std::string_view object_id) {
  return WrapBinding(ParseObjectIdText(object_id), 2,
                     [](BerWriter& w) { w.PrependHeader(kTagNull, 0); });
}

Bytes SNMPIntegerValue(std::string_view object_id, std::string_view value) {
  return IntegerBinding(object_id, kTagInteger, value);
}

Bytes SNMPCounterValue(std::string_view object_id, std::string_view value) {
  return IntegerBinding(object_id, kTagCounter, value);
}

Bytes SnmpGaugeValue(std::string_view object_id, std::string_view value) {
  return IntegerBinding(object_id, kTagGauge, value);
}

Bytes SnmpTimeTicksValue(std::string_view object_id, std::string_view value) {
  return IntegerBinding(object_id, kTagTimeTicks, value);
}

Bytes SNMPExceptionValue(std::string_view object_id, BerTag tag) {
  return WrapBinding(ParseObjectIdText(object_id), 2,
                     [tag](BerWriter& w) { w.PrependHeader(tag, 0); });
}

Bytes SNMPCounter64Value(std::string_view object_id, std::string_view value) {
  const Subidentifiers subs = ParseObjectIdText(object_id);
  const std::uint64_t number = ParseUnsigned64Text(value);
  return WrapBinding(subs, ElementSize(UnsignedContentSize(number)),
                     [&](BerWriter& w) { w.PrependUnsigned(kTagCounter64, number); });
}

Bytes SNMPStringValue(std::string_view object_id, std::string_view value) {
  return SNMPBinStringValue(object_id, AsBytes(value));
}

Bytes SNMPBinStringValue(std::string_view object_id, std::span<const std::uint8_t> value) {
  return WrapBinding(ParseObjectIdText(object_id), ElementSize(value.size()),
                     [value](BerWriter& w) {
                       w.PrependBytes(value);
                       w.PrependHeader(kTagOctetString, value.size());
                     });
}

Bytes SNMPIpAddrValue(std::string_view object_id, std::string_view value) {
  const Subidentifiers subs = ParseObjectIdText(object_id);
  const auto octets = LongToBytes(AddressValueOf(value));
  return WrapBinding(subs, ElementSize(octets.size()), [&octets](BerWriter& w) {
    w.PrependBytes(octets);
    w.PrependHeader(kTagIpAddress, octets.size());
  });
}

}  // namespace kivostrel
