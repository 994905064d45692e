// A module as the parser reads it, before anything is linked: its imports and its definitions
// with their clauses, labels still unresolved.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mib/mib_node.h"

namespace kivostrel::mib {

// One component of an OID value: "iso", "org(3)" or "6".
struct OidComponent {
  std::string name;
  std::optional<std::uint32_t> number;
};

// A type as written: a base type's keywords ("INTEGER", "OCTET STRING", "OBJECT IDENTIFIER",
// "BITS", "SEQUENCE", "SEQUENCE OF", "CHOICE") or a type's name, with what it refines.
struct TypeRef {
  std::string name;
  std::vector<NamedNumber> named_numbers;
  std::vector<Range> ranges;
  std::vector<Range> sizes;
  std::string entry;         // SEQUENCE OF's
  int application_tag = -1;  // [APPLICATION n]
};

struct Definition {
  enum class Form : std::uint8_t {
    kValue,       // a node: OBJECT IDENTIFIER or one of the macros
    kType,        // Name ::= type
    kConvention,  // Name ::= TEXTUAL-CONVENTION ...
  };
  Form form = Form::kValue;
  NodeKind kind = NodeKind::kObjectIdentifier;
  std::string label;
  int line = 0;
  std::vector<OidComponent> oid;  // the value of a node (not of a TRAP-TYPE)
  bool trap = false;              // TRAP-TYPE: its OID is ENTERPRISE.0.trap_number
  std::vector<OidComponent> enterprise;
  std::uint32_t trap_number = 0;
  bool has_syntax = false;
  TypeRef syntax;
  std::string access;
  std::string status;
  std::string units;
  std::string display_hint;
  std::vector<IndexPart> index;
  std::string augments;
};

struct Import {
  std::string module;
  std::vector<std::string> symbols;
  int line = 0;
};

struct ModuleSyntax {
  std::string name;
  std::string file;
  int line = 0;
  std::vector<Import> imports;
  std::vector<Definition> definitions;
  std::vector<std::string> macros;  // MACRO definitions: symbols other modules may import
};

}  // namespace kivostrel::mib
