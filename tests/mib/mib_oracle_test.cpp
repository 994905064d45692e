// Real modules against Net-SNMP: every node this reader and snmptranslate both read must have the
// same OID. The IETF modules come from npm's net-snmp package (tests/mib/fetch_ietf_mibs.sh),
// found through KIVOSTREL_IETF_MIBS; Net-SNMP's own modules from its installed folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "mib/mib_library.h"
#include "mib_test_support.h"

namespace kivostrel::mib {
namespace {

constexpr const char* kNetSnmpMibs = "/usr/share/snmp/mibs";

// Every label snmptranslate knows, with each OID it gives it.
std::map<std::string, std::set<std::string>> NetSnmpTree(const std::string& folders) {
  std::map<std::string, std::set<std::string>> tree;
  const std::string command =
      "MIBS= MIBDIRS= snmptranslate -Tz -M '" + folders + "' -m ALL 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return tree;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    // "label"<tabs>"1.3.6.1"
    const std::string text(line);
    const std::size_t a = text.find('"'), b = text.find('"', a + 1);
    const std::size_t c = text.find('"', b + 1), d = text.find('"', c + 1);
    if (d == std::string::npos) continue;
    tree[text.substr(a + 1, b - a - 1)].insert(text.substr(c + 1, d - c - 1));
  }
  pclose(pipe);
  return tree;
}

TEST(MibOracleTest, AgreesWithNetSnmpOnEveryNodeBothRead) {
  const char* ietf = std::getenv("KIVOSTREL_IETF_MIBS");
  if (ietf == nullptr || *ietf == '\0') GTEST_SKIP() << "KIVOSTREL_IETF_MIBS is not set";
  std::vector<std::string> folders = {ietf};
  if (std::filesystem::is_directory(kNetSnmpMibs)) folders.push_back(kNetSnmpMibs);
  std::string joined;
  for (const std::string& folder : folders) joined += (joined.empty() ? "" : ":") + folder;
  const auto tree = NetSnmpTree(joined);
  if (tree.empty()) GTEST_SKIP() << "snmptranslate gave nothing";

  MibLibrary library;
  library.SetSearchPath(folders);
  const LoadResult result = library.LoadAll();
  for (const char* module : {"IF-MIB", "SNMPv2-MIB", "RFC1213-MIB", "IANAifType-MIB"})
    EXPECT_TRUE(library.IsLoaded(module)) << module;
  int agreed = 0, only_ours = 0;
  for (const MibNode* node : result.added) {
    const auto found = tree.find(node->label);
    if (found == tree.end()) {
      ++only_ours;
      continue;
    }
    const std::string oid = DottedOid(node->oid);
    EXPECT_EQ(found->second.count(oid), 1u) << node->module << "::" << node->label << " " << oid;
    ++agreed;
  }
  std::printf(
      "[ oracle   ] %d nodes agree with snmptranslate, %d it does not list, %zu labels "
      "it lists\n",
      agreed, only_ours, tree.size());
  EXPECT_GT(agreed, 700);

  const MibNode* descr = library.FindLabel("ifDescr", "IF-MIB");
  ASSERT_NE(descr, nullptr);
  EXPECT_EQ(Describe(*descr),
            "1.3.6.1.2.1.2.2.1.2 object-type DisplayString/octets "
            "tc=DisplayString@SNMPv2-TC'255a' sizes=0..255 access=read-only");
  const MibNode* type = library.FindLabel("ifType", "IF-MIB");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->syntax.conventions.at(0).module, "IANAifType-MIB");
  EXPECT_GT(type->syntax.named_numbers.size(), 200u);
  EXPECT_EQ(library.Resolve("IF-MIB::ifInOctets.3"), (Oid{1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 3}));
}

}  // namespace
}  // namespace kivostrel::mib
