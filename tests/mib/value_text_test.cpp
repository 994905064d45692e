#include "mib/value_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace kivostrel::mib {
namespace {

// --- the objects of fixtures/KIVOSTREL-FORMAT-TEST-MIB.txt, as the module reader gives them ---

constexpr char kModule[] = "KIVOSTREL-FORMAT-TEST-MIB";
const Oid kScalars = {1, 3, 6, 1, 4, 1, 99999, 7, 1};
const Oid kTables = {1, 3, 6, 1, 4, 1, 99999, 7, 2};

struct ObjectDef {
  const char* label;
  std::uint32_t table;  // 0: a scalar
  std::uint32_t arc;    // under ftScalars, or the column of the table's entry
  BaseType base;
  const char* hint;
  const char* units;
  std::vector<NamedNumber> names;
  std::vector<Range> ranges;
  std::vector<Range> sizes;
};

const std::vector<ObjectDef>& ObjectDefs() {
  using B = BaseType;
  static const std::vector<ObjectDef> defs = {
      {"ftEnum",
       0,
       1,
       B::kInteger,
       "",
       "",
       {{"up", 1}, {"down", 2}, {"testing", 3}, {"minus", -1}},
       {},
       {}},
      {"ftBits",
       0,
       2,
       B::kBits,
       "",
       "",
       {{"zero", 0}, {"one", 1}, {"two", 2}, {"seven", 7}, {"eight", 8}, {"fifteen", 15}},
       {},
       {}},
      {"ftLink", 0, 3, B::kOctetString, "1x:", "", {}, {}, {}},
      {"ftEthernet", 0, 4, B::kOctetString, "1x:", "", {}, {}, {{6, 6}}},
      {"ftStamp",
       0,
       5,
       B::kOctetString,
       "2d-1d-1d,1d:1d:1d.1d,1a1d:1d",
       "",
       {},
       {},
       {{8, 8}, {11, 11}}},
      {"ftText", 0, 6, B::kOctetString, "255a", "", {}, {}, {{0, 255}}},
      {"ftHundredths", 0, 7, B::kInteger, "d-2", "", {}, {}, {}},
      {"ftHex", 0, 8, B::kInteger, "x", "", {}, {}, {}},
      {"ftOctalNumber", 0, 9, B::kInteger, "o", "", {}, {}, {}},
      {"ftBinary", 0, 10, B::kInteger, "b", "", {}, {}, {}},
      {"ftSeconds", 0, 11, B::kInteger, "", "seconds", {}, {}, {}},
      {"ftOctets", 0, 12, B::kGauge32, "", "octets", {}, {}, {}},
      {"ftTicks", 0, 13, B::kTimeTicks, "", "", {}, {}, {}},
      {"ftDotted", 0, 14, B::kOctetString, "1d.1d.1d.1d", "", {}, {}, {{4, 4}}},
      {"ftDots", 0, 15, B::kOctetString, "1d.", "", {}, {}, {}},
      {"ftWords", 0, 16, B::kOctetString, "2x:", "", {}, {}, {}},
      {"ftCounted", 0, 17, B::kOctetString, "*1x:/1a", "", {}, {}, {}},
      {"ftOctal", 0, 18, B::kOctetString, "1o 1d", "", {}, {}, {}},
      {"ftUtf8", 0, 19, B::kOctetString, "255t", "", {}, {}, {{0, 255}}},
      {"ftPlainText", 0, 20, B::kOctetString, "", "", {}, {}, {}},
      {"ftPlainNumber", 0, 21, B::kInteger, "", "", {}, {}, {}},
      {"ftDecimal", 0, 22, B::kUnsigned32, "d", "", {}, {}, {}},
      {"ftThousandths", 0, 23, B::kGauge32, "d-3", "volts", {}, {}, {}},
      {"ftState", 0, 24, B::kInteger, "", "", {{"on", 1}, {"off", 2}}, {}, {}},
      {"ftBig", 0, 25, B::kCounter64, "", "packets", {}, {}, {}},
      {"ftTicksUnits", 0, 26, B::kTimeTicks, "", "hundredths", {}, {}, {}},
      {"ftEnumUnits", 0, 27, B::kInteger, "", "steps", {{"low", 1}, {"high", 2}}, {}, {}},
      {"ftTextUnits", 0, 28, B::kOctetString, "255a", "names", {}, {}, {{0, 255}}},
      {"ftCount", 0, 29, B::kCounter32, "", "frames", {}, {}, {}},
      {"ftHexRun", 0, 30, B::kOctetString, "1x", "", {}, {}, {}},
      {"ftCentis", 0, 31, B::kCounter32, "d-2", "", {}, {}, {}},
      {"ftBigCentis", 0, 32, B::kCounter64, "d-2", "", {}, {}, {}},
      {"ftTickHint", 0, 33, B::kTimeTicks, "d-2", "", {}, {}, {}},
      {"ftBitsUnits", 0, 34, B::kBits, "", "flags", {{"zero", 0}, {"one", 1}}, {}, {}},
      {"ftPlainUnits", 0, 35, B::kOctetString, "", "bytes", {}, {}, {}},
      {"ftAddrUnits", 0, 36, B::kIpAddress, "", "hosts", {}, {}, {}},
      {"ftOidUnits", 0, 37, B::kObjectIdentifier, "", "arcs", {}, {}, {}},
      {"ftHexThenDecimal", 0, 38, B::kOctetString, "1x1d", "", {}, {}, {}},
      {"ftDecimalThenHex", 0, 39, B::kOctetString, "1d1x", "", {}, {}, {}},
      {"ftIntIndex", 1, 1, B::kInteger, "", "", {}, {{1, 2147483647}}, {}},
      {"ftIntValue", 1, 2, B::kInteger, "", "", {}, {}, {}},
      {"ftAddrIfIndex", 2, 1, B::kInteger, "", "", {}, {{1, 2147483647}}, {}},
      {"ftAddrAddress", 2, 2, B::kIpAddress, "", "", {}, {}, {}},
      {"ftAddrLink", 2, 3, B::kOctetString, "1x:", "", {}, {}, {}},
      {"ftNameIndex", 3, 1, B::kOctetString, "255a", "", {}, {}, {{0, 32}}},
      {"ftNameValue", 3, 2, B::kInteger, "", "", {}, {}, {}},
      {"ftEtherIndex", 4, 1, B::kOctetString, "1x:", "", {}, {}, {{6, 6}}},
      {"ftEtherValue", 4, 2, B::kInteger, "", "", {}, {}, {}},
      {"ftImpliedNumber", 5, 1, B::kInteger, "", "", {}, {{0, 65535}}, {}},
      {"ftImpliedName", 5, 2, B::kOctetString, "255a", "", {}, {}, {{1, 32}}},
      {"ftImpliedValue", 5, 3, B::kInteger, "", "", {}, {}, {}},
      {"ftOidIndex", 6, 1, B::kObjectIdentifier, "", "", {}, {}, {}},
      {"ftOidValue", 6, 2, B::kInteger, "", "", {}, {}, {}},
      {"ftStateIndex", 7, 1, B::kInteger, "", "", {{"alpha", 1}, {"beta", 2}}, {}, {}},
      {"ftStateValue", 7, 2, B::kInteger, "", "", {}, {}, {}},
      {"ftExtraValue", 8, 1, B::kInteger, "", "", {}, {}, {}},
      {"ftPairOctets", 9, 1, B::kOctetString, "", "", {}, {}, {{0, 16}}},
      {"ftPairOid", 9, 2, B::kObjectIdentifier, "", "", {}, {}, {}},
      {"ftPairValue", 9, 3, B::kInteger, "", "", {}, {}, {}},
      {"ftTagOctets", 10, 1, B::kOctetString, "", "", {}, {}, {{0, 16}}},
      {"ftTagValue", 10, 2, B::kInteger, "", "", {}, {}, {}},
  };
  return defs;
}

struct EntryDef {
  const char* label;
  std::uint32_t table;
  std::vector<IndexPart> index;
  const char* augments;
};

const std::vector<EntryDef>& EntryDefs() {
  static const std::vector<EntryDef> defs = {
      {"ftIntEntry", 1, {{"ftIntIndex", false}}, ""},
      {"ftAddrEntry", 2, {{"ftAddrIfIndex", false}, {"ftAddrAddress", false}}, ""},
      {"ftNameEntry", 3, {{"ftNameIndex", false}}, ""},
      {"ftEtherEntry", 4, {{"ftEtherIndex", false}}, ""},
      {"ftImpliedEntry", 5, {{"ftImpliedNumber", false}, {"ftImpliedName", true}}, ""},
      {"ftOidEntry", 6, {{"ftOidIndex", false}}, ""},
      {"ftStateEntry", 7, {{"ftStateIndex", false}}, ""},
      // AUGMENTS { ftIntEntry }: the library gives it ftIntEntry's INDEX.
      {"ftExtraEntry", 8, {{"ftIntIndex", false}}, "ftIntEntry"},
      {"ftPairEntry", 9, {{"ftPairOctets", false}, {"ftPairOid", true}}, ""},
      {"ftTagEntry", 10, {{"ftTagOctets", false}}, ""},
  };
  return defs;
}

class FormatModule {
 public:
  FormatModule() {
    for (const ObjectDef& def : ObjectDefs()) {
      MibNode node;
      node.label = def.label;
      node.module = kModule;
      node.kind = NodeKind::kObjectType;
      node.oid = def.table == 0 ? kScalars : kTables;
      if (def.table != 0) node.oid.insert(node.oid.end(), {def.table, 1});
      node.oid.push_back(def.arc);
      node.syntax.base = def.base;
      if (*def.hint != '\0') node.syntax.conventions.push_back({"FtConvention", kModule, def.hint});
      node.syntax.named_numbers = def.names;
      node.syntax.ranges = def.ranges;
      node.syntax.sizes = def.sizes;
      node.units = def.units;
      nodes_.emplace(node.label, std::move(node));
    }
    for (const EntryDef& def : EntryDefs()) {
      MibNode node;
      node.label = def.label;
      node.module = kModule;
      node.kind = NodeKind::kObjectType;
      node.oid = kTables;
      node.oid.insert(node.oid.end(), {def.table, 1});
      node.syntax.base = BaseType::kSequence;
      node.index = def.index;
      node.augments = def.augments;
      nodes_.emplace(node.label, std::move(node));
    }
  }

