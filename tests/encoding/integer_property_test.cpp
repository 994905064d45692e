#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "encoding/ber_tags.h"
#include "encoding/ber_writer.h"
#include "encoding/bytes.h"

namespace kivostrel {
namespace {

// Reads back INTEGER content as a signed 64-bit two's-complement number.
std::int64_t DecodeContent(const Bytes& element) {
  std::uint64_t v = (element[2] & 0x80) ? ~std::uint64_t{0} : 0;
  for (std::size_t i = 2; i < element.size(); ++i) v = (v << 8) | element[i];
  return static_cast<std::int64_t>(v);
}

void CheckShortestAndRoundTrip(std::int64_t value) {
  SCOPED_TRACE(value);
  BerWriter writer;
  writer.PrependInteger(kTagInteger, value);
  const Bytes element = std::move(writer).Finish();
  ASSERT_GE(element.size(), 3u);
  ASSERT_LE(element.size(), 10u);
  EXPECT_EQ(element[0], 0x02);
  ASSERT_EQ(element[1], element.size() - 2);
  if (element.size() > 3) {
    // A leading octet that only repeats the sign of the next one is never written.
    const bool redundant_zero = element[2] == 0x00 && element[3] < 0x80;
    const bool redundant_ones = element[2] == 0xFF && element[3] >= 0x80;
    EXPECT_FALSE(redundant_zero || redundant_ones);
  }
  EXPECT_EQ(DecodeContent(element), value);
}

TEST(IntegerPropertyTest, RandomValuesAreShortestAndDecodeBack) {
  std::mt19937_64 random(20261207);
  for (int i = 0; i < 20000; ++i) {
    // Spread the magnitudes: shift a random value right by a random amount.
    const auto bits = static_cast<std::int64_t>(random());
    CheckShortestAndRoundTrip(bits >> (random() % 64));
  }
}

TEST(IntegerPropertyTest, EveryOctetBoundary) {
  for (int k = 0; k < 63; ++k) {
    const std::int64_t p = std::int64_t{1} << k;
    for (const std::int64_t v : {p - 1, p, p + 1, -p - 1, -p, -p + 1}) {
      CheckShortestAndRoundTrip(v);
    }
  }
  CheckShortestAndRoundTrip(INT64_MAX);
  CheckShortestAndRoundTrip(INT64_MIN);
}

}  // namespace
}  // namespace kivostrel
