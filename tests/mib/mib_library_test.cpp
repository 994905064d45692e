#include "mib/mib_library.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "mib_test_support.h"

namespace kivostrel::mib {
namespace {

// SMIv2 as the IETF writes it: every macro, type and clause.
constexpr std::string_view kSmiV2 = R"(
KIVO-TEST-MIB DEFINITIONS ::= BEGIN
IMPORTS
    MODULE-IDENTITY, OBJECT-TYPE, OBJECT-IDENTITY, NOTIFICATION-TYPE, enterprises,
    Integer32, Unsigned32, Counter32, Gauge32, Counter64, TimeTicks, IpAddress, Opaque
        FROM SNMPv2-SMI
    TEXTUAL-CONVENTION, DisplayString, RowStatus, TruthValue FROM SNMPv2-TC
    OBJECT-GROUP, MODULE-COMPLIANCE FROM SNMPv2-CONF;

kivoTest MODULE-IDENTITY
    LAST-UPDATED "202401010000Z"
    ORGANIZATION "kivOstrel"
    CONTACT-INFO "nobody"
    DESCRIPTION  "Test module."
    REVISION     "202401010000Z"
    DESCRIPTION  "First."
    ::= { enterprises 99999 }

ShortName ::= TEXTUAL-CONVENTION
    DISPLAY-HINT "32a"
    STATUS       current
    DESCRIPTION  "A name."
    SYNTAX       DisplayString (SIZE (0..32))
Label ::= TEXTUAL-CONVENTION
    STATUS       current
    DESCRIPTION  "A shorter name."
    SYNTAX       ShortName (SIZE (1..8))
Level ::= TEXTUAL-CONVENTION
    STATUS       current
    DESCRIPTION  "Levels."
    SYNTAX       INTEGER { low(1), high(2) }

kivoObjects OBJECT-IDENTITY
    STATUS      current
    DESCRIPTION "Objects."
    ::= { kivoTest 1 }

kivoState OBJECT-TYPE
    SYNTAX      INTEGER { up(1), down(2), testing(3) }
    MAX-ACCESS  read-write
    STATUS      current
    DESCRIPTION "State."
    DEFVAL      { up }
    ::= { kivoObjects 1 }
kivoCount OBJECT-TYPE SYNTAX Counter32 UNITS "packets" MAX-ACCESS read-only STATUS current
    DESCRIPTION "Count." ::= { kivoObjects 2 }
kivoGauge OBJECT-TYPE SYNTAX Gauge32 (0..100) MAX-ACCESS read-only STATUS current
    DESCRIPTION "Gauge." ::= { kivoObjects 3 }
kivoBig OBJECT-TYPE SYNTAX Counter64 MAX-ACCESS read-only STATUS current
    DESCRIPTION "Big." ::= { kivoObjects 4 }
kivoTicks OBJECT-TYPE SYNTAX TimeTicks MAX-ACCESS read-only STATUS current
    DESCRIPTION "Ticks." ::= { kivoObjects 5 }
kivoAddress OBJECT-TYPE SYNTAX IpAddress MAX-ACCESS read-only STATUS current
    DESCRIPTION "Address." ::= { kivoObjects 6 }
kivoOpaque OBJECT-TYPE SYNTAX Opaque MAX-ACCESS read-only STATUS current
    DESCRIPTION "Opaque." ::= { kivoObjects 7 }
kivoFlags OBJECT-TYPE SYNTAX BITS { a(0), b(1), c(7) } MAX-ACCESS read-only STATUS current
    DESCRIPTION "Flags." ::= { kivoObjects 8 }
kivoId OBJECT-TYPE SYNTAX OBJECT IDENTIFIER MAX-ACCESS read-only STATUS current
    DESCRIPTION "Id." ::= { kivoObjects 9 }
kivoBytes OBJECT-TYPE SYNTAX OCTET STRING (SIZE (0..255)) MAX-ACCESS read-only STATUS current
    DESCRIPTION "Bytes." ::= { kivoObjects 10 }
kivoMixed OBJECT-TYPE SYNTAX Integer32 (1..10 | 20 | -5..-1) MAX-ACCESS read-only STATUS current
    DESCRIPTION "Mixed." ::= { kivoObjects 11 }
kivoSmall OBJECT-TYPE SYNTAX Unsigned32 (0..4294967295) MAX-ACCESS read-only STATUS current
    DESCRIPTION "Small." ::= { kivoObjects 12 }
kivoName OBJECT-TYPE SYNTAX Label MAX-ACCESS read-only STATUS current
    DESCRIPTION "Chained conventions." ::= { kivoObjects 13 }
kivoLevel OBJECT-TYPE SYNTAX Level { high(2) } MAX-ACCESS read-only STATUS current
    DESCRIPTION "Refined enumeration." ::= { kivoObjects 14 }

kivoTable OBJECT-TYPE
    SYNTAX      SEQUENCE OF KivoEntry
    MAX-ACCESS  not-accessible
    STATUS      current
    DESCRIPTION "Table."
    ::= { kivoObjects 20 }
kivoEntry OBJECT-TYPE
    SYNTAX      KivoEntry
    MAX-ACCESS  not-accessible
    STATUS      current
    DESCRIPTION "Entry."
    INDEX       { kivoIndex, IMPLIED kivoKey }
    ::= { kivoTable 1 }
KivoEntry ::= SEQUENCE { kivoIndex Integer32, kivoKey OCTET STRING, kivoStatus RowStatus }
kivoIndex OBJECT-TYPE SYNTAX Integer32 (1..2147483647) MAX-ACCESS not-accessible
    STATUS current DESCRIPTION "Index." ::= { kivoEntry 1 }
kivoKey OBJECT-TYPE SYNTAX OCTET STRING (SIZE (1..16)) MAX-ACCESS not-accessible
    STATUS current DESCRIPTION "Key." ::= { kivoEntry 2 }
kivoStatus OBJECT-TYPE SYNTAX RowStatus MAX-ACCESS read-create
    STATUS current DESCRIPTION "Status." ::= { kivoEntry 3 }
kivoExtraEntry OBJECT-TYPE
    SYNTAX      KivoEntry
    MAX-ACCESS  not-accessible
    STATUS      current
    DESCRIPTION "More of each row."
    AUGMENTS    { kivoEntry }
    ::= { kivoTable 2 }

kivoEvent NOTIFICATION-TYPE
    OBJECTS     { kivoState, kivoCount }
    STATUS      current
    DESCRIPTION "Event."
    ::= { kivoTest 0 1 }
kivoGroup OBJECT-GROUP
    OBJECTS     { kivoState, kivoCount }
    STATUS      current
    DESCRIPTION "Group."
    ::= { kivoTest 2 1 }
kivoCompliance MODULE-COMPLIANCE
    STATUS      current
    DESCRIPTION "Compliance."
    MODULE
        MANDATORY-GROUPS { kivoGroup }
        OBJECT      kivoState
        SYNTAX      INTEGER { up(1) }
        MIN-ACCESS  read-only
        DESCRIPTION "Read-only is enough."
    ::= { kivoTest 2 2 }
END
)";

// SMIv1 (RFC 1155, 1212, 1215), with its own types and a MACRO.
constexpr std::string_view kSmiV1 = R"(
KIVO-V1-MIB DEFINITIONS ::= BEGIN
EXPORTS kivoV1;
IMPORTS
    enterprises, NetworkAddress, Counter, Gauge, TimeTicks FROM RFC1155-SMI
    OBJECT-TYPE FROM RFC-1212
    TRAP-TYPE FROM RFC-1215;

FANCY-MACRO MACRO ::= BEGIN
    TYPE NOTATION ::= "FANCY" "::=" value(VALUE INTEGER)
    VALUE NOTATION ::= value(VALUE INTEGER)
END

kivoV1 OBJECT IDENTIFIER ::= { iso org(3) dod(6) internet(1) private(4) enterprises(1) 99998 }
kivoSys OBJECT IDENTIFIER ::= { kivoV1 1 }
DisplayString ::= OCTET STRING
Wide ::= [APPLICATION 1] IMPLICIT INTEGER (0..4294967295)

kivoDescr OBJECT-TYPE SYNTAX DisplayString (SIZE (0..255)) ACCESS read-only STATUS mandatory
    DESCRIPTION "Descr." ::= { kivoSys 1 }
kivoPeer OBJECT-TYPE SYNTAX NetworkAddress ACCESS read-write STATUS mandatory
    ::= { kivoSys 2 }
kivoHits OBJECT-TYPE SYNTAX Counter ACCESS read-only STATUS mandatory ::= { kivoSys 3 }
kivoLoad OBJECT-TYPE SYNTAX Gauge ACCESS read-only STATUS mandatory ::= { kivoSys 4 }
kivoWide OBJECT-TYPE SYNTAX Wide ACCESS read-only STATUS deprecated ::= { kivoSys 5 }
kivoDown TRAP-TYPE
    ENTERPRISE  kivoV1
    VARIABLES   { kivoDescr }
    DESCRIPTION "Down."
    ::= 3
END
)";

