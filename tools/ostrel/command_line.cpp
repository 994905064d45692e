#include "tools/ostrel/command_line.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#include "encoding/ascii_case.h"
#include "encoding/quoted.h"
#include "security/usm_users.h"
#include "transport/endpoint.h"

namespace kivostrel::ostrel {
namespace {

struct CommandInfo {
  Command command;
  std::string_view name;
  std::string_view options;  // as the usage line shows them
  std::string_view operands;
};

constexpr std::string_view kRequestOptions =
    "[-v 1|2c] [--json] [--timeout S] [--retries N] [--local ADDRESS[:PORT]]";
constexpr std::string_view kV3RequestOptions =
    "-v 3 -u USER [SNMPv3 OPTIONS] [--json] [--timeout S] [--retries N] "
    "[--local ADDRESS[:PORT]]";
constexpr std::string_view kNotificationOperands =
    "AGENT[:PORT] COMMUNITY UPTIME TRAP-OID [OID TYPE VALUE]...";
constexpr std::string_view kV3NotificationOperands =
    "AGENT[:PORT] UPTIME TRAP-OID [OID TYPE VALUE]...";

// A command with several forms (trap under SNMPv1, SNMPv2c and SNMPv3) has a row for each; the
// first is the one parsing finds.
constexpr std::array kCommands{
    CommandInfo{Command::kGet, "get", kRequestOptions, "AGENT[:PORT] COMMUNITY OID..."},
    CommandInfo{Command::kGet, "get", kV3RequestOptions, "AGENT[:PORT] OID..."},
    CommandInfo{Command::kGetNext, "getnext", kRequestOptions, "AGENT[:PORT] COMMUNITY OID..."},
    CommandInfo{Command::kGetNext, "getnext", kV3RequestOptions, "AGENT[:PORT] OID..."},
    CommandInfo{Command::kWalk, "walk", kRequestOptions, "AGENT[:PORT] COMMUNITY [OID]"},
    CommandInfo{Command::kWalk, "walk", kV3RequestOptions, "AGENT[:PORT] [OID]"},
    CommandInfo{Command::kGetBulk, "getbulk",
                "-v 2c [-Cn N] [-Cr N] [--json] [--timeout S] [--retries N] "
                "[--local ADDRESS[:PORT]]",
                "AGENT[:PORT] COMMUNITY OID..."},
    CommandInfo{Command::kGetBulk, "getbulk",
                "-v 3 -u USER [SNMPv3 OPTIONS] [-Cn N] [-Cr N] [--json] [--timeout S] "
                "[--retries N] [--local ADDRESS[:PORT]]",
                "AGENT[:PORT] OID..."},
    CommandInfo{Command::kBulkWalk, "bulkwalk",
                "-v 2c [-Cr N] [--json] [--timeout S] [--retries N] [--local ADDRESS[:PORT]]",
                "AGENT[:PORT] COMMUNITY [OID]"},
    CommandInfo{Command::kBulkWalk, "bulkwalk",
                "-v 3 -u USER [SNMPv3 OPTIONS] [-Cr N] [--json] [--timeout S] [--retries N] "
                "[--local ADDRESS[:PORT]]",
                "AGENT[:PORT] [OID]"},
    CommandInfo{Command::kSet, "set", kRequestOptions, "AGENT[:PORT] COMMUNITY OID TYPE VALUE..."},
    CommandInfo{Command::kSet, "set", kV3RequestOptions, "AGENT[:PORT] OID TYPE VALUE..."},
    CommandInfo{Command::kTrap, "trap",
                "[-v 1] [--agent-address A] [--uptime TICKS] [--local ADDRESS[:PORT]]",
                "AGENT[:PORT] COMMUNITY ENTERPRISE GENERIC SPECIFIC [OID TYPE VALUE]..."},
    CommandInfo{Command::kTrap, "trap", "-v 2c [--local ADDRESS[:PORT]]", kNotificationOperands},
    CommandInfo{Command::kTrap, "trap", "-v 3 -u USER [SNMPv3 OPTIONS] [--local ADDRESS[:PORT]]",
                kV3NotificationOperands},
    CommandInfo{Command::kInform, "inform",
                "-v 2c [--timeout S] [--retries N] [--local ADDRESS[:PORT]]",
                kNotificationOperands},
    CommandInfo{Command::kInform, "inform",
                "-v 3 -u USER [SNMPv3 OPTIONS] [--timeout S] [--retries N] "
                "[--local ADDRESS[:PORT]]",
                kV3NotificationOperands},
    CommandInfo{Command::kListen, "listen",
                "[-v 1|2c|3] [--user NAME[:AUTH:PASS[:PRIV:PASS]]]... [SNMPv3 OPTIONS] [--json] "
                "[--string-type N] [--local ADDRESS[:PORT]] [--state-dir DIR] [--count N] "
                "[--timeout S]",
                ""},
    CommandInfo{Command::kDecode, "decode", "[--json] [--string-type N]", "(--hex HEX | FILE...)"},
    CommandInfo{Command::kTable, "table",
                "[-v 1|2c] [-m MODULES] [-M DIRS] [-Cr N] [-Cf SEP] [--json] [--timeout S] "
                "[--retries N] [--local ADDRESS[:PORT]]",
                "AGENT[:PORT] COMMUNITY TABLE"},
    CommandInfo{Command::kTable, "table",
                "-v 3 -u USER [SNMPv3 OPTIONS] [-m MODULES] [-M DIRS] [-Cr N] [-Cf SEP] [--json] "
                "[--timeout S] [--retries N] [--local ADDRESS[:PORT]]",
                "AGENT[:PORT] TABLE"},
    CommandInfo{Command::kTranslate, "translate", "[-m MODULES] [-M DIRS] [-On|-Os|-OS|-OX] [-Td]",
                "OID-OR-NAME..."},
    CommandInfo{Command::kFind, "find", "[--ignore-case]", "TEXT"},
};

// "ostrel get [--json] ... AGENT[:PORT] COMMUNITY OID..."
std::string UsageLine(const CommandInfo& info) {
  std::string line = "ostrel " + std::string(info.name);
  for (const std::string_view part : {info.options, info.operands}) {
    if (!part.empty()) line.append(" ").append(part);
  }
  return line;
}

const CommandInfo* FindCommand(std::string_view name) {
  for (const CommandInfo& info : kCommands) {
    if (info.name == name) return &info;
  }
  return nullptr;
}

// Which commands take an option: a bit per Command.
constexpr unsigned Bit(Command command) {
  return 1u << static_cast<unsigned>(command);
}
// The requests whose answers are shown.
constexpr unsigned kRequests = Bit(Command::kGet) | Bit(Command::kGetNext) | Bit(Command::kWalk) |
                               Bit(Command::kGetBulk) | Bit(Command::kBulkWalk) |
                               Bit(Command::kSet) | Bit(Command::kTable);
constexpr unsigned kNetwork =
    kRequests | Bit(Command::kTrap) | Bit(Command::kInform) | Bit(Command::kListen);
// Commands whose messages SNMPv1 lacks.
constexpr unsigned kSnmpV2Only =
    Bit(Command::kGetBulk) | Bit(Command::kBulkWalk) | Bit(Command::kInform);

// Runs `read`; a UsageError it throws without a command gets `command`'s usage.
template <typename Read>
void WithUsageOf(std::string_view command, const Read& read) {
  try {
    read();
  } catch (const UsageError& error) {
    if (!error.command().empty()) throw;
    throw UsageError(error.what(), std::string(command));
  }
}

// An endpoint's host and port texts, as Net-SNMP's tools write them: after an optional "udp:"
// (IPv4) or "udp6:" (IPv6) prefix, HOST, HOST:PORT, [IPV6] or [IPV6]:PORT. A host with two
// colons or more is an IPv6 literal without a port: "::1:161" is itself an address, so a port
// after one needs the brackets.
struct EndpointParts {
  std::string host;
  std::optional<std::string> port;
};

EndpointParts SplitEndpoint(std::string_view whole) {
  std::string_view text = whole;
  const bool ipv4_only = text.starts_with("udp:");
  const bool ipv6_only = text.starts_with("udp6:");
  if (ipv4_only || ipv6_only) text.remove_prefix(text.find(':') + 1);
  EndpointParts parts;
  bool must_be_ipv6 = ipv6_only;
  if (text.starts_with('[')) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) throw UsageError("no ']' in " + Quoted(whole));
    parts.host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && rest[0] != ':') {
      throw UsageError("unexpected " + Quoted(rest) + " after ']' in " + Quoted(whole));
    }
    if (!rest.empty()) parts.port = rest.substr(1);
    must_be_ipv6 = true;
  } else if (std::count(text.begin(), text.end(), ':') >= 2) {
    parts.host = text;
    must_be_ipv6 = true;
  } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
    parts.host = text.substr(0, colon);
    parts.port = text.substr(colon + 1);
  } else {
    parts.host = text;
  }
  if (parts.port && parts.port->empty()) throw UsageError("no port after ':' in " + Quoted(whole));
  const std::optional<Endpoint> literal = ReadAddressLiteral(parts.host);
  const bool ipv6 = literal && literal->ipv6;
  if (must_be_ipv6 && !ipv6) {
    throw UsageError(Quoted(parts.host) + " is not an IPv6 address in " + Quoted(whole) +
                     " (an IPv6 address with a port is written [ADDRESS]:PORT)");
  }
  if (ipv4_only && ipv6) {
    throw UsageError("udp: is IPv4 only, not " + Quoted(parts.host) +
                     " (IPv6 is written udp6:[ADDRESS]:PORT)");
  }
  return parts;
}

