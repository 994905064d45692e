// The command line of `ostrel`: what the user asked for, read into one Invocation.
//
// Conventions are those of the usual SNMP command-line tools: the agent first (AGENT[:PORT],
// an optional "udp:" prefix), then the community, then objects. Options start with "--" and may
// stand anywhere before a lone "--"; "--name=value" and "--name value" are the same. A single
// dash starts no option (except -h), so negative numbers such as `i -5` need no quoting.
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
  kSet,
  kTrap,
  kListen,
  kDecode,
  kTranslate,
  kFind,
};

// Where requests and traps go. The texts go to the socket component unchanged.
struct Target {
  std::string host;
  std::string port;
  friend bool operator==(const Target&, const Target&) = default;
};

// One OID TYPE VALUE triple of `set` and `trap`. The OID is as typed (a name or numbers).
struct BindingArgument {
  std::string oid;
  char type = 'n';  // i c g t s x a n
  std::string value;
  friend bool operator==(const BindingArgument&, const BindingArgument&) = default;
};

struct Invocation {
  Command command = Command::kHelp;
  std::string help_topic;  // `ostrel help get`: the command whose usage to show

  bool json = false;
  std::int32_t string_type = 0;
  // Requests: the wait for each attempt. listen: the whole run (none by default).
  std::optional<double> timeout_seconds;
  int retries = 1;

  // get, getnext, walk, set, trap
  Target target;
  std::string community;
  // get, getnext: the objects; walk: the root (none: the default); translate: the inputs
  std::vector<std::string> oids;
  // set, trap
  std::vector<BindingArgument> bindings;

  // trap
  std::string enterprise;
  std::int16_t generic_trap = 0;
  std::string specific_trap;
  std::optional<std::string> agent_address;
  std::optional<std::int32_t> uptime;

  // listen
  std::string listen_address = "0.0.0.0";
  std::uint16_t listen_port = 162;
  std::optional<long> count;

  // decode: each --hex and each file is one datagram; "-" reads standard input
  std::vector<std::string> hex;
  std::vector<std::string> files;

  // find
  bool ignore_case = false;
  std::string text;
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

// "AGENT", "AGENT:PORT", "udp:AGENT:PORT". Throws UsageError for an empty host or port or a
// decimal port outside 1 to 65535; a port that is not decimal is left to the socket component
// (a service name).
Target ParseTarget(std::string_view text, std::string_view default_port);

}  // namespace kivostrel::ostrel
