#include "tools/ostrel/commands.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <random>
#include <string_view>
#include <utility>

#include "encoding/automation_error.h"
#include "encoding/hex.h"
#include "encoding/messages.h"
#include "encoding/quoted.h"
#include "mib/mib_library.h"
#include "tools/ostrel/control_host.h"
#include "tools/ostrel/engine_state.h"
#include "tools/ostrel/mib_description.h"
#include "tools/ostrel/mib_options.h"
#include "tools/ostrel/mib_table.h"
#include "tools/ostrel/objects.h"
#include "tools/ostrel/output_format.h"
#include "tools/ostrel/snmpv2_texts.h"

namespace kivostrel::ostrel {
namespace {

// SNMPv1 error status noSuchName: what a version-1 agent answers at the end of its MIB.
constexpr std::int16_t kNoSuchName = 2;

// What an agent's Report says, with where to look: the security model's reasons as the
// control's SecurityError words them, and the message processing's counters by their name.
constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kRefusals{{
    {"unknown user", "unknown user (check -u)"},
    {"wrong digest", "wrong digest (check -a and -A)"},
    {"unsupported security level", "unsupported security level (check -l)"},
    {"decryption error", "decryption error (check -x and -X)"},
    {"1.3.6.1.6.3.12.1.4.0", "unavailable context (check -n)"},
    {"1.3.6.1.6.3.12.1.5.0", "unknown context (check -n)"},
}};

// The refusal an agent's Report names (its SecurityError, or the counter of its first binding)
// among those an agent cannot authenticate (it does not know the user, or its key does not
// match), which end an SNMPv3 request when they come from the agent; null for anything else,
// which may be anyone's: it is noted, and the wait goes on.
const std::pair<std::string_view, std::string_view>* RefusalOf(const Datagram& report) {
  if (report.ErrorStatus == -1) return nullptr;  // refused here: nothing vouches for it
  const std::string& reason = report.SecurityError.empty() && !report.Objects.empty()
                                  ? report.Objects[0].OIDName
                                  : report.SecurityError;
  const auto known = std::find_if(kRefusals.begin(), kRefusals.end(),
                                  [&](const auto& refusal) { return refusal.first == reason; });
  return known == kRefusals.end() ? nullptr : &*known;
}

// What an SNMPv3 message from the agent that did not answer the request says, for the timeout's
// message.
std::string RefusalText(const Datagram& datagram, const kivOstrel& control) {
  if (datagram.ErrorStatus == -1) {
    return "its answer was refused: " + (datagram.SecurityError.empty()
                                             ? std::string("unreadable message")
                                             : datagram.SecurityError);
  }
  std::string reason = datagram.SecurityError;
  if (reason.empty() && !datagram.Objects.empty())
    reason = control.OID2Name(datagram.Objects[0].OIDName);
  return "a Report of " + (reason.empty() ? std::string("nothing") : reason);
}

// Sends requests and waits in the pump for their answers: the control has no timer of its own.
class Requester {
 public:
  // (control, request id): calls one of the control's send operations.
  using SendFunction = std::function<void(kivOstrel&, std::int32_t)>;

  Requester(ControlHost& host, const Invocation& invocation)
      : host_(host),
        invocation_(invocation),
        timeout_(invocation.timeout_seconds.value_or(kDefaultTimeoutSeconds)),
        // Under SNMPv3 only the agent's answers count: where they come from, resolved once.
        agent_(invocation.snmp_version == 3
                   ? host.PeerOf(invocation.target.host, invocation.target.port)
                   : std::nullopt) {
    std::random_device random;
    next_id_ = static_cast<std::int32_t>(random() & 0x3FFFFFFF) + 1;
  }

