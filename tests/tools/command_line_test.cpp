#include "tools/ostrel/command_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace kivostrel::ostrel {
namespace {

std::vector<std::string> Words(std::initializer_list<const char*> words) {
  return {words.begin(), words.end()};
}

struct ValidCase {
  std::vector<std::string> args;
  std::function<void(const Invocation&)> check;
};

TEST(OstrelCommandLineTest, ReadsValidCommandLines) {
  const ValidCase cases[] = {
      {Words({"get", "127.0.0.1", "public", "sysDescr.0", "1.3.6.1.2.1.1.3.0"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kGet);
         EXPECT_EQ(i.target, (Target{"127.0.0.1", "161"}));
         EXPECT_EQ(i.community, "public");
         EXPECT_EQ(i.oids, Words({"sysDescr.0", "1.3.6.1.2.1.1.3.0"}));
         EXPECT_FALSE(i.json);
         EXPECT_FALSE(i.timeout_seconds);
         EXPECT_EQ(i.retries, 1);
         EXPECT_EQ(i.local_address, "");
         EXPECT_EQ(i.local_port, 0);
         EXPECT_EQ(i.snmp_version, 0);
       }},
      // The version as Net-SNMP's tools spell it, anywhere before a lone "--".
      {Words({"get", "-v", "2c", "127.0.0.1", "public", "1.3"}),
       [](const Invocation& i) { EXPECT_EQ(i.snmp_version, 1); }},
      {Words({"get", "127.0.0.1", "-v2c", "public", "1.3"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.snmp_version, 1);
         EXPECT_EQ(i.oids, Words({"1.3"}));
       }},
      {Words({"set", "127.0.0.1", "private", "--", "1.3", "s", "-v2c"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.snmp_version, 0);
         EXPECT_EQ(i.bindings[0], (BindingArgument{"1.3", 's', "-v2c"}));
       }},
      {Words({"listen", "-v", "2c"}), [](const Invocation& i) { EXPECT_EQ(i.snmp_version, 1); }},
      // getbulk and bulkwalk: snmpbulkget's -Cn and -Cr, blank or joined, defaults 0 and 10.
      {Words({"getbulk", "-v2c", "127.0.0.1", "public", "sysDescr.0", "1.3.6.1.2.1.2"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kGetBulk);
         EXPECT_EQ(i.oids, Words({"sysDescr.0", "1.3.6.1.2.1.2"}));
         EXPECT_EQ(i.non_repeaters, 0);
         EXPECT_EQ(i.max_repetitions, 10);
       }},
      {Words({"getbulk", "-v", "2c", "-Cn1", "-Cr", "25", "127.0.0.1", "public", "1.3"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.non_repeaters, 1);
         EXPECT_EQ(i.max_repetitions, 25);
       }},
      {Words({"bulkwalk", "-v2c", "-Cr50", "--json", "127.0.0.1", "public"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kBulkWalk);
         EXPECT_EQ(i.max_repetitions, 50);
         EXPECT_EQ(i.oids, Words({kDefaultWalkRoot}));
         EXPECT_TRUE(i.json);
       }},
      // trap -v 2c and inform: AGENT COMMUNITY UPTIME TRAP-OID [OID TYPE VALUE]...
      {Words({"trap", "-v", "2c", "127.0.0.1", "public", "", "1.3.6.1.4.1.99999.0.1",
              "1.3.6.1.4.1.99999.2", "C", "18446744073709551615"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kTrap);
         EXPECT_EQ(i.target, (Target{"127.0.0.1", "162"}));
         EXPECT_FALSE(i.uptime);
         EXPECT_EQ(i.trap_oid, "1.3.6.1.4.1.99999.0.1");
         EXPECT_EQ(i.enterprise, "");
         ASSERT_EQ(i.bindings.size(), 1u);
         EXPECT_EQ(i.bindings[0], (BindingArgument{"1.3.6.1.4.1.99999.2", 'C',
                                                   "18446744073709551615"}));
       }},
      {Words({"trap", "-v2c", "[::1]:1162", "public", "4294967294", "coldStart"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.target, (Target{"::1", "1162"}));
         EXPECT_EQ(i.uptime, -2);
         EXPECT_TRUE(i.bindings.empty());
       }},
      {Words({"inform", "-v", "2c", "--timeout", "1", "--retries", "3", "127.0.0.1", "public",
              "12345", "1.3.6.1.4.1.99999.0.2", "1.3.6.1.4.1.99999.1", "s", "hi"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kInform);
         EXPECT_EQ(i.target, (Target{"127.0.0.1", "162"}));
         EXPECT_EQ(i.uptime, 12345);
         EXPECT_EQ(i.trap_oid, "1.3.6.1.4.1.99999.0.2");
         EXPECT_EQ(i.timeout_seconds, 1.0);
         EXPECT_EQ(i.retries, 3);
         EXPECT_EQ(i.bindings, (std::vector<BindingArgument>{{"1.3.6.1.4.1.99999.1", 's', "hi"}}));
       }},
      {Words({"get", "--local", "127.0.0.1:1234", "[::1]:1161", "public", "1.3"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.target, (Target{"::1", "1161"}));
         EXPECT_EQ(i.local_address, "127.0.0.1");
         EXPECT_EQ(i.local_port, 1234);
       }},
      {Words({"get", "::1", "public", "1.3"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.target, (Target{"::1", "161"}));
       }},
      {Words({"set", "--local=[::1]", "udp6:[2001:db8::7]:snmp", "private", "1.3", "i", "1"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.target, (Target{"2001:db8::7", "snmp"}));
         EXPECT_EQ(i.local_address, "::1");
         EXPECT_EQ(i.local_port, 0);
       }},
      {Words({"getnext", "--json", "udp:localhost:1161", "--timeout=0.5", "c", "--retries", "0",
              "1.3"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kGetNext);
         EXPECT_EQ(i.target, (Target{"localhost", "1161"}));
         EXPECT_TRUE(i.json);
         EXPECT_EQ(i.timeout_seconds, 0.5);
         EXPECT_EQ(i.retries, 0);
       }},
      {Words({"walk", "127.0.0.1:snmp", "public"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.target, (Target{"127.0.0.1", "snmp"}));
         EXPECT_EQ(i.oids, Words({kDefaultWalkRoot}));
       }},
      {Words({"walk", "127.0.0.1", "public", "system"}),
       [](const Invocation& i) { EXPECT_EQ(i.oids, Words({"system"})); }},
      {Words({"walk", "udp6:::1", "--local", "localhost:0", "public"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.target, (Target{"::1", "161"}));
         EXPECT_EQ(i.local_address, "localhost");
       }},
      {Words({"set", "127.0.0.1", "private", "sysContact.0", "s", "me", "1.3.6.1.2.1.2.2.1.7.1",
              "i", "-5"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kSet);
         ASSERT_EQ(i.bindings.size(), 2u);
         EXPECT_EQ(i.bindings[0], (BindingArgument{"sysContact.0", 's', "me"}));
         EXPECT_EQ(i.bindings[1], (BindingArgument{"1.3.6.1.2.1.2.2.1.7.1", 'i', "-5"}));
       }},
      {Words({"trap", "--agent-address", "10.0.0.1", "--uptime", "12345", "127.0.0.1", "public",
              "1.3.6.1.4.1.9999", "6", "17", "1.3.6.1.4.1.9999.1", "x", "00 0C"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kTrap);
         EXPECT_EQ(i.target, (Target{"127.0.0.1", "162"}));
         EXPECT_EQ(i.enterprise, "1.3.6.1.4.1.9999");
         EXPECT_EQ(i.generic_trap, 6);
         EXPECT_EQ(i.specific_trap, "17");
         EXPECT_EQ(i.agent_address, "10.0.0.1");
         EXPECT_EQ(i.uptime, 12345);
         ASSERT_EQ(i.bindings.size(), 1u);
         EXPECT_EQ(i.bindings[0].type, 'x');
       }},
      {Words(
           {"trap", "--local", ":1163", "127.0.0.1:1162", "public", "1.3.6.1.4.1.9999", "0", "0"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.target, (Target{"127.0.0.1", "1162"}));
         EXPECT_EQ(i.local_address, "");
         EXPECT_EQ(i.local_port, 1163);
         EXPECT_FALSE(i.agent_address);
         EXPECT_FALSE(i.uptime);
         EXPECT_TRUE(i.bindings.empty());
       }},
      // Time stamps the control sends from a negative TickCount, and "auto" for its -1.
      {Words({"trap", "--uptime", "4294967294", "[::1]", "public", "1.3", "0", "0"}),
       [](const Invocation& i) { EXPECT_EQ(i.uptime, -2); }},
      {Words({"trap", "--uptime", "2147483648", "[::1]", "public", "1.3", "0", "0"}),
       [](const Invocation& i) { EXPECT_EQ(i.uptime, std::numeric_limits<std::int32_t>::min()); }},
      {Words({"trap", "--uptime", "auto", "[::1]", "public", "1.3", "0", "0"}),
       [](const Invocation& i) { EXPECT_FALSE(i.uptime); }},
      {Words({"trap", "--uptime", "-1", "[::1]", "public", "1.3", "0", "0"}),
       [](const Invocation& i) { EXPECT_FALSE(i.uptime); }},
      {Words({"trap", "[::1]", "public", "1.3.6.1.4.1.9999", "0", "0"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.target, (Target{"::1", "162"}));
       }},
      {Words({"listen"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.local_address, "");
         EXPECT_EQ(i.local_port, 162);
         EXPECT_FALSE(i.count);
         EXPECT_FALSE(i.timeout_seconds);
       }},
      {Words({"listen", "--address", "127.0.0.1", "--port", "0", "--count", "3", "--timeout", "10",
              "--string-type", "1"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.local_address, "127.0.0.1");
         EXPECT_EQ(i.local_port, 0);
         EXPECT_EQ(i.count, 3);
         EXPECT_EQ(i.timeout_seconds, 10.0);
         EXPECT_EQ(i.string_type, 1);
       }},
      {Words({"listen", "--local", "127.0.0.1:1162"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.local_address, "127.0.0.1");
         EXPECT_EQ(i.local_port, 1162);
       }},
      // An address alone keeps the port: the default, or one given before.
      {Words({"listen", "--local", "::1"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.local_address, "::1");
         EXPECT_EQ(i.local_port, 162);
       }},
      {Words({"listen", "--port", "0", "--local", "[::]"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.local_address, "::");
         EXPECT_EQ(i.local_port, 0);
       }},
      {Words({"decode", "--hex", "30 00", "a.bin", "--hex=05 00", "--", "--odd-name"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.hex, Words({"30 00", "05 00"}));
         EXPECT_EQ(i.files, Words({"a.bin", "--odd-name"}));
       }},
      {Words({"translate", "1.3.6", "iso.org"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.oids, Words({"1.3.6", "iso.org"}));
       }},
      {Words({"find", "--ignore-case", "sysup"}),
       [](const Invocation& i) {
         EXPECT_TRUE(i.ignore_case);
         EXPECT_EQ(i.text, "sysup");
       }},
      {Words({"help", "walk"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kHelp);
         EXPECT_EQ(i.help_topic, "walk");
       }},
      {Words({"set", "--help"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kHelp);
         EXPECT_EQ(i.help_topic, "set");
       }},
      {Words({"--version"}), [](const Invocation& i) { EXPECT_EQ(i.command, Command::kVersion); }},
      // SNMPv3: no COMMUNITY, the sends name the user; the user is made from the options the
      // level uses.
      {Words({"get", "-v", "3", "-u", "alice", "-l", "authPriv", "-a", "SHA", "-A", "authpass1",
              "-x", "AES", "-X", "privpass1", "127.0.0.1:1161", "sysDescr.0", "sysName.0"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kGet);
         EXPECT_EQ(i.snmp_version, 3);
         EXPECT_EQ(i.target, (Target{"127.0.0.1", "1161"}));
         EXPECT_EQ(i.community, "alice");
         EXPECT_EQ(i.oids, Words({"sysDescr.0", "sysName.0"}));
         EXPECT_EQ(i.users, (std::vector<UserArgument>{
                                {"alice", "SHA", "authpass1", "AES", "privpass1"}}));
         // The passwords' places, to be hidden from the process list.
         EXPECT_EQ(i.secret_arguments, (std::vector<SecretArgument>{{10, 0}, {14, 0}}));
         EXPECT_EQ(i.context_name, "");
         EXPECT_FALSE(i.engine_id);
       }},
      // snmpcmd's defaults: MD5 and DES; the level in any letter case; -x and -X ignored
      // under authNoPriv, all four under noAuthNoPriv (the default).
      {Words({"getnext", "-v3", "-u", "bob", "-l", "AUTHPRIV", "-A", "a-pass-1", "-X", "p-pass-1",
              "127.0.0.1", "system"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.users, (std::vector<UserArgument>{
                                {"bob", "MD5", "a-pass-1", "DES", "p-pass-1"}}));
       }},
      {Words({"get", "-v", "3", "-u", "bob", "-l", "authnopriv", "-a", "SHA-256", "-A",
              "a-pass-1", "-x", "AES", "-X", "p-pass-1", "127.0.0.1", "1.3"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.users,
                   (std::vector<UserArgument>{{"bob", "SHA-256", "a-pass-1", "", ""}}));
       }},
      {Words({"get", "-v", "3", "-u", "carol", "-a", "SHA", "-A", "a-pass-1", "-x", "AES", "-X",
              "p-pass-1", "127.0.0.1", "1.3"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.users, (std::vector<UserArgument>{{"carol", "", "", "", ""}}));
       }},
      {Words({"get", "-v", "3", "-u", "carol", "-l", "NoAuthNoPriv", "-n", "ctx", "udp6:[::1]:1161",
              "1.3"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.target, (Target{"::1", "1161"}));
         EXPECT_EQ(i.context_name, "ctx");
         EXPECT_EQ(i.users, (std::vector<UserArgument>{{"carol", "", "", "", ""}}));
       }},
      {Words({"walk", "-v", "3", "-u", "carol", "127.0.0.1"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.community, "carol");
         EXPECT_EQ(i.oids, Words({kDefaultWalkRoot}));
       }},
      {Words({"bulkwalk", "-v", "3", "-u", "carol", "-Cr5", "127.0.0.1", "system"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.max_repetitions, 5);
         EXPECT_EQ(i.oids, Words({"system"}));
       }},
      {Words({"getbulk", "-v", "3", "-u", "carol", "-Cn", "1", "127.0.0.1", "1.3", "1.4"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.non_repeaters, 1);
         EXPECT_EQ(i.oids, Words({"1.3", "1.4"}));
       }},
      // The SNMPv3 options take their value after a blank only: "-none" stays a value.
      {Words({"set", "-v", "3", "-u", "carol", "127.0.0.1", "sysContact.0", "s", "-none",
              "1.3.6.1.2.1.1.5.0", "C", "5"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.community, "carol");
         EXPECT_EQ(i.bindings, (std::vector<BindingArgument>{{"sysContact.0", 's', "-none"},
                                                             {"1.3.6.1.2.1.1.5.0", 'C', "5"}}));
       }},
      {Words({"trap", "-v", "3", "-e", "0x8000000001020304", "-u", "alice", "-l", "authNoPriv",
              "-A", "a-pass-1", "127.0.0.1:1162", "", "1.3.6.1.4.1.99999.0.1",
              "1.3.6.1.4.1.99999.1", "s", "hi"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kTrap);
         EXPECT_EQ(i.engine_id, "0x8000000001020304");
         EXPECT_EQ(i.target, (Target{"127.0.0.1", "1162"}));
         EXPECT_EQ(i.community, "alice");
         EXPECT_FALSE(i.uptime);
         EXPECT_EQ(i.trap_oid, "1.3.6.1.4.1.99999.0.1");
         EXPECT_EQ(i.bindings, (std::vector<BindingArgument>{{"1.3.6.1.4.1.99999.1", 's', "hi"}}));
       }},
      {Words({"inform", "-v", "3", "-u", "carol", "127.0.0.1", "5", "1.3.6.1.4.1.99999.0.2"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.target, (Target{"127.0.0.1", "162"}));
         EXPECT_EQ(i.uptime, 5);
         EXPECT_EQ(i.trap_oid, "1.3.6.1.4.1.99999.0.2");
       }},
      // listen: --user NAME:AUTH:PASS:PRIV:PASS, split at the first four colons, fields empty or
      // missing for none; -u and the others add one more user, without -v 3.
      {Words({"listen", "--user", "alice:SHA:auth-pass:AES:priv:pass:9", "--user=bob:md5:b-pass-1",
              "--user", "carol", "--user", "dave::::", "-e", "8000000001020304", "-u", "erin",
              "-l", "authNoPriv", "-A", "e-pass-1"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.snmp_version, 0);
         EXPECT_EQ(i.engine_id, "8000000001020304");
         EXPECT_EQ(i.users, (std::vector<UserArgument>{
                                {"alice", "SHA", "auth-pass", "AES", "priv:pass:9"},
                                {"bob", "md5", "b-pass-1", "", ""},
                                {"carol", "", "", "", ""},
                                {"dave", "", "", "", ""},
                                {"erin", "MD5", "e-pass-1", "", ""}}));
         EXPECT_EQ(i.secret_arguments,
                   (std::vector<SecretArgument>{{2, 0}, {3, 7}, {5, 0}, {7, 0}, {15, 0}}));
       }},
      {Words({"listen", "-v", "3"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.snmp_version, 3);
         EXPECT_TRUE(i.users.empty());
       }},
      // MIB modules: -m and -M as typed (mib_options.h reads them), -O's letters, translate -Td.
      {Words({"get", "127.0.0.1", "public", "ifDescr.1"}),
       [](const Invocation& i) {
         EXPECT_FALSE(i.mib_modules);
         EXPECT_FALSE(i.mib_folders);
         EXPECT_EQ(i.names, NameStyle::kTable);
         EXPECT_FALSE(i.describe);
       }},
      {Words({"get", "-m", "IF-MIB:SNMPv2-MIB", "-M", "+/tmp/mibs", "127.0.0.1", "public",
              "IF-MIB::ifDescr.1"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.mib_modules, "IF-MIB:SNMPv2-MIB");
         EXPECT_EQ(i.mib_folders, "+/tmp/mibs");
         EXPECT_EQ(i.oids, Words({"IF-MIB::ifDescr.1"}));
       }},
      {Words({"walk", "-m", "", "127.0.0.1", "public"}),
       [](const Invocation& i) { EXPECT_EQ(i.mib_modules, ""); }},
      {Words({"get", "-On", "127.0.0.1", "public", "1.3"}),
       [](const Invocation& i) { EXPECT_EQ(i.names, NameStyle::kNumeric); }},
      {Words({"get", "-O", "s", "127.0.0.1", "public", "1.3"}),
       [](const Invocation& i) { EXPECT_EQ(i.names, NameStyle::kSuffix); }},
      {Words({"getnext", "-OS", "127.0.0.1", "public", "1.3"}),
       [](const Invocation& i) { EXPECT_EQ(i.names, NameStyle::kModule); }},
      {Words({"bulkwalk", "-v2c", "-OX", "127.0.0.1", "public"}),
       [](const Invocation& i) { EXPECT_EQ(i.names, NameStyle::kIndexed); }},
      {Words({"get", "-OXsn", "127.0.0.1", "public", "1.3"}),  // the last letter counts
       [](const Invocation& i) { EXPECT_EQ(i.names, NameStyle::kNumeric); }},
      {Words({"listen", "-m", "ALL", "-OS"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.mib_modules, "ALL");
         EXPECT_EQ(i.names, NameStyle::kModule);
       }},
      {Words({"decode", "-M", "/opt/mibs", "-OX", "--hex", "00"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.mib_folders, "/opt/mibs");
         EXPECT_EQ(i.names, NameStyle::kIndexed);
       }},
      {Words({"find", "-m", "IF-MIB", "ifOper"}),
       [](const Invocation& i) { EXPECT_EQ(i.mib_modules, "IF-MIB"); }},
      {Words({"translate", "-m", "IF-MIB", "-On", "IF-MIB::ifTable", "ifDescr.3"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kTranslate);
         EXPECT_EQ(i.names, NameStyle::kNumeric);
         EXPECT_FALSE(i.describe);
         EXPECT_EQ(i.oids, Words({"IF-MIB::ifTable", "ifDescr.3"}));
       }},
      {Words({"translate", "-Td", "IF-MIB::ifOperStatus"}),
       [](const Invocation& i) { EXPECT_TRUE(i.describe); }},
      {Words({"translate", "-T", "d", "-O", "S", "1.3"}),
       [](const Invocation& i) {
         EXPECT_TRUE(i.describe);
         EXPECT_EQ(i.names, NameStyle::kModule);
       }},
      // table: AGENT COMMUNITY TABLE, under every version; -Cr as bulkwalk's, -Cf as snmptable's.
      {Words({"table", "-m", "IF-MIB", "127.0.0.1", "public", "ifTable"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.command, Command::kTable);
         EXPECT_EQ(i.snmp_version, 0);
         EXPECT_EQ(i.target, (Target{"127.0.0.1", "161"}));
         EXPECT_EQ(i.community, "public");
         EXPECT_EQ(i.oids, Words({"ifTable"}));
         EXPECT_EQ(i.max_repetitions, 10);
         EXPECT_EQ(i.cell_separator, "");
       }},
      {Words({"table", "-v2c", "-Cr25", "-Cf", ",", "--json", "127.0.0.1:1161", "public",
              "IF-MIB::ifEntry"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.snmp_version, 1);
         EXPECT_EQ(i.max_repetitions, 25);
         EXPECT_EQ(i.cell_separator, ",");
         EXPECT_TRUE(i.json);
         EXPECT_EQ(i.oids, Words({"IF-MIB::ifEntry"}));
       }},
      {Words({"table", "-Cf|", "127.0.0.1", "public", "1.3.6.1.2.1.2.2"}),
       [](const Invocation& i) { EXPECT_EQ(i.cell_separator, "|"); }},
      {Words({"table", "-v", "3", "-u", "carol", "127.0.0.1", "ifTable"}),
       [](const Invocation& i) {
         EXPECT_EQ(i.community, "carol");
         EXPECT_EQ(i.oids, Words({"ifTable"}));
       }},
  };
  for (const ValidCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    c.check(ParseCommandLine(c.args));
  }
}

struct InvalidCase {
  std::vector<std::string> args;
  const char* message;  // a part of the message
  const char* command;  // whose usage goes with it
};

TEST(OstrelCommandLineTest, RejectsBadCommandLines) {
  const InvalidCase cases[] = {
      {{}, "no command", ""},
      {Words({"fetch"}), "unknown command 'fetch'", ""},
      {Words({"get", "127.0.0.1", "public"}), "missing arguments", "get"},
      {Words({"get", "--colour", "127.0.0.1", "public", "1.3"}), "unknown option '--colour'",
       "get"},
      {Words({"get", "--port", "1", "127.0.0.1", "public", "1.3"}), "does not apply to get", "get"},
      {Words({"get", "127.0.0.1", "public", "1.3", "--timeout"}), "needs a value", "get"},
      {Words({"get", "--json=yes", "127.0.0.1", "public", "1.3"}), "takes no value", "get"},
      {Words({"get", "--timeout", "0", "127.0.0.1", "public", "1.3"}), "positive number", "get"},
      {Words({"get", "--timeout", "soon", "127.0.0.1", "public", "1.3"}), "'soon'", "get"},
      {Words({"get", "--retries", "-1", "127.0.0.1", "public", "1.3"}), "--retries", "get"},
      {Words({"get", "-v", "4", "127.0.0.1", "public", "1.3"}), "-v takes 1, 2c or 3, not '4'",
       "get"},
      {Words({"get", "-v=2c", "127.0.0.1", "public", "1.3"}), "not '=2c'", "get"},
      {Words({"get", "127.0.0.1", "public", "1.3", "-v"}), "option '-v' needs a value", "get"},
      {Words({"decode", "-v", "2c", "--hex", "00"}), "option '-v' does not apply to decode",
       "decode"},
      {Words({"getbulk", "127.0.0.1", "public", "1.3"}),
       "getbulk has no SNMPv1 form: give -v 2c or -v 3", "getbulk"},
      {Words({"inform", "127.0.0.1", "public", "", "1.3"}), "inform has no SNMPv1 form", "inform"},
      {Words({"getbulk", "-v2c", "-Cn", "-1", "127.0.0.1", "public", "1.3"}), "-Cn must be",
       "getbulk"},
      {Words({"bulkwalk", "-v2c", "-Cn", "1", "127.0.0.1", "public"}),
       "option '-Cn' does not apply to bulkwalk", "bulkwalk"},
      {Words({"bulkwalk", "-v2c", "-Cr0", "127.0.0.1", "public"}), "-Cr 1 or more", "bulkwalk"},
      {Words({"trap", "-v2c", "127.0.0.1", "public", "soon", "1.3"}), "UPTIME (or auto)", "trap"},
      {Words({"inform", "-v2c", "127.0.0.1", "public", "4294967295", "1.3"}),
       "UPTIME 4294967295 is the control's automatic time stamp", "inform"},
      {Words({"trap", "-v2c", "--agent-address", "10.0.0.1", "127.0.0.1", "public", "", "1.3"}),
       "are for SNMPv1 traps", "trap"},
      {Words({"inform", "-v2c", "--uptime", "5", "127.0.0.1", "public", "", "1.3"}),
       "does not apply to inform", "inform"},
      {Words({"set", "127.0.0.1", "private", "1.3", "C", "5"}),
       "type C (Counter64) for 1.3 needs -v 2c", "set"},
      {Words({"get", "127.0.0.1:0", "public", "1.3"}), "the port", "get"},
      {Words({"get", "127.0.0.1:70000", "public", "1.3"}), "the port", "get"},
      {Words({"get", "127.0.0.1:", "public", "1.3"}), "no port", "get"},
      {Words({"get", ":161", "public", "1.3"}), "no agent", "get"},
      {Words({"get", "[::1", "public", "1.3"}), "no ']'", "get"},
      {Words({"get", "[::1]161", "public", "1.3"}), "unexpected '161' after ']'", "get"},
      {Words({"get", "[::1]:", "public", "1.3"}), "no port", "get"},
      {Words({"get", "[::1]:0", "public", "1.3"}), "the port", "get"},
      {Words({"get", "[]:161", "public", "1.3"}), "'' is not an IPv6 address", "get"},
      {Words({"get", "[127.0.0.1]:161", "public", "1.3"}), "not an IPv6 address", "get"},
      {Words({"get", "1::2::3", "public", "1.3"}), "[ADDRESS]:PORT", "get"},
      {Words({"get", "udp6:127.0.0.1", "public", "1.3"}), "not an IPv6 address", "get"},
      {Words({"get", "udp6:localhost:161", "public", "1.3"}), "not an IPv6 address", "get"},
      {Words({"get", "udp:[::1]:161", "public", "1.3"}), "udp: is IPv4 only", "get"},
      {Words({"get", "--local", "1161", "127.0.0.1", "public", "1.3"}),
       "a port alone is written :1161", "get"},
      {Words({"trap", "--local", "gateway.example", "127.0.0.1", "public", "1.3", "0", "0"}),
       "--local takes an IPv4 or IPv6 address", "trap"},
      {Words({"listen", "--local", "127.0.0.1:65536"}), "the port", "listen"},
      {Words({"listen", "--local", "[::1"}), "no ']'", "listen"},
      {Words({"decode", "--local", ":1", "--hex", "00"}), "does not apply to decode", "decode"},
      {Words({"walk", "127.0.0.1", "public", "1.3", "1.4"}), "unexpected argument '1.4'", "walk"},
      {Words({"set", "127.0.0.1", "private", "1.3", "s"}), "missing arguments", "set"},
      {Words({"set", "127.0.0.1", "private", "1.3", "s", "x", "1.4"}), "in threes", "set"},
      {Words({"set", "127.0.0.1", "private", "1.3", "u", "5"}), "unknown value type 'u'", "set"},
      {Words({"set", "127.0.0.1", "private", "1.3", "ii", "5"}), "unknown value type", "set"},
      {Words({"trap", "127.0.0.1", "public", "1.3.6.1.4.1.1", "7", "0"}), "GENERIC", "trap"},
      {Words({"trap", "127.0.0.1", "public", "1.3.6.1.4.1.1", "x", "0"}), "GENERIC", "trap"},
      {Words({"trap", "--uptime", "1e3", "127.0.0.1", "public", "1.3", "0", "0"}), "--uptime",
       "trap"},
      {Words({"trap", "--uptime", "-2", "127.0.0.1", "public", "1.3", "0", "0"}),
       "from 0 to 4294967294", "trap"},
      {Words({"trap", "--uptime", "4294967295", "127.0.0.1", "public", "1.3", "0", "0"}),
       "automatic time stamp", "trap"},
      {Words({"help", "bogus"}), "unknown command 'bogus'", ""},
      {Words({"listen", "extra"}), "unexpected argument 'extra'", "listen"},
      {Words({"listen", "--count", "0"}), "--count", "listen"},
      {Words({"listen", "--port", "65536"}), "--port", "listen"},
      {Words({"decode"}), "nothing to decode", "decode"},
      {Words({"decode", "--retries", "2", "--hex", "00"}), "does not apply", "decode"},
      {Words({"translate"}), "missing arguments", "translate"},
      {Words({"find", "a", "b"}), "unexpected argument 'b'", "find"},
      // SNMPv3
      {Words({"get", "-v", "3", "127.0.0.1", "1.3"}), "-v 3 needs -u USER", "get"},
      {Words({"trap", "-v3", "127.0.0.1", "", "1.3"}), "-v 3 needs -u USER", "trap"},
      {Words({"get", "-u", "alice", "127.0.0.1", "public", "1.3"}), "option '-u' needs -v 3",
       "get"},
      {Words({"walk", "-v2c", "-A", "a-pass-1", "-u", "a", "127.0.0.1", "public"}),
       "option '-A' needs -v 3", "walk"},
      {Words({"trap", "-e", "8000000001", "127.0.0.1", "public", "1.3", "0", "0"}),
       "option '-e' needs -v 3", "trap"},
      {Words({"get", "-v", "3", "-u", "a", "-l", "authNoPriv", "127.0.0.1", "1.3"}),
       "-l authNoPriv needs -A PASS", "get"},
      {Words({"get", "-v", "3", "-u", "a", "-l", "authPriv", "-x", "AES", "127.0.0.1", "1.3"}),
       "-l authPriv needs -A PASS", "get"},
      {Words({"get", "-v", "3", "-u", "a", "-l", "authPriv", "-A", "a-pass-1", "127.0.0.1", "1.3"}),
       "-l authPriv needs -X PASS", "get"},
      {Words({"get", "-v", "3", "-u", "a", "-l", "high", "127.0.0.1", "1.3"}),
       "-l takes noAuthNoPriv, authNoPriv or authPriv, not 'high'", "get"},
      {Words({"get", "-v", "3", "-ualice", "127.0.0.1", "1.3"}),
       "unknown option '-ualice' (the SNMPv3 options take their value after a blank", "get"},
      {Words({"get", "-v", "3", "127.0.0.1", "1.3", "-u"}), "option '-u' needs a value", "get"},
      {Words({"get", "-v", "3", "-u", "a", "127.0.0.1"}), "missing arguments", "get"},
      {Words({"walk", "-v", "3", "-u", "a", "127.0.0.1", "1.3", "1.4"}),
       "unexpected argument '1.4'", "walk"},
      {Words({"trap", "-v", "3", "-u", "a", "--uptime", "5", "127.0.0.1", "", "1.3"}),
       "are for SNMPv1 traps", "trap"},
      {Words({"listen", "-n", "ctx"}), "option '-n' does not apply to listen", "listen"},
      {Words({"listen", "-E", "8000000001"}), "option '-E' does not apply to listen", "listen"},
      {Words({"get", "--user", "a", "127.0.0.1", "public", "1.3"}),
       "option '--user' does not apply to get", "get"},
      {Words({"decode", "-u", "a", "--hex", "00"}), "option '-u' does not apply to decode",
       "decode"},
      {Words({"listen", "--user", ":SHA:a-pass-1"}), "--user needs a user name", "listen"},
      {Words({"listen", "--user", "bob:SHA-1000:a-pass-1"}),
       "--user: the second field is not an authentication protocol", "listen"},
      {Words({"listen", "--user", "bob:SHA:a-pass-1:AES-512:p-pass-1"}),
       "--user: the fourth field is not a privacy protocol", "listen"},
      // MIB modules and names
      {Words({"get", "-Oq", "127.0.0.1", "public", "1.3"}),
       "-O takes the letters n, s, S and X, not 'q'", "get"},
      {Words({"get", "-O", "127.0.0.1", "public", "1.3"}), "-O takes the letters", "get"},
      {Words({"get", "127.0.0.1", "public", "1.3", "-O"}), "option '-O' needs a value", "get"},
      {Words({"translate", "-O", "", "1.3"}), "-O needs n, s, S or X", "translate"},
      {Words({"trap", "-On", "127.0.0.1", "public", "1.3", "0", "0"}),
       "option '-O' does not apply to trap", "trap"},
      {Words({"find", "-On", "sys"}), "option '-O' does not apply to find", "find"},
      {Words({"get", "127.0.0.1", "public", "1.3", "-m"}), "option '-m' needs a value", "get"},
      {Words({"get", "-mALL", "127.0.0.1", "public", "1.3"}),
       "unknown option '-mALL' (-m and -M take their value after a blank", "get"},
      {Words({"walk", "-M+/tmp", "127.0.0.1", "public"}), "(-m and -M take their value", "walk"},
      {Words({"translate", "-Tp", "1.3"}), "-T takes d, not 'p'", "translate"},
      {Words({"get", "-Td", "127.0.0.1", "public", "1.3"}), "option '-T' does not apply to get",
       "get"},
      {Words({"table", "127.0.0.1", "public"}), "missing arguments", "table"},
      {Words({"table", "127.0.0.1", "public", "ifTable", "ifXTable"}),
       "unexpected argument 'ifXTable'", "table"},
      {Words({"table", "-v", "3", "-u", "carol", "127.0.0.1"}), "missing arguments", "table"},
      {Words({"table", "-v2c", "-Cr0", "127.0.0.1", "public", "ifTable"}),
       "table needs -Cr 1 or more", "table"},
      {Words({"table", "-v2c", "-Cn1", "127.0.0.1", "public", "ifTable"}),
       "option '-Cn' does not apply to table", "table"},
      {Words({"bulkwalk", "-v2c", "-Cf,", "127.0.0.1", "public"}),
       "option '-Cf' does not apply to bulkwalk", "bulkwalk"},
  };
  for (const InvalidCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    try {
      ParseCommandLine(c.args);
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
      EXPECT_EQ(error.command(), c.command);
    }
  }
}

TEST(OstrelCommandLineTest, EndpointTextReadsBackAsTheTarget) {
  const struct {
    Target target;
    const char* text;
  } cases[] = {
      {{"127.0.0.1", "161"}, "127.0.0.1:161"},
      {{"::1", "162"}, "[::1]:162"},
      {{"2001:db8::7", "snmp"}, "[2001:db8::7]:snmp"},
      {{"localhost", "1161"}, "localhost:1161"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EndpointText(c.target.host, c.target.port), c.text);
    EXPECT_EQ(ParseTarget(c.text, "1"), c.target) << c.text;
  }
}

TEST(OstrelCommandLineTest, UsageNamesEveryCommand) {
  const std::string all = UsageText("");
  const struct {
    const char* name;
    bool network;  // takes --local
  } commands[] = {{"get", true},      {"getnext", true}, {"walk", true},       {"getbulk", true},
                  {"bulkwalk", true}, {"set", true},     {"trap", true},       {"inform", true},
                  {"listen", true},   {"decode", false}, {"translate", false}, {"find", false},
                  {"table", true}};
  for (const auto& [name, network] : commands) {
    EXPECT_NE(all.find(std::string("ostrel ") + name + " "), std::string::npos) << name;
    EXPECT_EQ(UsageText(name).rfind(std::string("usage: ostrel ") + name + " ", 0), 0u) << name;
    EXPECT_EQ(UsageText(name).find("[--local ADDRESS[:PORT]]") != std::string::npos, network)
        << name;
  }
  EXPECT_NE(HelpText().find("Exit status"), std::string::npos);
}

// Each option of Net-SNMP's one-dash spelling in the help, and trap's three forms in its usage.
TEST(OstrelCommandLineTest, HelpShowsTheSnmpV2AndV3Forms) {
  const std::string help = HelpText();
  for (const char* line :
       {"\n  -v 1|2c|3 ",    "\n  -Cn N ",        "\n  -Cr N ",
        "C counter64",       "\n  -u USER ",      "\n  -l LEVEL ",
        "\n  -a PROTO ",     "\n  -A PASS ",      "\n  -x PROTO ",
        "\n  -X PASS ",      "\n  -n CONTEXT ",   "\n  -e ENGINEID ",
        "\n  -E ENGINEID ",  "ContextEngineID",   "\n  --user NAME[:AUTH:PASS[:PRIV:PASS]]\n",
        "MD5 (the default)", "DES (the default)", "noAuthNoPriv (the default)",
        "\n  -m MODULES ",   "\n  -M DIRS ",      "\n  -O n|s|S|X ",
        "\n  -T d ",         "\n  -Cf SEP "}) {
    EXPECT_NE(help.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(UsageText("trap"),
            "usage: ostrel trap [-v 1] [--agent-address A] [--uptime TICKS] "
            "[--local ADDRESS[:PORT]] AGENT[:PORT] COMMUNITY ENTERPRISE GENERIC SPECIFIC "
            "[OID TYPE VALUE]...\n"
            "       ostrel trap -v 2c [--local ADDRESS[:PORT]] AGENT[:PORT] COMMUNITY UPTIME "
            "TRAP-OID [OID TYPE VALUE]...\n"
            "       ostrel trap -v 3 -u USER [SNMPv3 OPTIONS] [--local ADDRESS[:PORT]] "
            "AGENT[:PORT] UPTIME TRAP-OID [OID TYPE VALUE]...\n");
  EXPECT_EQ(UsageText("").find("ostrel trap -v 2c"), UsageText("").rfind("ostrel trap -v 2c"));
  // Every command that sends has an SNMPv3 form without COMMUNITY.
  for (const char* command :
       {"get", "getnext", "walk", "getbulk", "bulkwalk", "set", "trap", "inform"}) {
    const std::string usage = UsageText(command);
    const std::size_t v3 = usage.find(std::string("ostrel ") + command + " -v 3 -u USER ");
    ASSERT_NE(v3, std::string::npos) << command;
    EXPECT_EQ(usage.find("COMMUNITY", v3), std::string::npos) << command;
  }
}

// A --user whose authentication password holds a ':' moves some of it into a protocol field:
// the message names the field and never shows what it holds.
TEST(OstrelCommandLineTest, UserErrorsNeverShowPasswords) {
  const struct {
    const char* user;
    const char* secret;
  } cases[] = {
      {"bob:SHA:half:secret-1:AES:priv-pass", "secret-1"},
      {"bob:half:secret-2:SHA:AES:priv-pass", "secret-2"},
  };
  for (const auto& c : cases) {
    try {
      ParseCommandLine(Words({"listen", "--user", c.user}));
      ADD_FAILURE() << "accepted";
    } catch (const UsageError& error) {
      EXPECT_EQ(std::string(error.what()).find(c.secret), std::string::npos) << error.what();
      EXPECT_EQ(std::string(error.what()).find("half"), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace kivostrel::ostrel
