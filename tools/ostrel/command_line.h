// The command line of `ostrel`: what the user asked for, read into one Invocation.
//
// Conventions are those of the usual SNMP command-line tools: the agent first (AGENT[:PORT],
// [IPV6]:PORT, an optional "udp:" or "udp6:" prefix), then the community, then objects. Options
// start with "--" and may stand anywhere before a lone "--"; "--name=value" and "--name value" are
// the same. The options Net-SNMP's tools spell with one dash take their value after a blank:
// -v and -C also joined to it (-v2c, -Cr10), the SNMPv3 ones (-u NAME, -l authPriv, ...) only
// after a blank, so that a value such as `s -none` stays a value. No other word with one dash
// starts an option (except -h), so negative numbers such as `i -5` need no quoting.
//
// Under -v 3 there is no COMMUNITY operand: the sends name the user of -u instead, as
// Net-SNMP's tools take them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kivostrel::ostrel {

// Exit status of the tool.
enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,      // no answer in time, a socket failure, an unreadable file
  kExitErrorStatus = 2,  // the agent answered with an error status other than 0
  kExitUsage = 64,       // bad arguments (as sysexits' EX_USAGE)
};

enum class Command {
  kHelp,
  kVersion,
  kGet,
  kGetNext,
  kWalk,
  kGetBulk,
  kBulkWalk,
  kSet,
  kTrap,
  kInform,
  kListen,
  kDecode,
  kTranslate,
  kFind,
  kTable,
};

// How object names are shown (-O): through OID2Name (the default), or as Net-SNMP's -On, -Os,
// -OS and -OX write them.
enum class NameStyle {
  kTable,    // OID2Name: "iso.org.dod.internet.mgmt.mib.system.sysDescr.0"
  kNumeric,  // -On: ".1.3.6.1.2.1.1.1.0"
  kSuffix,   // -Os: the last label and the instance, "sysDescr.0"
  kModule,   // -OS: "SNMPv2-MIB::sysDescr.0" (as -Os when no loaded module knows it)
  kIndexed,  // -OX: a table row's instance split by its INDEX, "ifDescr[3]" (else as -Os)
};

// Where requests and traps go. The texts go to the socket component unchanged: an IPv6 address
// without its brackets.
struct Target {
  std::string host;
  std::string port;
  friend bool operator==(const Target&, const Target&) = default;
};

// One OID TYPE VALUE triple of `set`, `trap` and `inform`. The OID is as typed (a name or
// numbers).
struct BindingArgument {
  std::string oid;
  char type = 'n';  // i c g t s x a n, and C (Counter64) under SNMPv2c
  std::string value;
  friend bool operator==(const BindingArgument&, const BindingArgument&) = default;
};

// An SNMPv3 user as the control's AddUser takes it; protocol names as typed, "" for none.
struct UserArgument {
  std::string name;
  std::string auth_protocol;
  std::string auth_password;
  std::string priv_protocol;
  std::string priv_password;
  friend bool operator==(const UserArgument&, const UserArgument&) = default;
};

enum class SecurityLevel { kNoAuthNoPriv, kAuthNoPriv, kAuthPriv };

// Net-SNMP's SNMPv3 options as typed. Once every option is read, the level decides which of
// them make the user (-a and -A from authNoPriv, -x and -X from authPriv); the defaults are
// snmpcmd's: noAuthNoPriv, MD5 and DES.
struct SnmpV3Arguments {
  std::optional<std::string> user;  // -u
  SecurityLevel level = SecurityLevel::kNoAuthNoPriv;
  std::string auth_protocol = "MD5";
  std::optional<std::string> auth_password;
  std::string priv_protocol = "DES";
  std::optional<std::string> priv_password;
  // The first of them given, for the message when -v 3 is missing.
  std::string first_option;
};

// Where a password stands on the command line: the argument (an index into ParseCommandLine's
// arguments) and the offset of the password in it (after "-A" or "--user=" when joined).
struct SecretArgument {
  std::size_t index = 0;
  std::size_t offset = 0;
  friend bool operator==(const SecretArgument&, const SecretArgument&) = default;
};

struct Invocation {
  Command command = Command::kHelp;
  std::string help_topic;  // `ostrel help get`: the command whose usage to show

  bool json = false;
  std::int32_t string_type = 0;
  // Requests: the wait for each attempt. listen: the whole run (none by default).
  std::optional<double> timeout_seconds;
  int retries = 1;

  // get, getnext, walk, getbulk, bulkwalk, set, trap, inform
  Target target;
  std::string community;
  // get, getnext, getbulk: the objects; walk, bulkwalk: the root (none: the default);
  // translate: the inputs
  std::vector<std::string> oids;
  // set, trap, inform
  std::vector<BindingArgument> bindings;

  // getbulk (-Cn, -Cr) and bulkwalk (-Cr), as snmpbulkget's defaults
  std::int32_t non_repeaters = 0;
  std::int32_t max_repetitions = 10;

