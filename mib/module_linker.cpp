#include "mib/module_linker.h"

#include <utility>

#include "mib/smi_modules.h"

namespace kivostrel::mib {
namespace {

// No real OID value chains through more labels than this; deeper is a cycle or an attack.
constexpr int kMaxOidDepth = 200;
// Nor does a type go through more textual conventions or AUGMENTS than this.
constexpr int kMaxTypeChain = 32;

// ASN.1's own roots, which modules use without defining or importing them.
bool WellKnownRoot(std::string_view name, std::uint32_t& arc) {
  if (name == "ccitt" || name == "itu-t") {
    arc = 0;
  } else if (name == "iso") {
    arc = 1;
  } else if (name == "joint-iso-ccitt" || name == "joint-iso-itu-t") {
    arc = 2;
  } else {
    return false;
  }
  return true;
}

// The base type an [APPLICATION n] tag gives a type defined in a module (RFC 1155's way).
bool ApplicationBase(int tag, BaseType& base) {
  switch (tag) {
    case 0:
      base = BaseType::kIpAddress;
      return true;
    case 1:
      base = BaseType::kCounter32;
      return true;
    case 2:
      base = BaseType::kGauge32;
      return true;
    case 3:
      base = BaseType::kTimeTicks;
      return true;
    case 4:
      base = BaseType::kOpaque;
      return true;
    case 6:
      base = BaseType::kCounter64;
      return true;
    default:
      return false;
  }
}

}  // namespace

bool ModuleSet::Add(ModuleSyntax syntax, bool built_in, std::vector<Diagnostic>& out) {
  if (modules_.count(syntax.name) != 0) return false;
  auto owned = std::make_unique<LinkedModule>();
  LinkedModule& module = *owned;
  module.built_in = built_in;
  module.syntax = std::move(syntax);
  const std::vector<Definition>& defs = module.syntax.definitions;
  module.states.assign(defs.size(), LinkedModule::State::kUnvisited);
  module.oids.resize(defs.size());
  for (std::size_t i = 0; i < defs.size(); ++i) {
    const Definition& def = defs[i];
    auto& names = def.form == Definition::Form::kValue ? module.values : module.types;
    if (!names.emplace(def.label, i).second) {
      out.push_back(Diagnostic{module.syntax.file, def.line,
                               def.label + " is defined twice in " + module.syntax.name +
                                   "; the first definition is kept"});
      module.states[i] = LinkedModule::State::kFailed;
    }
  }
  for (const Import& import : module.syntax.imports) {
    for (const std::string& symbol : import.symbols) module.imported.emplace(symbol, import.module);
  }
  module.macros.insert(module.syntax.macros.begin(), module.syntax.macros.end());
  for (const auto& [label, def] : module.values) value_owners_[label].push_back(&module);
  for (const auto& [label, def] : module.types) type_owners_[label].push_back(&module);
  order_.push_back(&module);
  if (built_in) built_in_.push_back(&module);
  modules_.emplace(module.syntax.name, std::move(owned));
  return true;
}

const LinkedModule* ModuleSet::Get(std::string_view name) const {
  const auto found = modules_.find(std::string(name));
  return found == modules_.end() ? nullptr : found->second.get();
}

LinkedModule* ModuleSet::Find(std::string_view name) {
  const auto found = modules_.find(std::string(name));
  return found == modules_.end() ? nullptr : found->second.get();
}

void ModuleSet::Note(LinkedModule& module, int line, std::string message) {
  out_->push_back(Diagnostic{module.syntax.file, line, std::move(message)});
}

void ModuleSet::CheckImports(LinkedModule& module) {
  for (const Import& import : module.syntax.imports) {
    const LinkedModule* from = Find(import.module);
    if (from == nullptr) continue;  // diagnosed where the module was looked for
    for (const std::string& symbol : import.symbols) {
      if (from->values.count(symbol) != 0 || from->types.count(symbol) != 0 ||
          from->macros.count(symbol) != 0 || BaseTypeNamed(symbol)) {
        continue;
      }
      if (!module.noted.insert(symbol).second) continue;
      std::string found_in;
      const auto owners = value_owners_.find(symbol);
      const auto type_owners = type_owners_.find(symbol);
      if (owners != value_owners_.end()) found_in = owners->second.front()->syntax.name;
      if (found_in.empty() && type_owners != type_owners_.end())
        found_in = type_owners->second.front()->syntax.name;
      Note(module, import.line,
           module.syntax.name + " imports " + symbol + " from " + import.module +
               ", which does not define it" +
               (found_in.empty() ? std::string() : "; the one of " + found_in + " is used"));
    }
  }
}

ModuleSet::Ref ModuleSet::FindSymbol(LinkedModule& scope, const std::string& name, Space space,
                                     int line) {
  const auto in = [&](LinkedModule& module) -> Ref {
    const auto& names = space == Space::kValue ? module.values : module.types;
    const auto found = names.find(name);
    return found == names.end() ? Ref{} : Ref{&module, found->second};
  };
  if (Ref own = in(scope)) return own;
  const auto imported = scope.imported.find(name);
  if (imported != scope.imported.end()) {
    if (LinkedModule* from = Find(imported->second)) {
      if (Ref there = in(*from)) return there;
    }
  }
  for (LinkedModule* smi : built_in_) {
    if (Ref there = in(*smi)) return there;
  }
  const auto& owners = space == Space::kValue ? value_owners_ : type_owners_;
  const auto found = owners.find(name);
  if (found == owners.end()) return {};
  LinkedModule* owner = found->second.front();
  // A symbol imported from a module that lacks it was diagnosed with the IMPORTS.
  if (imported == scope.imported.end() && scope.noted.insert(name).second) {
    Note(scope, line,
         name + " is used without being imported; the one of " + owner->syntax.name + " is used");
  }
  return in(*owner);
}

const Oid* ModuleSet::ResolveOid(LinkedModule& module, std::size_t index, int depth) {
  using State = LinkedModule::State;
  const Definition& def = module.syntax.definitions[index];
  switch (module.states[index]) {
    case State::kDone:
      return &module.oids[index];
    case State::kFailed:
      return nullptr;
    case State::kActive:
      Note(module, def.line, "the OID of " + def.label + " depends on itself");
      return nullptr;
    case State::kUnvisited:
      break;
  }
  if (depth > kMaxOidDepth) {
    Note(module, def.line,
         "the OID of " + def.label + " goes through more than " + std::to_string(kMaxOidDepth) +
             " labels");
    return nullptr;
  }
  module.states[index] = State::kActive;
  Oid oid;
  bool ok = false;
  if (def.trap) {
    if (def.enterprise.empty()) {
      Note(module, def.line, "TRAP-TYPE " + def.label + " has no ENTERPRISE");
    } else if (Components(module, def, def.enterprise, oid, depth)) {
      // RFC 3584's rule: the enterprise, 0, then the specific trap number.
      oid.push_back(0);
      oid.push_back(def.trap_number);
      ok = true;
    }
  } else {
    ok = Components(module, def, def.oid, oid, depth);
  }
  if (ok && oid.size() > 128) {
    Note(module, def.line, "the OID of " + def.label + " is longer than 128 arcs");
    ok = false;
  }
  module.states[index] = ok ? State::kDone : State::kFailed;
  if (!ok) return nullptr;
  module.oids[index] = std::move(oid);
  return &module.oids[index];
}

bool ModuleSet::Components(LinkedModule& module, const Definition& def,
                           const std::vector<OidComponent>& components, Oid& oid, int depth) {
  for (std::size_t k = 0; k < components.size(); ++k) {
    const OidComponent& c = components[k];
    if (c.number) {
      oid.push_back(*c.number);
      if (!c.name.empty() && k + 1 < components.size() && implicit_ != nullptr) {
        LinkedNode made;
        made.implicit = true;
        made.node.oid = oid;
        made.node.label = c.name;
        made.node.module = module.syntax.name;
        made.node.file = module.syntax.file;
        made.node.line = def.line;
        implicit_->push_back(std::move(made));
      }
      continue;
    }
    if (k != 0) {
      Note(module, def.line, def.label + ": " + c.name + " inside an OID value has no number");
      return false;
    }
    if (const Ref ref = FindSymbol(module, c.name, Space::kValue, def.line)) {
      const Oid* parent = ResolveOid(*ref.module, ref.def, depth + 1);
      if (parent == nullptr) return false;  // diagnosed where it failed
      oid = *parent;
      continue;
    }
    std::uint32_t arc = 0;
    if (WellKnownRoot(c.name, arc)) {
      oid.push_back(arc);
      continue;
    }
    if (module.noted.insert(c.name).second) {
      Note(module, def.line,
           "the OID of " + def.label + " names " + c.name + ", which no loaded module defines");
    }
    return false;
  }
  return true;
}

Syntax ModuleSet::ResolveSyntax(LinkedModule& module, const TypeRef& type, int line) {
  Syntax syntax;
  syntax.type_name = type.name;
  syntax.named_numbers = type.named_numbers;
  syntax.ranges = type.ranges;
  syntax.sizes = type.sizes;
  const TypeRef* at = &type;
  LinkedModule* scope = &module;
  for (int steps = 0; steps <= kMaxTypeChain; ++steps) {
    if (const std::optional<BaseType> base = BaseTypeNamed(at->name)) {
      syntax.base = *base;
      if (at->application_tag >= 0 && steps > 0) ApplicationBase(at->application_tag, syntax.base);
      if (syntax.base == BaseType::kSequenceOf) syntax.entry = at->entry;
      return syntax;
    }
    const Ref ref = FindSymbol(*scope, at->name, Space::kType, line);
    if (!ref) {
      if (module.noted.insert("type " + at->name).second)
        Note(module, line, "unknown type " + at->name + " (noted once)");
      return syntax;
    }
    const Definition& def = ref.module->syntax.definitions[ref.def];
    syntax.conventions.push_back(Convention{def.label, ref.module->syntax.name, def.display_hint});
    if (!def.has_syntax) return syntax;
    if (syntax.named_numbers.empty()) syntax.named_numbers = def.syntax.named_numbers;
    if (syntax.ranges.empty()) syntax.ranges = def.syntax.ranges;
    if (syntax.sizes.empty()) syntax.sizes = def.syntax.sizes;
    at = &def.syntax;
    scope = ref.module;
  }
  Note(module, line,
       "the type " + type.name + " goes through more than " + std::to_string(kMaxTypeChain) +
           " definitions (a cycle?)");
  syntax.base = BaseType::kNone;
  return syntax;
}

std::vector<IndexPart> ModuleSet::AugmentedIndex(LinkedModule& module, const Definition& def) {
  LinkedModule* scope = &module;
  const Definition* at = &def;
  for (int steps = 0; steps < kMaxTypeChain && !at->augments.empty(); ++steps) {
    const Ref ref = FindSymbol(*scope, at->augments, Space::kValue, at->line);
    if (!ref) {
      Note(module, def.line, def.label + " AUGMENTS " + at->augments + ", which is not loaded");
      return {};
    }
    scope = ref.module;
    at = &ref.module->syntax.definitions[ref.def];
  }
  return at->index;
}

std::vector<LinkedNode> ModuleSet::Link(const std::vector<std::string>& names,
                                        std::vector<Diagnostic>& out) {
  std::vector<LinkedNode> nodes;
  std::vector<LinkedNode> implicit;
  out_ = &out;
  implicit_ = &implicit;
  for (const std::string& name : names) {
    LinkedModule* module = Find(name);
    if (module != nullptr && !module->built_in) CheckImports(*module);
  }
  for (const std::string& name : names) {
    LinkedModule* module = Find(name);
    if (module == nullptr) continue;
    const std::vector<Definition>& defs = module->syntax.definitions;
    for (std::size_t i = 0; i < defs.size(); ++i) {
      const Definition& def = defs[i];
      if (def.form != Definition::Form::kValue) continue;
      const Oid* oid = ResolveOid(*module, i, 0);
      if (oid == nullptr) continue;
      LinkedNode made;
      MibNode& node = made.node;
      node.oid = *oid;
      node.label = def.label;
      node.module = module->syntax.name;
      node.kind = def.kind;
      if (def.kind == NodeKind::kObjectType && def.has_syntax)
        node.syntax = ResolveSyntax(*module, def.syntax, def.line);
      node.access = def.access;
      node.status = def.status;
      node.units = def.units;
      node.augments = def.augments;
      node.index = def.augments.empty() ? def.index : AugmentedIndex(*module, def);
      node.file = module->syntax.file;
      node.line = def.line;
      nodes.push_back(std::move(made));
    }
  }
  for (LinkedNode& made : implicit) {
    const LinkedModule* module = Find(made.node.module);
    if (module != nullptr && module->values.count(made.node.label) == 0)
      nodes.push_back(std::move(made));
  }
  out_ = nullptr;
  implicit_ = nullptr;
  return nodes;
}

}  // namespace kivostrel::mib
