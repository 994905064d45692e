#include "tests/support/netsnmp_peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>
#include <system_error>
#include <thread>

extern char** environ;

namespace kivostrel::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long a daemon may take to come up, and how often a busy port is tried again with another.
constexpr milliseconds kStartTimeout{15000};
constexpr int kStartAttempts = 5;

// The Debian package that ships each peer, for the message when one is missing.
std::string PackageOf(std::string_view program) {
  static const std::map<std::string, std::string, std::less<>> kPackages{
      {"snmpd", "snmpd"},      {"snmptrapd", "snmptrapd"}, {"snmpget", "snmp"},
      {"snmpgetnext", "snmp"}, {"snmpset", "snmp"},        {"snmptrap", "snmp"},
      {"tshark", "tshark"},    {"text2pcap", "tshark"},    {"python3", "python3-pysnmp4"},
  };
  const auto found = kPackages.find(program);
  return found == kPackages.end() ? std::string("?") : found->second;
}

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

UniqueFd MakeCaptureFile(const char* name) {
  UniqueFd fd(::memfd_create(name, MFD_CLOEXEC));
  if (!fd) ThrowErrno("memfd_create");
  return fd;
}

std::string ReadWhole(const UniqueFd& fd) {
  std::string text;
  if (!fd) return text;
  char buffer[4096];
  off_t offset = 0;
  for (;;) {
    const ssize_t n = ::pread(fd.get(), buffer, sizeof buffer, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    offset += n;
  }
  return text;
}

// Waits a little, or lets the host's loop run instead.
void Idle(const WhileWaiting& while_waiting) {
  if (while_waiting) {
    while_waiting();
  } else {
    std::this_thread::sleep_for(milliseconds(10));
  }
}

std::string StripLeadingDot(std::string_view text) {
  if (!text.empty() && text.front() == '.') text.remove_prefix(1);
  return std::string(text);
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

std::string RequireProgram(std::string_view name) {
  if (name.find('/') != std::string_view::npos) {
    if (::access(std::string(name).c_str(), X_OK) == 0) return std::string(name);
    throw std::runtime_error(std::string(name) + " not found or not executable");
  }
  std::vector<std::string> folders;
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      const auto colon = rest.find(':');
      folders.emplace_back(rest.substr(0, colon));
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  folders.emplace_back("/usr/sbin");
  folders.emplace_back("/sbin");
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + std::string(name);
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  throw std::runtime_error(std::string(name) + " not found on PATH, in /usr/sbin or /sbin: " +
                           "install the Debian package " + PackageOf(name) +
                           " (./run test installs it)");
}

EnvironmentOverrides NetSnmpEnvironment(const std::filesystem::path& config_dir) {
  return {{"MIBS", ""},
          {"SNMPCONFPATH", config_dir.string()},
          {"SNMP_PERSISTENT_DIR", (config_dir / "persist").string()}};
}

std::uint16_t FreeUdpPort() {
  const UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd) ThrowErrno("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    ThrowErrno("bind 127.0.0.1:0");
  socklen_t length = sizeof address;
  if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    ThrowErrno("getsockname");
  return ntohs(address.sin_port);
}

// --- TempDir ---

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kivostrel-interop-XXXXXX");
  if (::mkdtemp(pattern.data()) == nullptr) ThrowErrno("mkdtemp");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

// --- ChildProcess ---

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const EnvironmentOverrides& environment)
    : stdout_(MakeCaptureFile("child-stdout")), stderr_(MakeCaptureFile("child-stderr")) {
  if (argv.empty()) throw std::invalid_argument("ChildProcess: empty argv");

  // Everything the child needs is prepared before fork: after it, only exec and a few system
  // calls are safe.
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::string_view key = text.substr(0, text.find('='));
    bool overridden = false;
    for (const auto& [name, value] : environment) overridden = overridden || key == name;
    if (!overridden) entries.emplace_back(text);
  }
  for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args(argv);
  std::vector<char*> arg_pointers;
  for (std::string& arg : args) arg_pointers.push_back(arg.data());
  arg_pointers.push_back(nullptr);

  const UniqueFd null_input(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (!null_input) ThrowErrno("open /dev/null");

  pid_ = ::fork();
  if (pid_ < 0) ThrowErrno("fork");
  if (pid_ == 0) {
    if (::dup2(null_input.get(), STDIN_FILENO) < 0 || ::dup2(stdout_.get(), STDOUT_FILENO) < 0 ||
        ::dup2(stderr_.get(), STDERR_FILENO) < 0) {
      ::_exit(127);
    }
    // Sockets and files of the test process stay out of the child.
    ::close_range(3, ~0U, 0);
    ::execve(arg_pointers[0], arg_pointers.data(), envp.data());
    ::_exit(127);
  }
}

ChildProcess::~ChildProcess() {
  Stop();
}

void ChildProcess::Reap(int status) noexcept {
  exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  pid_ = -1;
}

bool ChildProcess::Running() {
  if (pid_ < 0) return false;
  int status = 0;
  pid_t result;
  do {
    result = ::waitpid(pid_, &status, WNOHANG);
  } while (result < 0 && errno == EINTR);
  if (result == pid_) {
    Reap(status);
    return false;
  }
  if (result < 0) {  // not our child any more: nothing left to wait for
    exit_code_ = -1;
    pid_ = -1;
    return false;
  }
  return true;
}

std::optional<int> ChildProcess::ExitCode() {
  Running();
  return exit_code_;
}

bool ChildProcess::WaitExit(milliseconds timeout, const WhileWaiting& while_waiting) {
  const auto deadline = Clock::now() + timeout;
  while (Running()) {
    if (Clock::now() >= deadline) return false;
    Idle(while_waiting);
  }
  return true;
}

void ChildProcess::Stop() noexcept {
  if (!Running()) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + milliseconds(3000);
  while (Running() && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(5));
  if (pid_ < 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  Reap(status);
}

std::string ChildProcess::Output() const {
  return ReadWhole(stdout_);
}
std::string ChildProcess::Errors() const {
  return ReadWhole(stderr_);
}

// --- Commands ---

CommandResult RunCommand(const std::vector<std::string>& argv, milliseconds timeout,
                         const EnvironmentOverrides& environment,
                         const WhileWaiting& while_waiting) {
  if (argv.empty()) throw std::invalid_argument("RunCommand: empty argv");
  std::vector<std::string> resolved(argv);
  resolved[0] = RequireProgram(argv[0]);
  ChildProcess child(resolved, environment);
  CommandResult result;
  if (child.WaitExit(timeout, while_waiting)) {
    result.exit_code = *child.ExitCode();
  } else {
    result.timed_out = true;
    child.Stop();
  }
  result.out = child.Output();
  result.err = child.Errors();
  return result;
}

CommandResult RunNetSnmpTool(const std::vector<std::string>& argv, milliseconds timeout,
                             const WhileWaiting& while_waiting) {
  // Clients keep nothing between runs; a folder of their own keeps the user's and the system's
  // settings out.
  static const TempDir client_dir;
  return RunCommand(argv, timeout, NetSnmpEnvironment(client_dir.path()), while_waiting);
}

std::string WithoutTrailingBlanks(std::string_view text) {
  std::string result;
  for (const char c : text) {
    if (c == '\n') {
      while (!result.empty() && result.back() == ' ') result.pop_back();
    }
    result.push_back(c);
  }
  while (!result.empty() && result.back() == ' ') result.pop_back();
  return result;
}

// --- SnmpAgent ---

SnmpAgent::SnmpAgent(bool ipv6, std::string_view more_config) : ipv6_(ipv6) {
  const std::filesystem::path config = dir_.path() / "snmpd.conf";
  // No sysLocation or sysContact line: either would make its object read-only.
  WriteFile(config, (ipv6 ? "rocommunity6 public ::1\n"
                            "rwcommunity6 private ::1\n"
                          : "rocommunity public 127.0.0.1\n"
                            "rwcommunity private 127.0.0.1\n") +
                        std::string(more_config));
  Start(false);
}

void SnmpAgent::Restart() {
  process_.reset();
  Start(true);
}

void SnmpAgent::Start(bool same_port) {
  const std::string snmpd = RequireProgram("snmpd");
  const std::filesystem::path config = dir_.path() / "snmpd.conf";
  std::string log;
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    if (!same_port || port_ == 0) port_ = FreeUdpPort();
    process_.emplace(
        // The persistent configuration too, so that a restart keeps the engine ID and counts
        // its boots on.
        std::vector<std::string>{
            snmpd, "-f", "-Lo", "-C", "-c",
            config.string() + "," + (dir_.path() / "persist" / "snmpd.conf").string(), Endpoint()},
        NetSnmpEnvironment(dir_.path()));
    const auto deadline = Clock::now() + kStartTimeout;
    while (process_->Running() && Clock::now() < deadline) {
      // The version line comes once the agent listens; only then is a probe worth its wait.
      if (Log().find("NET-SNMP version") == std::string::npos) {
        std::this_thread::sleep_for(milliseconds(10));
        continue;
      }
      const CommandResult probe =
          RunNetSnmpTool({"snmpget", "-v1", "-c", "public", "-t", "0.3", "-r", "0", "-On",
                          Endpoint(), "1.3.6.1.2.1.1.3.0"},
                         milliseconds(3000));
      if (probe.exit_code == 0) return;
    }
    log = Log();
    process_.reset();  // stops it if it still runs
    // A port taken in the meantime makes snmpd exit at once; anything else is not retried.
    if (log.find("endpoint") == std::string::npos) break;
  }
  throw std::runtime_error("snmpd did not answer on " + Endpoint() + "; its log:\n" + log);
}

SnmpAgent::~SnmpAgent() {
  process_.reset();
}

std::string SnmpAgent::Endpoint() const {
  return (ipv6_ ? "udp6:[::1]:" : "127.0.0.1:") + std::to_string(port_);
}

std::string SnmpAgent::Log() const {
  return process_ ? process_->Output() + process_->Errors() : std::string();
}

// --- TrapReceiver ---

namespace {

// One line per trap: version, community, enterprise, agent-addr, generic, specific, time stamp,
// then the bindings separated by tabs. snmptrapd reads the backslash escapes itself.
constexpr const char* kTrapMarker = "TRAP1|";
constexpr const char* kTrapFormat = "TRAP1|%s|%u|%N|%a|%w|%q|%T|%V\\t%v\\n";

}  // namespace

TrapReceiver::TrapReceiver(std::string_view more_config) {
  const std::string snmptrapd = RequireProgram("snmptrapd");
  const std::filesystem::path config = dir_.path() / "snmptrapd.conf";
  WriteFile(config, "disableAuthorization yes\n" + std::string(more_config));
  std::string log;
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    port_ = FreeUdpPort();
    // -n: no host name look-ups; -On: numeric OIDs; -X: no AgentX connection.
    process_.emplace(
        std::vector<std::string>{snmptrapd, "-f", "-Lo", "-n", "-On", "-X", "-F", kTrapFormat, "-C",
                                 "-c", config.string(), "udp:127.0.0.1:" + std::to_string(port_)},
        NetSnmpEnvironment(dir_.path()));
    // The version line is printed once the listening socket is open.
    const auto deadline = Clock::now() + kStartTimeout;
    while (process_->Running() && Clock::now() < deadline) {
      if (Log().find("NET-SNMP version") != std::string::npos) return;
      std::this_thread::sleep_for(milliseconds(10));
    }
    log = Log();
    process_.reset();
    if (log.find("couldn't open") == std::string::npos) break;
  }
  throw std::runtime_error("snmptrapd did not start on 127.0.0.1:" + std::to_string(port_) +
                           "; its log:\n" + log);
}

