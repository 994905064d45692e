// The linker: the modules read so far, and what links them. It finds a label or a type in a
// module's scope (its own definitions, then its imports, then the SMI's, then any module loaded:
// vendors forget IMPORTS or name the wrong module), resolves OID values across modules with a
// bound on depth and cycles diagnosed, and follows chains of textual conventions down to the
// base type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "mib/mib_library.h"
#include "mib/mib_node.h"
#include "mib/module_syntax.h"

namespace kivostrel::mib {

struct LinkedModule {
  ModuleSyntax syntax;
  bool built_in = false;
  std::unordered_map<std::string, std::size_t> values;  // label -> definition
  std::unordered_map<std::string, std::size_t> types;
  std::unordered_map<std::string, std::string> imported;  // symbol -> module named by IMPORTS
  std::unordered_set<std::string> macros;
  enum class State : std::uint8_t { kUnvisited, kActive, kDone, kFailed };
  std::vector<State> states;              // per definition
  std::vector<Oid> oids;                  // per definition, once kDone
  std::unordered_set<std::string> noted;  // symbols diagnosed once already
};

// A node the linker made, and whether it only came from a name(number) inside another OID
// value (then it gives way to any node defined at that OID).
struct LinkedNode {
  MibNode node;
  bool implicit = false;
};

class ModuleSet {
 public:
  // Adds a parsed module (its duplicate labels diagnosed into `out`); false when a module of that
  // name is there already.
  bool Add(ModuleSyntax module, bool built_in, std::vector<Diagnostic>& out);
  const LinkedModule* Get(std::string_view name) const;

  // The nodes of the modules named, resolved against everything added so far. Problems go to
  // `out`.
  std::vector<LinkedNode> Link(const std::vector<std::string>& modules,
                               std::vector<Diagnostic>& out);

 private:
  struct Ref {
    LinkedModule* module = nullptr;
    std::size_t def = 0;
    explicit operator bool() const { return module != nullptr; }
  };
  enum class Space : std::uint8_t { kValue, kType };

  LinkedModule* Find(std::string_view name);
  Ref FindSymbol(LinkedModule& scope, const std::string& name, Space space, int line);
  const Oid* ResolveOid(LinkedModule& module, std::size_t def, int depth);
  bool Components(LinkedModule& module, const Definition& def,
                  const std::vector<OidComponent>& components, Oid& oid, int depth);
  Syntax ResolveSyntax(LinkedModule& module, const TypeRef& type, int line);
  std::vector<IndexPart> AugmentedIndex(LinkedModule& module, const Definition& def);
  void CheckImports(LinkedModule& module);
  void Note(LinkedModule& module, int line, std::string message);

  std::unordered_map<std::string, std::unique_ptr<LinkedModule>> modules_;
  std::vector<LinkedModule*> order_;     // in the order added
  std::vector<LinkedModule*> built_in_;  // the SMI's, searched before the rest
  std::unordered_map<std::string, std::vector<LinkedModule*>> value_owners_;
  std::unordered_map<std::string, std::vector<LinkedModule*>> type_owners_;
  std::vector<Diagnostic>* out_ = nullptr;
  std::vector<LinkedNode>* implicit_ = nullptr;
};

}  // namespace kivostrel::mib