template <typename Integer>
Integer ParseInteger(std::string_view text, Integer min, Integer max, std::string_view what,
                     std::string_view command) {
  long long value = 0;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (!text.empty() && *begin == '+') ++begin;
  const auto result = std::from_chars(begin, end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end || value < min || value > max) {
    throw UsageError(std::string(what) + " must be a whole number from " + std::to_string(min) +
                         " to " + std::to_string(max) + ", not " + Quoted(text),
                     std::string(command));
  }
  return static_cast<Integer>(value);
}

double ParseSeconds(std::string_view text, std::string_view command) {
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
      !std::isfinite(value) || value <= 0 || value > 86400.0 * 365) {
    throw UsageError("--timeout must be a positive number of seconds, not " + Quoted(text),
                     std::string(command));
  }
  return value;
}

// The control's TickCount for a time stamp (`what`: --uptime or UPTIME): "auto" (or -1, as the
// control spells it, or "" as Net-SNMP's snmptrap takes it) is the system's tick count; 0 to
// 4294967294 are sent as they are. 4294967295 would be the control's -1, which means
// automatic, so it cannot be given.
std::optional<std::int32_t> ParseUptime(std::string_view text, std::string_view what,
                                        std::string_view command) {
  if (text.empty() || text == "auto" || text == "-1") return std::nullopt;
  constexpr std::uint32_t kLargest = std::numeric_limits<std::uint32_t>::max() - 1;
  if (text == std::to_string(kLargest + 1ULL)) {
    throw UsageError(std::string(what) +
                         " 4294967295 is the control's automatic time stamp; give 0 to " +
                         std::to_string(kLargest) + " or auto",
                     std::string(command));
  }
  return static_cast<std::int32_t>(
      ParseInteger<std::uint32_t>(text, 0, kLargest, std::string(what) + " (or auto)", command));
}