  const MibNode* Find(std::string_view label, std::string_view module) const {
    if (module != kModule) return nullptr;
    const auto found = nodes_.find(std::string(label));
    return found == nodes_.end() ? nullptr : &found->second;
  }
  const MibNode& Get(std::string_view label) const {
    const MibNode* node = Find(label, kModule);
    if (node == nullptr) throw std::runtime_error("no object " + std::string(label));
    return *node;
  }
  // The entry a column belongs to: the node one arc up.
  const MibNode& EntryOf(const MibNode& column) const {
    for (const auto& [label, node] : nodes_) {
      if (node.oid.size() + 1 == column.oid.size() &&
          std::equal(node.oid.begin(), node.oid.end(), column.oid.begin())) {
        return node;
      }
    }
    throw std::runtime_error("no entry for " + column.label);
  }
  FindLabelFn Finder() const {
    return [this](std::string_view label, std::string_view module) { return Find(label, module); };
  }

  std::optional<std::string> Name(std::string_view label, const Oid& suffix) const {
    const MibNode& column = Get(label);
    Oid oid = column.oid;
    oid.insert(oid.end(), suffix.begin(), suffix.end());
    return IndexedName(column, EntryOf(column), oid, Finder());
  }

 private:
  std::map<std::string, MibNode, std::less<>> nodes_;
};

const FormatModule& Module() {
  static const FormatModule module;
  return module;
}

Bytes Hex(std::string_view hex) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

std::string TextOf(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// --- the table Net-SNMP's snmpget is held to as well (format_oracle.py) ------------------------

struct TableRow {
  int line = 0;
  std::string kind, label, suffix, type, value, text;
};

std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char kind = text[++i];
    if (kind == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += kind == 'n' ? '\n' : kind == 't' ? '\t' : kind;
    }
  }
  return out;
}

