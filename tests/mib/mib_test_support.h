// What the MIB tests share: module snippets written to a folder of their own, and a node as one
// line of text that a table can expect.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "mib/mib_node.h"

namespace kivostrel::mib {

// A fresh folder under the system's temporary folder, removed with the object.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // Writes `text` as the file `name`; returns its path (UTF-8).
  std::string Write(std::string_view name, std::string_view text) const;
  std::string path() const;

 private:
  std::filesystem::path path_;
};

// "1.3.6.1.4.1.1 object-type INTEGER/integer enums=up(1),down(2) access=read-only ..."; the
// parts of no value are left out.
std::string Describe(const MibNode& node);

std::string DottedOid(const Oid& oid);

}  // namespace kivostrel::mib
