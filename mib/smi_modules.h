// The SMI's own modules, built in as data: SNMPv2-SMI, SNMPv2-TC, SNMPv2-CONF, RFC1155-SMI,
// RFC-1212 and RFC-1215. A file of one of these names in the search path is never read: these
// definitions are the ones every module links against.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "mib/mib_node.h"
#include "mib/module_syntax.h"

namespace kivostrel::mib {

std::vector<ModuleSyntax> BuiltInModules();

bool IsBuiltInModule(std::string_view name);

// The base type a type name stands for by itself: the SMI's keywords and application types
// (INTEGER, Integer32, Counter, Gauge32, NetworkAddress, ...); kNone for CHOICE, nullopt for any
// other name.
std::optional<BaseType> BaseTypeNamed(std::string_view name);

}  // namespace kivostrel::mib
