// The value constructors: each returns one variable binding,
// SEQUENCE { OBJECT IDENTIFIER, value }, ready to be placed end to end with others and handed
// to a send operation as the binding list bytes.
//
// `ObjectID` is dotted decimal text (names are translated first with Name2OID). Integer values
// are decimal texts over the signed 64-bit range, written in their shortest two's-complement
// form under any of the four integer tags; a Counter, Gauge or TimeTicks from -2147483648 to -1
// goes out as its unsigned 32-bit equivalent (WireValueOf). Errors: 13 for an arc or value that
// is not a number, 6 for a value out of range or a binding over 32767 octets of content; no
// binding is returned.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "encoding/ber_tags.h"
#include "encoding/bytes.h"

namespace kivostrel {

Bytes SNMPNullValue(std::string_view object_id);
Bytes SNMPIntegerValue(std::string_view object_id, std::string_view value);
Bytes SNMPCounterValue(std::string_view object_id, std::string_view value);
Bytes SnmpGaugeValue(std::string_view object_id, std::string_view value);
Bytes SnmpTimeTicksValue(std::string_view object_id, std::string_view value);
// `value` is the text in the host's narrow (ANSI) code page; its octets are sent unchanged.
Bytes SNMPStringValue(std::string_view object_id, std::string_view value);
Bytes SNMPBinStringValue(std::string_view object_id, std::span<const std::uint8_t> value);
// `value` is a dotted IPv4 address (see AddressValueOf).
Bytes SNMPIpAddrValue(std::string_view object_id, std::string_view value);
// A Counter64 (SNMPv2): `value` from 0 to 18446744073709551615 (ParseUnsigned64Text).
Bytes SNMPCounter64Value(std::string_view object_id, std::string_view value);
// An exception in place of a value (SNMPv2): `tag` kTagNoSuchObject, kTagNoSuchInstance or
// kTagEndOfMibView, with empty content.
Bytes SNMPExceptionValue(std::string_view object_id, BerTag tag);

}  // namespace kivostrel
