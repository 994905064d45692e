#include "mib/mib_library.h"

#include <algorithm>
#include <deque>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "mib/mib_parser.h"
#include "mib/module_files.h"
#include "mib/module_linker.h"
#include "mib/smi_modules.h"

namespace kivostrel::mib {
namespace {

constexpr std::size_t kMaxDiagnosticsPerLoad = 10000;

bool HasSeparator(std::string_view text) {
  return text.find('/') != std::string_view::npos || text.find('\\') != std::string_view::npos;
}

bool DottedDecimal(std::string_view text, Oid& oid) {
  if (!text.empty() && text.front() == '.') text.remove_prefix(1);
  if (text.empty()) return false;
  while (true) {
    const std::size_t dot = text.find('.');
    const std::string_view piece = text.substr(0, dot);
    if (piece.empty() || piece.size() > 10) return false;
    std::uint64_t arc = 0;
    for (const char c : piece) {
      if (c < '0' || c > '9') return false;
      arc = arc * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (arc > 0xFFFFFFFFu) return false;
    oid.push_back(static_cast<std::uint32_t>(arc));
    if (oid.size() > 128) return false;
    if (dot == std::string_view::npos) return true;
    text.remove_prefix(dot + 1);
  }
}

bool OidLess(const MibNode* a, const MibNode* b) {
  return a->oid < b->oid;
}

}  // namespace

std::string OidText(std::span<const std::uint32_t> oid) {
  std::string text;
  for (const std::uint32_t arc : oid) {
    if (!text.empty()) text += '.';
    text += std::to_string(arc);
  }
  return text;
}

std::string Diagnostic::Text() const {
  if (file.empty()) return message;
  if (line == 0) return file + ": " + message;
  return file + ":" + std::to_string(line) + ": " + message;
}

struct MibLibrary::State {
  std::vector<std::string> search_path;
  ModuleIndex index;
  ModuleSet modules;
  std::unordered_map<std::string, std::vector<std::string>> files_read;  // path -> its modules
  std::deque<MibNode> nodes;
  std::unordered_set<const MibNode*> implicit;
  std::map<Oid, const MibNode*> by_oid;
  std::unordered_map<std::string, std::vector<const MibNode*>> by_label;

  // One load: the modules it added, then their imports, then linking.
  struct Session {
    LoadResult result;
    std::vector<std::string> fresh;
    std::unordered_set<std::string> missing;
  };

  std::vector<std::string> ReadFile(const std::string& path, Session& session) {
    const auto known = files_read.find(path);
    if (known != files_read.end()) return known->second;
    std::vector<std::string> names;
    std::string text, error;
    if (!ReadModuleFile(path, text, error)) {
      session.result.diagnostics.push_back(Diagnostic{path, 0, error});
      return names;
    }
    Problems problems(session.result.diagnostics, path);
    for (ModuleSyntax& module : ParseModules(text, problems)) {
      names.push_back(module.name);
      if (IsBuiltInModule(module.name)) {
        // The built-in definitions win over any file's copy of the SMI.
        session.result.diagnostics.push_back(Diagnostic{
            path, module.line, module.name + " is built in; this file's copy is not read"});
        continue;
      }
      const std::string name = module.name;
      if (modules.Add(std::move(module), false, session.result.diagnostics))
        session.fresh.push_back(name);
    }
    files_read.emplace(path, names);
    return names;
  }

  void ReadImports(Session& session) {
    for (std::size_t i = 0; i < session.fresh.size(); ++i) {
      const LinkedModule* module = modules.Get(session.fresh[i]);
      for (const Import& import : module->syntax.imports) {
        if (modules.Get(import.module) != nullptr) continue;
        const std::string path = index.Find(import.module);
        if (!path.empty()) ReadFile(path, session);
        if (modules.Get(import.module) == nullptr &&
            session.missing.insert(module->syntax.name + " " + import.module).second) {
          session.result.diagnostics.push_back(Diagnostic{module->syntax.file, import.line,
                                                          module->syntax.name + " imports from " +
                                                              import.module +
                                                              ", which is not in the search path"});
        }
        module = modules.Get(session.fresh[i]);
      }
    }
    NoteImportCycles(session);
  }

  // Modules that import each other still link (every module's definitions are read before any
  // is linked), but such a cycle is noted.
  void NoteImportCycles(Session& session) {
    std::unordered_set<std::string> fresh(session.fresh.begin(), session.fresh.end());
    for (const std::string& start : session.fresh) {
      std::vector<const LinkedModule*> stack = {modules.Get(start)};
      std::unordered_set<std::string> seen;
      while (!stack.empty()) {
        const LinkedModule* at = stack.back();
        stack.pop_back();
        for (const Import& import : at->syntax.imports) {
          if (import.module == start) {
            const LinkedModule* first = modules.Get(start);
            session.result.diagnostics.push_back(Diagnostic{
                first->syntax.file, first->syntax.line,
                start + "'s IMPORTS lead back to itself (through " + at->syntax.name + ")"});
            stack.clear();
            break;
          }
          if (fresh.count(import.module) != 0 && seen.insert(import.module).second)
            stack.push_back(modules.Get(import.module));
        }
      }
    }
  }