// Vendors' dialect: CRLF, tabs, no IMPORTS, comments closed by "--", underscores, capitals,
// trailing commas, INTEGER(..) without a blank, 'H and 'B numbers, an AGENT-CAPABILITIES body.
constexpr std::string_view kVendor =
    "VENDOR-MIB DEFINITIONS ::= BEGIN\r\n"
    "-- no IMPORTS at all --\r\n"
    "-- ends here -- vendorRoot\tOBJECT IDENTIFIER ::= { enterprises 99997 } -- closed -- \r\n"
    "Vendor_Objects OBJECT IDENTIFIER ::= { vendorRoot 1 }\r\n"
    "vendor_mode OBJECT-TYPE\r\n"
    "\tSYNTAX INTEGER { on(1), off(2), }\r\n"
    "\tACCESS read-write\r\n\tSTATUS mandatory\r\n"
    "\t::= { Vendor_Objects 1 }\r\n"
    "vendorSpan OBJECT-TYPE SYNTAX INTEGER(0..MAX) MAX-ACCESS read-only STATUS current\r\n"
    "\tDESCRIPTION \"Span.\" ::= { Vendor_Objects 2 }\r\n"
    "vendorMask OBJECT-TYPE SYNTAX INTEGER ('00'H..'FF'H | '1010'B) MAX-ACCESS read-only\r\n"
    "\tSTATUS current DESCRIPTION \"Mask.\" ::= { Vendor_Objects 3 }\r\n"
    "vendorTemp OBJECT-TYPE SYNTAX Integer32 (-40..125) UNITS \"C\" MAX-ACCESS read-only\r\n"
    "\tSTATUS current DESCRIPTION \"Temperature.\" ::= { Vendor_Objects 4 }\r\n"
    "vendorName OBJECT-TYPE SYNTAX DisplayString MAX-ACCESS read-only\r\n"
    "\tSTATUS current DESCRIPTION \"Name.\" ::= { Vendor_Objects 5 }\r\n"
    "vendorCaps AGENT-CAPABILITIES\r\n"
    "\tPRODUCT-RELEASE \"1.0\" STATUS current DESCRIPTION \"Caps.\"\r\n"
    "\tSUPPORTS IF-MIB INCLUDES { ifGeneralGroup }\r\n"
    "\tVARIATION ifAdminStatus SYNTAX INTEGER { up(1) } DESCRIPTION \"Up only.\"\r\n"
    "\t::= { vendorRoot 9 }\r\n"
    "END\r\n";