  // The GetResponse carrying the request's id. Each attempt (1 + retries) sends the request again
  // with the same id and waits `timeout` for it; an answer to an earlier attempt counts as well.
  // Under SNMPv3 only an answer from the agent, of the request's user, that the control accepted
  // counts; an agent's Report of a refusal it cannot authenticate ends the exchange.
  Datagram Exchange(const SendFunction& send) {
    const std::int32_t id = next_id_;
    next_id_ = next_id_ == INT32_MAX ? 1 : next_id_ + 1;
    const bool v3 = invocation_.snmp_version == 3;
    const auto from_agent = [&](const Datagram& datagram) {
      return agent_ && datagram.RemoteIP == agent_->address && datagram.RemotePort == agent_->port;
    };
    std::string refused;  // the last refusal from the agent while no answer came
    for (int attempt = 0; attempt <= invocation_.retries; ++attempt) {
      const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(timeout_);
      host_.WaitReady(deadline);
      try {
        send(host_.control(), id);
      } catch (const AutomationError& error) {
        throw UsageError("cannot build the request: " + error.description() + " (" +
                         std::to_string(error.number()) + ")");
      }
      do {
        host_.ThrowOnSocketFailure();
        auto& received = host_.received();
        while (!received.empty()) {
          Datagram datagram = std::move(received.front());
          received.pop_front();
          if (!v3) {
            if (datagram.Command == "GetResponse" && datagram.RequestId == id) return datagram;
            continue;
          }
          if (datagram.Version != 3 || !from_agent(datagram)) continue;
          if (datagram.Command == "GetResponse" && datagram.RequestId == id &&
              datagram.Community == invocation_.community) {
            return datagram;
          }
          // One request is under way at a time: the control deals with discovery and clocks by
          // itself, and a Report it raises is about this one.
          if (datagram.Command == "Report") {
            if (const auto* refusal = RefusalOf(datagram)) {
              throw ToolError(kExitFailure,
                              EndpointText(datagram.RemoteIP, datagram.RemotePort) +
                                  " refused the request: " + std::string(refusal->second));
            }
            refused = RefusalText(datagram, host_.control());
          }
        }
      } while (host_.Pump(deadline));
    }
    throw ToolError(kExitFailure,
                    "no response from " +
                        EndpointText(invocation_.target.host, invocation_.target.port) +
                        " (timeout after " + std::to_string(invocation_.retries + 1) + " attempts" +
                        (refused.empty() ? "" : "; meanwhile " + refused) + ")");
  }

