// Bytes: the one byte-string type of the control, for bindings, messages and byte arrays.
#pragma once

#include <cstdint>
#include <vector>

namespace kivostrel {

using Bytes = std::vector<std::uint8_t>;

}  // namespace kivostrel
