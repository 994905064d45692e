#include <gtest/gtest.h>

#include <string>

#include "encoding/ber_encode.h"
#include "support/test_support.h"

namespace kivostrel {
namespace {

using testing::ErrorNumberOf;
using testing::Hex;

TEST(EncodeLengthTest, ShortAndLongFormsAtEveryBoundary) {
  const struct {
    std::int32_t count;
    const char* hex;
  } cases[] = {
      {0, "00"},
      {127, "7F"},
      {128, "81 80"},
      {255, "81 FF"},
      {256, "82 01 00"},
      {65535, "82 FF FF"},
      {65536, "83 01 00 00"},
      {16777215, "83 FF FF FF"},
      {16777216, "84 01 00 00 00"},
      {2147483647, "84 7F FF FF FF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(EncodeLength(c.count), Hex(c.hex));
  }
}

TEST(EncodeLengthTest, NegativeCountOverflows) {
  EXPECT_EQ(ErrorNumberOf([] { (void)EncodeLength(-1); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([] { (void)EncodeLength(INT32_MIN); }), kErrOverflow);
}

TEST(EncodeIntegerTest, ShortestTwosComplement) {
  const struct {
    const char* text;
    const char* hex;
  } cases[] = {
      {"0", "02 01 00"},
      {"127", "02 01 7F"},
      {"128", "02 02 00 80"},
      {"256", "02 02 01 00"},
      {"-1", "02 01 FF"},
      {"-128", "02 01 80"},
      {"-129", "02 02 FF 7F"},
      {"32767", "02 02 7F FF"},
      {"32768", "02 03 00 80 00"},
      {"-32769", "02 03 FF 7F FF"},
      {"2147483647", "02 04 7F FF FF FF"},
      {"-2147483648", "02 04 80 00 00 00"},
      {"9223372036854775807", "02 08 7F FF FF FF FF FF FF FF"},
      {"-9223372036854775808", "02 08 80 00 00 00 00 00 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(EncodeInteger(c.text), Hex(c.hex));
  }
}

TEST(EncodeIntegerTest, TheFourIntegerTypesDifferOnlyInTheTag) {
  const struct {
    Bytes (*encode)(std::string_view);
    const char* text;
    const char* hex;
  } cases[] = {
      {EncodeCounter, "4294967295", "41 05 00 FF FF FF FF"},
      {EncodeGauge, "100000000", "42 04 05 F5 E1 00"},
      {EncodeTimeTicks, "12345", "43 02 30 39"},
      {EncodeTimeTicks, "429496729", "43 04 19 99 99 99"},
      {EncodeInteger, "2", "02 01 02"},
      // A host's signed 32-bit form of an unsigned value goes out as that value.
      {EncodeCounter, "-1", "41 05 00 FF FF FF FF"},
      {EncodeGauge, "-2147483648", "42 05 00 80 00 00 00"},
      {EncodeTimeTicks, "-5", "43 05 00 FF FF FF FB"},
      {EncodeInteger, "-1", "02 01 FF"},
      // Beyond the 32-bit range nothing is reinterpreted.
      {EncodeCounter, "-2147483649", "41 05 FF 7F FF FF FF"},
      {EncodeGauge, "4294967296", "42 05 01 00 00 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    EXPECT_EQ(c.encode(c.text), Hex(c.hex));
  }
}

TEST(EncodeIntegerTest, ContentAloneHasItsLengthOctetFirst) {
  EXPECT_EQ(EncodeIntegerContent("128"), Hex("02 00 80"));
  EXPECT_EQ(EncodeIntegerContent("-1"), Hex("01 FF"));
}

TEST(EncodeIntegerTest, TextThatIsNoWholeNumberFails) {
  EXPECT_EQ(ErrorNumberOf([] { (void)EncodeInteger("abc"); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { (void)EncodeCounter(""); }), kErrTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { (void)EncodeGauge("18446744073709551615"); }), kErrOverflow);
}

TEST(EncodeObjectIdTest, Vectors) {
  const struct {
    const char* text;
    const char* hex;
  } cases[] = {
      {"1.3.6.1.2.1.1.1.0", "06 08 2B 06 01 02 01 01 01 00"},
      {".1.3.6..1.", "06 03 2B 06 01"},
      {"1..3.6.1", "06 03 2B 06 01"},
      {"", "06 00"},
      {"...", "06 00"},
      {"1", "06 01 01"},
      {"0", "06 01 00"},
      {"127", "06 01 7F"},
      {"1.3.6.1.4.1.311.1", "06 08 2B 06 01 04 01 82 37 01"},
      {"2.999.3", "06 03 88 37 03"},
      {"2.48.1", "06 03 81 00 01"},
      {" 1 . 3 ", "06 01 2B"},
      {"1.3.2147483647", "06 06 2B 87 FF FF FF 7F"},
      {"0.2147483647", "06 05 87 FF FF FF 7F"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(EncodeObjectId(c.text), Hex(c.hex));
  }
}

TEST(EncodeObjectIdTest, Errors) {
  const struct {
    const char* text;
    std::int32_t error;
  } cases[] = {
      {"1.x.3", kErrTypeMismatch},
      {"iso.org", kErrTypeMismatch},
      {"1.3.6.1.2.1.1.1.0a", kErrTypeMismatch},
      {"1.3.-6", kErrOverflow},
      {"200", kErrOverflow},
      {"128", kErrOverflow},
      {"1.3.2147483648", kErrOverflow},
      {"53687091.8", kErrOverflow},  // 40 * 53687091 + 8 = 2147483648
      {"1.x.-3", kErrTypeMismatch},  // the first bad arc decides
      {"1.-3.x", kErrOverflow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ErrorNumberOf([&] { (void)EncodeObjectId(c.text); }), c.error);
  }
}

TEST(EncodeObjectIdTest, FirstSubidentifierAtItsLimit) {
  // 40 * 53687091 + 7 = 2147483647, the largest first subidentifier.
  EXPECT_EQ(EncodeObjectId("53687091.7"), Hex("06 05 87 FF FF FF 7F"));
}

TEST(EncodeObjectIdTest, LongContentGetsLongFormLength) {
  std::string text = "1.3";
  for (int i = 0; i < 127; ++i) text += ".1";
  const Bytes bytes = EncodeObjectId(text);
  ASSERT_EQ(bytes.size(), 3u + 128u);
  EXPECT_EQ(bytes[0], 0x06);
  EXPECT_EQ(bytes[1], 0x81);
  EXPECT_EQ(bytes[2], 128);
}

TEST(EncodeObjectIdTest, TextLengthIsCountedInSixteenBits) {
  std::string text = "1.3";
  text += std::string(32765 - text.size(), '.');
  ASSERT_EQ(text.size(), 32765u);
  EXPECT_EQ(EncodeObjectId(text), Hex("06 01 2B"));
  text += '.';
  EXPECT_EQ(ErrorNumberOf([&] { (void)EncodeObjectId(text); }), kErrOverflow);
}

TEST(EncodeOctetStringTest, Vectors) {
  EXPECT_EQ(EncodeOctetString("abc"), Hex("04 03 61 62 63"));
  EXPECT_EQ(EncodeOctetString(""), Hex("04 00"));
  EXPECT_EQ(EncodeOctetBytes(Hex("00 FF 80")), Hex("04 03 00 FF 80"));
  EXPECT_EQ(EncodeOctetBytes({}), Hex("04 00"));
}

TEST(EncodeOctetStringTest, HasNoSixteenBitLimit) {
  const Bytes content(40000, 0x41);
  const Bytes bytes = EncodeOctetBytes(content);
  ASSERT_EQ(bytes.size(), 40004u);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), Hex("04 82 9C 40"));
}

TEST(EncodeIpAddressTest, OctetsInWrittenOrder) {
  EXPECT_EQ(EncodeIpAddress("192.168.1.10"), Hex("40 04 C0 A8 01 0A"));
  EXPECT_EQ(EncodeIpAddress(""), Hex("40 04 00 00 00 00"));
  EXPECT_EQ(ErrorNumberOf([] { (void)EncodeIpAddress("192.168.1"); }), kErrTypeMismatch);
}

TEST(EncodeNullTest, AlwaysTwoOctets) {
  EXPECT_EQ(EncodeNull(), Hex("05 00"));
}

TEST(EncodeConstructedTest, SequenceAndPduWrappers) {
  EXPECT_EQ(EncodeSequence({}), Hex("30 00"));
  EXPECT_EQ(EncodeSequence(Hex("05 00")), Hex("30 02 05 00"));
  const struct {
    BerTag tag;
    const char* hex;
  } cases[] = {
      {kTagGetRequest, "A0 02 05 00"},  {kTagGetNextRequest, "A1 02 05 00"},
      {kTagGetResponse, "A2 02 05 00"}, {kTagSetRequest, "A3 02 05 00"},
      {kTagTrap, "A4 02 05 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    EXPECT_EQ(EncodeConstructed(c.tag, Hex("05 00")), Hex(c.hex));
  }
}

TEST(EncodeConstructedTest, ContentLimitIs32767Octets) {
  const Bytes content(32767, 0xAB);
  const Bytes bytes = EncodeSequence(content);
  ASSERT_EQ(bytes.size(), 32771u);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), Hex("30 82 7F FF"));
  EXPECT_EQ(Bytes(bytes.begin() + 4, bytes.end()), content);

  const Bytes too_long(32768, 0xAB);
  EXPECT_EQ(ErrorNumberOf([&] { (void)EncodeSequence(too_long); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([&] { (void)EncodeConstructed(kTagTrap, too_long); }), kErrOverflow);
}

}  // namespace
}  // namespace kivostrel