std::vector<TableRow> ReadTable() {
  const auto path =
      std::filesystem::path(__FILE__).parent_path() / "fixtures" / "format_expected.txt";
  std::ifstream file(path);
  std::vector<TableRow> rows;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    if (fields.size() != 6) throw std::runtime_error("bad table line " + std::to_string(number));
    rows.push_back(
        {number, fields[0], fields[1], fields[2], fields[3], fields[4], Unescape(fields[5])});
  }
  return rows;
}

Oid Arcs(const std::string& dotted) {
  Oid arcs;
  std::istringstream in(dotted);
  for (std::string arc; std::getline(in, arc, '.');) arcs.push_back(std::stoul(arc));
  return arcs;
}

// Each form a binding's value may take for the row's value: a decoded 32-bit number (the
// unsigned types wrapped, as the decoder gives them) and a host's double; text and bytes.
std::vector<Variant> VariantsOf(const TableRow& row) {
  if (row.type == "x") return {TextOf(Hex(row.value)), Hex(row.value)};
  if (row.type == "a") return {row.value};
  if (row.type == "C") return {std::uint64_t{std::stoull(row.value)}};
  const long long number = std::stoll(row.value);
  return {static_cast<std::int32_t>(static_cast<std::uint32_t>(number)),
          static_cast<double>(number)};
}

