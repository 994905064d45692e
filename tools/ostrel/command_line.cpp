#include "tools/ostrel/command_line.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "encoding/quoted.h"
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
constexpr std::string_view kNotificationOperands =
    "AGENT[:PORT] COMMUNITY UPTIME TRAP-OID [OID TYPE VALUE]...";

// A command with two forms (trap under SNMPv1 and under SNMPv2c) has two rows; the first is the
// one parsing finds.
constexpr std::array kCommands{
    CommandInfo{Command::kGet, "get", kRequestOptions, "AGENT[:PORT] COMMUNITY OID..."},
    CommandInfo{Command::kGetNext, "getnext", kRequestOptions, "AGENT[:PORT] COMMUNITY OID..."},
    CommandInfo{Command::kWalk, "walk", kRequestOptions, "AGENT[:PORT] COMMUNITY [OID]"},
    CommandInfo{Command::kGetBulk, "getbulk",
                "-v 2c [-Cn N] [-Cr N] [--json] [--timeout S] [--retries N] "
                "[--local ADDRESS[:PORT]]",
                "AGENT[:PORT] COMMUNITY OID..."},
    CommandInfo{Command::kBulkWalk, "bulkwalk",
                "-v 2c [-Cr N] [--json] [--timeout S] [--retries N] [--local ADDRESS[:PORT]]",
                "AGENT[:PORT] COMMUNITY [OID]"},
    CommandInfo{Command::kSet, "set", kRequestOptions, "AGENT[:PORT] COMMUNITY OID TYPE VALUE..."},
    CommandInfo{Command::kTrap, "trap",
                "[-v 1] [--agent-address A] [--uptime TICKS] [--local ADDRESS[:PORT]]",
                "AGENT[:PORT] COMMUNITY ENTERPRISE GENERIC SPECIFIC [OID TYPE VALUE]..."},
    CommandInfo{Command::kTrap, "trap", "-v 2c [--local ADDRESS[:PORT]]", kNotificationOperands},
    CommandInfo{Command::kInform, "inform",
                "-v 2c [--timeout S] [--retries N] [--local ADDRESS[:PORT]]",
                kNotificationOperands},
    CommandInfo{Command::kListen, "listen",
                "[-v 1|2c] [--json] [--string-type N] [--local ADDRESS[:PORT]] [--count N] "
                "[--timeout S]",
                ""},
    CommandInfo{Command::kDecode, "decode", "[--json] [--string-type N]", "(--hex HEX | FILE...)"},
    CommandInfo{Command::kTranslate, "translate", "", "OID-OR-NAME..."},
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
                               Bit(Command::kSet);
constexpr unsigned kNetwork =
    kRequests | Bit(Command::kTrap) | Bit(Command::kInform) | Bit(Command::kListen);
// Commands whose messages exist in SNMPv2c only.
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
};

// -v: "1" or "2c", as Net-SNMP's tools take it; the engine's SnmpVersion 0 or 1.
std::int32_t ParseSnmpVersion(std::string_view text, std::string_view command) {
  if (text == "1") return 0;
  if (text == "2c") return 1;
  throw UsageError("-v takes 1 or 2c, not " + Quoted(text), std::string(command));
}

constexpr std::array kOptions{
    OptionInfo{"-v", "1|2c", kNetwork,
               "the SNMP version of the messages sent: 1 (the default) or 2c;\n"
               "also written -v1, -v2c. listen shows messages of either",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.snmp_version = ParseSnmpVersion(value, command);
               }},
    OptionInfo{"-Cn", "N", Bit(Command::kGetBulk),
               "getbulk: non-repeaters, the leading objects asked for once\n"
               "(default 0); also written -CnN",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.non_repeaters = ParseInteger<std::int32_t>(
                     value, 0, std::numeric_limits<std::int32_t>::max(), "-Cn", command);
               }},
    OptionInfo{"-Cr", "N", Bit(Command::kGetBulk) | Bit(Command::kBulkWalk),
               "getbulk, bulkwalk: max-repetitions, the objects answered for each\n"
               "of the others (default 10); also written -CrN",
               [](Invocation& to, const std::string& value, std::string_view command) {
                 to.max_repetitions = ParseInteger<std::int32_t>(
                     value, 0, std::numeric_limits<std::int32_t>::max(), "-Cr", command);
               }},
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

// A word that starts with an option Net-SNMP spells with one dash: "-v", or "-v2c" with its
// value joined to it. Other words with one dash are no options ("-5", "-").
const OptionInfo* FindOneDashOption(std::string_view word) {
  for (const OptionInfo& option : kOptions) {
    if (!option.name.starts_with("--") && word.starts_with(option.name)) return &option;
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
      throw UsageError("type C (Counter64) for " + binding.oid + " needs -v 2c",
                       std::string(command));
    }
  }
}

