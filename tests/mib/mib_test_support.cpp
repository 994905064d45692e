#include "mib_test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>

namespace kivostrel::mib {
namespace {

const char* KindName(NodeKind kind) {
  switch (kind) {
    case NodeKind::kObjectIdentifier:
      return "oid";
    case NodeKind::kModuleIdentity:
      return "module-identity";
    case NodeKind::kObjectIdentity:
      return "object-identity";
    case NodeKind::kObjectType:
      return "object-type";
    case NodeKind::kNotification:
      return "notification";
    case NodeKind::kGroup:
      return "group";
    case NodeKind::kCompliance:
      return "compliance";
    case NodeKind::kCapabilities:
      return "capabilities";
  }
  return "?";
}

const char* BaseName(BaseType base) {
  switch (base) {
    case BaseType::kNone:
      return "none";
    case BaseType::kInteger:
      return "integer";
    case BaseType::kUnsigned32:
      return "unsigned32";
    case BaseType::kCounter32:
      return "counter32";
    case BaseType::kGauge32:
      return "gauge32";
    case BaseType::kCounter64:
      return "counter64";
    case BaseType::kTimeTicks:
      return "timeticks";
    case BaseType::kOctetString:
      return "octets";
    case BaseType::kObjectIdentifier:
      return "oid";
    case BaseType::kIpAddress:
      return "ipaddress";
    case BaseType::kOpaque:
      return "opaque";
    case BaseType::kBits:
      return "bits";
    case BaseType::kSequence:
      return "sequence";
    case BaseType::kSequenceOf:
      return "sequence-of";
  }
  return "?";
}

std::string Ranges(const std::vector<Range>& ranges) {
  std::string text;
  for (const Range& r : ranges) {
    if (!text.empty()) text += '|';
    text += std::to_string(r.low);
    if (r.high != r.low) text += ".." + std::to_string(r.high);
  }
  return text;
}

}  // namespace

ScratchFolder::ScratchFolder() {
  static std::atomic<int> count{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = std::filesystem::temp_directory_path() /
          ("kivostrel-mib-" + std::to_string(stamp) + "-" + std::to_string(count++));
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::Write(std::string_view name, std::string_view text) const {
  const std::filesystem::path file =
      path_ / std::filesystem::path(std::u8string(name.begin(), name.end()));
  std::ofstream(file, std::ios::binary)
      .write(text.data(), static_cast<std::streamsize>(text.size()));
  const std::u8string utf8 = file.u8string();
  return std::string(utf8.begin(), utf8.end());
}

std::string ScratchFolder::path() const {
  const std::u8string utf8 = path_.u8string();
  return std::string(utf8.begin(), utf8.end());
}

std::string DottedOid(const Oid& oid) {
  std::string text;
  for (const std::uint32_t arc : oid) {
    if (!text.empty()) text += '.';
    text += std::to_string(arc);
  }
  return text;
}

std::string Describe(const MibNode& node) {
  std::string text = DottedOid(node.oid) + " " + KindName(node.kind);
  const Syntax& s = node.syntax;
  if (s.base != BaseType::kNone || !s.type_name.empty())
    text += " " + s.type_name + "/" + BaseName(s.base);
  for (std::size_t i = 0; i < s.conventions.size(); ++i) {
    const Convention& c = s.conventions[i];
    text += (i == 0 ? " tc=" : ",") + c.name + "@" + c.module;
    if (!c.display_hint.empty()) text += "'" + c.display_hint + "'";
  }
  for (std::size_t i = 0; i < s.named_numbers.size(); ++i)
    text += (i == 0 ? " enums=" : ",") + s.named_numbers[i].label + "(" +
            std::to_string(s.named_numbers[i].value) + ")";
  if (!s.ranges.empty()) text += " ranges=" + Ranges(s.ranges);
  if (!s.sizes.empty()) text += " sizes=" + Ranges(s.sizes);
  if (!s.entry.empty()) text += " entry=" + s.entry;
  if (!node.access.empty()) text += " access=" + node.access;
  if (!node.units.empty()) text += " units=" + node.units;
  for (std::size_t i = 0; i < node.index.size(); ++i)
    text += (i == 0 ? " index=" : ",") + std::string(node.index[i].implied ? "*" : "") +
            node.index[i].label;
  if (!node.augments.empty()) text += " augments=" + node.augments;
  return text;
}

}  // namespace kivostrel::mib
