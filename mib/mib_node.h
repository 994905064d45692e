// What the module reader keeps of each node of a MIB module: its OID, label and module, what kind
// of definition made it, and for objects their syntax (base type, enumerations or BITS, ranges
// and sizes, the chain of textual conventions with their DISPLAY-HINT), access, UNITS and the
// INDEX or AUGMENTS of a table's entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivostrel::mib {

using Oid = std::vector<std::uint32_t>;

enum class NodeKind {
  kObjectIdentifier,  // label OBJECT IDENTIFIER ::= { ... }
  kModuleIdentity,
  kObjectIdentity,
  kObjectType,
  kNotification,  // NOTIFICATION-TYPE, or an SMIv1 TRAP-TYPE (its OID by RFC 3584's rule)
  kGroup,         // OBJECT-GROUP, NOTIFICATION-GROUP
  kCompliance,    // MODULE-COMPLIANCE
  kCapabilities,  // AGENT-CAPABILITIES
};

// The SMI's base types, which every syntax comes down to.
enum class BaseType {
  kNone,     // not an object, or a syntax that did not resolve
  kInteger,  // INTEGER, Integer32
  kUnsigned32,
  kCounter32,  // Counter32, SMIv1 Counter
  kGauge32,    // Gauge32, SMIv1 Gauge
  kCounter64,
  kTimeTicks,
  kOctetString,
  kObjectIdentifier,
  kIpAddress,  // IpAddress, SMIv1 NetworkAddress
  kOpaque,
  kBits,
  kSequence,    // a table's entry: SEQUENCE { ... }
  kSequenceOf,  // a table: SEQUENCE OF Entry
};

struct NamedNumber {
  std::string label;
  std::int64_t value = 0;
  friend bool operator==(const NamedNumber&, const NamedNumber&) = default;
};

// A value range or a SIZE range, low..high inclusive (one value: low == high). Bounds beyond
// int64 (Counter64's) are clamped.
struct Range {
  std::int64_t low = 0;
  std::int64_t high = 0;
  friend bool operator==(const Range&, const Range&) = default;
};

// One textual convention on the way from an object's type to its base type.
struct Convention {
  std::string name;          // "DisplayString"
  std::string module;        // "SNMPv2-TC"
  std::string display_hint;  // "255a"; empty when it has none
  friend bool operator==(const Convention&, const Convention&) = default;
};

struct Syntax {
  BaseType base = BaseType::kNone;
  std::string type_name;  // as the object names it: "DisplayString", "INTEGER", "Counter32"
  std::vector<Convention> conventions;  // the object's type first
  // INTEGER's enumerations, or BITS' names with their bit numbers, in the order written; those
  // of the nearest definition that has any.
  std::vector<NamedNumber> named_numbers;
  std::vector<Range> ranges;  // of the value
  std::vector<Range> sizes;   // of an OCTET STRING's length
  std::string entry;          // SEQUENCE OF: the entry's type name ("IfEntry")

  // The first DISPLAY-HINT along the chain of conventions; empty when there is none.
  const std::string& DisplayHint() const {
    static const std::string kNone;
    for (const Convention& c : conventions) {
      if (!c.display_hint.empty()) return c.display_hint;
    }
    return kNone;
  }
};

struct IndexPart {
  std::string label;  // an object of the INDEX clause, as written
  bool implied = false;
  friend bool operator==(const IndexPart&, const IndexPart&) = default;
};

struct MibNode {
  Oid oid;
  std::string label;
  std::string module;
  NodeKind kind = NodeKind::kObjectIdentifier;
  Syntax syntax;                 // objects (and textual conventions' users) only
  std::string access;            // "read-only", "not-accessible", ... as written; empty when none
  std::string status;            // "current", "deprecated", "mandatory", ...; empty when none
  std::string units;             // UNITS; empty when none
  std::vector<IndexPart> index;  // a table entry's INDEX
  std::string augments;          // or the entry it AUGMENTS (then `index` is that entry's)
  std::string file;              // where it was defined ("" for the built-in modules)
  int line = 0;
};

}  // namespace kivostrel::mib
