#include "oidtable/oid_name_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

namespace kivostrel {
namespace {

using testing::ErrorNumberOf;
using Pairs = std::vector<std::pair<std::string, std::string>>;
using Names = std::vector<std::string>;

const std::string kMib = "iso.org.dod.internet.mgmt.mib";

OidNameTable Loaded() {
  OidNameTable table;
  table.LoadDefaultOIDNames();
  return table;
}

Pairs Contents(const KeyedList& list) {
  Pairs out;
  for (const auto& entry : list.Entries()) out.emplace_back(entry.key, entry.item);
  return out;
}

std::string Repeat(std::string_view piece, std::size_t times, std::string_view between = "") {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) {
    if (i > 0) out += between;
    out += piece;
  }
  return out;
}

TEST(SplitTextTest, SpacesAndDots) {
  const struct {
    const char* text;
    std::vector<std::string_view> pieces;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"1.3.6", {"1", "3", "6"}},
      {"1 .3", {"1 ", "3"}},
      {" 1. 3.", {"1", "3"}},
      {"1.3.", {"1", "3"}},
      {"1.3..", {"1", "3", ""}},
      {".1", {"", "1"}},
      {"1..3", {"1", "", "3"}},
      {".", {""}},
      {" . ", {""}},
      {"..", {"", ""}},
      {"a b. c d ", {"a b", "c d "}},
      {"\t1.3", {"\t1", "3"}},  // only ASCII spaces are leading spaces
      {"1.\t3", {"1", "\t3"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SplitText(c.text, '.'), c.pieces);
  }
}

struct Translation {
  const char* in;
  std::string out;
};

TEST(OidNameTableTest, OID2NameTranslatesTheLongestKnownPrefix) {
  const OidNameTable table = Loaded();
  const Translation cases[] = {
      {"1", "iso"},
      {"1.3.6.1.2.1.1.1", kMib + ".system.sysDescr"},
      {"1.3.6.1.2.1.1.3.0", kMib + ".system.sysUpTime.0"},
      {"1.3.6.1.2.1.2.2.1.10.3", kMib + ".interfaces.ifTable.ifEntry.ifInOctets.3"},
      {"1.3.6.1.4.1.1.1", "iso.org.dod.internet.private.enterprises.1.1"},
      {"1.3.6.1.2.1.13.10.1.6", kMib + ".appletalk.ospfNbrTable.ospfNbrEntry.ospfNbrState"},
      {"1.3.6.1.2.1.14.1", kMib + ".14.1"},
      {"1.3.6.1.2.1.9", kMib + ".9"},
      {"1.3.6.1.1.5.7", "iso.org.dod.internet.directory.5.7"},
      {"1.3.6.1.2.1.4.21.1.1.10.0.0.1",
       kMib + ".ip.ipRoutingTable.ipRouteEntry.ipRouteDest.10.0.0.1"},
      {"2.5.4", "2.5.4"},
      {" 1. 3.", "iso.org"},
      {"1..3", "iso..3"},
      {"", ""},
      {"   ", "   "},
      {".", "."},
      {".1.3", ".1.3"},
      {"1 .3", "1 .3"},
      {"1.3 ", "iso.3 "},
      {"01.3", "01.3"},
      {"1.3.6.1.2.1.1.1.0.", kMib + ".system.sysDescr.0"},
      {"  1.3.6.1.2.1.1.1.  0", kMib + ".system.sysDescr.0"},
      {"1.3.6.1.2.1.1.1..0", kMib + ".system.sysDescr..0"},
      {"iso.org", "iso.org"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(table.OID2Name(c.in), c.out);
  }
}

TEST(OidNameTableTest, Name2OIDTranslatesNamesFromTheRoot) {
  const OidNameTable table = Loaded();
  const Translation cases[] = {
      {"iso", "1"},
      {"iso.org.dod.internet.mgmt.mib.system.sysUpTime.0", "1.3.6.1.2.1.1.3.0"},
      {"iso.org.dod.internet.mgmt.mib.interfaces.ifTable.ifEntry.ifInOctets.3",
       "1.3.6.1.2.1.2.2.1.10.3"},
      {"ISO.ORG.DOD", "1.3.6"},
      {"Iso.Org.Dod.Internet.Experimental.Clns.ES-IS.EsisESHins", "1.3.6.1.3.1.4.1"},
      {"sysUpTime.0", "sysUpTime.0"},
      {"iso.org.dod.internet.mgmt.mib-2.system", "1.3.6.1.2.mib-2.system"},
      {"iso.org.dod.internet.mgmt.mib.appletalk.llap.ospfAdminStat", "1.3.6.1.2.1.13.1.2"},
      {"iso.org.dod.internet.private.enterprises.311.1.1", "1.3.6.1.4.1.311.1.1"},
      {"iso.org.dod.internet.mgmt.mib.ip.ipRouteTable", "1.3.6.1.2.1.4.ipRouteTable"},
      {"  iso . org", "  iso . org"},
      {"iso. org.", "1.3"},
      {"iso..org", "1..org"},
      {"1.3.6", "1.3.6"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(table.Name2OID(c.in), c.out);
  }
}

TEST(OidNameTableTest, SetOIDMovesThePairToTheEndAndKeepsStalePartners) {
  OidNameTable table = Loaded();
  const std::string sys_name = kMib + ".system.sysName";
  table.SetOID("1.3.6.1.2.1.1.5", "myName");
  EXPECT_EQ(table.OID2Name("1.3.6.1.2.1.1.5.0"), "myName.0");
  EXPECT_EQ(table.Name2OID("myName"), "1.3.6.1.2.1.1.5");
  EXPECT_EQ(table.Name2OID(sys_name), "1.3.6.1.2.1.1.5");  // stale partner stays
  EXPECT_EQ(table.OIDToName().Count(), 731);
  EXPECT_EQ(table.NameToOID().Count(), 732);
  EXPECT_EQ(table.OIDToName().At(731)->key, "1.3.6.1.2.1.1.5");
  EXPECT_EQ(table.OIDToName().At(13)->key, "1.3.6.1.2.1.1.6");
  EXPECT_EQ(table.NameToOID().At(732)->key, "myName");

  // A name taken from another OID: that OID keeps translating to it.
  table.SetOID("9.9", "iso.org.dod");
  EXPECT_EQ(table.OID2Name("1.3.6"), "iso.org.dod");
  EXPECT_EQ(table.OID2Name("9.9.1"), "iso.org.dod.1");
  EXPECT_EQ(table.Name2OID("iso.org.dod"), "9.9");
  EXPECT_EQ(table.Name2OID("iso.org.dod.internet"), "1.3.6.1");
  EXPECT_EQ(table.NameToOID().At(732)->key, "iso.org.dod");
  EXPECT_EQ(table.NameToOID().Count(), 732);

  // Keys match regardless of case, but the new spelling is stored.
  table.SetOID("1.3.6.1.4.1.9.X", "Cisco");
  table.SetOID("1.3.6.1.4.1.9.x", "CISCO");
  EXPECT_EQ(table.OIDToName().At(table.OIDToName().Count())->key, "1.3.6.1.4.1.9.x");
  EXPECT_EQ(table.OID2Name("1.3.6.1.4.1.9.X.2"), "CISCO.2");
  EXPECT_EQ(table.Name2OID("cisco.2"), "1.3.6.1.4.1.9.x.2");
}

TEST(OidNameTableTest, SetOIDFirstKeepsTheFirstPairing) {
  OidNameTable table = Loaded();
  table.SetOIDFirst("1", "newRoot");
  EXPECT_EQ(table.OID2Name("1"), "iso");
  EXPECT_EQ(table.Name2OID("newRoot.3"), "1.3");
  EXPECT_EQ(table.OIDToName().Count(), 731);
  EXPECT_EQ(table.NameToOID().Count(), 732);

  table.SetOIDFirst("2", "ISO");  // the name differs from "iso" only in case
  EXPECT_EQ(table.NameToOID().Count(), 732);
  EXPECT_EQ(table.OIDToName().Count(), 732);
  EXPECT_EQ(table.OID2Name("2.1"), "ISO.1");
  EXPECT_EQ(table.Name2OID("ISO.1"), "1.1");
}

TEST(OidNameTableTest, AnEmptyItemIsNoMatch) {
  OidNameTable table = Loaded();
  table.SetOID("1.3.6", "");
  EXPECT_EQ(table.OID2Name("1.3.6.99"), "iso.org.6.99");
  EXPECT_EQ(table.OID2Name("1.3.6.1"), "iso.org.dod.internet");
  table.SetOID("", "nothing");
  EXPECT_EQ(table.Name2OID("nothing.1"), "nothing.1");
  EXPECT_EQ(table.OID2Name(".5"), "nothing.5");
  EXPECT_EQ(table.OID2Name(""), "");  // no piece, so no prefix to look up
}

TEST(OidNameTableTest, ClearOIDThenSetOID) {
  OidNameTable table = Loaded();
  table.ClearOID();
  EXPECT_EQ(table.OIDToName().Count(), 0);
  EXPECT_EQ(table.NameToOID().Count(), 0);
  for (const char* text : {"1.3.6.1.2.1.1.3.0", "iso.org", "1", ""}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(table.OID2Name(text), text);
    EXPECT_EQ(table.Name2OID(text), text);
  }
  EXPECT_TRUE(table.FindName("").empty());
  table.ClearOID();
  table.SetOID("1.3.6.1.2.1.1.3", "upTime");
  EXPECT_EQ(Contents(table.OIDToName()), (Pairs{{"1.3.6.1.2.1.1.3", "upTime"}}));
  EXPECT_EQ(Contents(table.NameToOID()), (Pairs{{"upTime", "1.3.6.1.2.1.1.3"}}));
  EXPECT_EQ(table.OID2Name("1.3.6.1.2.1.1.3.0"), "upTime.0");
  EXPECT_EQ(table.FindName("up", 1), (Names{"upTime"}));
}

TEST(OidNameTableTest, LoadingIsTheSameAsSetOIDFirstForEveryRow) {
  const OidNameTable loaded = Loaded();
  OidNameTable by_hand;
  for (const auto& row : loaded.OIDToName().Entries()) by_hand.SetOIDFirst(row.key, row.item);
  EXPECT_EQ(Contents(by_hand.OIDToName()), Contents(loaded.OIDToName()));
  EXPECT_EQ(Contents(by_hand.NameToOID()), Contents(loaded.NameToOID()));

  // Loading into lists that are not empty keeps what is there first.
  OidNameTable edited;
  edited.SetOID("1.3", "first");
  edited.LoadDefaultOIDNames();
  EXPECT_EQ(edited.OIDToName().Count(), 731);
  EXPECT_EQ(edited.NameToOID().Count(), 732);
  EXPECT_EQ(edited.OIDToName().At(1)->key, "1.3");
  EXPECT_EQ(edited.OIDToName().At(2)->key, "1");
  EXPECT_EQ(edited.OID2Name("1.3.99"), "first.99");
  EXPECT_EQ(edited.OID2Name("1.3.6"), "iso.org.dod");
  EXPECT_EQ(edited.Name2OID("iso.org.dod"), "1.3.6");
  edited.LoadDefaultOIDNames();
  EXPECT_EQ(edited.NameToOID().Count(), 732);
}

TEST(OidNameTableTest, TablesAreIndependent) {
  OidNameTable a = Loaded();
  OidNameTable b = Loaded();
  // Fresh tables share the prebuilt lists; a SetOIDFirst that adds nothing copies nothing.
  EXPECT_EQ(&a.OIDToName(), &b.OIDToName());
  a.SetOIDFirst("1", "iso");
  EXPECT_EQ(&a.OIDToName(), &b.OIDToName());
  EXPECT_EQ(&a.NameToOID(), &b.NameToOID());

  a.SetOID("1.3.6.1.2.1.1.5", "myName");
  EXPECT_NE(&a.OIDToName(), &b.OIDToName());
  EXPECT_EQ(b.OID2Name("1.3.6.1.2.1.1.5"), kMib + ".system.sysName");
  EXPECT_EQ(b.Name2OID("myName"), "myName");

  OidNameTable c = a;  // a copy shares until either side changes
  c.ClearOID();
  EXPECT_EQ(a.OID2Name("1.3.6.1.2.1.1.5"), "myName");
  EXPECT_EQ(a.OIDToName().Count(), 731);
  OidNameTable d = a;
  d.SetOIDFirst("7", "seven");
  EXPECT_EQ(a.OID2Name("7"), "7");
  EXPECT_EQ(d.OID2Name("7"), "seven");

  b.ClearOID();
  EXPECT_EQ(Loaded().OIDToName().Count(), 731);
  EXPECT_EQ(a.OIDToName().Count(), 731);
  EXPECT_EQ(Loaded().OID2Name("1.3.6.1.2.1.1.5"), kMib + ".system.sysName");
}

TEST(OidNameTableTest, FindNameSearchesItemsInListOrder) {
  OidNameTable table = Loaded();
  EXPECT_EQ(table.FindName("sysUp"), (Names{kMib + ".system.sysUpTime"}));
  EXPECT_EQ(table.FindName("SYSUP"), Names{});
  EXPECT_EQ(table.FindName("SYSUP", 0), Names{});
  EXPECT_EQ(table.FindName("SYSUP", 1), (Names{kMib + ".system.sysUpTime"}));
  // Any other mode compares exactly.
  for (const std::int16_t mode : {2, -1, 32767}) EXPECT_EQ(table.FindName("SYSUP", mode), Names{});
  EXPECT_EQ(table.FindName("sysUp", 2).size(), 1u);

  const std::string if_entry = kMib + ".interfaces.ifTable.ifEntry.";
  const Names if_in = {if_entry + "ifIndex",          if_entry + "ifInOctets",
                       if_entry + "ifInUcastPkts",    if_entry + "ifInNUcastPkts",
                       if_entry + "ifInDiscards",     if_entry + "ifInErrors",
                       if_entry + "ifInUnknownProtos"};
  EXPECT_EQ(table.FindName("ifIn"), if_in);
  EXPECT_GT(table.FindName("ifIn", 1).size(), if_in.size());  // "IfIn" names join in

  EXPECT_EQ(table.FindName("").size(), 731u);
  EXPECT_EQ(table.FindName("no such label").size(), 0u);

  // Items, not keys, and in list order after edits; empty items never match.
  table.SetOID("1.3.6.1.2.1.1.3", "zzz.sysUpAgain");
  table.SetOID("1.3", "");
  EXPECT_EQ(table.FindName("sysUp"), (Names{"zzz.sysUpAgain"}));
  EXPECT_EQ(table.FindName("").size(), 730u);
  EXPECT_EQ(table.FindName("1.3.6").size(), 0u);
}

TEST(OidNameTableTest, OverflowAtTheSixteenBitLimits) {
  const OidNameTable loaded = Loaded();
  const OidNameTable empty;
  const std::string a32765 = Repeat("a", 32765);
  const std::string e_acute = "\xC3\xA9";        // one host character, two bytes
  const std::string emoji = "\xF0\x9F\x98\x80";  // two host characters, four bytes
  const struct {
    std::string text;
    bool overflows;
  } cases[] = {
      {Repeat("1", 32766, "."), false},
      {Repeat("1", 32766, ".") + ".", false},  // a trailing dot adds no piece
      {Repeat("1", 32767, "."), true},
      {Repeat(".", 32766), false},
      {Repeat(".", 32767), true},
      {a32765 + ".b", false},  // the dot at position 32,766
      {"a" + a32765 + ".b", true},
      {Repeat(" ", 40) + a32765 + ".b", false},  // leading spaces are cut off first
      {"x." + a32765 + ".b", false},
      {"x.a" + a32765 + ".b", true},
      {"x. " + a32765 + ".b", false},
      {Repeat("a", 40000), false},  // no dot, no position
      {Repeat(e_acute, 32765) + ".b", false},
      {Repeat(e_acute, 32766) + ".b", true},
      {Repeat(emoji, 16382) + "a.b", false},
      {Repeat(emoji, 16383) + ".b", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 8) + "... of " + std::to_string(c.text.size()) + " bytes");
    const auto expected = c.overflows ? std::optional<std::int32_t>(kErrOverflow) : std::nullopt;
    EXPECT_EQ(ErrorNumberOf([&] { (void)SplitText(c.text, '.'); }), expected);
    EXPECT_EQ(ErrorNumberOf([&] { (void)loaded.OID2Name(c.text); }), expected);
    EXPECT_EQ(ErrorNumberOf([&] { (void)loaded.Name2OID(c.text); }), expected);
    EXPECT_EQ(ErrorNumberOf([&] { (void)empty.OID2Name(c.text); }), expected);
  }
  EXPECT_EQ(loaded.OID2Name(Repeat("1", 32766, ".")), "iso." + Repeat("1", 32765, "."));
}

TEST(OidNameTableTest, FindNameOverflowsAt32767Entries) {
  OidNameTable table;
  for (int i = 0; i < 32766; ++i) {
    const std::string oid = std::to_string(i);
    table.SetOIDFirst(oid, std::string("n").append(oid));
  }
  EXPECT_EQ(ErrorNumberOf([&] { EXPECT_EQ(table.FindName("n3276").size(), 7u); }), std::nullopt);
  table.SetOIDFirst("last", "");
  EXPECT_EQ(ErrorNumberOf([&] { (void)table.FindName("n"); }), kErrOverflow);
  EXPECT_EQ(ErrorNumberOf([&] { (void)table.FindName("n", 1); }), kErrOverflow);
  table.SetOID("last", "again");  // remove and append: still 32,767
  EXPECT_EQ(ErrorNumberOf([&] { (void)table.FindName("n"); }), kErrOverflow);
}

}  // namespace
}  // namespace kivostrel
