// Automation's conversion of a value to a 32-bit integer, as LocalPort puts and the decoder's
// header numbers use it.
#include "encoding/variant.h"

#include <gtest/gtest.h>

#include <optional>

#include "encoding/automation_error.h"
#include "tests/support/test_support.h"

namespace kivostrel {
namespace {

TEST(CoerceToLongTest, NumbersTextsAndWhatDoesNotConvert) {
  const struct {
    const char* what;
    Variant value;
    std::optional<std::int32_t> number;  // nullopt: `error`
    std::int32_t error;
  } cases[] = {
      {"text 1", Variant(std::string("1")), 1, 0},
      {"long", Variant(std::int32_t{7}), 7, 0},
      {"half rounds to even, down", Variant(std::string("2.5")), 2, 0},
      {"half rounds to even, up", Variant(std::string("3.5")), 4, 0},
      {"double", Variant(1.5), 2, 0},
      {"blanks and sign", Variant(std::string(" -12 ")), -12, 0},
      {"exponent", Variant(std::string("1e3")), 1000, 0},
      {"empty", Variant(), 0, 0},
      {"a word", Variant(std::string("abc")), std::nullopt, kErrTypeMismatch},
      {"empty text", Variant(std::string("")), std::nullopt, kErrTypeMismatch},
      {"two numbers", Variant(std::string("1 2")), std::nullopt, kErrTypeMismatch},
      {"bytes", Variant(Bytes{1}), std::nullopt, kErrTypeMismatch},
      {"past 32 bits", Variant(std::string("3000000000")), std::nullopt, kErrOverflow},
      {"rounds past 32 bits", Variant(-2147483648.6), std::nullopt, kErrOverflow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::int32_t error = 0;
    EXPECT_EQ(ToLong(c.value, error), c.number);
    if (c.number) {
      EXPECT_EQ(CoerceToLong(c.value), *c.number);
    } else {
      EXPECT_EQ(error, c.error);
      EXPECT_EQ(testing::ErrorNumberOf([&] { CoerceToLong(c.value); }), c.error);
    }
  }
}

}  // namespace
}  // namespace kivostrel