  // trap under SNMPv1
  std::string enterprise;
  std::int16_t generic_trap = 0;
  std::string specific_trap;
  std::optional<std::string> agent_address;
  // trap, inform: the time stamp, the control's TickCount (none: automatic)
  std::optional<std::int32_t> uptime;
  // trap under SNMPv2c, inform: snmpTrapOID.0, as typed
  std::string trap_oid;

  // Every command that uses the network: the engine's SnmpVersion, 0 (SNMPv1, -v 1, the default),
  // 1 (SNMPv2c, -v 2c) or 3 (SNMPv3, -v 3).
  std::int32_t snmp_version = 0;

  // SNMPv3 (-v 3; listen takes them without it). Under -v 3 `community` is the user's name.
  SnmpV3Arguments v3;
  // The users ostrel adds to the control: -u's (last), and listen's --user ones.
  std::vector<UserArgument> users;
  // The passwords' places, for main to hide them from the process list once read.
  std::vector<SecretArgument> secret_arguments;
  std::string context_name;                      // -n: the control's ContextName
  std::optional<std::string> engine_id;          // -e: the control's EngineID, as typed
  std::optional<std::string> context_engine_id;  // -E: the control's ContextEngineID
  std::string state_dir;                         // --state-dir: listen -e's boots

  // Every command that uses the network: the local endpoint, as UdpSocketOptions takes it
  // ("": every address, IPv4 and IPv6). The port is 162 for listen unless given, else 0 (the
  // system chooses).
  std::string local_address;
  std::uint16_t local_port = 0;

  // listen
  std::optional<long> count;

  // decode: each --hex and each file is one datagram; "-" reads standard input
  std::vector<std::string> hex;
  std::vector<std::string> files;

  // find
  bool ignore_case = false;
  std::string text;

  // MIB modules, as Net-SNMP's tools take them: -m MODULES (or ALL) and -M DIRS, colon-separated,
  // a leading '+' adding to the environment's MIBS and MIBDIRS or the defaults (mib_options.h).
  // None: the environment's, or nothing loaded at all.
  std::optional<std::string> mib_modules;
  std::optional<std::string> mib_folders;
  // -O: how names are shown (requests, listen, decode, translate, table).
  NameStyle names = NameStyle::kTable;
  // translate -Td: each operand's node as its module defines it.
  bool describe = false;
  // table: -Cf, the text between cells instead of padding to columns ("": padding).
  std::string cell_separator;
};

// Bad arguments. `command` names the command whose usage line belongs under the message
// (empty for the general one).
class UsageError : public std::runtime_error {
 public:
  UsageError(const std::string& message, std::string command = {})
      : std::runtime_error(message), command_(std::move(command)) {}
  const std::string& command() const noexcept { return command_; }

 private:
  std::string command_;
};

// A failure after the arguments were read: a one-line message and the exit status to end with.
class ToolError : public std::runtime_error {
 public:
  ToolError(int exit_code, const std::string& message)
      : std::runtime_error(message), exit_code_(exit_code) {}
  int exit_code() const noexcept { return exit_code_; }

 private:
  int exit_code_;
};

inline constexpr const char* kDefaultWalkRoot = "1.3.6.1.2.1";
inline constexpr double kDefaultTimeoutSeconds = 2;

// Reads the arguments after the program name. Throws UsageError.
Invocation ParseCommandLine(std::span<const std::string> args);

// "get", "walk", ...; empty for help and version.
std::string_view CommandName(Command command);

// The usage line of one command ("usage: ostrel get [options] AGENT[:PORT] COMMUNITY OID...")
// or, for an empty or unknown name, the list of all of them.
std::string UsageText(std::string_view command);
// The whole help text.
std::string HelpText();

// An agent as Net-SNMP's tools take it: "HOST", "HOST:PORT", "[IPV6]", "[IPV6]:PORT" or a bare
// IPv6 literal (no port: one with a port needs the brackets), optionally after "udp:" (IPv4: no
// IPv6 literal) or "udp6:" (an IPv6 literal only). Throws UsageError for an empty host or port,
// a malformed IPv6 part or a decimal port outside 1 to 65535; a port that is not decimal is left
// to the socket component (a service name).
Target ParseTarget(std::string_view text, std::string_view default_port);

// What --local names: an address as UdpSocketOptions takes it, and the port when one is given.
struct LocalEndpoint {
  std::string address;
  std::optional<std::uint16_t> port;
  friend bool operator==(const LocalEndpoint&, const LocalEndpoint&) = default;
};

// The forms of ParseTarget, and ":PORT" alone; the host is an address literal or "localhost" and
// may be empty (every address), the port a whole number from 0 to 65535. Throws UsageError.
LocalEndpoint ParseLocal(std::string_view text);

// "HOST:PORT", an IPv6 address in brackets ("[::1]:161"): how messages name an endpoint.
std::string EndpointText(std::string_view host, std::string_view port);

}  // namespace kivostrel::ostrel
