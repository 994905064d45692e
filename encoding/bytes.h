// Bytes: the one byte-string type of the control, for bindings, messages and byte arrays.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kivostrel {

using Bytes = std::vector<std::uint8_t>;

// A text's octets as they are, for writing it as an OCTET STRING.
inline std::span<const std::uint8_t> AsBytes(std::string_view text) noexcept {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace kivostrel
