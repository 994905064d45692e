// What ostrel shows once MIB modules are loaded: names in each -O style, values as the modules
// describe them, table layouts and rows, and translate -Td; over a small module of its own
// (mibs/KIVOSTREL-OSTREL-TEST-MIB.txt) that needs only the SMI's built-in modules.
#include <gtest/gtest.h>

#include <sstream>

#include "mib/mib_library.h"
#include "tools/ostrel/control_host.h"
#include "tools/ostrel/mib_description.h"
#include "tools/ostrel/mib_table.h"
#include "tools/ostrel/objects.h"
#include "tools/ostrel/output_format.h"

namespace kivostrel::ostrel {
namespace {

constexpr const char* kModule = "KIVOSTREL-OSTREL-TEST-MIB";
constexpr const char* kState = "1.3.6.1.4.1.99999.8.1.1";
constexpr const char* kLoad = "1.3.6.1.4.1.99999.8.1.2";
constexpr const char* kTable = "1.3.6.1.4.1.99999.8.2";
constexpr const char* kEntry = "1.3.6.1.4.1.99999.8.2.1";
// Instances of the table: slot 2, name "eth" (its length, then its octets), and slot 1, "lo".
constexpr const char* kEth = ".2.3.101.116.104";
constexpr const char* kLo = ".1.2.108.111";

std::string Column(int arc, const char* instance) {
  return std::string(kEntry) + "." + std::to_string(arc) + instance;
}

// Names with no module loaded: the control's table, with -On and -Os as Net-SNMP writes them.
TEST(OstrelNamesWithoutModulesTest, EachStyle) {
  const auto host = ControlHost::Offline();
  const kivOstrel& control = host->control();
  EXPECT_EQ(control.mibs(), nullptr);
  const struct {
    const char* oid;
    NameStyle style;
    const char* name;
  } cases[] = {
      {"1.3.6.1.2.1.1.1.0", NameStyle::kTable, "iso.org.dod.internet.mgmt.mib.system.sysDescr.0"},
      {"1.3.6.1.2.1.1.1.0", NameStyle::kNumeric, ".1.3.6.1.2.1.1.1.0"},
      {"1.3.6.1.2.1.1.1.0", NameStyle::kSuffix, "sysDescr.0"},
      {"1.3.6.1.2.1.1.1.0", NameStyle::kModule, "sysDescr.0"},
      {"1.3.6.1.2.1.1.1.0", NameStyle::kIndexed, "sysDescr.0"},
      {"1.3.6.1.4.1.99999.8.1.1.0", NameStyle::kSuffix, "enterprises.99999.8.1.1.0"},
      {"2.5.4", NameStyle::kSuffix, "2.5.4"},
      {"2.5.4", NameStyle::kNumeric, ".2.5.4"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ObjectName(control, c.oid, c.style), c.name) << c.oid;
  }
  const OstrelObject row{std::string(kState) + ".0", 2, "Integer", 2};
  EXPECT_FALSE(DescribedValue(row, control));
  EXPECT_EQ(BindingLine(row, control, NameStyle::kNumeric),
            ".1.3.6.1.4.1.99999.8.1.1.0 = Integer: 2");
  EXPECT_EQ(CellText(row, control), "2");
  EXPECT_THROW(DescribeObject(control, kState), UsageError);
}

class OstrelMibOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kivOstrel& control = host_->control();
    control.MibPath(OSTREL_TEST_MIBS);
    ASSERT_EQ(control.LoadMib(kModule), kModule) << control.MibWarnings();
    ASSERT_NE(control.mibs(), nullptr);
  }

  std::unique_ptr<ControlHost> host_ = ControlHost::Offline();
  const kivOstrel& control_ = host_->control();
};

TEST_F(OstrelMibOutputTest, NamesInEachStyle) {
  const std::string state = std::string(kState) + ".0";
  const struct {
    std::string oid;
    NameStyle style;
    std::string name;
  } cases[] = {
      {state, NameStyle::kNumeric, "." + state},
      {state, NameStyle::kSuffix, "otState.0"},
      {state, NameStyle::kModule, std::string(kModule) + "::otState.0"},
      {state, NameStyle::kIndexed, "otState.0"},
      {kTable, NameStyle::kSuffix, "otTable"},
      {kTable, NameStyle::kModule, std::string(kModule) + "::otTable"},
      {Column(3, kEth), NameStyle::kSuffix, "otAddress.2.3.101.116.104"},
      {"1.3.6.1.4.1.99999.8.77", NameStyle::kSuffix, "ostrelTest.77"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ObjectName(control_, c.oid, c.style), c.name) << c.oid;
  }
  // The table's own name, as loading added it to the control's.
  EXPECT_EQ(ObjectName(control_, state, NameStyle::kTable),
            "iso.org.dod.internet.private.enterprises.99999.ostrelTest.otScalars.otState.0");
  // -OX: the instance split by the INDEX, the number and the name each in brackets.
  const std::string indexed = ObjectName(control_, Column(3, kEth), NameStyle::kIndexed);
  EXPECT_EQ(indexed.rfind("otAddress[2][", 0), 0u) << indexed;
  EXPECT_NE(indexed.find("eth"), std::string::npos) << indexed;
}