TrapReceiver::~TrapReceiver() {
  process_.reset();
}

std::string TrapReceiver::Log() const {
  return process_ ? process_->Output() + process_->Errors() : std::string();
}

std::vector<PrintedTrap> TrapReceiver::Traps() const {
  std::vector<PrintedTrap> traps;
  const std::string output = process_ ? process_->Output() : std::string();
  std::string_view rest(output);
  while (!rest.empty()) {
    const auto end = rest.find('\n');
    if (end == std::string_view::npos) break;  // a line still being written
    if (auto trap = ParsePrintedTrap(rest.substr(0, end))) traps.push_back(std::move(*trap));
    rest.remove_prefix(end + 1);
  }
  return traps;
}

bool TrapReceiver::WaitForTraps(std::size_t count, milliseconds timeout,
                                const WhileWaiting& while_waiting) const {
  const auto deadline = Clock::now() + timeout;
  while (Traps().size() < count) {
    if (Clock::now() >= deadline) return false;
    Idle(while_waiting);
  }
  return true;
}

std::optional<PrintedTrap> ParsePrintedTrap(std::string_view line) {
  if (!line.starts_with(kTrapMarker)) return std::nullopt;
  std::string_view rest = line.substr(std::string_view(kTrapMarker).size());
  std::vector<std::string_view> fields;
  for (int i = 0; i < 7; ++i) {
    const auto bar = rest.find('|');
    if (bar == std::string_view::npos) return std::nullopt;
    fields.push_back(rest.substr(0, bar));
    rest.remove_prefix(bar + 1);
  }
  PrintedTrap trap;
  trap.line = std::string(line);
  try {
    trap.version = std::stoi(std::string(fields[0]));
    trap.community = std::string(fields[1]);
    trap.enterprise = StripLeadingDot(fields[2]);
    trap.agent_address = std::string(fields[3]);
    trap.generic_trap = std::stoi(std::string(fields[4]));
    // Net-SNMP prints an enterprise-specific number with a leading dot.
    trap.specific_trap = StripLeadingDot(fields[5]);
    trap.time_stamp = std::stoll(std::string(fields[6]));
  } catch (const std::exception&) {
    return std::nullopt;
  }
  while (!rest.empty()) {
    const auto tab = rest.find('\t');
    const std::string_view binding = rest.substr(0, tab);
    const auto equals = binding.find(" = ");
    if (equals == std::string_view::npos) {
      trap.bindings.emplace_back(StripLeadingDot(binding), "");
    } else {
      std::string_view value = binding.substr(equals + 3);
      while (!value.empty() && value.back() == ' ') value.remove_suffix(1);  // after Hex-STRING
      trap.bindings.emplace_back(StripLeadingDot(binding.substr(0, equals)), std::string(value));
    }
    if (tab == std::string_view::npos) break;
    rest.remove_prefix(tab + 1);
  }
  return trap;
}

}  // namespace kivostrel::testing
