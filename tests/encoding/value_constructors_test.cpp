#include <gtest/gtest.h>

#include <functional>

#include "encoding/value_constructors.h"
#include "tests/support/test_support.h"

namespace kivostrel {
namespace {

using testing::ErrorNumberOf;
using testing::Hex;

struct BindingCase {
  const char* what;
  std::function<Bytes()> build;
  const char* hex;
};

TEST(ValueConstructorsTest, EightBindings) {
  const Bytes mac = Hex("00 0C 29 01 02 03");
  const BindingCase cases[] = {
      {"null", [] { return SNMPNullValue("1.3.6.1.2.1.1.1.0"); },
       "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
      {"timeticks", [] { return SnmpTimeTicksValue("1.3.6.1.2.1.1.3.0", "12345"); },
       "30 0E 06 08 2B 06 01 02 01 01 03 00 43 02 30 39"},
      {"string", [] { return SNMPStringValue("1.3.6.1.2.1.1.5.0", "router"); },
       "30 12 06 08 2B 06 01 02 01 01 05 00 04 06 72 6F 75 74 65 72"},
      {"integer", [] { return SNMPIntegerValue("1.3.6.1.2.1.2.2.1.7.1", "2"); },
       "30 0F 06 0A 2B 06 01 02 01 02 02 01 07 01 02 01 02"},
      {"counter", [] { return SNMPCounterValue("1.3.6.1.2.1.2.2.1.10.1", "4294967295"); },
       "30 13 06 0A 2B 06 01 02 01 02 02 01 0A 01 41 05 00 FF FF FF FF"},
      {"gauge", [] { return SnmpGaugeValue("1.3.6.1.2.1.2.2.1.5.1", "100000000"); },
       "30 12 06 0A 2B 06 01 02 01 02 02 01 05 01 42 04 05 F5 E1 00"},
      {"ipaddr", [] { return SNMPIpAddrValue("1.3.6.1.2.1.4.20.1.1.10.0.0.1", "10.0.0.1"); },
       "30 15 06 0D 2B 06 01 02 01 04 14 01 01 0A 00 00 01 40 04 0A 00 00 01"},
      {"binstring", [&mac] { return SNMPBinStringValue("1.3.6.1.2.1.2.2.1.6.1", mac); },
       "30 14 06 0A 2B 06 01 02 01 02 02 01 06 01 04 06 00 0C 29 01 02 03"},
      {"binstring empty", [] { return SNMPBinStringValue("1.3.6.1.2.1.2.2.1.6.1", {}); },
       "30 0E 06 0A 2B 06 01 02 01 02 02 01 06 01 04 00"},
      {"null empty oid", [] { return SNMPNullValue(""); }, "30 04 06 00 05 00"},
      {"negative counter", [] { return SNMPCounterValue("1.3", "-1"); },
       "30 0A 06 01 2B 41 05 00 FF FF FF FF"},
      {"negative gauge", [] { return SnmpGaugeValue("1.3", "-2147483648"); },
       "30 0A 06 01 2B 42 05 00 80 00 00 00"},
      {"negative timeticks", [] { return SnmpTimeTicksValue("1.3", "-5"); },
       "30 0A 06 01 2B 43 05 00 FF FF FF FB"},
      {"negative integer", [] { return SNMPIntegerValue("1.3", "-1"); }, "30 06 06 01 2B 02 01 FF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.build(), Hex(c.hex));
  }
}

TEST(ValueConstructorsTest, BindingsPlacedEndToEnd) {
  Bytes list = SNMPNullValue("1.3.6.1.2.1.1.1.0");
  const Bytes second = SNMPNullValue("1.3.6.1.2.1.1.3.0");
  list.insert(list.end(), second.begin(), second.end());
  EXPECT_EQ(list, Hex("30 0C 06 08 2B 06 01 02 01 01 01 00 05 00 "
                      "30 0C 06 08 2B 06 01 02 01 01 03 00 05 00"));
}

TEST(ValueConstructorsTest, ErrorsReachTheCaller) {
  const struct {
    const char* what;
    std::function<void()> call;
    std::int32_t error;
  } cases[] = {
      {"name as oid", [] { (void)SNMPNullValue("iso.org.dod"); }, kErrTypeMismatch},
      {"negative arc", [] { (void)SNMPIntegerValue("1.3.-6", "1"); }, kErrOverflow},
      {"big single arc", [] { (void)SNMPStringValue("200", "x"); }, kErrOverflow},
      {"value not a number", [] { (void)SNMPIntegerValue("1.3", "two"); }, kErrTypeMismatch},
      {"value too big", [] { (void)SnmpGaugeValue("1.3", "9223372036854775808"); }, kErrOverflow},
      {"empty value", [] { (void)SnmpTimeTicksValue("1.3", ""); }, kErrTypeMismatch},
      {"bad address", [] { (void)SNMPIpAddrValue("1.3", "10.0.0"); }, kErrTypeMismatch},
      {"address octet", [] { (void)SNMPIpAddrValue("1.3", "10.0.0.300"); }, kErrOverflow},
      // The identifier is read first: its error wins over the value's.
      {"oid before value", [] { (void)SNMPIntegerValue("1.3.-1", "x"); }, kErrOverflow},
      {"oversized binding", [] { (void)SNMPBinStringValue("1.3", Bytes(32767, 0)); }, kErrOverflow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ErrorNumberOf(c.call), c.error);
  }
}

TEST(ValueConstructorsTest, LargestBindingFits) {
  // 06 01 2B (3) + 04 82 7F F8 (4) + 32760 octets = 32767 octets of content.
  const Bytes binding = SNMPBinStringValue("1.3", Bytes(32760, 0x5A));
  ASSERT_EQ(binding.size(), 32771u);
  EXPECT_EQ(Bytes(binding.begin(), binding.begin() + 11), Hex("30 82 7F FF 06 01 2B 04 82 7F F8"));
}

}  // namespace
}  // namespace kivostrel
