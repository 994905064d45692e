// MibLibrary: MIB modules read at run time. SMIv1 (RFC 1155, 1212, 1215) and SMIv2 (RFC 2578,
// 2579, 2580), read as vendors write them; the SMI's own modules (SNMPv2-SMI, SNMPv2-TC,
// SNMPv2-CONF, RFC1155-SMI, RFC-1212, RFC-1215) are built in. A module is loaded from a file or
// by its name, found in the search folders by the name on each file's DEFINITIONS line, and its
// IMPORTS with it. Problems are collected as diagnostics with file and line, never thrown: a
// module with errors still gives every node that resolves.
//
// Texts (labels, module names, paths) are UTF-8. Not for use by two threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mib/mib_node.h"

namespace kivostrel::mib {

// "1.3.6.1": the arcs of `oid` in dotted decimal ("" for none).
std::string OidText(std::span<const std::uint32_t> oid);

struct Diagnostic {
  std::string file;  // as the module was found; "" where no file is concerned
  int line = 0;      // 0 when the problem concerns no line
  std::string message;
  // "FILE:LINE: message" (or "FILE: message", or the message alone).
  std::string Text() const;
};

struct LoadResult {
  // The module asked for, by its own name; empty when it could not be read at all.
  std::string module;
  // The problems found in this load, in the order found (the module's and its imports').
  std::vector<Diagnostic> diagnostics;
  // The nodes this load added (none when the module was loaded before), parents before their
  // children (in OID order).
  std::vector<const MibNode*> added;
};

class MibLibrary {
 public:
  MibLibrary();
  ~MibLibrary();
  MibLibrary(const MibLibrary&) = delete;
  MibLibrary& operator=(const MibLibrary&) = delete;

  // The folders searched for modules by name, in order. Changing them forgets which files hold
  // which module (the folders are read again at the next load); loaded modules stay.
  void SetSearchPath(std::vector<std::string> folders);
  const std::vector<std::string>& search_path() const;

  // Loads `module_or_file`: a path to a file (one that exists, or that has a '/' or '\\'), else
  // a module name looked up in the search folders; then its imports, found by name. A module
  // loaded before is not read again.
  LoadResult Load(std::string_view module_or_file);
  // Every module of the search folders (Net-SNMP's -m ALL); `module` is empty.
  LoadResult LoadAll();
  // Loads the modules of `text`, as if read from a file named `file_name` (which diagnostics
  // name); their imports are found in the search folders as Load finds them.
  LoadResult LoadText(std::string_view text, std::string_view file_name);

  // The node at exactly `oid`.
  const MibNode* FindNode(std::span<const std::uint32_t> oid) const;
  // The node with the longest OID that is `oid` or a prefix of it (an object for an instance).
  const MibNode* FindPrefix(std::span<const std::uint32_t> oid) const;
  // A node by label: in `module` when one is given, else the first loaded with that label.
  const MibNode* FindLabel(std::string_view label, std::string_view module = {}) const;
  // Whether a module of that name is loaded (built-in ones count).
  bool IsLoaded(std::string_view module) const;
  // Every node loaded, in OID order.
  std::vector<const MibNode*> Nodes() const;

  // `text` as an OID: "MODULE::label.suffix", "label.suffix" (a label of a loaded module, with an
  // optional dotted numeric suffix), or dotted decimal ("1.3.6.1", ".1.3.6.1"). nullopt when it
  // is none of these.
  std::optional<Oid> Resolve(std::string_view text) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kivostrel::mib