// An option: the commands it applies to, its help (lines broken with '\n') and what it sets.
struct OptionInfo {
  std::string_view name;   // as typed: "--json", or "-v" for one that Net-SNMP spells so
  std::string_view value;  // what the help calls its value; empty for an option without one
  unsigned commands;
  std::string_view help;
  void (*apply)(Invocation& to, const std::string& value, std::string_view command);
  // A one-dash option whose value may also be joined to it (-v2c, -Cr10).
  bool joined = false;
  // Its value holds a password: where it stands is kept so that it can be hidden.
  bool secret = false;
};

// -v: "1", "2c" or "3", as Net-SNMP's tools take it; the engine's SnmpVersion 0, 1 or 3.
std::int32_t ParseSnmpVersion(std::string_view text, std::string_view command) {
  if (text == "1") return 0;
  if (text == "2c") return 1;
  if (text == "3") return 3;
  throw UsageError("-v takes 1, 2c or 3, not " + Quoted(text), std::string(command));
}

// -l, in any letter case, as snmpcmd takes it.
SecurityLevel ParseSecurityLevel(std::string_view text, std::string_view command) {
  constexpr std::array<std::pair<std::string_view, SecurityLevel>, 3> kLevels{{
      {"noAuthNoPriv", SecurityLevel::kNoAuthNoPriv},
      {"authNoPriv", SecurityLevel::kAuthNoPriv},
      {"authPriv", SecurityLevel::kAuthPriv},
  }};
  for (const auto& [name, level] : kLevels) {
    if (EqualIgnoringAsciiCase(text, name)) return level;
  }
  throw UsageError("-l takes noAuthNoPriv, authNoPriv or authPriv, not " + Quoted(text),
                   std::string(command));
}

// Marks an SNMPv3 option as given; the first one is named when -v 3 is missing.
SnmpV3Arguments& GivenV3(Invocation& to, std::string_view option) {
  if (to.v3.first_option.empty()) to.v3.first_option = option;
  return to.v3;
}

// --user NAME[:AUTH:PASS[:PRIV:PASS]]: the fields end at the first four colons, so only the
// privacy password may contain ':'. The protocol fields are checked here and named by their
// place, never shown: a ':' inside the authentication password would move some of it into
// one. What else AddUser refuses (a short password) it says when the user is added.
UserArgument ParseUserArgument(std::string_view text, std::string_view command) {
  std::array<std::string, 5> fields;
  std::size_t field = 0;
  for (; field < 4; ++field) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) break;
    fields[field] = text.substr(0, colon);
    text.remove_prefix(colon + 1);
  }
  fields[field] = text;
  UserArgument user{std::move(fields[0]), std::move(fields[1]), std::move(fields[2]),
                    std::move(fields[3]), std::move(fields[4])};
  if (user.name.empty()) {
    throw UsageError("--user needs a user name before the first ':'", std::string(command));
  }
  if (!AuthProtocolNamed(user.auth_protocol)) {
    throw UsageError(
        "--user: the second field is not an authentication protocol (MD5, SHA, "
        "SHA-224, SHA-256, SHA-384, SHA-512 or empty); the authentication "
        "password cannot contain ':'",
        std::string(command));
  }
  if (!PrivProtocolNamed(user.priv_protocol)) {
    throw UsageError(
        "--user: the fourth field is not a privacy protocol (DES, AES, AES-192, "
        "AES-256, AES-192C, AES-256C or empty); the authentication password "
        "cannot contain ':'",
        std::string(command));
  }
  return user;
}

constexpr unsigned kSenders = kNetwork & ~Bit(Command::kListen);
// Commands that run a control and so can load MIB modules, and those that show object names.
constexpr unsigned kWithMibs =
    kNetwork | Bit(Command::kDecode) | Bit(Command::kTranslate) | Bit(Command::kFind);
constexpr unsigned kShowingNames =
    kRequests | Bit(Command::kListen) | Bit(Command::kDecode) | Bit(Command::kTranslate);

// -O's letters, as Net-SNMP's tools take them; the last one given counts.
NameStyle ParseNameStyle(std::string_view letters, std::string_view command) {
  constexpr std::array<std::pair<char, NameStyle>, 4> kLetters{{
      {'n', NameStyle::kNumeric},
      {'s', NameStyle::kSuffix},
      {'S', NameStyle::kModule},
      {'X', NameStyle::kIndexed},
  }};
  NameStyle style = NameStyle::kTable;
  for (const char letter : letters) {
    const auto known = std::find_if(kLetters.begin(), kLetters.end(),
                                    [letter](const auto& entry) { return entry.first == letter; });
    if (known == kLetters.end()) {
      throw UsageError("-O takes the letters n, s, S and X, not " + Quoted(letters),
                       std::string(command));
    }
    style = known->second;
  }
  if (letters.empty()) throw UsageError("-O needs n, s, S or X", std::string(command));
  return style;
}