TEST_F(OstrelMibOutputTest, OperandsResolveThroughTheModulesFirst) {
  const struct {
    const char* typed;
    std::string oid;
  } cases[] = {
      {"KIVOSTREL-OSTREL-TEST-MIB::otState.0", std::string(kState) + ".0"},
      {"otLoad.0", std::string(kLoad) + ".0"},
      {"otTable", kTable},
      {"KIVOSTREL-OSTREL-TEST-MIB::otEntry", kEntry},
      {"sysDescr.0", "1.3.6.1.2.1.1.1.0"},  // still the table's
      {".1.3.6.1.4.1.99999.8.1.1.0", std::string(kState) + ".0"},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveOid(control_, c.typed), c.oid) << c.typed;
  EXPECT_THROW(ResolveOid(control_, "NO-SUCH-MIB::otState.0"), UsageError);
}

TEST_F(OstrelMibOutputTest, ValuesAsTheModuleDescribesThem) {
  const struct {
    OstrelObject row;
    std::optional<std::string> described;
    std::string line;  // -Os
  } cases[] = {
      {{std::string(kState) + ".0", 2, "Integer", 2}, "busy(2)", "otState.0 = Integer: busy(2)"},
      {{std::string(kLoad) + ".0", 66, "Gauge", 42}, "42 percent", "otLoad.0 = Gauge: 42 percent"},
      {{Column(3, kEth), 4, "OctetString", std::string("\x1b\x2c\xaa")},
       "1b:2c:aa",
       "otAddress.2.3.101.116.104 = OctetString: 1b:2c:aa"},
      {{Column(4, kLo), 2, "Integer", 1}, "up(1)", "otStatus.1.2.108.111 = Integer: up(1)"},
      // What no module describes is shown as without modules.
      {{"1.3.6.1.4.1.99999.9.1.0", 2, "Integer", 7},
       std::nullopt,
       "enterprises.99999.9.1.0 = Integer: 7"},
      {{std::string(kState) + ".0", 129, "NoSuchInstance", Variant()},
       std::nullopt,
       "otState.0 = No Such Instance currently exists at this OID"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(DescribedValue(c.row, control_), c.described);
    EXPECT_EQ(BindingLine(c.row, control_, NameStyle::kSuffix), c.line);
    if (c.described) {
      EXPECT_EQ(CellText(c.row, control_), *c.described);
    }
  }
}

// JSON keeps OIDValue as received and adds Text only where a module describes the value.
TEST_F(OstrelMibOutputTest, JsonAddsTheText) {
  EXPECT_EQ(ValueJson({std::string(kState) + ".0", 2, "Integer", 3}, control_),
            R"j({"OIDType":2,"OIDTypeName":"Integer","OIDValue":3,"Text":"broken(3)"})j");
  EXPECT_EQ(ValueJson({"1.3.6.1.2.1.1.1.0", 4, "OctetString", std::string("vm")}, control_),
            R"({"OIDType":4,"OIDTypeName":"OctetString","OIDValue":"vm"})");
}

TEST_F(OstrelMibOutputTest, TableLayouts) {
  const mib::MibLibrary& mibs = *control_.mibs();
  for (const char* named : {kTable, kEntry}) {
    SCOPED_TRACE(named);
    const auto layout = TableLayoutOf(mibs, named);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->table, kTable);
    EXPECT_EQ(layout->entry, kEntry);
    // otSlot is not-accessible: no column of its own, as snmptable shows it.
    std::vector<std::string> labels;
    for (const TableColumn& column : layout->columns) labels.push_back(column.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"otName", "otAddress", "otStatus"}));
  }
  for (const char* not_a_table :
       {kState, "1.3.6.1.4.1.99999.8.1", "1.3.6.1.4.1.99999.8.2.1.2", "1.3.6.1.4.1.99999.9"}) {
    EXPECT_FALSE(TableLayoutOf(mibs, not_a_table)) << not_a_table;
  }
}

