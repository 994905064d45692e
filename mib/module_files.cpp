#include "mib/module_files.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "mib/mib_parser.h"

namespace kivostrel::mib {
namespace {

namespace fs = std::filesystem;

// Built from the UTF-8 bytes as char8_t, so that Windows opens the wide path and never goes
// through the ANSI code page.
fs::path PathOf(std::string_view utf8) {
  std::u8string bytes(utf8.size(), u8'\0');
  std::transform(utf8.begin(), utf8.end(), bytes.begin(),
                 [](char c) { return static_cast<char8_t>(c); });
  return fs::path(bytes);
}

std::string Utf8Of(const fs::path& path) {
  const std::u8string bytes = path.u8string();
  return std::string(bytes.begin(), bytes.end());
}

// Enough of a file's start to hold the DEFINITIONS line behind a long comment.
constexpr std::size_t kHeadChunk = 16u << 10;
constexpr std::size_t kMaxHead = 1u << 20;

}  // namespace

bool IsFile(std::string_view path) {
  std::error_code error;
  return fs::is_regular_file(PathOf(path), error);
}

bool ReadModuleFile(std::string_view path, std::string& text, std::string& error) {
  const fs::path file = PathOf(path);
  std::error_code code;
  if (!fs::is_regular_file(file, code)) {
    error = "no such file";
    return false;
  }
  const std::uintmax_t size = fs::file_size(file, code);
  if (code) {
    error = "cannot read the file: " + code.message();
    return false;
  }
  if (size > kMaxModuleFileSize) {
    error = "the file is larger than " + std::to_string(kMaxModuleFileSize >> 20) + " MB";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot open the file";
    return false;
  }
  text.resize(static_cast<std::size_t>(size));
  in.read(text.data(), static_cast<std::streamsize>(size));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return true;
}

std::vector<IndexedFile> IndexFolder(std::string_view folder) {
  std::vector<IndexedFile> files;
  std::error_code code;
  fs::directory_iterator it(PathOf(folder), code);
  if (code) return files;
  std::string head;
  for (; it != fs::directory_iterator(); it.increment(code)) {
    if (code) break;
    std::error_code entry_code;
    if (!it->is_regular_file(entry_code)) continue;
    const std::uintmax_t size = it->file_size(entry_code);
    if (entry_code || size > kMaxModuleFileSize) continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::string module;
    head.clear();
    while (in && head.size() < kMaxHead) {
      const std::size_t had = head.size();
      head.resize(had + kHeadChunk);
      in.read(head.data() + had, static_cast<std::streamsize>(kHeadChunk));
      head.resize(had + static_cast<std::size_t>(in.gcount()));
      if (head.size() == had) break;
      // Rescanning the grown head is cheap next to reading: most modules name themselves in
      // the first chunk.
      module = ModuleNameIn(head);
      if (!module.empty()) break;
    }
    if (!module.empty()) files.push_back(IndexedFile{module, Utf8Of(it->path())});
  }
  std::sort(files.begin(), files.end(),
            [](const IndexedFile& a, const IndexedFile& b) { return a.path < b.path; });
  return files;
}

void ModuleIndex::Reset(const std::vector<std::string>& folders) {
  folders_ = folders;
  indexes_.assign(folders.size(), {});
  read_.assign(folders.size(), false);
  by_module_.clear();
  merged_ = 0;
}

const std::vector<IndexedFile>& ModuleIndex::Folder(std::size_t at) {
  if (!read_[at]) {
    indexes_[at] = IndexFolder(folders_[at]);
    read_[at] = true;
  }
  return indexes_[at];
}

std::string ModuleIndex::Find(std::string_view module) {
  const std::string key(module);
  while (true) {
    const auto found = by_module_.find(key);
    if (found != by_module_.end()) return found->second;
    if (merged_ >= folders_.size()) return {};
    // Folders are read only as far as needed, in order; an earlier folder's file wins.
    for (const IndexedFile& file : Folder(merged_)) by_module_.emplace(file.module, file.path);
    ++merged_;
  }
}

std::vector<IndexedFile> ModuleIndex::All() {
  std::vector<IndexedFile> all;
  for (std::size_t at = 0; at < folders_.size(); ++at) {
    const std::vector<IndexedFile>& folder = Folder(at);
    all.insert(all.end(), folder.begin(), folder.end());
  }
  return all;
}

}  // namespace kivostrel::mib