constexpr std::array kOptions{
    OptionInfo{"-v", "1|2c|3", kNetwork,
               "the SNMP version of the messages sent: 1 (the default), 2c or 3;\n"
               "also written -v1, -v2c, -v3. listen shows messages of every version",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.snmp_version = ParseSnmpVersion(value, command);
               },
               true},
    // SNMPv3, as snmpcmd spells and defaults it.
    OptionInfo{"-u", "USER", kNetwork,
               "-v 3: the user every message is sent under (there is no\n"
               "COMMUNITY), added to the control with AddUser from -l, -a, -A,\n"
               "-x and -X; listen: one more user whose messages it accepts",
               [](Invocation& to, const std::string& value, std::string_view) {
                 GivenV3(to, "-u").user = value;
               }},
    OptionInfo{"-l", "LEVEL", kNetwork,
               "-v 3: noAuthNoPriv (the default), authNoPriv or authPriv, in any\n"
               "letter case. The level decides which options make the user:\n"
               "authNoPriv ignores -x and -X, noAuthNoPriv -a, -A, -x and -X",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 GivenV3(to, "-l").level = ParseSecurityLevel(value, command);
               }},
    OptionInfo{"-a", "PROTO", kNetwork,
               "-v 3: the authentication protocol: MD5 (the default), SHA,\n"
               "SHA-224, SHA-256, SHA-384 or SHA-512",
               [](Invocation& to, const std::string& value, std::string_view) {
                 GivenV3(to, "-a").auth_protocol = value;
               }},
    OptionInfo{"-A", "PASS", kNetwork, "-v 3: the authentication password, 8 characters or more",
               [](Invocation& to, const std::string& value, std::string_view) {
                 GivenV3(to, "-A").auth_password = value;
               },
               false, true},
    OptionInfo{"-x", "PROTO", kNetwork,
               "-v 3: the privacy protocol: DES (the default), AES, AES-192,\n"
               "AES-256, AES-192C or AES-256C, also spelt AES192, AES256,\n"
               "AES192C, AES256C as Net-SNMP's -x takes them",
               [](Invocation& to, const std::string& value, std::string_view) {
                 GivenV3(to, "-x").priv_protocol = value;
               }},
    OptionInfo{"-X", "PASS", kNetwork, "-v 3: the privacy password, 8 characters or more",
               [](Invocation& to, const std::string& value, std::string_view) {
                 GivenV3(to, "-X").priv_password = value;
               },
               false, true},
    OptionInfo{"-n", "CONTEXT", kSenders,
               "-v 3: the context name of the messages sent (default \"\")",
               [](Invocation& to, const std::string& value, std::string_view) {
                 GivenV3(to, "-n");
                 to.context_name = value;
               }},
    OptionInfo{"-e", "ENGINEID", kNetwork,
               "-v 3: an engine ID, 5 to 32 octets in hex, 0x optional. For trap\n"
               "and listen this engine's own (the control's EngineID): the\n"
               "authoritative engine of the traps sent, as snmptrap -e sets it,\n"
               "and of the informs listen acknowledges, whose boots listen keeps\n"
               "across runs (--state-dir). For requests and inform the agent's,\n"
               "as snmpget -e takes it: pinned, never discovered. Default: one\n"
               "made at random for each run; requests discover the agent's",
               [](Invocation& to, const std::string& value, std::string_view) {
                 GivenV3(to, "-e");
                 to.engine_id = value;
               }},
    OptionInfo{"-E", "ENGINEID", kSenders,
               "-v 3: the context engine ID of the messages sent (the control's\n"
               "ContextEngineID), 5 to 32 octets in hex, 0x optional. Default: the\n"
               "authoritative engine's, the agent's in requests, this one's in traps",
               [](Invocation& to, const std::string& value, std::string_view) {
                 GivenV3(to, "-E");
                 to.context_engine_id = value;
               }},
    OptionInfo{"--user", "NAME[:AUTH:PASS[:PRIV:PASS]]", Bit(Command::kListen),
               "listen: an SNMPv3 user whose traps and informs are accepted,\n"
               "from any engine (repeatable). Empty or missing fields: none, as\n"
               "bob for noAuthNoPriv, bob:SHA:PASS for authNoPriv. NAME, AUTH,\n"
               "the first password and PRIV cannot contain ':'; the privacy\n"
               "password is all after the fourth ':' and can",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.users.push_back(ParseUserArgument(value, command));
               },
               false, true},
    OptionInfo{"-Cn", "N", Bit(Command::kGetBulk),
               "getbulk: non-repeaters, the leading objects asked for once\n"
               "(default 0); also written -CnN",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.non_repeaters = ParseInteger<std::int32_t>(
                     value, 0, std::numeric_limits<std::int32_t>::max(), "-Cn", command);
               },
               true},
    OptionInfo{"-Cr", "N", Bit(Command::kGetBulk) | Bit(Command::kBulkWalk) | Bit(Command::kTable),
               "getbulk, bulkwalk, table: max-repetitions, the objects answered\n"
               "for each of the others (default 10); also written -CrN",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.max_repetitions = ParseInteger<std::int32_t>(
                     value, 0, std::numeric_limits<std::int32_t>::max(), "-Cr", command);
               },
               true},
    OptionInfo{"-Cf", "SEP", Bit(Command::kTable),
               "table: SEP between the cells of a row instead of columns padded\n"
               "with blanks (as snmptable -Cf); also written -CfSEP",
               [](Invocation& to, const std::string& value, std::string_view) {
                 to.cell_separator = value;
               },
               true},
    OptionInfo{
        "-m", "MODULES", kWithMibs,
        "MIB modules to load, by name or file, separated by ':'; ALL:\n"
        "every module of the folders. A leading '+' adds them to $MIBS.\n"
        "Default $MIBS; without either nothing is loaded",
        [](Invocation& to, const std::string& value, std::string_view) { to.mib_modules = value; }},
    OptionInfo{
        "-M", "DIRS", kWithMibs,
        "the folders MIB modules are looked up in, separated by ':'; a\n"
        "leading '+' puts them before $MIBDIRS or the defaults\n"
        "($HOME/.snmp/mibs:/usr/share/snmp/mibs, its iana and ietf)",
        [](Invocation& to, const std::string& value, std::string_view) { to.mib_folders = value; }},
    OptionInfo{"-O", "n|s|S|X", kShowingNames,
               "names as numbers (.1.3.6.1.2.1.1.1.0), as the last label and the\n"
               "instance (sysDescr.0), with the module (SNMPv2-MIB::sysDescr.0),\n"
               "or with a row's index decoded (ifDescr[3]); also written -On",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.names = ParseNameStyle(value, command);
               },
               true},
    OptionInfo{"-T", "d", Bit(Command::kTranslate),
               "translate: each object's definition (module, syntax, access,\n"
               "status, units, index); also written -Td",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 if (value != "d") {
                   throw UsageError("-T takes d, not " + Quoted(value), std::string(command));
                 }
                 to.describe = true;
               },
               true},
    OptionInfo{"--json", "", kRequests | Bit(Command::kListen) | Bit(Command::kDecode),
               "one JSON object per datagram instead of text lines",
               [](Invocation& to, const std::string&, std::string_view) { to.json = true; }},
    OptionInfo{"--timeout", "S", kNetwork,
               "seconds to wait for each answer or acknowledgement (default 2);\n"
               "for listen, the whole run (default: no limit)",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.timeout_seconds = ParseSeconds(value, command);
               }},
    OptionInfo{"--retries", "N", kRequests | Bit(Command::kInform),
               "times to send a request or inform again when no answer came\n"
               "(default 1)",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.retries = ParseInteger<int>(value, 0, 100, "--retries", command);
               }},
    OptionInfo{"--string-type", "N", kRequests | Bit(Command::kListen) | Bit(Command::kDecode),
               "1: OCTET STRING values as bytes, otherwise as text (default 0)",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.string_type = ParseInteger<std::int32_t>(
                     value, std::numeric_limits<std::int32_t>::min(),
                     std::numeric_limits<std::int32_t>::max(), "--string-type", command);
               }},
    OptionInfo{"--agent-address", "A", Bit(Command::kTrap),
               "trap -v 1: the agent address sent (default: the local address\n"
               "towards AGENT)",
               [](Invocation& to, const std::string& value, std::string_view) {
                 to.agent_address = value;
               }},
    OptionInfo{"--uptime", "TICKS", Bit(Command::kTrap),
               "trap -v 1: the time stamp in hundredths of a second, 0 to\n"
               "4294967294, or auto (the default): the system's tick count",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.uptime = ParseUptime(value, "--uptime", command);
               }},
    OptionInfo{"--local", "ADDRESS[:PORT]", kNetwork,
               "where to send from and listen: an IPv4 or IPv6 address of this\n"
               "machine or localhost; [::1]:1162 for IPv6, :1162 for a port on\n"
               "every address. Default: every address, IPv4 and IPv6, and port\n"
               "162 for listen, else one the system chooses (as does port 0)",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 LocalEndpoint local;
                 WithUsageOf(command, [&] { local = ParseLocal(value); });
                 to.local_address = std::move(local.address);
                 if (local.port) to.local_port = *local.port;
               }},
    // What listen took before --local, kept for the scripts that use them.
    OptionInfo{"--address", "A", Bit(Command::kListen), "listen: the same as --local A",
               [](Invocation& to, const std::string& value, std::string_view) {
                 to.local_address = value;
               }},
    OptionInfo{"--port", "N", Bit(Command::kListen), "listen: the same as --local :N",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 // 0 lets the system choose; the port in use is reported when listening starts.
                 to.local_port = ParseInteger<std::uint16_t>(value, 0, 65535, "--port", command);
               }},
    OptionInfo{
        "--state-dir", "DIR", Bit(Command::kListen),
        "listen -e: where the engine's boots are kept between runs\n"
        "(default $OSTREL_STATE_DIR, $XDG_STATE_HOME/ostrel or\n"
        "~/.local/state/ostrel)",
        [](Invocation& to, const std::string& value, std::string_view) { to.state_dir = value; }},
    OptionInfo{"--count", "N", Bit(Command::kListen), "listen: stop after N datagrams",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.count = ParseInteger<long>(value, 1, std::numeric_limits<std::int32_t>::max(),
                                               "--count", command);
               }},
    OptionInfo{"--hex", "HEX", Bit(Command::kDecode),
               "decode: one datagram given in hex (repeatable)",
               [](Invocation& to, const std::string& value, std::string_view) {
                 to.hex.push_back(value);
               }},
    OptionInfo{"--ignore-case", "", Bit(Command::kFind),
               "find: compare without regard to letter case",
               [](Invocation& to, const std::string&, std::string_view) { to.ignore_case = true; }},
};

