#include "tools/ostrel/mib_options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kivostrel::ostrel {
namespace {

using Strings = std::vector<std::string>;

const Strings kDefaults{"/home/op/.snmp/mibs", "/usr/share/snmp/mibs", "/usr/share/snmp/mibs/iana",
                        "/usr/share/snmp/mibs/ietf"};

Strings DefaultsAfter(Strings first) {
  first.insert(first.end(), kDefaults.begin(), kDefaults.end());
  return first;
}

TEST(OstrelMibOptionsTest, DefaultFoldersAreNetSnmps) {
  EXPECT_EQ(DefaultMibFolders("/home/op"), kDefaults);
  EXPECT_EQ(DefaultMibFolders(""), Strings(kDefaults.begin() + 1, kDefaults.end()));
}

// -m and -M win over MIBS and MIBDIRS; '+' adds to the layer below (folders in front, modules
// after); an empty list is empty.
TEST(OstrelMibOptionsTest, OptionsOverTheEnvironmentOverTheDefaults) {
  const struct {
    const char* name;
    std::optional<std::string> m;
    std::optional<std::string> big_m;
    const char* mibs;
    const char* mibdirs;
    Strings modules;
    bool all;
    Strings folders;
  } cases[] = {
      {"nothing", {}, {}, nullptr, nullptr, {}, false, kDefaults},
      {"empty MIBS", {}, {}, "", nullptr, {}, false, kDefaults},
      {"MIBS", {}, {}, "IF-MIB:SNMPv2-MIB", nullptr, {"IF-MIB", "SNMPv2-MIB"}, false, kDefaults},
      {"-m over MIBS", "IF-MIB", {}, "RFC1213-MIB", nullptr, {"IF-MIB"}, false, kDefaults},
      {"-m + after MIBS",
       "+IF-MIB",
       {},
       "RFC1213-MIB",
       nullptr,
       {"RFC1213-MIB", "IF-MIB"},
       false,
       kDefaults},
      {"-m '' over MIBS", "", {}, "IF-MIB", nullptr, {}, false, kDefaults},
      {"empty items dropped",
       "::IF-MIB::/tmp/X.mib:",
       {},
       nullptr,
       nullptr,
       {"IF-MIB", "/tmp/X.mib"},
       false,
       kDefaults},
      {"ALL", "ALL", {}, nullptr, nullptr, {}, true, kDefaults},
      {"ALL and more", "IF-MIB:ALL", {}, nullptr, nullptr, {"IF-MIB"}, true, kDefaults},
      {"MIBS=+ALL", {}, {}, "+ALL", nullptr, {}, true, kDefaults},
      {"all in lower case is a module", "all", {}, nullptr, nullptr, {"all"}, false, kDefaults},
      {"MIBDIRS", {}, {}, nullptr, "/a:/b", {}, false, {"/a", "/b"}},
      {"MIBDIRS +", {}, {}, nullptr, "+/a", {}, false, DefaultsAfter({"/a"})},
      {"-M over MIBDIRS", {}, "/c", nullptr, "/a", {}, false, {"/c"}},
      {"-M + before MIBDIRS", {}, "+/c:/d", nullptr, "/a", {}, false, {"/c", "/d", "/a"}},
      {"-M + before MIBDIRS +", {}, "+/c", nullptr, "+/a", {}, false, DefaultsAfter({"/c", "/a"})},
      {"-M + before the defaults", {}, "+/c", nullptr, nullptr, {}, false, DefaultsAfter({"/c"})},
      {"-M ''", {}, "", nullptr, "/a", {}, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const MibSettings settings = ReadMibSettings(c.m, c.big_m, c.mibs, c.mibdirs, "/home/op");
    EXPECT_EQ(settings.modules, c.modules);
    EXPECT_EQ(settings.all, c.all);
    EXPECT_EQ(settings.folders, c.folders);
    EXPECT_EQ(settings.Any(), c.all || !c.modules.empty());
  }
}

TEST(OstrelMibOptionsTest, NoHomeNoHomeFolder) {
  EXPECT_EQ(ReadMibSettings({}, {}, nullptr, nullptr, nullptr).folders,
            Strings(kDefaults.begin() + 1, kDefaults.end()));
}

TEST(OstrelMibOptionsTest, MibPathJoinsWithSemicolons) {
  EXPECT_EQ(MibPathOf({}), "");
  EXPECT_EQ(MibPathOf({"/a"}), "/a");
  EXPECT_EQ(MibPathOf({"/a", "/b c", "/d"}), "/a;/b c;/d");
}

}  // namespace
}  // namespace kivostrel::ostrel