TEST(MibValueTable, MatchesTheTableNetSnmpIsCheckedAgainst) {
  const auto rows = ReadTable();
  ASSERT_GT(rows.size(), 100u);
  for (const TableRow& row : rows) {
    SCOPED_TRACE("format_expected.txt:" + std::to_string(row.line) + " " + row.label);
    if (row.kind == "index") {
      EXPECT_EQ(Module().Name(row.label, Arcs(row.suffix)), row.text);
      continue;
    }
    ASSERT_TRUE(row.kind == "value" || row.kind == "plain") << row.kind;
    for (const Variant& value : VariantsOf(row)) {
      const auto text = FormatValue(Module().Get(row.label), value);
      if (row.kind == "value") {
        EXPECT_EQ(text, row.text);
      } else {
        EXPECT_EQ(text, std::nullopt);
      }
    }
  }
}

// --- FormatOctets -------------------------------------------------------------------------------

struct OctetCase {
  const char* hint;
  const char* hex;
  std::optional<std::string> text;
};

TEST(MibValueOctets, HintsAsNetSnmpAppliesThem) {
  const OctetCase cases[] = {
      {"255a", "616263", "abc"},
      {"255a", "", ""},
      {"1a", "616263", "abc"},  // the last step repeats
      {"2a-", "6162636465", "ab-cd-e"},
      {"1x:", "000aff", "0:a:ff"},
      {"1x", "0a0b", "0a0b"},  // digits run together are padded
      {"1x-", "0a", "a"},      // no separator after the last octet
      {"1d.1d.1d.1d", "c0a80001", "192.168.0.1"},
      {"1d.1d.1d.1d", "c0a8000102", "192.168.0.12"},
      {"2d-1d-1d,1d:1d:1d.1d,1a1d:1d", "07e8010f0d1e0f05", "2024-1-15,13:30:15.5"},
      {"2d-1d-1d,1d:1d:1d.1d,1a1d:1d", "07e8010f0d1e0f052b0500", "2024-1-15,13:30:15.5,+5:0"},
      {"2d-1d-1d,1d:1d:1d.1d,1a1d:1d", "07e8", "2024"},
      {"2x:", "0001ab", "1:ab00"},  // a short last number: its missing octets are zeros
      {"4d", "ff", "4278190080"},   // ff000000
      {"8d", "ffffffffffffffff", "-1"},
      {"8x", "ffffffffffffffff", "ffffffffffffffff"},
      {"9x", "0102030405060708ff", "2030405060708ff"},  // wider than 64 bits: the low 64
      {"255x", "01", "0"},                              // 01 then 254 zero octets
      {"1o", "08", "10"},
      {"*1x:/1a", "030a0b0c414243", "a:b:c:/ABC"},
      {"*1x:/1a", "00414243", "/ABC"},
      {"*1x:/1a", "ff0a", "a"},  // a count beyond the octets
      {"*1d", "03", ""},         // only the count
      {"1d1x", "0a0b0c", "100b0c"},
      {"1x1d", "0a0b0c", "a1112"},  // padded only in the last step
      {"x", "0a0b", "0a0b"},        // no length: one octet, as Net-SNMP reads it
      {"0d.", "0102", "1.2"},
      {"1t", "c3a9", "\xc3\xa9"},
      {"1d ", "", ""},
      // Unreadable hints.
      {"", "01", std::nullopt},
      {"1", "01", std::nullopt},
      {"1q", "01", std::nullopt},
      {"*", "01", std::nullopt},
      {"1d:1", "01", std::nullopt},
      {"99999999999d", "01", std::nullopt},
      {"65536a", "01", std::nullopt},
      {"1x:1y", "", std::nullopt},
  };
  for (const OctetCase& c : cases) {
    SCOPED_TRACE(std::string(c.hint) + " on " + c.hex);
    EXPECT_EQ(FormatOctets(c.hint, Hex(c.hex)), c.text);
  }
}

