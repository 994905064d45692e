#include "tools/ostrel/objects.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

#include "encoding/automation_error.h"
#include "encoding/hex.h"
#include "encoding/quoted.h"
#include "mib/mib_library.h"

namespace kivostrel::ostrel {
namespace {

// The one row whose last label is `label` (letter case significant), as its dotted name.
std::optional<std::string> UniqueNameEndingIn(const kivOstrel& control, std::string_view label) {
  if (label.empty()) return std::nullopt;
  const auto names = control.FindName(label, 0);
  std::optional<std::string> found;
  for (std::int32_t i = 1; i <= names->Count(); ++i) {
    const std::string& name = names->Item(i);
    const std::size_t dot = name.rfind('.');
    const std::string_view last =
        dot == std::string::npos ? std::string_view(name) : std::string_view(name).substr(dot + 1);
    if (last != label) continue;
    if (found && *found != name) return std::nullopt;  // ambiguous
    found = name;
  }
  return found;
}

std::optional<std::vector<std::uint64_t>> Arcs(std::string_view text) {
  if (!IsNumericOid(text)) return std::nullopt;
  std::vector<std::uint64_t> arcs;
  while (!text.empty()) {
    const std::size_t dot = text.find('.');
    const std::string_view piece = text.substr(0, dot);
    std::uint64_t arc = 0;
    const auto result = std::from_chars(piece.data(), piece.data() + piece.size(), arc);
    if (result.ec != std::errc()) return std::nullopt;
    arcs.push_back(arc);
    text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  }
  return arcs;
}

}  // namespace

bool IsNumericOid(std::string_view text) noexcept {
  if (text.empty() || text.front() == '.' || text.back() == '.') return false;
  char previous = '.';
  for (const char c : text) {
    if (c == '.') {
      if (previous == '.') return false;
    } else if (c < '0' || c > '9') {
      return false;
    }
    previous = c;
  }
  return true;
}

std::string ResolveOid(const kivOstrel& control, std::string_view text) {
  std::string_view typed = text;
  if (typed.size() > 1 && typed.front() == '.' && typed[1] >= '0' && typed[1] <= '9') {
    typed.remove_prefix(1);
  }
  if (IsNumericOid(typed)) return std::string(typed);
  // The loaded modules first: MODULE::label, and their labels before the table's last names.
  if (const mib::MibLibrary* mibs = control.mibs()) {
    if (const std::optional<mib::Oid> oid = mibs->Resolve(text)) {
      std::string numbers;
      for (const std::uint32_t arc : *oid) {
        if (!numbers.empty()) numbers += '.';
        numbers += std::to_string(arc);
      }
      if (IsNumericOid(numbers)) return numbers;
    }
  }
  try {
    std::string oid = control.Name2OID(typed);
    if (IsNumericOid(oid)) return oid;
    const std::size_t dot = typed.find('.');
    const std::string_view label = typed.substr(0, dot);
    if (const auto name = UniqueNameEndingIn(control, label)) {
      oid = control.Name2OID(*name);
      if (dot != std::string_view::npos) oid += std::string(typed.substr(dot));
      if (IsNumericOid(oid)) return oid;
    }
  } catch (const AutomationError&) {
    // Too many pieces for the table's translation: not an object we know.
  }
  throw UsageError("unknown object " + Quoted(text));
}

Bytes BuildBinding(const kivOstrel& control, const BindingArgument& argument) {
  const std::string oid = ResolveOid(control, argument.oid);
  const std::string& value = argument.value;
  try {
    switch (argument.type) {
      case 'i':
        return control.SNMPIntegerValue(oid, value);
      case 'c':
        return control.SNMPCounterValue(oid, value);
      case 'C':
        return control.SNMPCounter64Value(oid, value);
      case 'g':
        return control.SnmpGaugeValue(oid, value);
      case 't':
        return control.SnmpTimeTicksValue(oid, value);
      case 's':
        return control.SNMPStringValue(oid, value);
      case 'a':
        return control.SNMPIpAddrValue(oid, value);
      case 'n':
        return control.SNMPNullValue(oid);
      case 'x': {
        Bytes bytes;
        if (!FromHex(value, bytes)) throw UsageError(Quoted(value) + " is not hex octets");
        return control.SNMPBinStringValue(oid, bytes);
      }
      default:
        break;
    }
  } catch (const AutomationError& error) {
    throw UsageError("bad value " + Quoted(value) + " of type " + argument.type + " for " +
                     argument.oid + ": " + error.description() + " (" +
                     std::to_string(error.number()) + ")");
  }
  throw UsageError(std::string("unknown value type '") + argument.type + "'");
}

std::strong_ordering CompareOids(std::string_view a, std::string_view b) {
  const auto arcs_a = Arcs(a);
  const auto arcs_b = Arcs(b);
  if (arcs_a && arcs_b) return *arcs_a <=> *arcs_b;
  return a.compare(b) <=> 0;
}

bool IsBelow(std::string_view root, std::string_view oid) noexcept {
  return oid.size() > root.size() + 1 && oid.starts_with(root) && oid[root.size()] == '.';
}

}  // namespace kivostrel::ostrel
