// Address literals and their texts: what hosts write, what Response shows.
#include "transport/endpoint.h"

#include <gtest/gtest.h>

namespace kivostrel {
namespace {

TEST(EndpointTest, LiteralsReadAndWriteBack) {
  const struct {
    const char* text;
    const char* shown;  // nullptr: not a literal
    bool ipv6;
  } cases[] = {
      {"127.0.0.1", "127.0.0.1", false},
      {"0.0.0.0", "0.0.0.0", false},
      {"255.255.255.255", "255.255.255.255", false},
      {"::1", "::1", true},
      {"::", "::", true},
      {"2001:DB8:0:0:0:0:0:7", "2001:db8::7", true},
      {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1", true},  // the first of equal runs
      {"fe80:0:0:0:1:2:3:4", "fe80::1:2:3:4", true},
      {"1:0:2:3:4:5:6:7", "1:0:2:3:4:5:6:7", true},  // one zero group stays
      {"1:2:3:4:5:6:7::", "1:2:3:4:5:6:7:0", true},
      {"::ffff:10.0.0.1", "::ffff:a00:1", true},
      {"localhost", nullptr, false},
      {"256.0.0.1", nullptr, false},
      {"01.2.3.4", nullptr, false},
      {"1.2.3", nullptr, false},
      {"1.2.3.4 ", nullptr, false},
      {"1::2::3", nullptr, false},
      {":::", nullptr, false},
      {"1:2:3:4:5:6:7:8:9", nullptr, false},
      {"12345::1", nullptr, false},
      {"1:2:3:4:5:6:7:8::", nullptr, false},
      {"::1%lo", nullptr, false},
      {"[::1]", nullptr, false},
      {"", nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto endpoint = ReadAddressLiteral(c.text);
    ASSERT_EQ(endpoint.has_value(), c.shown != nullptr);
    if (!endpoint) continue;
    EXPECT_EQ(endpoint->ipv6, c.ipv6);
    EXPECT_EQ(AddressTextOf(*endpoint), c.shown);
    EXPECT_EQ(ReadAddressLiteral(AddressTextOf(*endpoint)), endpoint);
  }
}

TEST(EndpointTest, MappedAddressesShowAsIpv4) {
  const auto mapped = ReadAddressLiteral("::ffff:192.0.2.7");
  ASSERT_TRUE(mapped);
  EXPECT_EQ(AddressTextOf(Unmapped(*mapped)), "192.0.2.7");
  const auto plain = ReadAddressLiteral("2001:db8::7");
  ASSERT_TRUE(plain);
  EXPECT_EQ(Unmapped(*plain), *plain);
  EXPECT_TRUE(IsAnyAddress(*ReadAddressLiteral("::")));
  EXPECT_TRUE(IsAnyAddress(*ReadAddressLiteral("0.0.0.0")));
  EXPECT_FALSE(IsAnyAddress(*ReadAddressLiteral("::1")));
}

}  // namespace
}  // namespace kivostrel