// A module whose file is named otherwise, importing from the wrong module.
constexpr std::string_view kImporter = R"(
KIVO-USER-MIB DEFINITIONS ::= BEGIN
IMPORTS OBJECT-TYPE FROM SNMPv2-SMI
        kivoObjects, DisplayString FROM KIVO-TEST-MIB;
kivoUser OBJECT-TYPE SYNTAX DisplayString MAX-ACCESS read-only STATUS current
    DESCRIPTION "User." ::= { kivoObjects 99 }
END
)";

struct Expected {
  std::string_view label;  // "MODULE::label"
  std::string_view node;   // as Describe writes it
};

struct SnippetCase {
  std::string_view name;
  std::vector<std::pair<std::string_view, std::string_view>> files;  // name, text; first loaded
  std::vector<Expected> nodes;
  std::vector<std::string_view> diagnostics;  // each a part of some diagnostic's text
};

const std::vector<SnippetCase>& SnippetCases() {
  static const std::vector<SnippetCase> cases = {
      {"SmiV2",
       {{"kivo-test.mib", kSmiV2}},
       {
           {"KIVO-TEST-MIB::kivoTest", "1.3.6.1.4.1.99999 module-identity"},
           {"KIVO-TEST-MIB::kivoObjects", "1.3.6.1.4.1.99999.1 object-identity"},
           {"KIVO-TEST-MIB::kivoState",
            "1.3.6.1.4.1.99999.1.1 object-type INTEGER/integer enums=up(1),down(2),testing(3) "
            "access=read-write"},
           {"KIVO-TEST-MIB::kivoCount",
            "1.3.6.1.4.1.99999.1.2 object-type Counter32/counter32 access=read-only "
            "units=packets"},
           {"KIVO-TEST-MIB::kivoGauge",
            "1.3.6.1.4.1.99999.1.3 object-type Gauge32/gauge32 ranges=0..100 access=read-only"},
           {"KIVO-TEST-MIB::kivoBig",
            "1.3.6.1.4.1.99999.1.4 object-type Counter64/counter64 access=read-only"},
           {"KIVO-TEST-MIB::kivoTicks",
            "1.3.6.1.4.1.99999.1.5 object-type TimeTicks/timeticks access=read-only"},
           {"KIVO-TEST-MIB::kivoAddress",
            "1.3.6.1.4.1.99999.1.6 object-type IpAddress/ipaddress access=read-only"},
           {"KIVO-TEST-MIB::kivoOpaque",
            "1.3.6.1.4.1.99999.1.7 object-type Opaque/opaque access=read-only"},
           {"KIVO-TEST-MIB::kivoFlags",
            "1.3.6.1.4.1.99999.1.8 object-type BITS/bits enums=a(0),b(1),c(7) access=read-only"},
           {"KIVO-TEST-MIB::kivoId",
            "1.3.6.1.4.1.99999.1.9 object-type OBJECT IDENTIFIER/oid access=read-only"},
           {"KIVO-TEST-MIB::kivoBytes",
            "1.3.6.1.4.1.99999.1.10 object-type OCTET STRING/octets sizes=0..255 "
            "access=read-only"},
           {"KIVO-TEST-MIB::kivoMixed",
            "1.3.6.1.4.1.99999.1.11 object-type Integer32/integer ranges=1..10|20|-5..-1 "
            "access=read-only"},
           {"KIVO-TEST-MIB::kivoSmall",
            "1.3.6.1.4.1.99999.1.12 object-type Unsigned32/unsigned32 ranges=0..4294967295 "
            "access=read-only"},
           {"KIVO-TEST-MIB::kivoName",
            "1.3.6.1.4.1.99999.1.13 object-type Label/octets tc=Label@KIVO-TEST-MIB,"
            "ShortName@KIVO-TEST-MIB'32a',DisplayString@SNMPv2-TC'255a' sizes=1..8 "
            "access=read-only"},
           {"KIVO-TEST-MIB::kivoLevel",
            "1.3.6.1.4.1.99999.1.14 object-type Level/integer tc=Level@KIVO-TEST-MIB "
            "enums=high(2) access=read-only"},
           {"KIVO-TEST-MIB::kivoTable",
            "1.3.6.1.4.1.99999.1.20 object-type SEQUENCE OF/sequence-of entry=KivoEntry "
            "access=not-accessible"},
           {"KIVO-TEST-MIB::kivoEntry",
            "1.3.6.1.4.1.99999.1.20.1 object-type KivoEntry/sequence tc=KivoEntry@KIVO-TEST-MIB "
            "access=not-accessible index=kivoIndex,*kivoKey"},
           {"KIVO-TEST-MIB::kivoStatus",
            "1.3.6.1.4.1.99999.1.20.1.3 object-type RowStatus/integer tc=RowStatus@SNMPv2-TC "
            "enums=active(1),notInService(2),notReady(3),createAndGo(4),createAndWait(5),"
            "destroy(6) access=read-create"},
           {"KIVO-TEST-MIB::kivoExtraEntry",
            "1.3.6.1.4.1.99999.1.20.2 object-type KivoEntry/sequence tc=KivoEntry@KIVO-TEST-MIB "
            "access=not-accessible index=kivoIndex,*kivoKey augments=kivoEntry"},
           {"KIVO-TEST-MIB::kivoEvent", "1.3.6.1.4.1.99999.0.1 notification"},
           {"KIVO-TEST-MIB::kivoGroup", "1.3.6.1.4.1.99999.2.1 group"},
           {"KIVO-TEST-MIB::kivoCompliance", "1.3.6.1.4.1.99999.2.2 compliance"},
       },
       {}},
      {"SmiV1",
       {{"kivo-v1.txt", kSmiV1}},
       {
           {"KIVO-V1-MIB::kivoV1", "1.3.6.1.4.1.99998 oid"},
           {"KIVO-V1-MIB::kivoDescr",
            "1.3.6.1.4.1.99998.1.1 object-type DisplayString/octets "
            "tc=DisplayString@KIVO-V1-MIB sizes=0..255 access=read-only"},
           {"KIVO-V1-MIB::kivoPeer",
            "1.3.6.1.4.1.99998.1.2 object-type NetworkAddress/ipaddress access=read-write"},
           {"KIVO-V1-MIB::kivoHits",
            "1.3.6.1.4.1.99998.1.3 object-type Counter/counter32 access=read-only"},
           {"KIVO-V1-MIB::kivoLoad",
            "1.3.6.1.4.1.99998.1.4 object-type Gauge/gauge32 access=read-only"},
           {"KIVO-V1-MIB::kivoWide",
            "1.3.6.1.4.1.99998.1.5 object-type Wide/counter32 tc=Wide@KIVO-V1-MIB "
            "ranges=0..4294967295 access=read-only"},
           {"KIVO-V1-MIB::kivoDown", "1.3.6.1.4.1.99998.0.3 notification"},
       },
       {}},
      {"VendorDialect",
       {{"vendor.my", kVendor}},
       {
           {"VENDOR-MIB::vendorRoot", "1.3.6.1.4.1.99997 oid"},
           {"VENDOR-MIB::vendor_mode",
            "1.3.6.1.4.1.99997.1.1 object-type INTEGER/integer enums=on(1),off(2) "
            "access=read-write"},
           {"VENDOR-MIB::vendorSpan",
            "1.3.6.1.4.1.99997.1.2 object-type INTEGER/integer ranges=0..9223372036854775807 "
            "access=read-only"},
           {"VENDOR-MIB::vendorMask",
            "1.3.6.1.4.1.99997.1.3 object-type INTEGER/integer ranges=0..255|10 "
            "access=read-only"},
           {"VENDOR-MIB::vendorTemp",
            "1.3.6.1.4.1.99997.1.4 object-type Integer32/integer ranges=-40..125 "
            "access=read-only units=C"},
           {"VENDOR-MIB::vendorName",
            "1.3.6.1.4.1.99997.1.5 object-type DisplayString/octets "
            "tc=DisplayString@SNMPv2-TC'255a' sizes=0..255 access=read-only"},
           {"VENDOR-MIB::vendorCaps", "1.3.6.1.4.1.99997.9 capabilities"},
       },
       {}},
      {"ImportsByNameFromTheWrongModule",
       {{"user.txt", kImporter}, {"test-module.my", kSmiV2}},
       {
           {"KIVO-USER-MIB::kivoUser",
            "1.3.6.1.4.1.99999.1.99 object-type DisplayString/octets "
            "tc=DisplayString@SNMPv2-TC'255a' sizes=0..255 access=read-only"},
           {"KIVO-TEST-MIB::kivoState",
            "1.3.6.1.4.1.99999.1.1 object-type INTEGER/integer enums=up(1),down(2),testing(3) "
            "access=read-write"},
       },
       {"user.txt:4: KIVO-USER-MIB imports DisplayString from KIVO-TEST-MIB, which does not "
        "define it; the one of SNMPv2-TC is used"}},
  };
  return cases;
}

