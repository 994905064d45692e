// The files modules come from: reading one whole (bounded), and each search folder's index of
// module names to files, built from the start of each file up to its DEFINITIONS.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kivostrel::mib {

// Larger files are no modules: they are neither indexed nor read.
constexpr std::size_t kMaxModuleFileSize = 64u << 20;

// Reads the file at the UTF-8 `path` whole into `text`; an error's description otherwise.
// A directory, a missing file or one over kMaxModuleFileSize is an error.
bool ReadModuleFile(std::string_view path, std::string& text, std::string& error);

// Whether `path` names an existing regular file.
bool IsFile(std::string_view path);

struct IndexedFile {
  std::string module;
  std::string path;
};

// The module files of one folder, in file name order, each with the module name its DEFINITIONS
// line gives (only the first module of a file).
std::vector<IndexedFile> IndexFolder(std::string_view folder);

// The folders' indexes, each read once until the search path changes.
class ModuleIndex {
 public:
  void Reset(const std::vector<std::string>& folders);
  // The file of `module` in the first folder that has one; "" when none has.
  std::string Find(std::string_view module);
  // Every indexed file of every folder, folder by folder.
  std::vector<IndexedFile> All();

 private:
  const std::vector<IndexedFile>& Folder(std::size_t at);
  std::vector<std::string> folders_;
  std::vector<std::vector<IndexedFile>> indexes_;
  std::vector<bool> read_;
  std::unordered_map<std::string, std::string> by_module_;
  std::size_t merged_ = 0;  // folders whose files by_module_ holds
};

}  // namespace kivostrel::mib
