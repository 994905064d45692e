// Value: what a decoded element or an OstrelObject field holds, the C++ form of the
// automation VARIANT kinds the control hands out.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kivostrel {

using Bytes = std::vector<std::uint8_t>;

// Empty, a signed 32-bit integer, a text, or an array of bytes.
using Value = std::variant<std::monostate, std::int32_t, std::string, Bytes>;

inline bool IsEmpty(const Value& value) {
  return std::holds_alternative<std::monostate>(value);
}

// A value as text, as automation converts it: integers in decimal, byte arrays as their bytes
// taken unchanged, empty as the empty text.
std::string ValueToText(const Value& value);

}  // namespace kivostrel
