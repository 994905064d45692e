// Names of BER types, PDUs and SNMP error statuses, as the host reads and writes them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kivostrel {

// The tag byte of a type or PDU name ("Integer" -> 2, "Trap" -> 164); -1 for any other text.
// Whole names compared exactly: no case folding, no trimming ("trap" and "Trap " give -1).
std::int16_t Name2TypeID(std::string_view name) noexcept;

// The name of an SNMPv1 error status, "FormatError" for -1 (an undecodable datagram), and
// "UnknownError" for every other value.
std::string Err2Str(std::int16_t error_status);

}  // namespace kivostrel