 private:
  ControlHost& host_;
  const Invocation& invocation_;
  std::chrono::duration<double> timeout_;
  std::int32_t next_id_ = 1;
  std::optional<UdpSocket::Peer> agent_;
};

// The control's SNMPv3 settings: its engine ID (-e), context name (-n) and users. What the
// control refuses (error 5 or 380, with a description that never holds a password) is a usage
// error.
void SetUpSnmpV3(kivOstrel& control, const Invocation& invocation) {
  const std::string command(CommandName(invocation.command));
  const auto apply = [&command](const std::string& what, const std::function<void()>& call) {
    try {
      call();
    } catch (const AutomationError& error) {
      throw UsageError(what + ": " + error.description(), command);
    }
  };
  if (const auto& id = invocation.engine_id) {
    // A notification sender's and a receiver's own engine; a manager's -e pins the agent's,
    // which is then never discovered.
    if (invocation.command == Command::kTrap || invocation.command == Command::kListen) {
      apply("-e", [&] { control.EngineID(*id); });
      if (invocation.command == Command::kListen) {
        control.EngineBoots(
            Variant(NextEngineBoots(EngineStateFolder(invocation.state_dir), control.EngineID())));
      }
    } else {
      apply("-e",
            [&] { control.PinEngineID(invocation.target.host, invocation.target.port, *id); });
    }
  }
  if (!invocation.context_name.empty()) control.ContextName(invocation.context_name);
  if (const auto& id = invocation.context_engine_id) {
    apply("-E", [&] { control.ContextEngineID(*id); });
  }
  for (const UserArgument& user : invocation.users) {
    apply("a user", [&] {
      control.AddUser(user.name, user.auth_protocol, user.auth_password, user.priv_protocol,
                      user.priv_password);
    });
  }
}

// The control's MibWarnings on standard error, a line each.
void ShowMibWarnings(const kivOstrel& control) {
  std::string_view warnings = control.MibWarnings();
  while (!warnings.empty()) {
    const std::size_t end = warnings.find("\r\n");
    const std::string_view line = warnings.substr(0, end);
    if (!line.empty()) std::cerr << "ostrel: " << line << "\n";
    if (end == std::string_view::npos) break;
    warnings.remove_prefix(end + 2);
  }
}

// Loads the MIB modules of -m and -M, or of $MIBS and $MIBDIRS; none when neither names any.
// As Net-SNMP's tools do, a module that cannot be found is reported and the command goes on
// (its names then stay unknown); a file named by its path that cannot be read ends it.
void LoadMibs(kivOstrel& control, const Invocation& invocation) {
  const MibSettings settings =
      ReadMibSettings(invocation.mib_modules, invocation.mib_folders, std::getenv("MIBS"),
                      std::getenv("MIBDIRS"), std::getenv("HOME"));
  if (!settings.Any()) return;
  control.MibPath(MibPathOf(settings.folders));
  if (settings.all) {
    control.LoadEveryMib();
    ShowMibWarnings(control);
  }
  for (const std::string& module : settings.modules) {
    try {
      control.LoadMib(module);
      ShowMibWarnings(control);
    } catch (const AutomationError& error) {
      if (control.MibWarnings().empty()) {
        std::cerr << "ostrel: " << error.description() << "\n";
      } else {
        ShowMibWarnings(control);
      }
      if (module.find('/') != std::string::npos) {
        throw ToolError(kExitFailure, "cannot read the MIB module file " + module);
      }
      std::string path;
      for (const std::string& folder : settings.folders) path += (path.empty() ? "" : ":") + folder;
      std::cerr << "ostrel: cannot load module " << module << " (MIB search path: " << path
                << ")\n";
    }
  }
}

std::unique_ptr<ControlHost> NetworkHost(const Invocation& invocation) {
  auto host = ControlHost::OnNetwork(
      {.local_address = invocation.local_address, .local_port = invocation.local_port});
  host->control().StringType(invocation.string_type);
  host->control().SnmpVersion(Variant{invocation.snmp_version});
  SetUpSnmpV3(host->control(), invocation);
  LoadMibs(host->control(), invocation);
  return host;
}

// Prints the first `rows` rows of a response: text lines, or the response as JSON with them.
void ShowRows(const Datagram& response, std::size_t rows, const Invocation& invocation,
              const kivOstrel& control, std::ostream& out) {
  if (invocation.json) {
    out << DatagramJson(response, control, rows) << "\n";
  } else {
    for (std::size_t i = 0; i < rows && i < response.Objects.size(); ++i) {
      out << BindingLine(response.Objects[i], control, invocation.names) << "\n";
    }
  }
  out.flush();
}

// The exit status a response's error status calls for, with a line on standard error naming
// the error and the object it concerns (`requested`: the OIDs in request order).
int ReportErrorStatus(const Datagram& response, const std::vector<std::string>& requested,
                      const kivOstrel& control) {
  if (response.ErrorStatus == 0) return kExitOk;
  std::string message = "error in response from " +
                        EndpointText(response.RemoteIP, response.RemotePort) + ": " +
                        ErrorStatusName(response.ErrorStatus, control) + " (" +
                        std::to_string(response.ErrorStatus) + ")";
  if (const std::int32_t index = response.ErrorIndex;
      index >= 1 && static_cast<std::size_t>(index) <= requested.size()) {
    message += ", failed object " + std::to_string(index) + ": " +
               control.OID2Name(requested[static_cast<std::size_t>(index) - 1]);
  }
  std::cerr << "ostrel: " << message << "\n";
  return kExitErrorStatus;
}

// Prints a response (its rows only when its error status is 0, unless as JSON) and returns the
// exit status its error status calls for.
int ShowResponse(const Datagram& response, const std::vector<std::string>& requested,
                 const Invocation& invocation, const kivOstrel& control, std::ostream& out) {
  if (invocation.json || response.ErrorStatus == 0) {
    ShowRows(response, response.Objects.size(), invocation, control, out);
  }
  return ReportErrorStatus(response, requested, control);
}

int RunGet(const Invocation& invocation, std::ostream& out) {
  auto host = NetworkHost(invocation);
  kivOstrel& control = host->control();
  std::vector<std::string> oids;
  std::vector<Bytes> bindings;
  for (const std::string& typed : invocation.oids) {
    oids.push_back(ResolveOid(control, typed));
    bindings.push_back(control.SNMPNullValue(oids.back()));
  }
  const Bytes list = kivOstrel::JoinBindings(bindings);
  const Target& to = invocation.target;
  Requester requester(*host, invocation);
  const Datagram response = requester.Exchange([&](kivOstrel& c, std::int32_t id) {
    switch (invocation.command) {
      case Command::kGetNext:
        c.SendGetNextRequest(to.host, to.port, invocation.community, id, list);
        break;
      case Command::kGetBulk:
        c.SendGetBulkRequest(to.host, to.port, invocation.community, id, invocation.non_repeaters,
                             invocation.max_repetitions, list);
        break;
      default:
        c.SendGetRequest(to.host, to.port, invocation.community, id, list);
    }
  });
  return ShowResponse(response, oids, invocation, control, out);
}

// What one row of a walk's answer does to the walk.
enum class WalkStep {
  kShow,           // shown; the walk goes on from its name
  kShowAndEnd,     // an exception value inside the subtree: shown, and the walk ends
  kEnd,            // past the subtree: the walk ends
  kNoName,         // no readable name: the walk fails
  kNotIncreasing,  // not after the object asked from: the walk fails
};

WalkStep StepOf(const OstrelObject& row, const std::string& root, const std::string& current) {
  const bool in_subtree = row.OIDName == root || IsBelow(root, row.OIDName);
  if (IsException(row.OIDType)) return in_subtree ? WalkStep::kShowAndEnd : WalkStep::kEnd;
  if (!IsNumericOid(row.OIDName)) return WalkStep::kNoName;
  if (CompareOids(row.OIDName, current) != std::strong_ordering::greater) {
    return WalkStep::kNotIncreasing;
  }
  return IsBelow(root, row.OIDName) ? WalkStep::kShow : WalkStep::kEnd;
}

// One request of a walk for `oid`: a Get, or (`next`) a GetNext, or in bulk a GetBulk of
// max-repetitions rows.
Datagram AskFor(Requester& requester, const Invocation& invocation, kivOstrel& control,
                const std::string& oid, bool next, bool bulk) {
  const Bytes binding = control.SNMPNullValue(oid);
  const Target& to = invocation.target;
  return requester.Exchange([&](kivOstrel& c, std::int32_t id) {
    if (next && bulk) {
      c.SendGetBulkRequest(to.host, to.port, invocation.community, id, 0,
                           invocation.max_repetitions, binding);
    } else if (next) {
      c.SendGetNextRequest(to.host, to.port, invocation.community, id, binding);
    } else {
      c.SendGetRequest(to.host, to.port, invocation.community, id, binding);
    }
  });
}

// How a walk ended: the rows it handed on, and the answer with an error status that ended it
// (with the object asked for), if one did.
struct WalkEnd {
  std::size_t rows = 0;
  std::optional<Datagram> error;
  std::string asked;
};

// Walks below `root` as Net-SNMP's snmpwalk does (bulk: as snmpbulkwalk does, in GetBulk rounds
// of max-repetitions rows, each from the last object taken), handing `take` each answer with the
// number of its leading rows that belong to the walk: a row whose value cannot be decoded counts
// and the walk goes on from its name; an exception value inside the subtree (SNMPv2c:
// endOfMibView, noSuchObject, noSuchInstance) counts and ends the walk; under SNMPv1 noSuchName
// ends it. An answer that does not increase, or whose name cannot be read, ends the walk with a
// ToolError after its rows before that were taken.
WalkEnd WalkBelow(Requester& requester, const Invocation& invocation, kivOstrel& control,
                  const std::string& root, bool bulk,
                  const std::function<void(const Datagram&, std::size_t)>& take) {
  WalkEnd end;
  std::string current = root;
  for (bool more = true; more;) {
    Datagram response = AskFor(requester, invocation, control, current, true, bulk);
    if (response.ErrorStatus == kNoSuchName) break;  // SNMPv1: past the last object of the agent
    if (response.ErrorStatus != 0) {
      end.error = std::move(response);
      end.asked = current;
      return end;
    }
    more = !response.Objects.empty();
    std::size_t rows = 0;  // of this answer, to be taken
    WalkStep step = WalkStep::kShow;
    std::string answered;  // the name of the row that ended this answer's rows
    for (const OstrelObject& row : response.Objects) {
      step = StepOf(row, root, current);
      if (step == WalkStep::kShow || step == WalkStep::kShowAndEnd) ++rows;
      if (step != WalkStep::kShow) {
        answered = row.OIDName;
        more = false;
        break;
      }
      current = row.OIDName;
    }
    // The rows before a failure are taken first, as they came.
    if (rows > 0) take(response, rows);
    end.rows += rows;
    if (step == WalkStep::kNoName) {
      throw ToolError(kExitFailure, "the agent's answer after " + current +
                                        " has no readable object name: walk stopped");
    }
    if (step == WalkStep::kNotIncreasing) {
      throw ToolError(kExitFailure, "the agent answered " + answered + " after " + current +
                                        ": OID not increasing, walk stopped");
    }
  }
  return end;
}

// walk and bulkwalk: the rows below the root as they come. A root with nothing below it is asked
// for with a Get, so that walking a leaf shows the leaf (or, under SNMPv2c, the exception the
// agent answers for it).
int RunWalk(const Invocation& invocation, std::ostream& out) {
  auto host = NetworkHost(invocation);
  kivOstrel& control = host->control();
  const std::string root = ResolveOid(control, invocation.oids.at(0));
  const bool bulk = invocation.command == Command::kBulkWalk;
  Requester requester(*host, invocation);
  const WalkEnd end = WalkBelow(requester, invocation, control, root, bulk,
                                [&](const Datagram& response, std::size_t rows) {
                                  ShowRows(response, rows, invocation, control, out);
                                });
  if (end.error) return ShowResponse(*end.error, {end.asked}, invocation, control, out);
  if (end.rows > 0) return kExitOk;
  const Datagram leaf = AskFor(requester, invocation, control, root, false, bulk);
  if (leaf.ErrorStatus == 0 && !leaf.Objects.empty() && leaf.Objects.front().OIDName == root) {
    return ShowResponse(leaf, {root}, invocation, control, out);
  }
  std::cerr << "ostrel: no objects below " << control.OID2Name(root) << "\n";
  return kExitOk;
}

// table: the rows of a table of the loaded modules, walked below its entry (GetBulk rounds under
// SNMPv2c and SNMPv3, GetNext under SNMPv1), a line (or a JSON object) per row.
int RunTable(const Invocation& invocation, std::ostream& out) {
  auto host = NetworkHost(invocation);
  kivOstrel& control = host->control();
  const std::string& typed = invocation.oids.at(0);
  const std::optional<TableLayout> layout =
      control.mibs() == nullptr ? std::nullopt
                                : TableLayoutOf(*control.mibs(), ResolveOid(control, typed));
  if (!layout) {
    throw UsageError(Quoted(typed) + " is no table or table entry of the loaded MIB modules" +
                         (control.mibs() == nullptr ? " (give its module with -m)" : ""),
                     "table");
  }
  Requester requester(*host, invocation);
  TableRows rows(*layout);
  const WalkEnd end =
      WalkBelow(requester, invocation, control, layout->entry, invocation.snmp_version != 0,
                [&](const Datagram& response, std::size_t count) {
                  for (std::size_t i = 0; i < count; ++i) {
                    rows.Add(response.Objects[i]);
                  }
                });
  if (end.error) return ReportErrorStatus(*end.error, {end.asked}, control);
  if (rows.empty()) {
    std::cerr << "ostrel: no rows in " << ObjectName(control, layout->table, NameStyle::kModule)
              << "\n";
  }
  if (invocation.json) {
    rows.WriteJson(control, out);
  } else {
    rows.WriteText(control, invocation.cell_separator, out);
  }
  out.flush();
  return kExitOk;
}

int RunSet(const Invocation& invocation, std::ostream& out) {
  auto host = NetworkHost(invocation);
  kivOstrel& control = host->control();
  std::vector<std::string> oids;
  std::vector<Bytes> bindings;
  for (const BindingArgument& argument : invocation.bindings) {
    oids.push_back(ResolveOid(control, argument.oid));
    bindings.push_back(BuildBinding(control, argument));
  }
  const Bytes list = kivOstrel::JoinBindings(bindings);
  const Target& to = invocation.target;
  Requester requester(*host, invocation);
  const Datagram response = requester.Exchange([&](kivOstrel& c, std::int32_t id) {
    c.SendSetRequest(to.host, to.port, invocation.community, id, list);
  });
  return ShowResponse(response, oids, invocation, control, out);
}

Variant BindingList(const kivOstrel& control, const Invocation& invocation) {
  std::vector<Bytes> bindings;
  for (const BindingArgument& argument : invocation.bindings) {
    bindings.push_back(BuildBinding(control, argument));
  }
  return Variant{kivOstrel::JoinBindings(bindings)};
}

// A trap: under SNMPv1 the control's SendTrap, under SNMPv2c and SNMPv3 its SendNotification.
int RunTrap(const Invocation& invocation) {
  auto host = NetworkHost(invocation);
  kivOstrel& control = host->control();
  if (invocation.agent_address) control.AgentAddress(*invocation.agent_address);
  if (invocation.uptime) control.TickCount(*invocation.uptime);
  const bool v2 = invocation.snmp_version != 0;
  const std::string oid = ResolveOid(control, v2 ? invocation.trap_oid : invocation.enterprise);
  const Variant list = BindingList(control, invocation);
  const auto deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                         invocation.timeout_seconds.value_or(kDefaultTimeoutSeconds)));
  host->WaitReady(deadline);
  const Target& to = invocation.target;
  try {
    if (v2) {
      control.SendNotification(to.host, to.port, invocation.community, oid, list);
    } else {
      control.SendTrap(to.host, to.port, invocation.community, oid, invocation.generic_trap,
                       invocation.specific_trap, list);
    }
  } catch (const AutomationError& error) {
    throw UsageError(std::string("cannot build the trap from ") +
                     (v2 ? "TRAP-OID" : "ENTERPRISE, SPECIFIC and the agent address") + ": " +
                     error.description() + " (" + std::to_string(error.number()) + ")");
  }
  host->WaitReady(deadline);  // DatagramSent, or the send's failure
  return kExitOk;
}

