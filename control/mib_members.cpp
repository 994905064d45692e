// The MIB module members of the engine: loading modules into the name table, and values and
// instance names as the loaded modules describe them.
#include <string>

#include "control/kivostrel.h"
#include "encoding/automation_error.h"
#include "mib/mib_library.h"
#include "mib/value_text.h"

namespace kivostrel {
namespace {

// The folders of a ";"-separated path, blanks around each dropped, empty ones left out.
std::vector<std::string> FoldersOf(std::string_view path) {
  std::vector<std::string> folders;
  while (!path.empty()) {
    const std::size_t end = path.find(';');
    std::string_view folder = path.substr(0, end);
    while (!folder.empty() && folder.front() == ' ') folder.remove_prefix(1);
    while (!folder.empty() && folder.back() == ' ') folder.remove_suffix(1);
    if (!folder.empty()) folders.emplace_back(folder);
    if (end == std::string_view::npos) break;
    path.remove_prefix(end + 1);
  }
  return folders;
}

}  // namespace

mib::MibLibrary& kivOstrel::Mibs() {
  if (!mibs_) {
    mibs_ = std::make_unique<mib::MibLibrary>();
    mibs_->SetSearchPath(FoldersOf(m_MibPath));
  }
  return *mibs_;
}

void kivOstrel::TakeLoad(const mib::LoadResult& loaded) {
  m_MibWarnings.clear();
  for (const mib::Diagnostic& diagnostic : loaded.diagnostics) {
    if (!m_MibWarnings.empty()) m_MibWarnings += "\r\n";
    m_MibWarnings += diagnostic.Text();
  }
  // Parents come before their children, so a node's parent already has its row (or is one of the
  // table's own), and rows already there keep their names.
  for (const mib::MibNode* node : loaded.added) {
    if (node->oid.empty()) continue;
    const std::string oid = mib::OidText(node->oid);
    const std::string parent =
        OID2Name(mib::OidText(std::span(node->oid).first(node->oid.size() - 1)));
    SetOIDFirst(oid, parent.empty() ? node->label : parent + "." + node->label);
  }
}

std::string kivOstrel::LoadMib(std::string_view Module) {
  const mib::LoadResult loaded = Mibs().Load(Module);
  TakeLoad(loaded);
  if (loaded.module.empty()) {
    const std::string what = loaded.diagnostics.empty() ? "cannot read " + std::string(Module)
                                                        : loaded.diagnostics.front().Text();
    throw AutomationError(kErrInvalidCall, kLibraryName, "LoadMib: " + what);
  }
  return loaded.module;
}

void kivOstrel::LoadEveryMib() {
  TakeLoad(Mibs().LoadAll());
}

void kivOstrel::MibPath(std::string_view vNewValue) {
  m_MibPath = std::string(vNewValue);
  if (mibs_) mibs_->SetSearchPath(FoldersOf(m_MibPath));
}

std::string kivOstrel::FormatValue(std::string_view OID, const Variant& Value) const {
  if (mibs_) {
    if (const auto oid = mibs_->Resolve(OID)) {
      const mib::MibNode* object = mibs_->FindPrefix(*oid);
      if (object != nullptr && object->kind == mib::NodeKind::kObjectType) {
        if (auto text = mib::FormatValue(*object, Value)) return std::move(*text);
      }
    }
  }
  return ValueToText(Value);
}

std::string kivOstrel::IndexedName(std::string_view OID) const {
  if (!mibs_) return std::string(OID);
  const auto oid = mibs_->Resolve(OID);
  if (!oid) return std::string(OID);
  const mib::MibNode* object = mibs_->FindPrefix(*oid);
  if (object == nullptr) return std::string(OID);
  const std::span<const std::uint32_t> whole(*oid);
  if (object->oid.size() >= 2 && whole.size() > object->oid.size()) {
    const mib::MibNode* entry =
        mibs_->FindNode(std::span(object->oid).first(object->oid.size() - 1));
    if (entry != nullptr && !entry->index.empty()) {
      const auto find = [this](std::string_view label, std::string_view module) {
        const mib::MibNode* found = mibs_->FindLabel(label, module);
        return found != nullptr ? found : mibs_->FindLabel(label);
      };
      if (auto name = mib::IndexedName(*object, *entry, whole, find)) return std::move(*name);
    }
  }
  std::string name = object->label;
  for (const std::uint32_t arc : whole.subspan(object->oid.size())) {
    name += '.';
    name += std::to_string(arc);
  }
  return name;
}

}  // namespace kivostrel
