// Values and instance names as a MIB module describes them, written as Net-SNMP's tools write
// them (the value without its type word): enumerations as "up(1)", BITS with their names,
// RFC 2579 DISPLAY-HINTs for OCTET STRING and INTEGER textual conventions, UNITS after the
// value; a table row's instance split by its entry's INDEX, as -OX writes it ("ifDescr[3]").
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "encoding/variant.h"
#include "mib/mib_node.h"

namespace kivostrel::mib {

// `octets` as an OCTET STRING DISPLAY-HINT (RFC 2579 3.1) says; nullopt when the hint cannot be
// read.
std::optional<std::string> FormatOctets(std::string_view hint, std::span<const std::uint8_t> octets);
// `value` as an INTEGER DISPLAY-HINT ("d", "d-2", "x", "o", "b") says; nullopt when the hint
// cannot be read.
std::optional<std::string> FormatInteger(std::string_view hint, std::int64_t value);

// `value` (as a received binding's OIDValue holds it) of an object of `object`'s syntax.
// nullopt when the syntax adds nothing to the value's plain text (then the caller gives that).
std::optional<std::string> FormatValue(const MibNode& object, const Variant& value);

// How IndexedName finds the objects an INDEX names: by label, in the entry's module first.
using FindLabelFn = std::function<const MibNode*(std::string_view label, std::string_view module)>;

// `oid`, an instance of the columnar object `column` (whose parent entry is `entry`), as
// "ifDescr[3]" or "ipNetToMediaPhysAddress[2][10.0.0.1]": each INDEX object's part of the
// suffix decoded by its syntax, strings quoted, IMPLIED honoured. nullopt when the suffix does
// not decode by the INDEX.
std::optional<std::string> IndexedName(const MibNode& column, const MibNode& entry,
                                       std::span<const std::uint32_t> oid,
                                       const FindLabelFn& find_label);

}  // namespace kivostrel::mib
