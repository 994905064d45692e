#!/usr/bin/env bash
# The VBScript trap receiver and agent, run by ostrelhost.exe under Wine through the registered
# control, each on a free 127.0.0.1 port chosen here and announced to no one:
# examples/vbscript/traps.vbs must print the SNMPv1 and SNMPv2c traps Net-SNMP's snmptrap sends to
# its port and the inform snmpinform sends (which the control acknowledges: snmpinform exits 0),
# and examples/vbscript/agent.vbs must answer snmpget -v1 and -v2c (a Counter64 included) and
# snmpbulkget on its port, over IPv4 and, bound to ::1, snmpget over IPv6 (where the machine has
# an IPv6 loopback). Both are given an SNMPv3 user of e2e_helpers.sh too: the receiver must print
# snmptrap -v3's trap (from snmptrap's own engine) and snmpinform -v3's inform (acknowledged), and
# refuse a trap with a wrong password; the agent must answer snmpget, snmpgetnext and snmpbulkget
# -v3 at authPriv without being told its engine ID, and refuse a wrong password and an unknown
# user with the Reports Net-SNMP's tools name.
#
# Both example agents (agent.vbs, and the C++ agent.exe when given) must answer an SNMPv2c
# manager past their objects with noSuchObject, noSuchInstance and endOfMibView, so that
# snmpbulkwalk ends, and a GetBulk of max-repetitions 2147483647 at once.
#
#   examples_e2e.sh PREFIX OCX EXAMPLES_DIR OSTRELHOST_EXE [AGENT_EXE]
#
# Exits 77 (skipped) when the script host, an example or a Net-SNMP tool is not there.
set -euo pipefail
[ $# -ge 4 ] || { echo "usage: $0 PREFIX OCX EXAMPLES_DIR OSTRELHOST_EXE [AGENT_EXE]" >&2; exit 2; }
prefix=$1 ocx=$2 examples=$3 host=$4 agent_exe=${5:-}
. "$(dirname "$0")/e2e_helpers.sh"
skip_without "$host" "$examples/vbscript/traps.vbs" "$examples/vbscript/agent.vbs" \
  snmptrap snmpinform snmpget snmpgetnext snmpbulkget snmpbulkwalk python3
start_work
read -r trap_port agent_port agent6_port < <(free_udp_ports 3)
ipv6=no
python3 -c 'import socket; socket.socket(socket.AF_INET6, socket.SOCK_DGRAM).bind(("::1", 0))' \
  2>/dev/null && ipv6=yes
export MIBS= SNMP_PERSISTENT_DIR=$work/persist
# Long enough for a trap or a request sent once the example says it listens.
seconds=25
# The receiver's user and the agent's, and the options that make Net-SNMP's tools speak as them.
read -r trap_user trap_auth trap_auth_password trap_priv trap_priv_password <<<"${v3_users[0]}"
read -r agent_user agent_auth agent_auth_password agent_priv agent_priv_password <<<"${v3_users[1]}"
trap_v3=(-v3 -u "$trap_user" -l authPriv -a "$trap_auth" -A "$trap_auth_password"
  -x "$trap_priv" -X "$trap_priv_password")
agent_v3=(-v3 -u "$agent_user" -l authPriv -a "$agent_auth" -A "$agent_auth_password"
  -x "$agent_priv" -X "$agent_priv_password")

# Starts examples/vbscript/SCRIPT.vbs ARGS... in the background as NAME: its PID in NAME_pid and
# its output in $work/NAME.out.
start_example() {
  local name=$1 script=$2
  shift 2
  : >"$work/$name.out"
  timeout 120 "${in_wine[@]}" "$host" "$(windows_path "$examples/vbscript/$script.vbs")" "$@" \
    >"$work/$name.out" 2>&1 &
  pids+=($!)
  printf -v "${name}_pid" %s $!
}

# Waits for TEXT in the example's output ($work/NAME.txt, without Wine's carriage returns) while
# it runs; Wine takes a few seconds to start.
wait_for() {
  local name=$1 text=$2 pid=${1}_pid
  for _ in $(seq 600); do
    tr -d '\r' <"$work/$name.out" >"$work/$name.txt"
    grep -qF -- "$text" "$work/$name.txt" && return 0
    kill -0 "${!pid}" 2>/dev/null || break
    sleep 0.1
  done
  echo "$name.vbs did not print '$text'"
  return 1
}

# Waits for the example to end by itself (after $seconds) and checks that it succeeded.
finish() {
  local name=$1 pid=${1}_pid status=0
  wait "${!pid}" || status=$?
  tr -d '\r' <"$work/$name.out" >"$work/$name.txt"
  echo "--- $name.vbs (exit $status)"
  cat "$work/$name.txt"
  [ "$status" -eq 0 ] || failures=$((failures + 1))
}

# What an agent answers past its objects, as NAME on PORT: $work/NAME-missing.txt (a Get of an
# object and of an instance it lacks), NAME-end.txt (a GetNext past the last),
# NAME-bulkwalk.txt (a whole walk with GetBulk, which must end) and NAME-huge.txt (a GetBulk of
# max-repetitions 2147483647, which must be answered at once).
past_the_end() {
  local name=$1 port=$2
  snmpget -v2c -c public -t 2 -r 0 "127.0.0.1:$port" 1.3.6.1.2.1.1.9.0 1.3.6.1.2.1.1.1.7 \
    >"$work/$name-missing.txt" 2>&1 || true
  snmpgetnext -v2c -c public -t 2 -r 0 "127.0.0.1:$port" 1.3.6.1.2.1.31.1.1.1.6.1 \
    >"$work/$name-end.txt" 2>&1 || true
  timeout 30 snmpbulkwalk -v2c -c public -t 2 -r 0 "127.0.0.1:$port" 1.3.6.1.2.1 \
    >"$work/$name-bulkwalk.txt" 2>&1 && echo "snmpbulkwalk exit 0" >>"$work/$name-bulkwalk.txt"
  snmpbulkget -v2c -c public -Cn0 -Cr2147483647 -t 2 -r 0 "127.0.0.1:$port" 1.3.6.1.2.1.1.5.0 \
    >"$work/$name-huge.txt" 2>&1 || true
}

expect_past_the_end() {
  local name=$1
  expect "$work/$name-missing.txt" "iso.3.6.1.2.1.1.9.0 = No Such Object available on this agent"
  expect "$work/$name-missing.txt" "iso.3.6.1.2.1.1.1.7 = No Such Instance currently exists"
  expect "$work/$name-end.txt" "No more variables left in this MIB View"
  expect "$work/$name-bulkwalk.txt" "iso.3.6.1.2.1.31.1.1.1.6.1 = Counter64: 12345678901234567890"
  expect "$work/$name-bulkwalk.txt" "snmpbulkwalk exit 0"
  expect "$work/$name-huge.txt" "iso.3.6.1.2.1.31.1.1.1.6.1 = Counter64: 12345678901234567890"
  expect "$work/$name-huge.txt" "No more variables left in this MIB View"
}

# Both at once: each waits through Wine's start-up.
start_example traps traps -v3 ${v3_users[0]} "$trap_port" "$seconds"
start_example agent agent -v3 ${v3_users[1]} "$agent_port" public "$seconds"
[ "$ipv6" = yes ] && start_example agent6 agent "$agent6_port" public "$seconds" ::1
if [ -n "$agent_exe" ]; then
  read -r cpp_agent_port < <(free_udp_ports 1)
  : >"$work/cppagent.out"
  timeout 120 "${in_wine[@]}" "$agent_exe" "$cpp_agent_port" public "$seconds" \
    >"$work/cppagent.out" 2>&1 &
  pids+=($!)
  cppagent_pid=$!
fi

if wait_for traps "listening for traps on port $trap_port"; then
  snmptrap -v1 -c public "127.0.0.1:$trap_port" 1.3.6.1.4.1.99999 127.0.0.1 6 17 '' \
    1.3.6.1.4.1.99999.1 s "to a chosen port"
  wait_for traps "to a chosen port" || true
  snmptrap -v 2c -c public "127.0.0.1:$trap_port" '' 1.3.6.1.4.1.99999.0.18 \
    1.3.6.1.4.1.99999.1 s "an SNMPv2c trap"
  wait_for traps "an SNMPv2c trap" || true
  inform_status=0
  snmpinform -v 2c -c public -t 2 -r 1 "127.0.0.1:$trap_port" '' 1.3.6.1.4.1.99999.0.19 \
    1.3.6.1.4.1.99999.1 s "an inform" >"$work/snmpinform.txt" 2>&1 || inform_status=$?
  echo "snmpinform exit $inform_status" >>"$work/snmpinform.txt"
  wait_for traps "an inform" || true
  # SNMPv3: a trap from snmptrap's engine (its ID given), an inform to the control's engine
  # (discovered by snmpinform), and a trap with a wrong password.
  snmptrap "${trap_v3[@]}" -e 0x8000000001020304 "127.0.0.1:$trap_port" '' \
    1.3.6.1.4.1.99999.0.20 1.3.6.1.4.1.99999.1 s "an SNMPv3 trap"
  wait_for traps "an SNMPv3 trap" || true
  inform3_status=0
  snmpinform "${trap_v3[@]}" -t 2 -r 1 "127.0.0.1:$trap_port" '' 1.3.6.1.4.1.99999.0.21 \
    1.3.6.1.4.1.99999.1 s "an SNMPv3 inform" >"$work/snmpinform3.txt" 2>&1 || inform3_status=$?
  echo "snmpinform -v3 exit $inform3_status" >>"$work/snmpinform3.txt"
  wait_for traps "an SNMPv3 inform" || true
  snmptrap "${trap_v3[@]/$trap_auth_password/not-the-password}" -e 0x8000000001020304 \
    "127.0.0.1:$trap_port" '' 1.3.6.1.4.1.99999.0.22 1.3.6.1.4.1.99999.1 s "a forged trap"
  wait_for traps "wrong digest" || true
else
  failures=$((failures + 1))
fi
if wait_for agent "agent answering on port $agent_port"; then
  snmpget -v1 -c public -t 2 -r 1 "127.0.0.1:$agent_port" 1.3.6.1.2.1.1.5.0 \
    >"$work/snmpget.txt" 2>&1 || true
  snmpget -v2c -c public -t 2 -r 1 "127.0.0.1:$agent_port" 1.3.6.1.2.1.1.5.0 \
    1.3.6.1.2.1.31.1.1.1.6.1 >"$work/snmpget2c.txt" 2>&1 || true
  snmpbulkget -v2c -c public -Cn0 -Cr10 -t 2 -r 1 "127.0.0.1:$agent_port" 1.3.6.1.2.1.1 \
    >"$work/snmpbulkget.txt" 2>&1 || true
  # SNMPv3 at authPriv; no -e: the tools discover the control's engine.
  snmpget "${agent_v3[@]}" -t 2 -r 1 "127.0.0.1:$agent_port" 1.3.6.1.2.1.1.5.0 \
    1.3.6.1.2.1.31.1.1.1.6.1 >"$work/snmpget3.txt" 2>&1 || true
  snmpgetnext "${agent_v3[@]}" -t 2 -r 1 "127.0.0.1:$agent_port" 1.3.6.1.2.1.1.3.0 \
    >"$work/snmpgetnext3.txt" 2>&1 || true
  snmpbulkget "${agent_v3[@]}" -Cn0 -Cr10 -t 2 -r 1 "127.0.0.1:$agent_port" 1.3.6.1.2.1.1 \
    >"$work/snmpbulkget3.txt" 2>&1 || true
  snmpget "${agent_v3[@]/$agent_auth_password/not-the-password}" -t 2 -r 0 \
    "127.0.0.1:$agent_port" 1.3.6.1.2.1.1.5.0 >"$work/snmpget3-wrong-password.txt" 2>&1 || true
  snmpget "${agent_v3[@]/$agent_user/kivnobody}" -t 2 -r 0 "127.0.0.1:$agent_port" \
    1.3.6.1.2.1.1.5.0 >"$work/snmpget3-unknown-user.txt" 2>&1 || true
  past_the_end agent "$agent_port"
  timeout 30 snmpbulkwalk "${agent_v3[@]}" -t 2 -r 0 "127.0.0.1:$agent_port" 1.3.6.1.2.1 \
    >"$work/agent-bulkwalk3.txt" 2>&1 && echo "snmpbulkwalk exit 0" >>"$work/agent-bulkwalk3.txt"
else
  failures=$((failures + 1))
fi

if [ "$ipv6" = yes ]; then
  if wait_for agent6 "agent answering on port $agent6_port"; then
    snmpget -v1 -c public -t 2 -r 1 "udp6:[::1]:$agent6_port" 1.3.6.1.2.1.1.5.0 \
      >"$work/snmpget6.txt" 2>&1 || true
  else
    failures=$((failures + 1))
  fi
fi

if [ -n "$agent_exe" ]; then
  if wait_for cppagent "agent answering on port $cpp_agent_port"; then
    past_the_end cppagent "$cpp_agent_port"
  else
    failures=$((failures + 1))
  fi
fi

finish traps
finish agent
# The receiver under a fixed engine ID counts one more boot each run, kept in its file.
for run in 1 2; do
  timeout 60 "${in_wine[@]}" "$host" "$(windows_path "$examples/vbscript/traps.vbs")" \
    -e 8000000001E2E0B007 "$(windows_path "$work/traps.boots")" 0 1 >"$work/out.txt" 2>&1 ||
    failures=$((failures + 1))
  tr -d '\r' <"$work/out.txt" >"$work/boots$run.txt"
done
expect "$work/boots1.txt" "engine 8000000001E2E0B007, boots 1"
expect "$work/boots2.txt" "engine 8000000001E2E0B007, boots 2"
[ -z "$agent_exe" ] || finish cppagent
for output in snmpinform snmpinform3 snmpget snmpget2c snmpbulkget snmpget3 snmpgetnext3 \
  snmpbulkget3 snmpget3-wrong-password snmpget3-unknown-user agent-missing agent-end \
  agent-bulkwalk agent-huge agent-bulkwalk3 cppagent-missing cppagent-end cppagent-bulkwalk \
  cppagent-huge; do
  echo "--- $output"
  cat "$work/$output.txt" 2>/dev/null || true
done
if [ "$ipv6" = yes ]; then
  finish agent6
  echo "--- snmpget over IPv6"
  cat "$work/snmpget6.txt" 2>/dev/null || true
  expect "$work/snmpget6.txt" 'iso.3.6.1.2.1.1.5.0 = STRING: "kivostrel-agent"'
  expect "$work/agent6.txt" "for 1.3.6.1.2.1.1.5.0 from ::1:"
else
  echo "no IPv6 loopback here: the IPv6 agent was not run"
fi

expect "$work/traps.txt" "trap from 127.0.0.1:"
expect "$work/traps.txt" ", community public"
# snmpTrapOID.0, named as far as the control's table knows it.
expect "$work/traps.txt" ".4.1.0 ObjectID: 1.3.6.1.4.1.99999.0.17"
expect "$work/traps.txt" "enterprises.99999.1 OctetString: to a chosen port"
expect "$work/traps.txt" "SNMPv2 trap from 127.0.0.1:"
expect "$work/traps.txt" ".4.1.0 ObjectID: 1.3.6.1.4.1.99999.0.18"
expect "$work/traps.txt" "enterprises.99999.1 OctetString: an SNMPv2c trap"
expect "$work/traps.txt" "(acknowledged) from 127.0.0.1:"
expect "$work/traps.txt" ".4.1.0 ObjectID: 1.3.6.1.4.1.99999.0.19"
expect "$work/traps.txt" "enterprises.99999.1 OctetString: an inform"
expect "$work/snmpinform.txt" "snmpinform exit 0"
expect "$work/snmpget.txt" 'iso.3.6.1.2.1.1.5.0 = STRING: "kivostrel-agent"'
expect "$work/agent.txt" "GetRequest "
expect "$work/agent.txt" "(SNMPv1) for 1.3.6.1.2.1.1.5.0 from 127.0.0.1:"
expect "$work/snmpget2c.txt" 'iso.3.6.1.2.1.1.5.0 = STRING: "kivostrel-agent"'
expect "$work/snmpget2c.txt" 'iso.3.6.1.2.1.31.1.1.1.6.1 = Counter64: 12345678901234567890'
expect "$work/agent.txt" "(SNMPv2c) for 1.3.6.1.2.1.1.5.0 1.3.6.1.2.1.31.1.1.1.6.1 from 127.0.0.1:"
# The system group's three objects, then the Counter64 past it: the repetitions end with the last.
expect "$work/snmpbulkget.txt" 'iso.3.6.1.2.1.1.1.0 = STRING: "kivOstrel example agent"'
expect "$work/snmpbulkget.txt" 'iso.3.6.1.2.1.1.3.0 = Timeticks: '
expect "$work/snmpbulkget.txt" 'iso.3.6.1.2.1.31.1.1.1.6.1 = Counter64: 12345678901234567890'
expect "$work/agent.txt" "GetBulkRequest "
# SNMPv3 notifications, from the user, and one refused.
expect "$work/traps.txt" "SNMPv3 trap from 127.0.0.1:"
expect "$work/traps.txt" ", user $trap_user"
expect "$work/traps.txt" ".4.1.0 ObjectID: 1.3.6.1.4.1.99999.0.20"
expect "$work/traps.txt" "enterprises.99999.1 OctetString: an SNMPv3 trap"
expect_line "$work/traps.txt" "^SNMPv3 inform [0-9]+ \(acknowledged\) from 127\.0\.0\.1:[0-9]+, user $trap_user\$"
expect "$work/traps.txt" "enterprises.99999.1 OctetString: an SNMPv3 inform"
expect "$work/snmpinform3.txt" "snmpinform -v3 exit 0"
expect_line "$work/traps.txt" "^refused SNMPv3 message from 127\.0\.0\.1:[0-9]+, user $trap_user: wrong digest\$"
expect_no "$work/traps.txt" "a forged trap"
# SNMPv3 requests, answered under the request's user; refusals as Net-SNMP's tools name them.
expect "$work/snmpget3.txt" 'iso.3.6.1.2.1.1.5.0 = STRING: "kivostrel-agent"'
expect "$work/snmpget3.txt" 'iso.3.6.1.2.1.31.1.1.1.6.1 = Counter64: 12345678901234567890'
expect "$work/agent.txt" "(SNMPv3) for 1.3.6.1.2.1.1.5.0 1.3.6.1.2.1.31.1.1.1.6.1 from 127.0.0.1:"
expect "$work/snmpgetnext3.txt" 'iso.3.6.1.2.1.1.5.0 = STRING: "kivostrel-agent"'
expect "$work/agent.txt" "GetNextRequest "
expect "$work/snmpbulkget3.txt" 'iso.3.6.1.2.1.1.1.0 = STRING: "kivOstrel example agent"'
expect "$work/snmpbulkget3.txt" 'iso.3.6.1.2.1.31.1.1.1.6.1 = Counter64: 12345678901234567890'
expect "$work/snmpget3-wrong-password.txt" "Authentication failure (incorrect password, community or key)"
expect_line "$work/agent.txt" "^refused SNMPv3 request from 127\.0\.0\.1:[0-9]+, user $agent_user: wrong digest\$"
expect "$work/snmpget3-unknown-user.txt" "Unknown user name"
expect_past_the_end agent
expect "$work/agent-bulkwalk3.txt" "iso.3.6.1.2.1.31.1.1.1.6.1 = Counter64: 12345678901234567890"
expect "$work/agent-bulkwalk3.txt" "snmpbulkwalk exit 0"
[ -z "$agent_exe" ] || expect_past_the_end cppagent
expect_line "$work/agent.txt" "^refused SNMPv3 request from 127\.0\.0\.1:[0-9]+, user kivnobody: unknown user\$"
echo "$failures failed"
[ "$failures" -eq 0 ]
