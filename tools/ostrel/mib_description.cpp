#include "tools/ostrel/mib_description.h"

#include <array>
#include <utility>

#include "mib/mib_library.h"
#include "tools/ostrel/command_line.h"
#include "tools/ostrel/output_format.h"

namespace kivostrel::ostrel {
namespace {

std::string_view KindName(mib::NodeKind kind) {
  switch (kind) {
    case mib::NodeKind::kObjectIdentifier:
      return "OBJECT IDENTIFIER";
    case mib::NodeKind::kModuleIdentity:
      return "MODULE-IDENTITY";
    case mib::NodeKind::kObjectIdentity:
      return "OBJECT-IDENTITY";
    case mib::NodeKind::kObjectType:
      return "OBJECT-TYPE";
    case mib::NodeKind::kNotification:
      return "NOTIFICATION-TYPE";
    case mib::NodeKind::kGroup:
      return "group";
    case mib::NodeKind::kCompliance:
      return "MODULE-COMPLIANCE";
    case mib::NodeKind::kCapabilities:
      return "AGENT-CAPABILITIES";
  }
  return "";
}

std::string_view BaseName(mib::BaseType base) {
  constexpr std::array<std::pair<mib::BaseType, std::string_view>, 14> kNames{{
      {mib::BaseType::kNone, ""},
      {mib::BaseType::kInteger, "INTEGER"},
      {mib::BaseType::kUnsigned32, "Unsigned32"},
      {mib::BaseType::kCounter32, "Counter32"},
      {mib::BaseType::kGauge32, "Gauge32"},
      {mib::BaseType::kCounter64, "Counter64"},
      {mib::BaseType::kTimeTicks, "TimeTicks"},
      {mib::BaseType::kOctetString, "OCTET STRING"},
      {mib::BaseType::kObjectIdentifier, "OBJECT IDENTIFIER"},
      {mib::BaseType::kIpAddress, "IpAddress"},
      {mib::BaseType::kOpaque, "Opaque"},
      {mib::BaseType::kBits, "BITS"},
      {mib::BaseType::kSequence, "SEQUENCE"},
      {mib::BaseType::kSequenceOf, "SEQUENCE OF"},
  }};
  for (const auto& [type, name] : kNames) {
    if (type == base) return name;
  }
  return "";
}

// "(1..2147483647)", "(0 | 4..8)"; "" for none.
std::string RangesText(const std::vector<mib::Range>& ranges) {
  if (ranges.empty()) return "";
  std::string text = "(";
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (i > 0) text += " | ";
    text += std::to_string(ranges[i].low);
    if (ranges[i].high != ranges[i].low) text += ".." + std::to_string(ranges[i].high);
  }
  return text + ")";
}

std::string SyntaxText(const mib::Syntax& syntax) {
  std::string text =
      syntax.type_name.empty() ? std::string(BaseName(syntax.base)) : syntax.type_name;
  if (syntax.base == mib::BaseType::kSequenceOf && !syntax.entry.empty()) {
    text = "SEQUENCE OF " + syntax.entry;
  }
  if (!syntax.named_numbers.empty()) {
    text += " {";
    for (std::size_t i = 0; i < syntax.named_numbers.size(); ++i) {
      if (i > 0) text += ", ";
      text +=
          syntax.named_numbers[i].label + "(" + std::to_string(syntax.named_numbers[i].value) + ")";
    }
    text += "}";
  }
  if (!syntax.ranges.empty()) text.append(" ").append(RangesText(syntax.ranges));
  if (!syntax.sizes.empty()) text += " (SIZE " + RangesText(syntax.sizes) + ")";
  return text;
}

// "\"1x:\"" as the module writes it; "" for none.
std::string InQuotes(const std::string& text) {
  return text.empty() ? text : "\"" + text + "\"";
}

void Field(std::string& text, std::string_view name, const std::string& value) {
  if (value.empty()) return;
  constexpr std::size_t kValueColumn = 16;
  std::string line = "  " + std::string(name);
  line.resize(std::max(kValueColumn, line.size() + 1), ' ');
  text += line + value + "\n";
}

}  // namespace

std::string DescribeNode(const mib::MibNode& node, const std::string& name) {
  std::string oid;
  for (const std::uint32_t arc : node.oid) oid.append(".").append(std::to_string(arc));
  std::string text = name + "\n";
  Field(text, "oid", oid);
  Field(text, "kind", std::string(KindName(node.kind)));
  std::string module = node.module;
  if (!node.file.empty()) module += " (" + node.file + ":" + std::to_string(node.line) + ")";
  Field(text, "module", module);
  const mib::Syntax& syntax = node.syntax;
  if (syntax.base != mib::BaseType::kNone) {
    Field(text, "syntax", SyntaxText(syntax));
    Field(text, "base type", std::string(BaseName(syntax.base)));
  }
  std::string conventions;
  for (const mib::Convention& convention : syntax.conventions) {
    if (!conventions.empty()) conventions += ", ";
    conventions +=
        convention.name + (convention.module.empty() ? "" : " (" + convention.module + ")");
  }
  Field(text, "conventions", conventions);
  Field(text, "display-hint", InQuotes(syntax.DisplayHint()));
  Field(text, "access", node.access);
  Field(text, "status", node.status);
  Field(text, "units", InQuotes(node.units));
  std::string index;
  for (const mib::IndexPart& part : node.index) {
    if (!index.empty()) index += ", ";
    index += (part.implied ? "IMPLIED " : "") + part.label;
  }
  Field(text, node.augments.empty() ? "index" : "index (augments)", index);
  Field(text, "augments", node.augments);
  return text;
}

std::string DescribeObject(const kivOstrel& control, const std::string& oid) {
  const mib::MibLibrary* mibs = control.mibs();
  const std::optional<mib::Oid> arcs = mibs == nullptr ? std::nullopt : mibs->Resolve(oid);
  const mib::MibNode* node = arcs ? mibs->FindPrefix(*arcs) : nullptr;
  if (node == nullptr || node->label.empty()) {
    throw UsageError("no loaded MIB module defines " + ObjectName(control, oid) +
                     (mibs == nullptr ? " (give its module with -m)" : ""));
  }
  return DescribeNode(*node, ObjectName(control, oid, NameStyle::kModule));
}

}  // namespace kivostrel::ostrel