  void Link(Session& session) {
    std::vector<LinkedNode> linked = modules.Link(session.fresh, session.result.diagnostics);
    for (LinkedNode& made : linked) {
      const auto at = by_oid.find(made.node.oid);
      if (made.implicit && at != by_oid.end()) continue;
      nodes.push_back(std::move(made.node));
      const MibNode* node = &nodes.back();
      if (made.implicit) implicit.insert(node);
      by_label[node->label].push_back(node);
      if (at == by_oid.end()) {
        by_oid.emplace(node->oid, node);
      } else if (implicit.count(at->second) != 0) {
        at->second = node;  // a defined node takes the place of one only named in a value
      }
      session.result.added.push_back(node);
    }
    std::stable_sort(session.result.added.begin(), session.result.added.end(), OidLess);
    std::vector<Diagnostic>& diagnostics = session.result.diagnostics;
    if (diagnostics.size() > kMaxDiagnosticsPerLoad) {
      diagnostics.resize(kMaxDiagnosticsPerLoad);
      diagnostics.push_back(Diagnostic{"", 0, "too many problems; the rest are not shown"});
    }
  }
};

MibLibrary::MibLibrary() : state_(std::make_unique<State>()) {
  std::vector<Diagnostic> ignored;
  State::Session session;
  for (ModuleSyntax& module : BuiltInModules()) {
    session.fresh.push_back(module.name);
    state_->modules.Add(std::move(module), true, ignored);
  }
  state_->Link(session);
}

MibLibrary::~MibLibrary() = default;

void MibLibrary::SetSearchPath(std::vector<std::string> folders) {
  state_->search_path = std::move(folders);
  state_->index.Reset(state_->search_path);
}

const std::vector<std::string>& MibLibrary::search_path() const {
  return state_->search_path;
}

LoadResult MibLibrary::Load(std::string_view module_or_file) {
  State::Session session;
  const std::string text(module_or_file);
  if (IsFile(text) || HasSeparator(text)) {
    const std::vector<std::string> names = state_->ReadFile(text, session);
    if (!names.empty()) session.result.module = names.front();
  } else if (IsLoaded(text)) {
    session.result.module = text;
    return std::move(session.result);
  } else {
    const std::string path = state_->index.Find(text);
    if (path.empty()) {
      session.result.diagnostics.push_back(
          Diagnostic{"", 0, "module " + text + " is not in the search path"});
      return std::move(session.result);
    }
    state_->ReadFile(path, session);
    if (IsLoaded(text)) session.result.module = text;
  }
  state_->ReadImports(session);
  state_->Link(session);
  return std::move(session.result);
}

LoadResult MibLibrary::LoadText(std::string_view text, std::string_view file_name) {
  State::Session session;
  Problems problems(session.result.diagnostics, std::string(file_name));
  if (text.size() > kMaxModuleFileSize) {
    problems.Add(0, "the text is larger than " + std::to_string(kMaxModuleFileSize >> 20) + " MB");
    return std::move(session.result);
  }
  for (ModuleSyntax& module : ParseModules(text, problems)) {
    if (session.result.module.empty()) session.result.module = module.name;
    const std::string name = module.name;
    if (!IsBuiltInModule(name) &&
        state_->modules.Add(std::move(module), false, session.result.diagnostics)) {
      session.fresh.push_back(name);
    }
  }
  state_->ReadImports(session);
  state_->Link(session);
  return std::move(session.result);
}

LoadResult MibLibrary::LoadAll() {
  State::Session session;
  for (const IndexedFile& file : state_->index.All()) {
    // Built-in modules and modules read already (as another's import) are not read again.
    if (!IsLoaded(file.module)) state_->ReadFile(file.path, session);
  }
  state_->ReadImports(session);
  state_->Link(session);
  return std::move(session.result);
}

const MibNode* MibLibrary::FindNode(std::span<const std::uint32_t> oid) const {
  const auto found = state_->by_oid.find(Oid(oid.begin(), oid.end()));
  return found == state_->by_oid.end() ? nullptr : found->second;
}

const MibNode* MibLibrary::FindPrefix(std::span<const std::uint32_t> oid) const {
  Oid key(oid.begin(), oid.end());
  while (!key.empty()) {
    const auto found = state_->by_oid.find(key);
    if (found != state_->by_oid.end()) return found->second;
    key.pop_back();
  }
  return nullptr;
}

const MibNode* MibLibrary::FindLabel(std::string_view label, std::string_view module) const {
  const auto found = state_->by_label.find(std::string(label));
  if (found == state_->by_label.end()) return nullptr;
  for (const MibNode* node : found->second) {
    if (module.empty() || node->module == module) return node;
  }
  return nullptr;
}

bool MibLibrary::IsLoaded(std::string_view module) const {
  return state_->modules.Get(module) != nullptr;
}

std::vector<const MibNode*> MibLibrary::Nodes() const {
  std::vector<const MibNode*> nodes;
  nodes.reserve(state_->by_oid.size());
  for (const auto& [oid, node] : state_->by_oid) nodes.push_back(node);
  return nodes;
}

std::optional<Oid> MibLibrary::Resolve(std::string_view text) const {
  Oid oid;
  if (text.empty()) return std::nullopt;
  if (text.front() == '.' || (text.front() >= '0' && text.front() <= '9')) {
    if (!DottedDecimal(text, oid)) return std::nullopt;
    return oid;
  }
  std::string_view module;
  const std::size_t colons = text.find("::");
  if (colons != std::string_view::npos) {
    module = text.substr(0, colons);
    text.remove_prefix(colons + 2);
  }
  const std::size_t dot = text.find('.');
  const std::string_view label = text.substr(0, dot);
  const MibNode* node = FindLabel(label, module);
  if (node == nullptr) return std::nullopt;
  if (module.empty()) {
    // Without a module, a label of two different OIDs says nothing.
    for (const MibNode* other : state_->by_label.find(std::string(label))->second) {
      if (other->oid != node->oid) return std::nullopt;
    }
  }
  oid = node->oid;
  if (dot != std::string_view::npos) {
    Oid suffix;
    if (!DottedDecimal(text.substr(dot + 1), suffix)) return std::nullopt;
    oid.insert(oid.end(), suffix.begin(), suffix.end());
  }
  return oid;
}

}  // namespace kivostrel::mib
