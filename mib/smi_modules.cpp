#include "mib/smi_modules.h"

#include <array>
#include <cstdint>
#include <limits>
#include <utility>

namespace kivostrel::mib {
namespace {

struct NodeRow {
  const char* label;
  const char* parent;  // a label, or "" for a root given by `number` alone
  std::uint32_t number;
  NodeKind kind;
};

struct TypeRow {
  const char* name;
  const char* syntax;  // a base type's keywords
  const char* hint;
  bool convention;
  std::vector<NamedNumber> named;
  std::vector<Range> ranges;
  std::vector<Range> sizes;
};

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

ModuleSyntax Module(const char* name, const std::vector<NodeRow>& nodes,
                    const std::vector<TypeRow>& types, std::vector<std::string> macros) {
  ModuleSyntax module;
  module.name = name;
  module.macros = std::move(macros);
  for (const NodeRow& row : nodes) {
    Definition def;
    def.label = row.label;
    def.kind = row.kind;
    if (*row.parent != '\0') def.oid.push_back(OidComponent{row.parent, {}});
    def.oid.push_back(OidComponent{{}, row.number});
    module.definitions.push_back(std::move(def));
  }
  for (const TypeRow& row : types) {
    Definition def;
    def.form = row.convention ? Definition::Form::kConvention : Definition::Form::kType;
    def.label = row.name;
    def.display_hint = row.hint;
    def.has_syntax = true;
    def.syntax.name = row.syntax;
    def.syntax.named_numbers = row.named;
    def.syntax.ranges = row.ranges;
    def.syntax.sizes = row.sizes;
    def.status = row.convention ? "current" : "";
    module.definitions.push_back(std::move(def));
  }
  return module;
}

std::vector<TypeRow> ApplicationTypes(bool v1) {
  std::vector<TypeRow> types = {
      {"IpAddress", "OCTET STRING", "", false, {}, {}, {{4, 4}}},
      {"TimeTicks", "INTEGER", "", false, {}, {{0, 4294967295}}, {}},
      {"Opaque", "OCTET STRING", "", false, {}, {}, {}},
      {"ObjectName", "OBJECT IDENTIFIER", "", false, {}, {}, {}},
      {"ObjectSyntax", "CHOICE", "", false, {}, {}, {}},
      {"SimpleSyntax", "CHOICE", "", false, {}, {}, {}},
      {"ApplicationSyntax", "CHOICE", "", false, {}, {}, {}},
  };
  if (v1) {
    types.push_back({"NetworkAddress", "CHOICE", "", false, {}, {}, {}});
    types.push_back({"Counter", "INTEGER", "", false, {}, {{0, 4294967295}}, {}});
    types.push_back({"Gauge", "INTEGER", "", false, {}, {{0, 4294967295}}, {}});
  } else {
    types.push_back({"Integer32", "INTEGER", "", false, {}, {{-kInt32Max - 1, kInt32Max}}, {}});
    types.push_back({"Unsigned32", "INTEGER", "", false, {}, {{0, 4294967295}}, {}});
    types.push_back({"Counter32", "INTEGER", "", false, {}, {{0, 4294967295}}, {}});
    types.push_back({"Gauge32", "INTEGER", "", false, {}, {{0, 4294967295}}, {}});
    types.push_back({"Counter64", "INTEGER", "", false, {}, {}, {}});
    types.push_back({"NotificationName", "OBJECT IDENTIFIER", "", false, {}, {}, {}});
    types.push_back({"ExtUTCTime", "OCTET STRING", "", false, {}, {}, {{11, 11}, {13, 13}}});
  }
  return types;
}

ModuleSyntax SnmpV2Smi() {
  constexpr NodeKind kOid = NodeKind::kObjectIdentifier;
  return Module("SNMPv2-SMI",
                {
                    {"iso", "", 1, kOid},
                    {"org", "iso", 3, kOid},
                    {"dod", "org", 6, kOid},
                    {"internet", "dod", 1, kOid},
                    {"directory", "internet", 1, kOid},
                    {"mgmt", "internet", 2, kOid},
                    {"mib-2", "mgmt", 1, kOid},
                    {"transmission", "mib-2", 10, kOid},
                    {"experimental", "internet", 3, kOid},
                    {"private", "internet", 4, kOid},
                    {"enterprises", "private", 1, kOid},
                    {"security", "internet", 5, kOid},
                    {"snmpV2", "internet", 6, kOid},
                    {"snmpDomains", "snmpV2", 1, kOid},
                    {"snmpProxys", "snmpV2", 2, kOid},
                    {"snmpModules", "snmpV2", 3, kOid},
                },
                ApplicationTypes(false),
                {"MODULE-IDENTITY", "OBJECT-IDENTITY", "OBJECT-TYPE", "NOTIFICATION-TYPE"});
}

ModuleSyntax SnmpV2Tc() {
  const std::vector<Range> kPositive = {{0, kInt32Max}};
  return Module(
      "SNMPv2-TC", {},
      {
          {"DisplayString", "OCTET STRING", "255a", true, {}, {}, {{0, 255}}},
          {"PhysAddress", "OCTET STRING", "1x:", true, {}, {}, {}},
          {"MacAddress", "OCTET STRING", "1x:", true, {}, {}, {{6, 6}}},
          {"TruthValue", "INTEGER", "", true, {{"true", 1}, {"false", 2}}, {}, {}},
          {"TestAndIncr", "INTEGER", "", true, {}, kPositive, {}},
          {"AutonomousType", "OBJECT IDENTIFIER", "", true, {}, {}, {}},
          {"InstancePointer", "OBJECT IDENTIFIER", "", true, {}, {}, {}},
          {"VariablePointer", "OBJECT IDENTIFIER", "", true, {}, {}, {}},
          {"RowPointer", "OBJECT IDENTIFIER", "", true, {}, {}, {}},
          {"RowStatus",
           "INTEGER",
           "",
           true,
           {{"active", 1},
            {"notInService", 2},
            {"notReady", 3},
            {"createAndGo", 4},
            {"createAndWait", 5},
            {"destroy", 6}},
           {},
           {}},
          {"TimeStamp", "TimeTicks", "", true, {}, {}, {}},
          {"TimeInterval", "INTEGER", "", true, {}, kPositive, {}},
          {"DateAndTime",
           "OCTET STRING",
           "2d-1d-1d,1d:1d:1d.1d,1a1d:1d",
           true,
           {},
           {},
           {{8, 8}, {11, 11}}},
          {"StorageType",
           "INTEGER",
           "",
           true,
           {{"other", 1}, {"volatile", 2}, {"nonVolatile", 3}, {"permanent", 4}, {"readOnly", 5}},
           {},
           {}},
          {"TDomain", "OBJECT IDENTIFIER", "", true, {}, {}, {}},
          {"TAddress", "OCTET STRING", "", true, {}, {}, {{1, 255}}},
      },
      {"TEXTUAL-CONVENTION"});
}

ModuleSyntax Rfc1155Smi() {
  constexpr NodeKind kOid = NodeKind::kObjectIdentifier;
  return Module("RFC1155-SMI",
                {
                    {"internet", "dod", 1, kOid},
                    {"directory", "internet", 1, kOid},
                    {"mgmt", "internet", 2, kOid},
                    {"experimental", "internet", 3, kOid},
                    {"private", "internet", 4, kOid},
                    {"enterprises", "private", 1, kOid},
                },
                ApplicationTypes(true), {"OBJECT-TYPE"});
}

}  // namespace

std::vector<ModuleSyntax> BuiltInModules() {
  std::vector<ModuleSyntax> modules;
  modules.push_back(SnmpV2Smi());
  // zeroDotZero is { 0 0 }: under ccitt, which no module defines as a node.
  Definition zero;
  zero.label = "zeroDotZero";
  zero.kind = NodeKind::kObjectIdentity;
  zero.status = "current";
  zero.oid = {OidComponent{{}, 0}, OidComponent{{}, 0}};
  modules.back().definitions.push_back(std::move(zero));
  modules.push_back(SnmpV2Tc());
  modules.push_back(
      Module("SNMPv2-CONF", {}, {},
             {"OBJECT-GROUP", "NOTIFICATION-GROUP", "MODULE-COMPLIANCE", "AGENT-CAPABILITIES"}));
  modules.push_back(Rfc1155Smi());
  modules.push_back(Module("RFC-1212", {}, {}, {"OBJECT-TYPE"}));
  modules.push_back(Module("RFC-1215", {}, {}, {"TRAP-TYPE"}));
  return modules;
}

bool IsBuiltInModule(std::string_view name) {
  static constexpr std::array<std::string_view, 6> kNames = {
      "SNMPv2-SMI", "SNMPv2-TC", "SNMPv2-CONF", "RFC1155-SMI", "RFC-1212", "RFC-1215"};
  for (const std::string_view n : kNames) {
    if (n == name) return true;
  }
  return false;
}

std::optional<BaseType> BaseTypeNamed(std::string_view name) {
  struct Row {
    std::string_view name;
    BaseType base;
  };
  static constexpr std::array<Row, 19> kRows = {{
      {"INTEGER", BaseType::kInteger},
      {"Integer32", BaseType::kInteger},
      {"Unsigned32", BaseType::kUnsigned32},
      {"Counter32", BaseType::kCounter32},
      {"Counter", BaseType::kCounter32},
      {"Gauge32", BaseType::kGauge32},
      {"Gauge", BaseType::kGauge32},
      {"Counter64", BaseType::kCounter64},
      {"TimeTicks", BaseType::kTimeTicks},
      {"OCTET STRING", BaseType::kOctetString},
      {"OBJECT IDENTIFIER", BaseType::kObjectIdentifier},
      {"ObjectName", BaseType::kObjectIdentifier},
      {"IpAddress", BaseType::kIpAddress},
      {"NetworkAddress", BaseType::kIpAddress},
      {"Opaque", BaseType::kOpaque},
      {"BITS", BaseType::kBits},
      {"SEQUENCE", BaseType::kSequence},
      {"SEQUENCE OF", BaseType::kSequenceOf},
      {"CHOICE", BaseType::kNone},
  }};
  for (const Row& row : kRows) {
    if (row.name == name) return row.base;
  }
  return std::nullopt;
}

}  // namespace kivostrel::mib
