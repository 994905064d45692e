// `ostrel translate -Td`: an object as its loaded MIB module defines it, a field a line.
#pragma once

#include <string>

#include "control/kivostrel.h"
#include "mib/mib_node.h"

namespace kivostrel::ostrel {

// The lines -Td shows for `node`, the first being `name` ("IF-MIB::ifOperStatus"):
//   IF-MIB::ifOperStatus
//     oid           .1.3.6.1.2.1.2.2.1.8
//     kind          OBJECT-TYPE
//     module        IF-MIB (IF-MIB.mib:1021)
//     syntax        INTEGER {up(1), down(2), ...}
//     base type     INTEGER
//   ... then the conventions, display-hint, value range, size, access, status, units, index and
// augments it has, each only when it has one. Every line ends with a line break.
std::string DescribeNode(const mib::MibNode& node, const std::string& name);

// DescribeNode of the node that `oid` (numbers) is or is an instance of. Throws UsageError when
// no loaded module defines it.
std::string DescribeObject(const kivOstrel& control, const std::string& oid);

}  // namespace kivostrel::ostrel
