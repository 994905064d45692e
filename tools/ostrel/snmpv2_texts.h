// What Net-SNMP's tools print for the SNMPv2 values and error statuses the control has no words
// for: the three exception values in place of a binding's value, and the error-status names
// from noAccess (6) to inconsistentName (18). The control's Err2Str names 0 to 5 and calls the
// rest "UnknownError"; ostrel names those itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "control/kivostrel.h"

namespace kivostrel::ostrel {

// "No Such Object available on this agent at this OID" for noSuchObject (tag 0x80), and so on
// for noSuchInstance (0x81) and endOfMibView (0x82); nullopt for any other type.
std::optional<std::string_view> ExceptionText(std::int16_t type) noexcept;

// An exception value: noSuchObject, noSuchInstance or endOfMibView.
bool IsException(std::int16_t type) noexcept;

// "noAccess" ... "inconsistentName" for 6 to 18, as snmpget names them; Err2Str for the others.
std::string ErrorStatusName(std::int16_t error_status, const kivOstrel& control);

}  // namespace kivostrel::ostrel