// An inform, sent again as a request is until its acknowledgement (a GetResponse with its request
// id) comes; that prints nothing unless it carries an error status.
int RunInform(const Invocation& invocation) {
  auto host = NetworkHost(invocation);
  kivOstrel& control = host->control();
  if (invocation.uptime) control.TickCount(*invocation.uptime);
  const std::string trap_oid = ResolveOid(control, invocation.trap_oid);
  std::vector<std::string> oids;
  for (const BindingArgument& argument : invocation.bindings) {
    oids.push_back(ResolveOid(control, argument.oid));
  }
  const Variant list = BindingList(control, invocation);
  const Target& to = invocation.target;
  Requester requester(*host, invocation);
  const Datagram acknowledgement = requester.Exchange([&](kivOstrel& c, std::int32_t id) {
    c.SendInformRequest(to.host, to.port, invocation.community, id, trap_oid, list);
  });
  // The error index counts sysUpTime.0 and snmpTrapOID.0 before the bindings given.
  oids.insert(oids.begin(), {std::string(kSysUpTime0), std::string(kSnmpTrapOid0)});
  return ReportErrorStatus(acknowledgement, oids, control);
}

void ShowReceived(const Datagram& datagram, const Invocation& invocation, const kivOstrel& control,
                  std::ostream& out) {
  if (invocation.json) {
    out << DatagramJson(datagram, control) << "\n";
  } else {
    out << DatagramHeader(datagram, control) << "\n";
    for (const OstrelObject& row : datagram.Objects) {
      out << "  " << BindingLine(row, control, invocation.names) << "\n";
    }
  }
  out.flush();
}