void PrintTo(const SnippetCase& c, std::ostream* out) {
  *out << c.name;
}

class MibSnippetTest : public ::testing::TestWithParam<SnippetCase> {};

TEST_P(MibSnippetTest, ReadsTheNodesExpected) {
  const SnippetCase& c = GetParam();
  ScratchFolder folder;
  std::vector<std::string> paths;
  for (const auto& [name, text] : c.files) paths.push_back(folder.Write(name, text));
  MibLibrary library;
  library.SetSearchPath({folder.path()});
  const LoadResult result = library.Load(paths.front());
  std::string all;
  for (const Diagnostic& d : result.diagnostics) all += d.Text() + "\n";
  SCOPED_TRACE(all);
  EXPECT_FALSE(result.module.empty());
  for (const Expected& expected : c.nodes) {
    const std::string label(expected.label);
    const std::size_t colons = label.find("::");
    const MibNode* node = library.FindLabel(label.substr(colons + 2), label.substr(0, colons));
    ASSERT_NE(node, nullptr) << label;
    EXPECT_EQ(Describe(*node), expected.node) << label;
    EXPECT_EQ(library.FindNode(node->oid), node) << label;
    EXPECT_EQ(library.Resolve(label), node->oid) << label;
  }
  for (const std::string_view part : c.diagnostics) {
    const bool found = all.find(part) != std::string::npos;
    EXPECT_TRUE(found) << part;
  }
  for (std::size_t i = 1; i < result.added.size(); ++i)
    EXPECT_LE(result.added[i - 1]->oid, result.added[i]->oid);
  EXPECT_TRUE(library.Load(paths.front()).added.empty());
}

