#include "oidtable/default_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "oidtable/oid_name_table.h"

namespace kivostrel {
namespace {

std::vector<std::uint32_t> Arcs(std::string_view oid) {
  std::vector<std::uint32_t> arcs;
  for (const std::string_view piece : SplitText(oid, '.'))
    arcs.push_back(std::stoul(std::string(piece)));
  return arcs;
}

bool InSubtree(std::string_view oid, std::string_view root) {
  return oid == root || (oid.size() > root.size() && oid.substr(0, root.size()) == root &&
                         oid[root.size()] == '.');
}

std::string Lower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return text;
}

class DefaultRowsTest : public ::testing::Test {
 protected:
  void SetUp() override { table_.LoadDefaultOIDNames(); }
  // Position counts from 1, as in load order.
  const KeyedList::Entry& Row(std::size_t position) const {
    return table_.OIDToName().Entries()[position - 1];
  }
  OidNameTable table_;
};

TEST_F(DefaultRowsTest, EveryInvariantOfTheRows) {
  ASSERT_EQ(table_.OIDToName().Count(), 731);
  ASSERT_EQ(table_.NameToOID().Count(), 731);
  std::set<std::string> oids, names;
  std::size_t longest_name = 0, longest_label = 0, longest_name_row = 0;
  for (std::size_t i = 1; i <= kDefaultRowCount; ++i) {
    SCOPED_TRACE(i);
    const DefaultRow& row = kDefaultRows[i - 1];
    const std::string& name = Row(i).item;
    EXPECT_EQ(Row(i).key, row.oid);
    EXPECT_TRUE(oids.insert(std::string(row.oid)).second);
    EXPECT_TRUE(names.insert(Lower(name)).second);
    EXPECT_EQ(table_.NameToOID().At(static_cast<std::int64_t>(i))->item, row.oid);

    const std::size_t dot = row.oid.rfind('.');
    if (i == 1) {
      EXPECT_EQ(row.oid, "1");
      EXPECT_EQ(name, "iso");
    } else {
      ASSERT_NE(dot, std::string_view::npos);
      const std::string_view parent = row.oid.substr(0, dot);
      const auto earlier = std::find_if(kDefaultRows, kDefaultRows + (i - 1),
                                        [&](const DefaultRow& r) { return r.oid == parent; });
      ASSERT_NE(earlier, kDefaultRows + (i - 1)) << "parent missing or later";
      EXPECT_EQ(name, Row(static_cast<std::size_t>(earlier - kDefaultRows) + 1).item + "." +
                          std::string(row.label));
      EXPECT_LT(Arcs(kDefaultRows[i - 2].oid), Arcs(row.oid));
    }
    EXPECT_EQ(SplitText(name, '.').size(), Arcs(row.oid).size());

    const bool plain = std::all_of(row.label.begin(), row.label.end(), [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
    EXPECT_EQ(plain, row.label != "es-is");
    if (name.size() > longest_name) longest_name = name.size(), longest_name_row = i;
    longest_label = std::max(longest_label, row.label.size());
  }
  EXPECT_EQ(longest_name, 109u);
  EXPECT_EQ(longest_name_row, 659u);
  EXPECT_EQ(longest_label, 31u);
}

TEST_F(DefaultRowsTest, SubtreesOccupyTheirPositions) {
  const struct {
    const char* root;
    std::size_t first, last;
  } subtrees[] = {
      {"1", 1, 731},
      {"1.3.6.1.1", 5, 5},
      {"1.3.6.1.2", 6, 613},
      {"1.3.6.1.2.1", 7, 613},
      {"1.3.6.1.2.1.1", 8, 15},
      {"1.3.6.1.2.1.2", 16, 41},
      {"1.3.6.1.2.1.3", 42, 47},
      {"1.3.6.1.2.1.4", 48, 96},
      {"1.3.6.1.2.1.5", 97, 123},
      {"1.3.6.1.2.1.6", 124, 145},
      {"1.3.6.1.2.1.7", 146, 154},
      {"1.3.6.1.2.1.8", 155, 177},
      {"1.3.6.1.2.1.10", 178, 383},
      {"1.3.6.1.2.1.10.8", 179, 236},
      {"1.3.6.1.2.1.10.9", 237, 288},
      {"1.3.6.1.2.1.10.18", 289, 338},
      {"1.3.6.1.2.1.10.30", 339, 383},
      {"1.3.6.1.2.1.11", 384, 414},
      {"1.3.6.1.2.1.12", 415, 440},
      {"1.3.6.1.2.1.13", 441, 613},
      {"1.3.6.1.3", 614, 729},
      {"1.3.6.1.3.1", 615, 729},
      {"1.3.6.1.3.1.1", 616, 674},
      {"1.3.6.1.3.1.2", 675, 721},
      {"1.3.6.1.3.1.3", 722, 722},
      {"1.3.6.1.3.1.4", 723, 729},
      {"1.3.6.1.4", 730, 731},
      {"1.3.6.1.4.1", 731, 731},
      {"1.3.6.1.2.1.9", 1, 0},
      {"1.3.6.1.2.1.14", 1, 0},
  };
  for (const auto& s : subtrees) {
    SCOPED_TRACE(s.root);
    for (std::size_t i = 1; i <= kDefaultRowCount; ++i) {
      EXPECT_EQ(InSubtree(Row(i).key, s.root), s.first <= i && i <= s.last) << "row " << i;
    }
  }
  const struct {
    std::size_t position;
    const char* oid;
    const char* name;
  } rows[] = {
      {1, "1", "iso"},
      {7, "1.3.6.1.2.1", "iso.org.dod.internet.mgmt.mib"},
      {9, "1.3.6.1.2.1.1.1", "iso.org.dod.internet.mgmt.mib.system.sysDescr"},
      {74, "1.3.6.1.2.1.4.20.1.5", "ipAdEntReasmMaxSiz"},
      {75, "1.3.6.1.2.1.4.21", "ipRoutingTable"},
      {391, "1.3.6.1.2.1.11.7", "snmpInBadTypes"},
      {407, "1.3.6.1.2.1.11.23", "snmpOutReadOnlys"},
      {414, "1.3.6.1.2.1.11.30", "snmpEnableAuthTraps"},
      {456, "1.3.6.1.2.1.13.1.2", "iso.org.dod.internet.mgmt.mib.appletalk.llap.ospfAdminStat"},
      {497, "1.3.6.1.2.1.13.4.1.1", "ospfLsdbAreaId"},
      {594, "1.3.6.1.2.1.13.10", "iso.org.dod.internet.mgmt.mib.appletalk.ospfNbrTable"},
      {723, "1.3.6.1.3.1.4", "iso.org.dod.internet.experimental.clns.es-is"},
      {731, "1.3.6.1.4.1", "iso.org.dod.internet.private.enterprises"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.position);
    EXPECT_EQ(Row(r.position).key, r.oid);
    const std::string& name = Row(r.position).item;
    EXPECT_TRUE(name == r.name || name.ends_with(std::string(".") + r.name)) << name;
  }
  EXPECT_EQ(table_.FindName("mib-2").size(), 0u);
  EXPECT_EQ(table_.FindName(".mib.").size(), 606u);
}

TEST_F(DefaultRowsTest, OspfRowsHangUnderAppletalk) {
  const std::pair<std::size_t, std::size_t> ranges[] = {
      {456, 464}, {471, 477}, {492, 494}, {497, 504}, {528, 530},
      {543, 545}, {554, 568}, {577, 580}, {583, 592}, {594, 613},
  };
  std::vector<std::string> expected;
  for (std::size_t i = 1; i <= kDefaultRowCount; ++i) {
    const bool listed = std::any_of(std::begin(ranges), std::end(ranges),
                                    [&](const auto& r) { return r.first <= i && i <= r.second; });
    EXPECT_EQ(kDefaultRows[i - 1].label.starts_with("ospf"), listed) << "row " << i;
    if (listed) {
      EXPECT_TRUE(InSubtree(Row(i).key, "1.3.6.1.2.1.13")) << "row " << i;
      expected.push_back(Row(i).item);
    }
  }
  EXPECT_EQ(expected.size(), 82u);
  EXPECT_EQ(table_.FindName("ospf"), expected);
  EXPECT_EQ(table_.FindName("ospf").front(),
            "iso.org.dod.internet.mgmt.mib.appletalk.llap.ospfAdminStat");
}

}  // namespace
}  // namespace kivostrel
