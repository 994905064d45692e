// How `ostrel` shows a received datagram: text lines for people, or one JSON object per datagram
// for programs.
//
// Text: one line per binding, "NAME = TYPE: VALUE", with the name through the control's
// OID2Name. Counter, Gauge and TimeTicks values are shown unsigned (the control reports them as
// signed 32-bit numbers), TimeTicks also as days, hours, minutes and seconds, Counter64 values
// exactly, ObjectID values through OID2Name; an exception value is "NAME = " and Net-SNMP's
// sentence for it ("No Such Object available on this agent at this OID"). A text value is shown as
// it is when it is valid UTF-8 without control characters (tab excepted), otherwise as "Hex: 0A 1B
// ...", as are byte-array values.
//
// SNMPv3 messages (version 3) show the user where the community is, as Response reports it; a
// message the security model refused shows the control's SecurityError instead of its PDU.
//
// JSON: the arguments of Response, unchanged, and for version 3 the control's SecurityError ("" for
// an accepted message). RemotePort is a string, as the event gives it;
// numbers are the signed values the control reports (a Counter64 exactly). ErrorStatusText names
// the error status as the text form does (ErrorStatusName). OIDValue is a number, a string,
// {"bytes": "0A1B..."} (upper-case hex, no separators) for a byte array, or null when empty.
// Strings are escaped as JSON requires; a byte that is not part of valid UTF-8 is written as
// \u00XX with XX its value, so such bytes read back as the Latin-1 characters of the same number.
//
// With MIB modules loaded, a value whose object a module describes (an enumeration, BITS, a
// DISPLAY-HINT, UNITS) is shown as the control's FormatValue writes it after the type word
// ("Integer: up(1)"), and in JSON a row gets one more field, "Text", with that text; OIDValue
// stays the value as received. Without modules nothing changes.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "control/kivostrel.h"
#include "tools/ostrel/command_line.h"
#include "tools/ostrel/datagram.h"

namespace kivostrel::ostrel {

// The length of the well-formed UTF-8 sequence at the start of `text` (1 to 4), or 0 when it
// does not start with one (overlong forms, surrogates and values above U+10FFFF are not).
std::size_t Utf8SequenceLength(std::string_view text) noexcept;

// Valid UTF-8 with no control character but tab.
bool IsDisplayableText(std::string_view text) noexcept;

// "\"...\"" with JSON escapes.
std::string JsonString(std::string_view text);

// The datagram as one JSON object on one line (no line break at the end), with its first `rows`
// rows (all of them by default).
std::string DatagramJson(const Datagram& datagram, const kivOstrel& control,
                         std::size_t rows = std::numeric_limits<std::size_t>::max());

// {"OIDType":2,"OIDTypeName":"Integer","OIDValue":1} and ,"Text":"up(1)" when a loaded module
// describes the value: a row's value as DatagramJson writes it, without its name.
std::string ValueJson(const OstrelObject& row, const kivOstrel& control);

// "3d 4:05:06.07" or "0:00:12.34" for hundredths of a second.
std::string TimeTicksText(std::uint32_t ticks);

// An OID (numbers) as `style` shows it; the OID itself when it has no such name.
std::string ObjectName(const kivOstrel& control, const std::string& oid,
                       NameStyle style = NameStyle::kTable);

// The value of `row` as the loaded module of its object describes it ("up(1)", "0:1b:2c:..."),
// without a type word; nullopt when no module is loaded, none knows the object, or its syntax adds
// nothing to the value.
std::optional<std::string> DescribedValue(const OstrelObject& row, const kivOstrel& control);

// The value part of a binding line: "OctetString: Linux", "Null", "TimeTicks: 1234 (0:00:12.34)".
std::string ValueText(const OstrelObject& row, const kivOstrel& control,
                      NameStyle style = NameStyle::kTable);

// The value alone, as a table's cell shows it: ValueText without its type word ("up(1)",
// "Linux", "1234 (0:00:12.34)").
std::string CellText(const OstrelObject& row, const kivOstrel& control);

// "NAME = VALUE" for one binding.
std::string BindingLine(const OstrelObject& row, const kivOstrel& control,
                        NameStyle style = NameStyle::kTable);

// The first line shown for a datagram received by listen or decode:
// "Trap from 127.0.0.1:40000: version 0, community \"public\", request id 0, NoError (0)";
// "SNMPv2-Trap from ...: version 3, user \"alice\", request id 7, NoError (0)";
// "Report from ...: version 3, user \"alice\", refused: wrong digest" for a refused one.
std::string DatagramHeader(const Datagram& datagram, const kivOstrel& control);

}  // namespace kivostrel::ostrel