INSTANTIATE_TEST_SUITE_P(MibSnippets, MibSnippetTest, ::testing::ValuesIn(SnippetCases()),
                         [](const auto& test) { return std::string(test.param.name); });

std::string Module(std::string_view name, std::string_view body) {
  return std::string(name) + " DEFINITIONS ::= BEGIN\nIMPORTS enterprises FROM SNMPv2-SMI;\n" +
         std::string(body) + "\nEND\n";
}

std::string Repeat(std::string_view piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

struct BadCase {
  std::string_view name;
  std::function<std::vector<std::pair<std::string, std::string>>()> files;  // first loaded
  std::string_view diagnostic;  // "FILE:LINE: part of the message", FILE the first's name
  std::string_view survivor;    // a label that still loads; empty for none
};

const std::vector<BadCase>& BadCases() {
  using Files = std::vector<std::pair<std::string, std::string>>;
  static const std::vector<BadCase> cases = {
      {"HugeDescription",
       [] {
         return Files{
             {"big.mib", Module("BIG-MIB",
                                "big OBJECT-IDENTITY STATUS current "
                                "DESCRIPTION \"" +
                                    Repeat("0123456789", 1 << 20) + "\" ::= { enterprises 1 }")}};
       },
       "", "big"},
      {"DeepBraces",
       [] {
         return Files{{"deep.mib", Module("DEEP-MIB", "x OBJECT-TYPE SYNTAX INTEGER DEFVAL " +
                                                          Repeat("{", 10000) + Repeat("}", 10000) +
                                                          " ::= { enterprises 2 }")}};
       },
       "deep.mib:3: nesting deeper than", "x"},
      {"DeepParentheses",
       [] {
         return Files{
             {"deep.mib", Module("DEEP-MIB", "y OBJECT-TYPE SYNTAX INTEGER " + Repeat("(", 10000) +
                                                 Repeat(")", 10000) + " ::= { enterprises 3 }")}};
       },
       "deep.mib:3: nesting deeper than", "y"},
      {"UnclosedBraces",
       [] {
         return Files{
             {"open.mib", Module("OPEN-MIB", "z OBJECT-TYPE DEFVAL " + Repeat("{", 10000))}};
       },
       "open.mib:3: ", ""},
      {"ImportCycle",
       [] {
         return Files{{"a.mib",
                       "A-MIB DEFINITIONS ::= BEGIN\nIMPORTS b FROM B-MIB;\n"
                       "a OBJECT IDENTIFIER ::= { b 1 }\nEND\n"},
                      {"b.mib",
                       "B-MIB DEFINITIONS ::= BEGIN\nIMPORTS a FROM A-MIB;\n"
                       "b OBJECT IDENTIFIER ::= { iso 9 }\nc OBJECT IDENTIFIER ::= { a 1 }\n"
                       "END\n"}};
       },
       "a.mib:1: A-MIB's IMPORTS lead back to itself", "a"},
      {"OidCycle",
       [] {
         return Files{{"cycle.mib", Module("CYCLE-MIB",
                                           "a OBJECT IDENTIFIER ::= { b 1 }\n"
                                           "b OBJECT IDENTIFIER ::= { a 1 }\n"
                                           "c OBJECT IDENTIFIER ::= { enterprises 4 }")}};
       },
       "cycle.mib:3: the OID of a depends on itself", "c"},
      {"LongOidChain",
       [] {
         // Last to first, so that resolving the first goes down the whole chain.
         std::string body;
         for (int i = 1000; i >= 1; --i) {
           body.append("n").append(std::to_string(i)).append(" OBJECT IDENTIFIER ::= { n");
           body.append(std::to_string(i - 1)).append(" 1 }\n");
         }
         body += "n0 OBJECT IDENTIFIER ::= { enterprises 5 }\n";
         return Files{{"chain.mib", Module("CHAIN-MIB", body)}};
       },
       "goes through more than 200 labels", "n100"},
      {"TypeCycle",
       [] {
         return Files{{"types.mib", Module("TYPES-MIB",
                                           "A ::= B\nB ::= A\n"
                                           "t OBJECT-TYPE SYNTAX A ACCESS read-only "
                                           "STATUS mandatory ::= { enterprises 6 }")}};
       },
       "types.mib:5: the type A goes through more than", "t"},
      {"DefinedTwice",
       [] {
         return Files{{"twice.mib", Module("TWICE-MIB",
                                           "d OBJECT IDENTIFIER ::= { enterprises 7 }\n"
                                           "d OBJECT IDENTIFIER ::= { enterprises 8 }")}};
       },
       "twice.mib:4: d is defined twice", "d"},
      {"MissingImport",
       [] {
         return Files{{"miss.mib",
                       "MISS-MIB DEFINITIONS ::= BEGIN\nIMPORTS\n  foo FROM FOO-MIB;\n"
                       "m OBJECT IDENTIFIER ::= { foo 1 }\n"
                       "k OBJECT IDENTIFIER ::= { iso 10 }\nEND\n"}};
       },
       "miss.mib:3: MISS-MIB imports from FOO-MIB, which is not in the search path", "k"},
      {"BinaryGarbage",
       [] {
         std::string bytes;
         for (int i = 0; i < 5000; ++i) bytes += static_cast<char>((i * 131 + 7) % 256);
         return Files{{"garbage.bin", bytes}};
       },
       "garbage.bin:1: ", ""},
      {"UnterminatedString",
       [] {
         return Files{{"string.mib", std::string(1, '"').append(Repeat("never closed\n", 100))}};
       },
       "string.mib:1: a string that never ends", ""},
      {"NoBegin",
       [] {
         return Files{{"nobegin.mib", "NOBEGIN-MIB DEFINITIONS ::= x OBJECT IDENTIFIER"}};
       },
       "nobegin.mib:1: module NOBEGIN-MIB has no BEGIN", ""},
      {"OidArcTooLarge",
       [] {
         return Files{{"arc.mib", Module("ARC-MIB",
                                         "e OBJECT IDENTIFIER ::= { enterprises 4294967296 }\n"
                                         "f OBJECT IDENTIFIER ::= { enterprises 9 }")}};
       },
       "arc.mib:3: an OID component that is not a number", "f"},
  };
  return cases;
}

void PrintTo(const BadCase& c, std::ostream* out) {
  *out << c.name;
}

class MibBadInputTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(MibBadInputTest, DiagnosesWithFileAndLine) {
  const BadCase& c = GetParam();
  ScratchFolder folder;
  std::vector<std::string> paths;
  for (const auto& [name, text] : c.files()) paths.push_back(folder.Write(name, text));
  MibLibrary library;
  library.SetSearchPath({folder.path()});
  const LoadResult result = library.Load(paths.front());
  const std::string where = folder.path() + "/";
  std::string all;
  for (const Diagnostic& d : result.diagnostics) {
    std::string text = d.Text();
    if (text.rfind(where, 0) == 0) text.erase(0, where.size());
    all += text + "\n";
  }
  EXPECT_NE(all.find(c.diagnostic), std::string::npos) << all;
  if (c.survivor.empty()) {
    EXPECT_TRUE(result.added.empty());
  } else {
    EXPECT_NE(library.FindLabel(c.survivor), nullptr) << all;
  }
}

INSTANTIATE_TEST_SUITE_P(MibBadInputs, MibBadInputTest, ::testing::ValuesIn(BadCases()),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(MibLibraryTest, BuiltInModulesAndLookups) {
  MibLibrary library;
  for (const char* name :
       {"SNMPv2-SMI", "SNMPv2-TC", "SNMPv2-CONF", "RFC1155-SMI", "RFC-1212", "RFC-1215"})
    EXPECT_TRUE(library.IsLoaded(name)) << name;
  EXPECT_EQ(library.Resolve("SNMPv2-SMI::mib-2.2.2.1"), (Oid{1, 3, 6, 1, 2, 1, 2, 2, 1}));
  EXPECT_EQ(library.Resolve("enterprises.9"), (Oid{1, 3, 6, 1, 4, 1, 9}));
  EXPECT_EQ(library.Resolve(".1.3.6"), (Oid{1, 3, 6}));
  EXPECT_EQ(library.Resolve("1.3.6"), (Oid{1, 3, 6}));
  EXPECT_EQ(library.Resolve("zeroDotZero"), (Oid{0, 0}));
  for (const char* bad : {"", ".", "1..3", "1.3.x", "noSuchLabel", "SNMPv2-TC::iso",
                          "1.99999999999", "enterprises.", "enterprises.x"})
    EXPECT_EQ(library.Resolve(bad), std::nullopt) << bad;
  const MibNode* node = library.FindPrefix(Oid{1, 3, 6, 1, 4, 1, 9, 9});
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->label, "enterprises");
  EXPECT_EQ(library.FindNode(Oid{1, 3, 6, 1, 4, 1, 9}), nullptr);

  MibLibrary loaded;
  const LoadResult text = loaded.LoadText(kSmiV2, "memory.mib");
  EXPECT_EQ(text.module, "KIVO-TEST-MIB");
  EXPECT_EQ(loaded.Resolve("kivoEntry.3.1"), (Oid{1, 3, 6, 1, 4, 1, 99999, 1, 20, 1, 3, 1}));
  EXPECT_EQ(loaded.Nodes().front()->oid, (Oid{0, 0}));
  EXPECT_TRUE(loaded.LoadText(kSmiV2, "again.mib").added.empty());
  EXPECT_EQ(loaded.Load("NO-SUCH-MIB").module, "");
  EXPECT_EQ(loaded.Load("/no/such/file.mib").diagnostics.at(0).Text(),
            "/no/such/file.mib: no such file");
  EXPECT_EQ((Diagnostic{"", 0, "alone"}).Text(), "alone");
}

TEST(MibLibraryTest, LoadsByNameFromANonAsciiFolderAndLoadAll) {
  ScratchFolder folder;
  const std::string sub = folder.path() +
                          "/m\xC3\xBC"
                          "dule";
  std::filesystem::create_directories(std::filesystem::path(std::u8string(sub.begin(), sub.end())));
  std::ofstream(std::filesystem::path(std::u8string(sub.begin(), sub.end())) / "kivo.txt")
      << kSmiV2;
  std::ofstream(std::filesystem::path(std::u8string(sub.begin(), sub.end())) / "v1.dat") << kSmiV1;
  std::ofstream(std::filesystem::path(std::u8string(sub.begin(), sub.end())) / "notes.txt")
      << "no module here";
  MibLibrary library;
  library.SetSearchPath({sub});
  const LoadResult one = library.Load("KIVO-TEST-MIB");
  EXPECT_EQ(one.module, "KIVO-TEST-MIB");
  EXPECT_GT(one.added.size(), 20u);
  const LoadResult all = library.LoadAll();
  EXPECT_TRUE(all.diagnostics.empty()) << all.diagnostics.at(0).Text();
  EXPECT_NE(library.FindLabel("kivoDown", "KIVO-V1-MIB"), nullptr);
  EXPECT_TRUE(library.LoadAll().added.empty());
}

}  // namespace
}  // namespace kivostrel::mib
