// The parser: a file's tokens into the modules it defines (usually one). It never recurses:
// nested braces and parentheses are skipped with a counter, and problems become diagnostics.
#pragma once

#include <string_view>
#include <vector>

#include "mib/mib_lexer.h"
#include "mib/module_syntax.h"

namespace kivostrel::mib {

// The modules of `text`; none (with a diagnostic) when there is no "NAME DEFINITIONS ::= BEGIN".
std::vector<ModuleSyntax> ParseModules(std::string_view text, Problems& problems);

// The name on the first DEFINITIONS line of `head` (the start of a file), or "" when there is
// none in it.
std::string ModuleNameIn(std::string_view head);

}  // namespace kivostrel::mib
