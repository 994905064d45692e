// Real SNMP peers for the interoperability tests: Net-SNMP's snmpd and snmptrapd started on free
// UDP ports of 127.0.0.1 with a generated configuration, and child processes (snmpget, snmptrap,
// tshark, ...) run with their output captured and a time limit.
//
// Every process started here is owned by an object and stopped by its PID when the object goes,
// so a failing test leaves nothing running. Nothing here touches any address but 127.0.0.1.
//
// A program that cannot be found raises std::runtime_error naming it and the Debian package that
// ships it: a missing peer fails the test, it does not skip it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "transport/sockets/unique_fd.h"

namespace kivostrel::testing {

// Variables set for a child on top of this process's environment.
using EnvironmentOverrides = std::vector<std::pair<std::string, std::string>>;

// Called over and over while a child runs, for a host that must keep its own loop going. It
// should block for a few milliseconds at most (for example PosixUdpSocket::Pump(10)).
using WhileWaiting = std::function<void()>;

// The full path of `name` from PATH, /usr/sbin or /sbin (a name with a slash is taken as a
// path); throws std::runtime_error when absent.
std::string RequireProgram(std::string_view name);

// The environment every Net-SNMP program gets: no MIB modules (none are installed), and a
// configuration and persistent-data folder of its own instead of the user's and the system's.
EnvironmentOverrides NetSnmpEnvironment(const std::filesystem::path& config_dir);

// A free UDP port on 127.0.0.1 at the time of the call (the system's choice for port 0).
std::uint16_t FreeUdpPort();

// A fresh folder under the system's temporary folder, removed with all it holds.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const noexcept { return path_; }

 private:
  std::filesystem::path path_;
};

// One child process: stdin from /dev/null, stdout and stderr each into an anonymous file.
class ChildProcess {
 public:
  // `argv[0]` is the program's path. Throws std::system_error when it cannot be started; a
  // program that is found but cannot be executed exits with 127.
  ChildProcess(const std::vector<std::string>& argv, const EnvironmentOverrides& environment);
  // Stop().
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const noexcept { return pid_; }
  // Reaps the child when it has ended.
  bool Running();
  // The exit status, or 128 + the signal number that ended it; nullopt while it runs.
  std::optional<int> ExitCode();
  // Waits until the child ends or `timeout` passes; true when it ended.
  bool WaitExit(std::chrono::milliseconds timeout, const WhileWaiting& while_waiting = {});
  // SIGTERM, then SIGKILL after a grace period, and reaps. Safe to call again.
  void Stop() noexcept;

  // What the child wrote so far.
  std::string Output() const;
  std::string Errors() const;

 private:
  void Reap(int status) noexcept;

  pid_t pid_ = -1;
  std::optional<int> exit_code_;
  UniqueFd stdout_;
  UniqueFd stderr_;
};

struct CommandResult {
  int exit_code = -1;  // exit status, 128 + signal, or -1 when the time ran out
  bool timed_out = false;
  std::string out;
  std::string err;
};

// Runs a program to its end; `argv[0]` is a name looked up with RequireProgram. A child still
// running after `timeout` is killed and the result says so.
CommandResult RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         const EnvironmentOverrides& environment = {},
                         const WhileWaiting& while_waiting = {});

// `text` without blanks at the ends of its lines (Net-SNMP ends a Hex-STRING with one).
std::string WithoutTrailingBlanks(std::string_view text);

// A Net-SNMP client (snmpget, snmpset, snmptrap, ...) run with NetSnmpEnvironment.
CommandResult RunNetSnmpTool(const std::vector<std::string>& argv,
                             std::chrono::milliseconds timeout,
                             const WhileWaiting& while_waiting = {});

// snmpd on 127.0.0.1:port() with the communities "public" (read-only) and "private"
// (read-write) for 127.0.0.1, persistent data in its own folder and no sysLocation or
// sysContact lines, so that both can be set. The constructor returns once the agent answers a
// GetRequest; it throws std::runtime_error (with the agent's log) when it never does.
class SnmpAgent {
 private:
  void Start(bool same_port);

 public:
  // `ipv6`: on [::1] instead, for IPv6 sources ("udp6:[::1]:PORT"). `more_config`: lines
  // added to its configuration (SNMPv3 users: createUser and rwuser lines).
  explicit SnmpAgent(bool ipv6 = false, std::string_view more_config = {});
  // Stops the agent and starts it again on the same port, with the same persistent data.
  void Restart();
  ~SnmpAgent();
  SnmpAgent(const SnmpAgent&) = delete;
  SnmpAgent& operator=(const SnmpAgent&) = delete;

  std::uint16_t port() const noexcept { return port_; }
  // "127.0.0.1:PORT" or "udp6:[::1]:PORT", as Net-SNMP tools take it.
  std::string Endpoint() const;
  std::string Log() const;

 private:
  TempDir dir_;
  bool ipv6_ = false;
  std::uint16_t port_ = 0;
  std::optional<ChildProcess> process_;
};

// One trap as snmptrapd printed it.
struct PrintedTrap {
  int version = -1;  // 0 for SNMPv1
  std::string community;
  std::string enterprise;     // dotted, without the leading dot
  std::string agent_address;  // the agent-addr field
  int generic_trap = -1;
  std::string specific_trap;  // decimal
  std::int64_t time_stamp = -1;
  // Each binding as (OID without the leading dot, the value as Net-SNMP prints it after
  // "= ", for example `STRING: "hello"` or `INTEGER: 5`).
  std::vector<std::pair<std::string, std::string>> bindings;
  std::string line;  // the whole line, for messages
};

// snmptrapd on 127.0.0.1:port(), accepting every community, printing each trap as one line of
// a fixed format with numeric OIDs and no host name look-ups. The constructor returns once it
// listens; it throws std::runtime_error (with its log) when it never does.
class TrapReceiver {
 public:
  // `more_config`: lines added to its configuration (createUser -e ENGINEID lines).
  explicit TrapReceiver(std::string_view more_config = {});
  ~TrapReceiver();
  TrapReceiver(const TrapReceiver&) = delete;
  TrapReceiver& operator=(const TrapReceiver&) = delete;

  std::uint16_t port() const noexcept { return port_; }
  std::string Log() const;
  // The traps printed so far, in order.
  std::vector<PrintedTrap> Traps() const;
  // Waits until at least `count` traps were printed; true when they were.
  bool WaitForTraps(std::size_t count, std::chrono::milliseconds timeout,
                    const WhileWaiting& while_waiting = {}) const;

 private:
  TempDir dir_;
  std::uint16_t port_ = 0;
  std::optional<ChildProcess> process_;
};

// Reads one trap line of TrapReceiver's format; nullopt for any other line.
std::optional<PrintedTrap> ParsePrintedTrap(std::string_view line);

}  // namespace kivostrel::testing