const OptionInfo* FindOption(std::string_view name) {
  for (const OptionInfo& option : kOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

// A word that is an option Net-SNMP spells with one dash ("-v", "-u"), or starts with one that
// may have its value joined to it ("-v2c"). Other words with one dash are no options ("-5",
// "-", "-none").
const OptionInfo* FindOneDashOption(std::string_view word) {
  for (const OptionInfo& option : kOptions) {
    if (option.name.starts_with("--")) continue;
    if (word == option.name || (option.joined && word.starts_with(option.name))) return &option;
  }
  return nullptr;
}

// "  --timeout S         seconds to wait ...": the help in a column of its own, which starts on
// the next line after a long name.
std::string OptionHelp(const OptionInfo& option) {
  constexpr std::size_t kHelpColumn = 22;
  std::string text = "  " + std::string(option.name);
  if (!option.value.empty()) text.append(" ").append(option.value);
  if (text.size() < kHelpColumn) {
    text.resize(kHelpColumn, ' ');
  } else {
    text.append("\n").append(kHelpColumn, ' ');
  }
  for (const char c : option.help) {
    text += c;
    if (c == '\n') text.append(kHelpColumn, ' ');
  }
  return text + "\n";
}

std::vector<BindingArgument> ReadTriples(std::span<const std::string> args,
                                         std::string_view command) {
  if (args.size() % 3 != 0) {
    throw UsageError("objects come in threes: OID TYPE VALUE", std::string(command));
  }
  std::vector<BindingArgument> bindings;
  for (std::size_t i = 0; i < args.size(); i += 3) {
    const std::string& type = args[i + 1];
    if (type.size() != 1 || std::string_view("icgtsxanC").find(type[0]) == std::string_view::npos) {
      throw UsageError(
          "unknown value type " + Quoted(type) + " for " + args[i] + " (one of i c g t s x a n C)",
          std::string(command));
    }
    bindings.push_back({args[i], type[0], args[i + 2]});
  }
  return bindings;
}

void RequireCount(std::span<const std::string> positionals, std::size_t min, std::size_t max,
                  std::string_view command) {
  if (positionals.size() < min) throw UsageError("missing arguments", std::string(command));
  if (positionals.size() > max) {
    throw UsageError("unexpected argument " + Quoted(positionals[max]), std::string(command));
  }
}

// Under SNMPv1 a binding has no Counter64 value.
void RequireVersionFor(const Invocation& invocation, std::string_view command) {
  for (const BindingArgument& binding : invocation.bindings) {
    if (binding.type == 'C' && invocation.snmp_version == 0) {
      throw UsageError("type C (Counter64) for " + binding.oid + " needs -v 2c or -v 3",
                       std::string(command));
    }
  }
}

// AGENT and, but under -v 3, COMMUNITY: the target, and the operands after them. Under -v 3 the
// sends name the user instead of a community. `min`: the operands needed, counting COMMUNITY.
std::span<const std::string> ReadTargetAndCommunity(Invocation& invocation,
                                                    std::span<const std::string> positionals,
                                                    std::size_t min, std::size_t max,
                                                    std::string_view default_port,
                                                    std::string_view command) {
  const bool v3 = invocation.snmp_version == 3;
  const std::size_t community = v3 ? 0 : 1;
  const std::size_t any = std::numeric_limits<std::size_t>::max();
  RequireCount(positionals, min - 1 + community, max == any ? any : max - 1 + community, command);
  // An option's value joined to a one-dash SNMPv3 option is no option: say so here rather than
  // reading it as the agent.
  if (positionals[0].starts_with('-')) {
    const bool mib_option = positionals[0].starts_with("-m") || positionals[0].starts_with("-M");
    throw UsageError("unknown option " + Quoted(positionals[0]) +
                         (mib_option ? " (-m and -M take their value after a blank: -m ALL)"
                                     : " (the SNMPv3 options take their value after a blank: "
                                       "-u NAME)"),
                     std::string(command));
  }
  invocation.target = ParseTarget(positionals[0], default_port);
  invocation.community = v3 ? invocation.v3.user.value_or("") : positionals[1];
  return positionals.subspan(1 + community);
}

// AGENT COMMUNITY UPTIME TRAP-OID [OID TYPE VALUE]..., as snmptrap -v 2c and snmpinform take
// them (under -v 3 without COMMUNITY).
void ReadNotification(Invocation& invocation, std::span<const std::string> positionals,
                      std::string_view command) {
  const auto rest = ReadTargetAndCommunity(invocation, positionals, 4,
                                           std::numeric_limits<std::size_t>::max(), "162", command);
  invocation.uptime = ParseUptime(rest[0], "UPTIME", command);
  invocation.trap_oid = rest[1];
  invocation.bindings = ReadTriples(rest.subspan(2), command);
}

// The user -u and the level make, and the checks of the SNMPv3 options: they need -v 3 (listen
// takes them without it), and -v 3 needs a user (listen: -u or --user, or none at all).
void ReadSnmpV3(Invocation& invocation, std::string_view command) {
  const SnmpV3Arguments& v3 = invocation.v3;
  const bool listen = invocation.command == Command::kListen;
  if (!v3.first_option.empty() && invocation.snmp_version != 3 && !listen) {
    throw UsageError("option " + Quoted(v3.first_option) + " needs -v 3", std::string(command));
  }
  if (invocation.snmp_version == 3 && !listen && !v3.user) {
    throw UsageError("-v 3 needs -u USER", std::string(command));
  }
  if (!v3.user) return;
  UserArgument user{.name = *v3.user};
  if (v3.level != SecurityLevel::kNoAuthNoPriv) {
    const char* level = v3.level == SecurityLevel::kAuthPriv ? "authPriv" : "authNoPriv";
    if (!v3.auth_password) {
      throw UsageError(std::string("-l ") + level + " needs -A PASS, the authentication password",
                       std::string(command));
    }
    user.auth_protocol = v3.auth_protocol;
    user.auth_password = *v3.auth_password;
  }
  if (v3.level == SecurityLevel::kAuthPriv) {
    if (!v3.priv_password) {
      throw UsageError("-l authPriv needs -X PASS, the privacy password", std::string(command));
    }
    user.priv_protocol = v3.priv_protocol;
    user.priv_password = *v3.priv_password;
  }
  invocation.users.push_back(std::move(user));
}

void ReadPositionals(Invocation& invocation, std::span<const std::string> positionals,
                     std::string_view command) {
  constexpr std::size_t kAny = std::numeric_limits<std::size_t>::max();
  if ((kSnmpV2Only & Bit(invocation.command)) != 0 && invocation.snmp_version == 0) {
    throw UsageError(std::string(command) + " has no SNMPv1 form: give -v 2c or -v 3",
                     std::string(command));
  }
  switch (invocation.command) {
    case Command::kGet:
    case Command::kGetNext:
    case Command::kGetBulk: {
      const auto oids = ReadTargetAndCommunity(invocation, positionals, 3, kAny, "161", command);
      invocation.oids.assign(oids.begin(), oids.end());
      break;
    }
    case Command::kWalk:
    case Command::kBulkWalk: {
      if (invocation.command == Command::kBulkWalk && invocation.max_repetitions == 0) {
        throw UsageError("bulkwalk needs -Cr 1 or more", std::string(command));
      }
      const auto root = ReadTargetAndCommunity(invocation, positionals, 2, 3, "161", command);
      invocation.oids.push_back(root.empty() ? kDefaultWalkRoot : root[0]);
      break;
    }
    case Command::kSet:
      invocation.bindings = ReadTriples(
          ReadTargetAndCommunity(invocation, positionals, 5, kAny, "161", command), command);
      break;
    case Command::kTrap: {
      if (invocation.snmp_version != 0) {
        if (invocation.agent_address || invocation.uptime) {
          throw UsageError(
              "--agent-address and --uptime are for SNMPv1 traps; under -v 2c and -v 3 the time "
              "stamp is UPTIME and there is no agent address",
              std::string(command));
        }
        ReadNotification(invocation, positionals, command);
        break;
      }
      const auto rest = ReadTargetAndCommunity(invocation, positionals, 5, kAny, "162", command);
      invocation.enterprise = rest[0];
      invocation.generic_trap = ParseInteger<std::int16_t>(rest[1], 0, 6, "GENERIC", command);
      invocation.specific_trap = rest[2];
      invocation.bindings = ReadTriples(rest.subspan(3), command);
      break;
    }
    case Command::kInform:
      ReadNotification(invocation, positionals, command);
      break;
    case Command::kListen:
      RequireCount(positionals, 0, 0, command);
      break;
    case Command::kDecode:
      invocation.files.assign(positionals.begin(), positionals.end());
      if (invocation.files.empty() && invocation.hex.empty()) {
        throw UsageError("nothing to decode: give --hex HEX or files", std::string(command));
      }
      break;
    case Command::kTable: {
      if (invocation.max_repetitions == 0) {
        throw UsageError("table needs -Cr 1 or more", std::string(command));
      }
      const auto table = ReadTargetAndCommunity(invocation, positionals, 3, 3, "161", command);
      invocation.oids.push_back(table[0]);
      break;
    }
    case Command::kTranslate:
      RequireCount(positionals, 1, kAny, command);
      invocation.oids.assign(positionals.begin(), positionals.end());
      break;
    case Command::kFind:
      RequireCount(positionals, 1, 1, command);
      invocation.text = positionals[0];
      break;
    case Command::kHelp:
    case Command::kVersion:
      break;
  }
  ReadSnmpV3(invocation, command);
  RequireVersionFor(invocation, command);
}

}  // namespace

std::string_view CommandName(Command command) {
  for (const CommandInfo& info : kCommands) {
    if (info.command == command) return info.name;
  }
  return {};
}

Target ParseTarget(std::string_view text, std::string_view default_port) {
  EndpointParts parts = SplitEndpoint(text);
  if (parts.host.empty()) throw UsageError("no agent in " + Quoted(text));
  Target target{std::move(parts.host), parts.port.value_or(std::string(default_port))};
  if (target.port.find_first_not_of("0123456789") == std::string::npos) {
    ParseInteger<int>(target.port, 1, 65535, "the port", "");
  }
  return target;
}

LocalEndpoint ParseLocal(std::string_view text) {
  EndpointParts parts = SplitEndpoint(text);
  if (!parts.host.empty() && parts.host != "localhost" && !ReadAddressLiteral(parts.host)) {
    std::string message =
        "--local takes an IPv4 or IPv6 address of this machine or localhost, not " +
        Quoted(parts.host);
    if (parts.host.find_first_not_of("0123456789") == std::string::npos) {
      message += " (a port alone is written :" + parts.host + ")";
    }
    throw UsageError(message);
  }
  LocalEndpoint local{std::move(parts.host), std::nullopt};
  if (parts.port) local.port = ParseInteger<std::uint16_t>(*parts.port, 0, 65535, "the port", "");
  return local;
}

std::string EndpointText(std::string_view host, std::string_view port) {
  const bool ipv6 = host.find(':') != std::string_view::npos;
  std::string text = ipv6 ? "[" : "";
  text.append(host).append(ipv6 ? "]:" : ":").append(port);
  return text;
}

std::string UsageText(std::string_view command) {
  if (FindCommand(command) != nullptr) {
    std::string text;
    for (const CommandInfo& info : kCommands) {
      if (info.name == command)
        text += (text.empty() ? "usage: " : "       ") + UsageLine(info) + "\n";
    }
    return text;
  }
  std::string text = "usage:\n";
  for (const CommandInfo& info : kCommands) {
    text += "  " + UsageLine(info) + "\n";
  }
  text += "  ostrel help [COMMAND] | --version\n";
  return text;
}

std::string HelpText() {
  std::string text =
      "ostrel: SNMPv1, SNMPv2c and SNMPv3 requests, traps, informs and decoding through the\n"
      "kivOstrel control.\n\n" +
      UsageText("") +
      "\n"
      "Objects may be given as numbers (1.3.6.1.2.1.1.1.0), as dotted names from the root\n"
      "(iso.org.dod.internet.mgmt.mib.system.sysDescr.0) or as a unique last name with its\n"
      "suffix (sysDescr.0). Value types: i integer, c counter, g gauge, t timeticks,\n"
      "s string, x hex bytes, a IP address, n null, C counter64 (not under -v 1).\n"
      "UPTIME: hundredths of a second, or '' (or auto) for the system's tick count.\n"
      "getbulk, bulkwalk and inform need -v 2c or -v 3. inform waits for the acknowledgement\n"
      "as a request waits for its answer; listen acknowledges the informs it receives.\n\n"
      "SNMPv3: under -v 3 there is no COMMUNITY; -u names the user, whom ostrel adds to the\n"
      "control from -l, -a, -A, -x and -X (SNMPv3 OPTIONS: -u -l -a -A -x -X -n -e -E).\n"
      "The control discovers the agent's engine before the first request. An agent's Report\n"
      "(unknown user, wrong digest, ...) ends a request with that reason and exit status 1.\n"
      "listen accepts SNMPv3 traps and informs from any engine for the users of --user and\n"
      "-u, and shows a message the security model refused with the reason.\n"
      "Passwords are never printed.\n\n"
      "MIB modules (-m, or $MIBS; -M or $MIBDIRS for their folders) name objects\n"
      "(IF-MIB::ifDescr.3, or ifDescr.3 once loaded), describe values (up(1), display\n"
      "hints, units) and tables: table walks one (GetBulk under -v 2c and -v 3, GetNext\n"
      "under -v 1) and shows a row per line, its index decoded in the first column.\n"
      "Without modules nothing is loaded and names come from the control's own table.\n\n"
      "Options:\n";
  for (const OptionInfo& option : kOptions) text += OptionHelp(option);
  return text +
         "\n"
         "Agents: HOST, HOST:PORT, [IPV6]:PORT or an IPv6 address alone, optionally after\n"
         "udp: (IPv4) or udp6: (IPv6), as Net-SNMP's tools take them. Default ports: 161 for\n"
         "requests, 162 for traps and informs.\n"
         "Exit status: 0 success, 1 no answer (or acknowledgement) in time, an SNMPv3 request\n"
         "refused, or a socket or file failure, 2 the agent answered with an error status,\n"
         "64 bad arguments (also a user the control refuses).\n";
}

Invocation ParseCommandLine(std::span<const std::string> args) {
  Invocation invocation;
  if (args.empty()) throw UsageError("no command given");
  const std::string& first = args[0];
  if (first == "help" || first == "--help" || first == "-h") {
    invocation.command = Command::kHelp;
    if (args.size() > 1) {
      if (!FindCommand(args[1])) throw UsageError("unknown command " + Quoted(args[1]));
      invocation.help_topic = args[1];
    }
    return invocation;
  }
  if (first == "--version") {
    invocation.command = Command::kVersion;
    return invocation;
  }
  const CommandInfo* info = FindCommand(first);
  if (info == nullptr) throw UsageError("unknown command " + Quoted(first));
  invocation.command = info->command;
  const std::string_view command = info->name;
  // A trap receiver is found at the traps' port unless told otherwise.
  if (info->command == Command::kListen) invocation.local_port = 162;

  std::vector<std::string> positionals;
  bool options_ended = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--" && !options_ended) {
      options_ended = true;
      continue;
    }
    if (!options_ended && (arg == "--help" || arg == "-h")) {
      Invocation help;
      help.help_topic = std::string(command);
      return help;
    }
    const OptionInfo* option = nullptr;
    std::optional<std::string> value;
    SecretArgument value_at{.index = i, .offset = 0};
    if (!options_ended && arg.starts_with("--")) {
      std::string_view name = arg;
      if (const std::size_t equals = name.find('='); equals != std::string_view::npos) {
        value = std::string(name.substr(equals + 1));
        name = name.substr(0, equals);
        value_at.offset = equals + 1;
      }
      option = FindOption(name);
      if (option == nullptr) {
        throw UsageError("unknown option " + Quoted(name), std::string(command));
      }
    } else if (!options_ended) {
      option = FindOneDashOption(arg);
      if (option != nullptr && arg.size() > option->name.size()) {
        value = arg.substr(option->name.size());
        value_at.offset = option->name.size();
      }
    }
    if (option == nullptr) {
      positionals.push_back(arg);
      continue;
    }
    const std::string name(option->name);
    if ((option->commands & Bit(info->command)) == 0) {
      throw UsageError("option " + Quoted(name) + " does not apply to " + std::string(command),
                       std::string(command));
    }
    const bool takes_value = !option->value.empty();
    if (takes_value && !value) {
      if (i + 1 == args.size()) {
        throw UsageError("option " + Quoted(name) + " needs a value", std::string(command));
      }
      value = args[++i];
      value_at = {.index = i, .offset = 0};
    } else if (!takes_value && value) {
      throw UsageError("option " + Quoted(name) + " takes no value", std::string(command));
    }
    if (option->secret) invocation.secret_arguments.push_back(value_at);
    option->apply(invocation, value.value_or(std::string()), command);
  }
  WithUsageOf(command, [&] { ReadPositionals(invocation, positionals, command); });
  return invocation;
}

}  // namespace kivostrel::ostrel