TEST_F(OstrelMibOutputTest, TableRowsInIndexOrder) {
  TableRows rows(*TableLayoutOf(*control_.mibs(), kTable));
  EXPECT_TRUE(rows.empty());
  // As a walk below the entry finds them, column by column; lo has no address; an exception
  // value and rows outside the entry are left out.
  const OstrelObject found[] = {
      {Column(2, kLo), 4, "OctetString", std::string("lo")},
      {Column(2, kEth), 4, "OctetString", std::string("eth")},
      {Column(3, kEth), 4, "OctetString", std::string("\x1b\x2c\xaa")},
      {Column(4, kLo), 2, "Integer", 1},
      {Column(4, kEth), 2, "Integer", 2},
      {Column(4, ".9.1.120"), 129, "NoSuchInstance", Variant()},
      {std::string(kState) + ".0", 2, "Integer", 2},
  };
  for (const OstrelObject& row : found) rows.Add(row);
  EXPECT_FALSE(rows.empty());

  std::ostringstream separated;
  rows.WriteText(control_, ",", separated);
  const std::string text = separated.str();
  const std::size_t first_row = text.find('\n') + 1;
  EXPECT_EQ(text.substr(0, first_row), "index,otName,otAddress,otStatus\n");
  const std::string lo = text.substr(first_row, text.find('\n', first_row) - first_row + 1);
  const std::string eth = text.substr(first_row + lo.size());
  EXPECT_EQ(lo.rfind("[1][", 0), 0u) << lo;
  EXPECT_NE(lo.find("],lo,?,up(1)\n"), std::string::npos) << lo;
  EXPECT_EQ(eth.rfind("[2][", 0), 0u) << eth;
  EXPECT_NE(eth.find("],eth,1b:2c:aa,down(2)\n"), std::string::npos) << eth;

  // Padded: every line as wide as the others, cells right-aligned.
  std::ostringstream padded;
  rows.WriteText(control_, "", padded);
  std::istringstream lines(padded.str());
  std::vector<std::string> read;
  for (std::string line; std::getline(lines, line);) read.push_back(line);
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0].size(), read[1].size());
  EXPECT_EQ(read[0].size(), read[2].size());
  EXPECT_EQ(read[1].substr(read[1].size() - 5), "up(1)");
  EXPECT_NE(read[0].find(" otName otAddress otStatus"), std::string::npos) << read[0];

  std::ostringstream json;
  rows.WriteJson(control_, json);
  const std::string objects = json.str();
  EXPECT_NE(
      objects.find(R"j("Suffix":"1.2.108.111","Columns":{"otName":{"OIDType":4,)j"
                   R"j("OIDTypeName":"OctetString","OIDValue":"lo","Text":"lo"},"otStatus":)j"
                   R"j({"OIDType":2,"OIDTypeName":"Integer","OIDValue":1,"Text":"up(1)"}}})j"),
      std::string::npos)
      << objects;
  EXPECT_NE(objects.find(R"("Suffix":"2.3.101.116.104")"), std::string::npos) << objects;
  EXPECT_EQ(objects.find(R"({"Index":"[1][)"), 0u) << objects;
}

TEST_F(OstrelMibOutputTest, DescriptionsOfObjects) {
  const std::string load = DescribeObject(control_, std::string(kLoad) + ".0");
  for (const char* line :
       {"KIVOSTREL-OSTREL-TEST-MIB::otLoad.0\n", "  oid           .1.3.6.1.4.1.99999.8.1.2\n",
        "  kind          OBJECT-TYPE\n", "  module        KIVOSTREL-OSTREL-TEST-MIB (",
        "  syntax        Gauge32 (0..100)\n", "  base type     Gauge32\n",
        "  access        read-only\n", "  status        current\n",
        "  units         \"percent\"\n"}) {
    EXPECT_NE(load.find(line), std::string::npos) << line << " in\n" << load;
  }
  const std::string state = DescribeObject(control_, kState);
  EXPECT_NE(state.find("  syntax        INTEGER {idle(1), busy(2), broken(3)}\n"),
            std::string::npos)
      << state;
  EXPECT_EQ(state.find("units"), std::string::npos) << state;
  const std::string name = DescribeObject(control_, Column(2, ""));
  EXPECT_NE(name.find("  conventions   OtLabel (KIVOSTREL-OSTREL-TEST-MIB)\n"), std::string::npos)
      << name;
  EXPECT_NE(name.find("  display-hint  \"255a\"\n"), std::string::npos) << name;
  EXPECT_NE(name.find("  syntax        OtLabel (SIZE (0..32))\n"), std::string::npos) << name;
  const std::string entry = DescribeObject(control_, kEntry);
  EXPECT_NE(entry.find("  index         otSlot, otName\n"), std::string::npos) << entry;
  // An OID below a node but no object of its own: the node's, as snmptranslate -Td shows it.
  const std::string below = DescribeObject(control_, "1.3.6.1.2.1.99");
  EXPECT_EQ(below.rfind("SNMPv2-SMI::mib-2.99\n  oid           .1.3.6.1.2.1\n", 0), 0u) << below;
}

}  // namespace
}  // namespace kivostrel::ostrel
