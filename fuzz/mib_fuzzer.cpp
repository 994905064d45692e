// MIB module text through the whole reader: lexer, parser and linker. Each input is one module
// file loaded into a fresh library, then every node is looked up again.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mib/mib_library.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kivostrel::mib::MibLibrary library;
  const kivostrel::mib::LoadResult result = library.LoadText(text, "fuzz.mib");
  for (const kivostrel::mib::Diagnostic& diagnostic : result.diagnostics) (void)diagnostic.Text();
  for (const kivostrel::mib::MibNode* node : result.added) {
    (void)library.FindPrefix(node->oid);
    (void)library.Resolve(node->module + "::" + node->label + ".1");
    (void)node->syntax.DisplayHint();
  }
  return 0;
}
