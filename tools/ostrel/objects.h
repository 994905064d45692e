// Objects as typed on the command line: names or numbers in, OID texts and encoded variable
// bindings out, through the control's own translation and value constructors.
#pragma once

#include <compare>
#include <string>
#include <string_view>

#include "control/kivostrel.h"
#include "tools/ostrel/command_line.h"

namespace kivostrel::ostrel {

// Decimal arcs separated by dots, nothing else ("1.3.6.1").
bool IsNumericOid(std::string_view text) noexcept;

// The OID text of an object typed by the user:
//  - numbers as they are (a leading "." is dropped, as other SNMP tools allow);
//  - with MIB modules loaded, what they resolve: "IF-MIB::ifDescr.3", or a label of theirs with
//    its suffix ("ifDescr.3");
//  - a dotted name from the root, or a mix ("iso.3.6.1"), through Name2OID;
//  - a name that is the last label of exactly one row of the table, with any suffix
//    ("sysDescr.0"), through FindName and Name2OID.
// Throws UsageError for anything else.
std::string ResolveOid(const kivOstrel& control, std::string_view text);

// The encoded variable binding of one OID TYPE VALUE triple, from the value constructor that
// the type letter names (i c g t s x a n C; x reads hex octets, n ignores the value). Throws
// UsageError when the control refuses the value (error 6 or 13) or the hex is malformed.
Bytes BuildBinding(const kivOstrel& control, const BindingArgument& argument);

// Compares OID texts arc by arc as numbers; a text that is not numeric sorts by its characters.
std::strong_ordering CompareOids(std::string_view a, std::string_view b);

// `oid` lies strictly below `root`.
bool IsBelow(std::string_view root, std::string_view oid) noexcept;

}  // namespace kivostrel::ostrel