// Every prefix of every value under every hint, each in a buffer of exactly its size (ASan
// catches a read past the end); the text stays bounded by the octets.
TEST(MibValueOctets, NeverReadsPastTheOctets) {
  const char* hints[] = {"255a",    "1x:",     "2d-1d-1d,1d:1d:1d.1d,1a1d:1d",
                         "*1x:/1a", "*2d*3x",  "4d.",
                         "8x",      "65535o",  "1t",
                         "*255a",   "2x:*1d/", "1d1d1d1d1d1d1d1d"};
  const Bytes data = Hex("ff07e8010f0d1e0f052b0500ff00fe8001020304050607080910");
  for (const char* hint : hints) {
    for (std::size_t size = 0; size <= data.size(); ++size) {
      const auto octets = std::make_unique<std::uint8_t[]>(size == 0 ? 1 : size);
      std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size), octets.get());
      const auto text = FormatOctets(hint, {octets.get(), size});
      ASSERT_TRUE(text.has_value()) << hint;
      EXPECT_LE(text->size(), 32 * size + 8) << hint;
    }
  }
}

TEST(MibValueOctets, LargeValuesAreWrittenWhole) {
  const Bytes octets(65535, 0xAB);
  const auto text = FormatOctets("1x:", octets);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->size(), 65535u * 3 - 1);
  const auto counted = FormatOctets("*1x", octets);  // repeat 171 from the first octet
  ASSERT_TRUE(counted.has_value());
}

// --- FormatInteger -----------------------------------------------------------------------------

struct IntegerCase {
  const char* hint;
  std::int64_t value;
  std::optional<std::string> text;
};

TEST(MibValueInteger, HintsAsNetSnmpAppliesThem) {
  const IntegerCase cases[] = {
      {"d", 0, "0"},
      {"d", -42, "-42"},
      {"d-0", 42, "42"},
      {"d-2", 1234, "12.34"},
      {"d-2", 12, ".12"},
      {"d-2", 5, ".05"},
      {"d-2", -5, "-.05"},
      {"d-2", 0, ".00"},
      {"d-2", 100, "1.00"},
      {"d-2", -1234, "-12.34"},
      {"d-3", 4294967295, "4294967.295"},
      {"d-1", std::numeric_limits<std::int64_t>::min(), "-922337203685477580.8"},
      {"d-10", 7, ".0000000007"},
      {"d-255", 1, "." + std::string(254, '0') + "1"},
      {"x", 255, "ff"},
      {"x", 0, "0"},
      {"x", -1, "ffffffffffffffff"},
      {"o", 8, "10"},
      {"o", -8, "1777777777777777777770"},
      {"b", 5, "00000000000000000000000000000101"},
      {"b", 0, "00000000000000000000000000000000"},
      {"b", -5, "11111111111111111111111111111011"},
      {"b", 4294967295, "11111111111111111111111111111111"},
      {"b", 8589934592, "1000000000000000000000000000000000"},
      // Unreadable hints.
      {"", 1, std::nullopt},
      {"d-", 1, std::nullopt},
      {"d-x", 1, std::nullopt},
      {"d2", 1, std::nullopt},
      {"d-256", 1, std::nullopt},
      {"x-2", 1, std::nullopt},
      {"a", 1, std::nullopt},
      {"255a", 1, std::nullopt},
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(std::string(c.hint) + " on " + std::to_string(c.value));
    EXPECT_EQ(FormatInteger(c.hint, c.value), c.text);
  }
}

// --- FormatValue beyond the table --------------------------------------------------------------

struct ValueCase {
  const char* label;
  Variant value;
  std::optional<std::string> text;
};

