#include "tools/ostrel/objects.h"

#include <gtest/gtest.h>

#include "encoding/hex.h"
#include "tests/support/test_support.h"
#include "tools/ostrel/control_host.h"

namespace kivostrel::ostrel {
namespace {

using kivostrel::testing::Hex;

class OstrelObjectsTest : public ::testing::Test {
 protected:
  std::unique_ptr<ControlHost> host_ = ControlHost::Offline();
  const kivOstrel& control_ = host_->control();
};

TEST_F(OstrelObjectsTest, NumericOids) {
  for (const char* text : {"1", "1.3.6.1", "0.0", "1.3.6.1.4.1.4294967296"}) {
    EXPECT_TRUE(IsNumericOid(text)) << text;
  }
  for (const char* text : {"", ".1.3", "1.3.", "1..3", "1.3a", "iso.3", " 1.3", "1 .3"}) {
    EXPECT_FALSE(IsNumericOid(text)) << text;
  }
}

TEST_F(OstrelObjectsTest, ResolvesWhatUsersType) {
  const struct {
    const char* typed;
    const char* oid;
  } cases[] = {
      {"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.1.0"},
      {".1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.1.0"},
      {"iso.org.dod.internet.mgmt.mib.system.sysUpTime.0", "1.3.6.1.2.1.1.3.0"},
      {"ISO.ORG.DOD", "1.3.6"},
      {"iso.3.6.1.2.1", "1.3.6.1.2.1"},
      {"sysDescr.0", "1.3.6.1.2.1.1.1.0"},
      {"sysContact", "1.3.6.1.2.1.1.4"},
      {"ifInOctets.3", "1.3.6.1.2.1.2.2.1.10.3"},
      {"system", "1.3.6.1.2.1.1"},
      {"enterprises.99999", "1.3.6.1.4.1.99999"},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveOid(control_, c.typed), c.oid) << c.typed;
}

TEST_F(OstrelObjectsTest, RefusesUnknownNames) {
  for (const char* typed : {"", "noSuchThing.0", "sysup.0", "1.3.x", "sysDescr..0", "."}) {
    EXPECT_THROW(ResolveOid(control_, typed), UsageError) << typed;
  }
}

TEST_F(OstrelObjectsTest, BuildsBindingsWithTheControlsConstructors) {
  const struct {
    BindingArgument argument;
    const char* hex;
  } cases[] = {
      {{"1.3.6.1.2.1.1.1.0", 'n', "ignored"}, "30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"},
      {{"sysUpTime.0", 't', "12345"}, "30 0E 06 08 2B 06 01 02 01 01 03 00 43 02 30 39"},
      {{"sysName.0", 's', "router"}, "30 12 06 08 2B 06 01 02 01 01 05 00 04 06 72 6F 75 74 65 72"},
      {{"1.3.6.1.2.1.2.2.1.7.1", 'i', "2"}, "30 0F 06 0A 2B 06 01 02 01 02 02 01 07 01 02 01 02"},
      {{"1.3.6.1.2.1.2.2.1.10.1", 'c', "4294967295"},
       "30 13 06 0A 2B 06 01 02 01 02 02 01 0A 01 41 05 00 FF FF FF FF"},
      {{"1.3.6.1.2.1.2.2.1.5.1", 'g', "100000000"},
       "30 12 06 0A 2B 06 01 02 01 02 02 01 05 01 42 04 05 F5 E1 00"},
      {{"1.3.6.1.2.1.4.20.1.1.10.0.0.1", 'a', "10.0.0.1"},
       "30 15 06 0D 2B 06 01 02 01 04 14 01 01 0A 00 00 01 40 04 0A 00 00 01"},
      {{"1.3.6.1.2.1.2.2.1.6.1", 'x', "00:0c:29:01:02:03"},
       "30 14 06 0A 2B 06 01 02 01 02 02 01 06 01 04 06 00 0C 29 01 02 03"},
      {{"1.3.6.1.2.1.2.2.1.6.1", 'x', ""}, "30 0E 06 0A 2B 06 01 02 01 02 02 01 06 01 04 00"},
      // Counter64: as snmpd serves ifHCInOctets.1, and the largest value.
      {{"1.3.6.1.2.1.31.1.1.1.6.1", 'C', "7866304"},
       "30 12 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 03 78 07 C0"},
      {{"1.3.6.1.2.1.31.1.1.1.6.1", 'C', "18446744073709551615"},
       "30 18 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 09 00 FF FF FF FF FF FF FF FF"},
      {{"1.3.6.1.2.1.31.1.1.1.6.1", 'C', "0"},
       "30 10 06 0B 2B 06 01 02 01 1F 01 01 01 06 01 46 01 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument.oid + " " + c.argument.type);
    EXPECT_EQ(ToHex(BuildBinding(control_, c.argument)), ToHex(Hex(c.hex)));
  }
}

TEST_F(OstrelObjectsTest, RefusesValuesTheControlRefuses) {
  const BindingArgument cases[] = {
      {"1.3.6.1.2.1.1.3.0", 't', "soon"},
      {"1.3.6.1.2.1.1.3.0", 'i', "99999999999999999999"},
      {"1.3.6.1.2.1.1.5.0", 'a', "10.0.0.256"},
      {"1.3.6.1.2.1.1.5.0", 'a', "localhost"},
      {"1.3.6.1.2.1.1.5.0", 'x', "0g"},
      {"1.3.6.1.2.1.1.5.0", 'q', "1"},
      {"1.3.6.1.2.1.31.1.1.1.6.1", 'C', "18446744073709551616"},
      {"1.3.6.1.2.1.31.1.1.1.6.1", 'C', "-1"},
      {"1.3.6.1.2.1.31.1.1.1.6.1", 'C', "lots"},
      {"unknownName.0", 's', "x"},
  };
  for (const BindingArgument& c : cases) {
    EXPECT_THROW(BuildBinding(control_, c), UsageError) << c.type << " " << c.value;
  }
}

TEST_F(OstrelObjectsTest, ComparesOidsArcByArc) {
  EXPECT_EQ(CompareOids("1.3.6.1.2.1.1.9", "1.3.6.1.2.1.1.10"), std::strong_ordering::less);
  EXPECT_EQ(CompareOids("1.3.6.1.2", "1.3.6.1.2.1"), std::strong_ordering::less);
  EXPECT_EQ(CompareOids("1.3.6", "1.3.6"), std::strong_ordering::equal);
  EXPECT_EQ(CompareOids("1.3.7", "1.3.6.9"), std::strong_ordering::greater);
  EXPECT_TRUE(IsBelow("1.3.6.1.2.1.1", "1.3.6.1.2.1.1.1.0"));
  EXPECT_FALSE(IsBelow("1.3.6.1.2.1.1", "1.3.6.1.2.1.1"));
  EXPECT_FALSE(IsBelow("1.3.6.1.2.1.1", "1.3.6.1.2.1.10.1"));
  EXPECT_FALSE(IsBelow("1.3.6.1.2.1.1", "1.3.6.1.2.1.2.1"));
}

}  // namespace
}  // namespace kivostrel::ostrel