int RunListen(const Invocation& invocation, std::ostream& out) {
  auto host = NetworkHost(invocation);
  kivOstrel& control = host->control();
  const auto deadline =
      invocation.timeout_seconds
          ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(*invocation.timeout_seconds))
          : Clock::time_point::max();
  host->WaitReady(deadline);
  // "*": every address, as the socket tools show a wildcard bind.
  const std::string& address = invocation.local_address;
  std::cerr << "ostrel: listening on "
            << EndpointText(address.empty() ? "*" : address, std::to_string(host->LocalPort()))
            << std::endl;
  long shown = 0;
  do {
    host->ThrowOnSocketFailure();
    auto& received = host->received();
    while (!received.empty()) {
      ShowReceived(received.front(), invocation, control, out);
      received.pop_front();
      if (invocation.count && ++shown >= *invocation.count) return kExitOk;
    }
  } while (host->Pump(deadline));
  if (invocation.count) {
    throw ToolError(kExitFailure, "timed out after " + std::to_string(shown) + " of " +
                                      std::to_string(*invocation.count) + " datagrams");
  }
  return kExitOk;
}

Bytes ReadDatagramFile(const std::string& path) {
  if (path == "-") {
    return Bytes(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ToolError(kExitFailure, "cannot read " + path);
  Bytes bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) throw ToolError(kExitFailure, "cannot read " + path);
  return bytes;
}

int RunDecode(const Invocation& invocation, std::ostream& out) {
  auto host = ControlHost::Offline();
  kivOstrel& control = host->control();
  control.StringType(invocation.string_type);
  LoadMibs(control, invocation);
  std::vector<Bytes> datagrams;
  for (const std::string& hex : invocation.hex) {
    Bytes bytes;
    if (!FromHex(hex, bytes)) throw UsageError(Quoted(hex) + " is not hex octets", "decode");
    datagrams.push_back(std::move(bytes));
  }
  for (const std::string& path : invocation.files) datagrams.push_back(ReadDatagramFile(path));
  for (const Bytes& datagram : datagrams) {
    host->Replay("", "", datagram);
    auto& received = host->received();
    while (!received.empty()) {
      ShowReceived(received.front(), invocation, control, out);
      received.pop_front();
    }
  }
  return kExitOk;
}

int RunTranslate(const Invocation& invocation, std::ostream& out) {
  auto host = ControlHost::Offline();
  kivOstrel& control = host->control();
  LoadMibs(control, invocation);
  int status = kExitOk;
  for (const std::string& text : invocation.oids) {
    if (invocation.describe || invocation.names != NameStyle::kTable) {
      // -Td and -O: each operand resolved, then its definition or its name in that style.
      try {
        const std::string oid = ResolveOid(control, text);
        out << (invocation.describe ? DescribeObject(control, oid)
                                    : ObjectName(control, oid, invocation.names) + "\n");
      } catch (const UsageError& error) {
        std::cerr << "ostrel: " << error.what() << "\n";
        status = kExitFailure;
      }
      continue;
    }
    if (IsNumericOid(text)) {
      out << control.OID2Name(text) << "\n";
      continue;
    }
    try {
      out << ResolveOid(control, text) << "\n";
    } catch (const UsageError& error) {
      out << control.Name2OID(text) << "\n";
      std::cerr << "ostrel: " << error.what() << "\n";
      status = kExitFailure;
    }
  }
  return status;
}

int RunFind(const Invocation& invocation, std::ostream& out) {
  auto host = ControlHost::Offline();
  kivOstrel& control = host->control();
  LoadMibs(control, invocation);
  const auto names = control.FindName(invocation.text, invocation.ignore_case ? 1 : 0);
  for (std::int32_t i = 1; i <= names->Count(); ++i) {
    const std::string& name = names->Item(i);
    out << name << " (" << control.Name2OID(name) << ")\n";
  }
  return kExitOk;
}

}  // namespace

int Run(const Invocation& invocation, std::ostream& out) {
  switch (invocation.command) {
    case Command::kHelp:
      out << (invocation.help_topic.empty() ? HelpText() : UsageText(invocation.help_topic));
      return kExitOk;
    case Command::kVersion:
      out << "ostrel " << ControlHost::Offline()->control().Copyright() << "\n";
      return kExitOk;
    case Command::kGet:
    case Command::kGetNext:
    case Command::kGetBulk:
      return RunGet(invocation, out);
    case Command::kWalk:
    case Command::kBulkWalk:
      return RunWalk(invocation, out);
    case Command::kSet:
      return RunSet(invocation, out);
    case Command::kTrap:
      return RunTrap(invocation);
    case Command::kInform:
      return RunInform(invocation);
    case Command::kListen:
      return RunListen(invocation, out);
    case Command::kDecode:
      return RunDecode(invocation, out);
    case Command::kTranslate:
      return RunTranslate(invocation, out);
    case Command::kFind:
      return RunFind(invocation, out);
    case Command::kTable:
      return RunTable(invocation, out);
  }
  return kExitUsage;
}

}  // namespace kivostrel::ostrel