TEST(MibValueValue, EachKindOfValue) {
  const ValueCase cases[] = {
      // Values that do not fit the syntax: the caller's plain text.
      {"ftEnum", std::string("up"), std::nullopt},
      {"ftEnum", std::monostate{}, std::nullopt},
      {"ftEnum", 1.5, std::nullopt},
      {"ftEnum", std::uint64_t{2}, "down(2)"},
      {"ftEnum", std::uint64_t{1} << 63, std::nullopt},
      {"ftLink", std::int32_t{5}, std::nullopt},
      {"ftBits", std::int32_t{5}, std::nullopt},
      {"ftSeconds", std::string("5"), std::nullopt},
      {"ftOctets", -1.0, "4294967295 octets"},
      {"ftOctets", 4294967296.0, std::nullopt},
      {"ftBig", std::uint64_t{18446744073709551615u}, "18446744073709551615 packets"},
      {"ftBig", std::int32_t{7}, "7 packets"},
      {"ftBig", std::int32_t{-7}, std::nullopt},
      {"ftTicksUnits", std::int32_t{-1}, "(4294967295) 497 days, 2:27:52.95 hundredths"},
      // Text and bytes alike.
      {"ftText", std::string("a\nb"), "a\nb"},
      {"ftUtf8", Hex("ff41"),
       "\xff"
       "A"},
      {"ftPlainUnits", std::string("a\nb"), "\"a\nb\" bytes"},
      // An identifier with units: in numbers (Net-SNMP names the arcs it knows).
      {"ftOidUnits", std::string("1.3.6.1.4.1.99999.1"), "1.3.6.1.4.1.99999.1 arcs"},
      {"ftOidUnits", std::monostate{}, std::nullopt},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(FormatValue(Module().Get(c.label), c.value), c.text);
  }
}

TEST(MibValueValue, AnUnreadableHintLeavesThePlainValue) {
  MibNode object = Module().Get("ftLink");
  object.syntax.conventions = {{"Outer", kModule, ""}, {"Inner", kModule, "1q"}};
  EXPECT_EQ(FormatValue(object, Hex("0a")), std::nullopt);
  object.units = "bytes";
  EXPECT_EQ(FormatValue(object, Hex("0a")), "\"\n\" bytes");
  MibNode number = Module().Get("ftHundredths");
  number.syntax.conventions = {{"Bad", kModule, "d-"}};
  EXPECT_EQ(FormatValue(number, std::int32_t{5}), std::nullopt);
  // The first hint along the chain of conventions.
  number.syntax.conventions = {{"Outer", kModule, ""}, {"Inner", kModule, "x"}};
  EXPECT_EQ(FormatValue(number, std::int32_t{255}), "ff");
}

TEST(MibValueValue, SyntaxesWithoutAValueAddNothing) {
  MibNode object;
  for (const BaseType base : {BaseType::kNone, BaseType::kSequence, BaseType::kSequenceOf}) {
    object.syntax.base = base;
    object.units = "things";
    EXPECT_EQ(FormatValue(object, std::int32_t{1}), std::nullopt);
  }
}

// --- IndexedName beyond the table --------------------------------------------------------------

struct NameCase {
  const char* label;
  Oid suffix;
  std::optional<std::string> text;
};

