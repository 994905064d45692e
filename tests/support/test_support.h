// Shared helpers of the test suites.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/automation_error.h"
#include "encoding/hex.h"

namespace kivostrel::testing {

// Bytes of a hex vector such as "30 0C 06 08"; fails the test on a malformed vector.
inline std::vector<std::uint8_t> Hex(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(FromHex(text, bytes)) << "bad hex vector: " << text;
  return bytes;
}

// The automation error number `call` raises, or nullopt when it returns normally.
inline std::optional<std::int32_t> ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return std::nullopt;
}

}  // namespace kivostrel::testing
