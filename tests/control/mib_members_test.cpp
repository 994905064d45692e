// The engine's MIB module members over a module of our own: rows named by the table's rule,
// values and instance names as the module describes them, and what goes wrong said as error 5
// and MibWarnings.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "encoding/automation_error.h"
#include "engine_fixture.h"

namespace kivostrel::testing {
namespace {

constexpr const char* kModule = R"(KIVOSTREL-TEST-MIB DEFINITIONS ::= BEGIN
IMPORTS
    MODULE-IDENTITY, OBJECT-TYPE, NOTIFICATION-TYPE, Integer32, enterprises
        FROM SNMPv2-SMI
    DisplayString, PhysAddress, TEXTUAL-CONVENTION FROM SNMPv2-TC;

kivTest MODULE-IDENTITY
    LAST-UPDATED "202612080000Z"
    ORGANIZATION "kivOstrel"
    CONTACT-INFO "tests"
    DESCRIPTION "A module for the engine's tests."
    ::= { enterprises 99999 }

Centi ::= TEXTUAL-CONVENTION
    DISPLAY-HINT "d-2"
    STATUS current
    DESCRIPTION "Hundredths."
    SYNTAX Integer32

kivObjects OBJECT IDENTIFIER ::= { kivTest 1 }

kivTemperature OBJECT-TYPE
    SYNTAX Centi
    UNITS "degrees"
    MAX-ACCESS read-only
    STATUS current
    DESCRIPTION "A temperature."
    ::= { kivObjects 1 }

kivPortTable OBJECT-TYPE
    SYNTAX SEQUENCE OF KivPortEntry
    MAX-ACCESS not-accessible
    STATUS current
    DESCRIPTION "Ports."
    ::= { kivObjects 2 }

kivPortEntry OBJECT-TYPE
    SYNTAX KivPortEntry
    MAX-ACCESS not-accessible
    STATUS current
    DESCRIPTION "A port."
    INDEX { kivPortIndex, kivPortName }
    ::= { kivPortTable 1 }

KivPortEntry ::= SEQUENCE {
    kivPortIndex Integer32, kivPortName DisplayString, kivPortState INTEGER,
    kivPortAddress PhysAddress }

kivPortIndex OBJECT-TYPE
    SYNTAX Integer32 (1..65535)
    MAX-ACCESS not-accessible
    STATUS current
    DESCRIPTION "Its number."
    ::= { kivPortEntry 1 }

kivPortName OBJECT-TYPE
    SYNTAX DisplayString (SIZE (0..32))
    MAX-ACCESS not-accessible
    STATUS current
    DESCRIPTION "Its name."
    ::= { kivPortEntry 2 }

kivPortState OBJECT-TYPE
    SYNTAX INTEGER { up(1), down(2) }
    MAX-ACCESS read-only
    STATUS current
    DESCRIPTION "Its state."
    ::= { kivPortEntry 3 }

kivPortAddress OBJECT-TYPE
    SYNTAX PhysAddress
    MAX-ACCESS read-only
    STATUS current
    DESCRIPTION "Its address."
    ::= { kivPortEntry 4 }

kivPortDown NOTIFICATION-TYPE
    OBJECTS { kivPortState }
    STATUS current
    DESCRIPTION "A port went down."
    ::= { kivTest 0 1 }

kivBroken OBJECT-TYPE
    SYNTAX INTEGER
    MAX-ACCESS read-only
    STATUS current
    DESCRIPTION "Under a parent nobody defines."
    ::= { kivNowhere 1 }
END
)";

class MibMembersTest : public EngineTest {
 protected:
  MibMembersTest() {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("kivostrel-mib-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    std::ofstream(folder_ / "kivostrel-test.my") << kModule;
  }
  ~MibMembersTest() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path folder_;
};

TEST_F(MibMembersTest, LoadedRowsNamesAndValuesAsTheModuleDescribesThem) {
  kivOstrel& e = ReadyEngine();
  const std::string ports = "1.3.6.1.4.1.99999.1.2.1";
  // Nothing loaded: every result as before.
  EXPECT_EQ(e.OID2Name(ports + ".3.7"), "iso.org.dod.internet.private.enterprises.99999.1.2.1.3.7");
  EXPECT_EQ(e.FormatValue(ports + ".3.7", Variant(2)), "2");
  EXPECT_EQ(e.IndexedName(ports + ".3.7"), ports + ".3.7");
  EXPECT_EQ(e.MibWarnings(), "");

  e.MibPath(" /no/such/folder ; " + folder_.string());
  EXPECT_EQ(e.LoadMib("KIVOSTREL-TEST-MIB"), "KIVOSTREL-TEST-MIB");
  // The node under a parent nobody defines is said, with the file and line of its definition.
  EXPECT_NE(e.MibWarnings().find("kivostrel-test.my:"), std::string::npos) << e.MibWarnings();
  EXPECT_NE(e.MibWarnings().find("kivNowhere"), std::string::npos) << e.MibWarnings();
  EXPECT_EQ(e.LoadMib("KIVOSTREL-TEST-MIB"), "KIVOSTREL-TEST-MIB");
  EXPECT_EQ(e.LoadMib((folder_ / "kivostrel-test.my").string()), "KIVOSTREL-TEST-MIB");

  const std::string base = "iso.org.dod.internet.private.enterprises.kivTest.kivObjects.";
  const struct {
    std::string oid;
    std::string name;  // OID2Name
    Variant value;
    std::string text;     // FormatValue
    std::string indexed;  // IndexedName
  } rows[] = {
      {"1.3.6.1.4.1.99999.1.1.0", base + "kivTemperature.0", Variant(2150), "21.50 degrees",
       "kivTemperature.0"},
      {ports + ".3.7.3.101.116.104",
       base + "kivPortTable.kivPortEntry.kivPortState.7.3.101.116.104", Variant(2), "down(2)",
       "kivPortState[7][eth]"},
      {ports + ".4.7.0", base + "kivPortTable.kivPortEntry.kivPortAddress.7.0",
       Variant(std::string("\x00\x1b\x2c", 3)), "0:1b:2c", "kivPortAddress[7][]"},
      // A suffix the INDEX cannot read: the label and the suffix as numbers.
      {ports + ".3.7", base + "kivPortTable.kivPortEntry.kivPortState.7", Variant(9), "9",
       "kivPortState.7"},
      {"1.3.6.1.4.1.99999.0.1", "iso.org.dod.internet.private.enterprises.kivTest.0.kivPortDown",
       Variant(std::string("1.3")), "1.3", "kivPortDown"},
      // Not described by the module: the plain value, named by the SMI's nearest node.
      {"1.3.6.1.4.1.99998.1", "iso.org.dod.internet.private.enterprises.99998.1", Variant(5), "5",
       "enterprises.99998.1"},
      // The table's own rows keep their names.
      {"1.3.6.1.2.1.1.1.0", "iso.org.dod.internet.mgmt.mib.system.sysDescr.0",
       Variant(std::string("x")), "x", "mib-2.1.1.0"},
      // Outside every module, the SMI's own too: unchanged.
      {"2.5.4.3", "2.5.4.3", Variant(1), "1", "2.5.4.3"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.oid);
    EXPECT_EQ(e.OID2Name(row.oid), row.name);
    EXPECT_EQ(e.FormatValue(row.oid, row.value), row.text);
    EXPECT_EQ(e.IndexedName(row.oid), row.indexed);
  }
  EXPECT_EQ(e.Name2OID(base + "kivTemperature"), "1.3.6.1.4.1.99999.1.1");
  const auto found = e.FindName("kivPortSt");
  ASSERT_EQ(found->Count(), 1);
  EXPECT_EQ(found->Item(1), base + "kivPortTable.kivPortEntry.kivPortState");
}

TEST_F(MibMembersTest, WhatCannotBeLoadedIsError5SayingWhere) {
  kivOstrel& e = ReadyEngine();
  std::ofstream(folder_ / "garbage.my") << "\x01\x02 not a module";
  std::ofstream(folder_ / "needs.my")
      << "NEEDS-MIB DEFINITIONS ::= BEGIN\nIMPORTS foo FROM NOWHERE-MIB;\n"
         "bar OBJECT IDENTIFIER ::= { foo 1 }\nEND\n";
  e.MibPath(folder_.string());
  const struct {
    std::string module;
    std::string says;  // in the description
  } rows[] = {
      {"NO-SUCH-MIB", "NO-SUCH-MIB"},
      {(folder_ / "missing.my").string(), "missing.my"},
      {(folder_ / "garbage.my").string(), "garbage.my:1: "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.module);
    try {
      e.LoadMib(row.module);
      ADD_FAILURE() << "loaded";
    } catch (const AutomationError& error) {
      EXPECT_EQ(error.number(), kErrInvalidCall);
      EXPECT_EQ(error.description().rfind("LoadMib: ", 0), 0u) << error.description();
      EXPECT_NE(error.description().find(row.says), std::string::npos) << error.description();
    }
  }
  // A module whose import cannot be found loads, and the import is named.
  EXPECT_EQ(e.LoadMib("NEEDS-MIB"), "NEEDS-MIB");
  EXPECT_NE(e.MibWarnings().find("NOWHERE-MIB"), std::string::npos) << e.MibWarnings();
  EXPECT_NE(e.MibWarnings().find("needs.my:2: "), std::string::npos) << e.MibWarnings();
}

}  // namespace
}  // namespace kivostrel::testing