TEST(MibValueIndex, SuffixesAndWhatDoesNotDecode) {
  const NameCase cases[] = {
      // Identifiers: in numbers, length-prefixed unless IMPLIED.
      {"ftOidValue", {4, 1, 3, 6, 1}, "ftOidValue[1.3.6.1]"},
      {"ftOidValue", {0}, "ftOidValue[]"},
      {"ftPairValue", {2, 97, 98, 1, 3, 6}, "ftPairValue[\"ab\"][1.3.6]"},
      {"ftPairValue", {0, 4294967295}, "ftPairValue[\"\"][4294967295]"},
      // An empty IMPLIED last index adds nothing, as in Net-SNMP's names.
      {"ftPairValue", {1, 97}, "ftPairValue[\"a\"]"},
      {"ftImpliedValue", {5}, "ftImpliedValue[5]"},
      {"ftStateValue", {4294967295}, "ftStateValue[4294967295]"},
      // Too short.
      {"ftIntValue", {}, std::nullopt},
      {"ftAddrLink", {2, 10, 0, 0}, std::nullopt},
      {"ftAddrLink", {2}, std::nullopt},
      {"ftNameValue", {3, 97, 98}, std::nullopt},
      {"ftNameValue", {4294967295, 97}, std::nullopt},
      {"ftEtherValue", {1, 2, 3}, std::nullopt},
      {"ftOidValue", {5, 1, 3}, std::nullopt},
      {"ftPairValue", {}, std::nullopt},
      // Left over.
      {"ftIntValue", {3, 4}, std::nullopt},
      {"ftEtherValue", {1, 2, 3, 4, 5, 6, 7}, std::nullopt},
      {"ftAddrLink", {2, 10, 0, 0, 1, 0}, std::nullopt},
      // Not an octet.
      {"ftAddrLink", {2, 10, 0, 0, 256}, std::nullopt},
      {"ftNameValue", {1, 256}, std::nullopt},
      {"ftImpliedValue", {5, 97, 300}, std::nullopt},
      {"ftTagValue", {1, 4294967295}, std::nullopt},
      // Outside the index object's range.
      {"ftIntValue", {0}, std::nullopt},
      {"ftIntValue", {2147483648}, std::nullopt},
      {"ftImpliedValue", {65536, 97}, std::nullopt},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Module().Name(c.label, c.suffix), c.text);
  }
}

TEST(MibValueIndex, NeedsTheColumnAndItsIndexObjects) {
  const MibNode& column = Module().Get("ftIntValue");
  const MibNode& entry = Module().EntryOf(column);
  Oid oid = column.oid;
  oid.push_back(3);
  EXPECT_EQ(IndexedName(column, entry, oid, Module().Finder()), "ftIntValue[3]");
  // Not an instance of the column.
  Oid other = oid;
  other[3] = 2;
  EXPECT_EQ(IndexedName(column, entry, other, Module().Finder()), std::nullopt);
  EXPECT_EQ(IndexedName(column, entry, column.oid, Module().Finder()), std::nullopt);
  // No way to find the index objects, or none found.
  EXPECT_EQ(IndexedName(column, entry, oid, FindLabelFn()), std::nullopt);
  EXPECT_EQ(IndexedName(column, entry, oid,
                        [](std::string_view, std::string_view) {
                          return static_cast<const MibNode*>(nullptr);
                        }),
            std::nullopt);
  // An entry without INDEX, and an index object of no usable syntax.
  MibNode bare = entry;
  bare.index.clear();
  EXPECT_EQ(IndexedName(column, bare, oid, Module().Finder()), std::nullopt);
  MibNode odd = Module().Get("ftIntIndex");
  odd.syntax.base = BaseType::kSequence;
  EXPECT_EQ(
      IndexedName(column, entry, oid, [&odd](std::string_view, std::string_view) { return &odd; }),
      std::nullopt);
  // The entry's module is the one asked.
  std::string asked;
  IndexedName(column, entry, oid, [&asked](std::string_view label, std::string_view module) {
    asked = std::string(module) + "::" + std::string(label);
    return Module().Find(label, module);
  });
  EXPECT_EQ(asked, "KIVOSTREL-FORMAT-TEST-MIB::ftIntIndex");
}

// A long suffix of every shape: each index read within the suffix, under ASan.
TEST(MibValueIndex, EveryPrefixOfASuffix) {
  const Oid suffix = {5, 97, 98, 99, 100, 101, 1, 3, 6, 1, 4, 1};
  for (const char* label : {"ftPairValue", "ftImpliedValue", "ftAddrLink", "ftNameValue",
                            "ftEtherValue", "ftOidValue", "ftTagValue"}) {
    for (std::size_t size = 0; size <= suffix.size(); ++size) {
      const MibNode& column = Module().Get(label);
      const auto oid = std::make_unique<std::uint32_t[]>(column.oid.size() + size);
      std::copy(column.oid.begin(), column.oid.end(), oid.get());
      std::copy(suffix.begin(), suffix.begin() + static_cast<std::ptrdiff_t>(size),
                oid.get() + column.oid.size());
      IndexedName(column, Module().EntryOf(column), {oid.get(), column.oid.size() + size},
                  Module().Finder());
    }
  }
}

}  // namespace
}  // namespace kivostrel::mib
