#include <gtest/gtest.h>

#include "encoding/conversions.h"
#include "encoding/integer_text.h"
#include "tests/support/test_support.h"

namespace kivostrel {
namespace {

using testing::ErrorNumberOf;
using testing::Hex;

TEST(LongToBytesTest, MostSignificantFirstAndBackAgain) {
  const struct {
    std::int32_t value;
    const char* hex;
  } cases[] = {
      {0, "00 00 00 00"},          {1, "00 00 00 01"},           {127, "00 00 00 7F"},
      {-1, "FF FF FF FF"},         {2147483647, "7F FF FF FF"},  {-2147483647 - 1, "80 00 00 00"},
      {0x0A000001, "0A 00 00 01"}, {-1062731510, "C0 A8 01 0A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    const auto bytes = LongToBytes(c.value);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), Hex(c.hex));
    EXPECT_EQ(BytesToLong(bytes), c.value);
  }
}

TEST(BytesToLongTest, OnlyFourOctetsConvert) {
  for (const char* hex : {"", "01", "01 02 03", "01 02 03 04 05"}) {
    SCOPED_TRACE(hex);
    const auto bytes = Hex(hex);
    EXPECT_EQ(ErrorNumberOf([&] { (void)BytesToLong(bytes); }), kErrTypeMismatch);
  }
}

TEST(AddressValueTest, DottedTextGivesOctetsInWrittenOrder) {
  const struct {
    const char* text;
    const char* octets;
  } cases[] = {
      {"192.168.1.10", "C0 A8 01 0A"},    {"10.0.0.1", "0A 00 00 01"}, {"127.0.0.1", "7F 00 00 01"},
      {"255.255.255.255", "FF FF FF FF"}, {"0.0.0.0", "00 00 00 00"},  {"", "00 00 00 00"},
      {"010.001.000.009", "0A 01 00 09"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto bytes = LongToBytes(AddressValueOf(c.text));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), Hex(c.octets));
  }
}

TEST(AddressValueTest, AnythingButAnAddressIsAnError) {
  const struct {
    const char* text;
    std::int32_t error;
  } cases[] = {
      {"localhost", kErrTypeMismatch},  {"10.0.0", kErrTypeMismatch},
      {"10.0.0.1.5", kErrTypeMismatch}, {"10..0.1", kErrTypeMismatch},
      {" 10.0.0.1", kErrTypeMismatch},  {"10.0.0.1 ", kErrTypeMismatch},
      {"10.0.0.x", kErrTypeMismatch},   {"1000.0.0.1", kErrTypeMismatch},
      {"-1.0.0.1", kErrTypeMismatch},   {"10.0.0.256", kErrOverflow},
      {"300.1.1.1", kErrOverflow},      {".", kErrTypeMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ErrorNumberOf([&] { (void)AddressValueOf(c.text); }), c.error);
  }
}

TEST(IntegerTextTest, ReadsDecimalWholeNumbers) {
  const struct {
    const char* text;
    std::int64_t value;
  } cases[] = {
      {"0", 0},
      {"-0", 0},
      {"+17", 17},
      {"  42\t", 42},
      {"-1", -1},
      {"007", 7},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {" -9223372036854775808 ", INT64_MIN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseIntegerText(c.text), c.value);
  }
}

TEST(IntegerTextTest, RejectsWhatIsNoWholeNumber) {
  const struct {
    const char* text;
    std::int32_t error;
  } cases[] = {
      {"", kErrTypeMismatch},
      {"   ", kErrTypeMismatch},
      {"-", kErrTypeMismatch},
      {"+-1", kErrTypeMismatch},
      {"1 2", kErrTypeMismatch},
      {"12a", kErrTypeMismatch},
      {"1.5", kErrTypeMismatch},
      {"0x10", kErrTypeMismatch},
      {"9223372036854775808", kErrOverflow},
      {"-9223372036854775809", kErrOverflow},
      {"99999999999999999999999", kErrOverflow},
      {"99999999999999999999999z", kErrTypeMismatch},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ErrorNumberOf([&] { (void)ParseIntegerText(c.text); }), c.error);
  }
}

TEST(IntegerTextTest, ErrorsCarryTheStandardTexts) {
  try {
    (void)ParseIntegerText("x");
    FAIL() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 13);
    EXPECT_EQ(e.source(), "kivOstrelCtrl");
    EXPECT_EQ(e.description(), "Type mismatch");
  }
  try {
    (void)ParseIntegerText("9223372036854775808");
    FAIL() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 6);
    EXPECT_EQ(e.source(), "kivOstrelCtrl");
    EXPECT_EQ(e.description(), "Overflow");
  }
}

TEST(Utf16LengthTest, CountsHostCharacters) {
  EXPECT_EQ(Utf16Length(""), 0u);
  EXPECT_EQ(Utf16Length("abc"), 3u);
  EXPECT_EQ(Utf16Length("\xC3\xA9t\xC3\xA9"), 3u);  // été
  EXPECT_EQ(Utf16Length("\xE2\x82\xAC"), 1u);       // euro sign
  EXPECT_EQ(Utf16Length("\xF0\x9F\x98\x80"), 2u);   // outside the basic plane: a surrogate pair
}

}  // namespace
}  // namespace kivostrel