// AGENT COMMUNITY UPTIME TRAP-OID [OID TYPE VALUE]..., as snmptrap -v 2c and snmpinform take
// them.
void ReadNotification(Invocation& invocation, std::span<const std::string> positionals,
                      std::string_view command) {
  RequireCount(positionals, 4, std::numeric_limits<std::size_t>::max(), command);
  invocation.target = ParseTarget(positionals[0], "162");
  invocation.community = positionals[1];
  invocation.uptime = ParseUptime(positionals[2], "UPTIME", command);
  invocation.trap_oid = positionals[3];
  invocation.bindings = ReadTriples(positionals.subspan(4), command);
}

void ReadPositionals(Invocation& invocation, std::span<const std::string> positionals,
                     std::string_view command) {
  constexpr std::size_t kAny = std::numeric_limits<std::size_t>::max();
  if ((kSnmpV2Only & Bit(invocation.command)) != 0 && invocation.snmp_version != 1) {
    throw UsageError(std::string(command) + " sends SNMPv2c messages only: give -v 2c",
                     std::string(command));
  }
  switch (invocation.command) {
    case Command::kGet:
    case Command::kGetNext:
    case Command::kGetBulk:
      RequireCount(positionals, 3, kAny, command);
      invocation.target = ParseTarget(positionals[0], "161");
      invocation.community = positionals[1];
      invocation.oids.assign(positionals.begin() + 2, positionals.end());
      break;
    case Command::kWalk:
    case Command::kBulkWalk:
      if (invocation.command == Command::kBulkWalk && invocation.max_repetitions == 0) {
        throw UsageError("bulkwalk needs -Cr 1 or more", std::string(command));
      }
      RequireCount(positionals, 2, 3, command);
      invocation.target = ParseTarget(positionals[0], "161");
      invocation.community = positionals[1];
      invocation.oids.push_back(positionals.size() == 3 ? positionals[2] : kDefaultWalkRoot);
      break;
    case Command::kSet:
      RequireCount(positionals, 5, kAny, command);
      invocation.target = ParseTarget(positionals[0], "161");
      invocation.community = positionals[1];
      invocation.bindings = ReadTriples(positionals.subspan(2), command);
      break;
    case Command::kTrap:
      if (invocation.snmp_version == 1) {
        if (invocation.agent_address || invocation.uptime) {
          throw UsageError(
              "--agent-address and --uptime are for SNMPv1 traps; under -v 2c the time stamp is "
              "UPTIME and there is no agent address",
              std::string(command));
        }
        ReadNotification(invocation, positionals, command);
        break;
      }
      RequireCount(positionals, 5, kAny, command);
      invocation.target = ParseTarget(positionals[0], "162");
      invocation.community = positionals[1];
      invocation.enterprise = positionals[2];
      invocation.generic_trap =
          ParseInteger<std::int16_t>(positionals[3], 0, 6, "GENERIC", command);
      invocation.specific_trap = positionals[4];
      invocation.bindings = ReadTriples(positionals.subspan(5), command);
      break;
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
      "ostrel: SNMPv1 and SNMPv2c requests, traps, informs and decoding through the kivOstrel\n"
      "control.\n\n" +
      UsageText("") +
      "\n"
      "Objects may be given as numbers (1.3.6.1.2.1.1.1.0), as dotted names from the root\n"
      "(iso.org.dod.internet.mgmt.mib.system.sysDescr.0) or as a unique last name with its\n"
      "suffix (sysDescr.0). Value types: i integer, c counter, g gauge, t timeticks,\n"
      "s string, x hex bytes, a IP address, n null, C counter64 (-v 2c only).\n"
      "UPTIME: hundredths of a second, or '' (or auto) for the system's tick count.\n"
      "getbulk, bulkwalk and inform need -v 2c. inform waits for the acknowledgement as a\n"
      "request waits for its answer; listen acknowledges the informs it receives.\n\n"
      "Options:\n";
  for (const OptionInfo& option : kOptions) text += OptionHelp(option);
  return text +
         "\n"
         "Agents: HOST, HOST:PORT, [IPV6]:PORT or an IPv6 address alone, optionally after\n"
         "udp: (IPv4) or udp6: (IPv6), as Net-SNMP's tools take them. Default ports: 161 for\n"
         "requests, 162 for traps and informs.\n"
         "Exit status: 0 success, 1 no answer (or acknowledgement) in time or a socket or file\n"
         "failure, 2 the agent answered with an error status, 64 bad arguments.\n";
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
    if (!options_ended && arg.starts_with("--")) {
      std::string_view name = arg;
      if (const std::size_t equals = name.find('='); equals != std::string_view::npos) {
        value = std::string(name.substr(equals + 1));
        name = name.substr(0, equals);
      }
      option = FindOption(name);
      if (option == nullptr) {
        throw UsageError("unknown option " + Quoted(name), std::string(command));
      }
    } else if (!options_ended) {
      option = FindOneDashOption(arg);
      if (option != nullptr && arg.size() > option->name.size()) {
        value = arg.substr(option->name.size());
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
    } else if (!takes_value && value) {
      throw UsageError("option " + Quoted(name) + " takes no value", std::string(command));
    }
    option->apply(invocation, value.value_or(std::string()), command);
  }
  WithUsageOf(command, [&] { ReadPositionals(invocation, positionals, command); });
  return invocation;
}

}  // namespace kivostrel::ostrel
