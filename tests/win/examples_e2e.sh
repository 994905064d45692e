#!/usr/bin/env bash
# The VBScript trap receiver and agent, run by ostrelhost.exe under Wine through the registered
# control, each on a free 127.0.0.1 port chosen here and announced to no one:
# examples/vbscript/traps.vbs must print the SNMPv1 and SNMPv2c traps Net-SNMP's snmptrap sends to
# its port and the inform snmpinform sends (which the control acknowledges: snmpinform exits 0),
# and examples/vbscript/agent.vbs must answer snmpget -v1 and -v2c (a Counter64 included) and
# snmpbulkget on its port, over IPv4 and, bound to ::1, snmpget over IPv6 (where the machine has
# an IPv6 loopback).
#
#   examples_e2e.sh PREFIX OCX EXAMPLES_DIR OSTRELHOST_EXE
#
# Exits 77 (skipped) when the script host, an example or a Net-SNMP tool is not there.
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 PREFIX OCX EXAMPLES_DIR OSTRELHOST_EXE" >&2; exit 2; }
prefix=$1 ocx=$2 examples=$3 host=$4
. "$(dirname "$0")/e2e_helpers.sh"
skip_without "$host" "$examples/vbscript/traps.vbs" "$examples/vbscript/agent.vbs" \
  snmptrap snmpinform snmpget snmpbulkget python3
start_work
read -r trap_port agent_port agent6_port < <(free_udp_ports 3)
ipv6=no
python3 -c 'import socket; socket.socket(socket.AF_INET6, socket.SOCK_DGRAM).bind(("::1", 0))' \
  2>/dev/null && ipv6=yes
export MIBS= SNMP_PERSISTENT_DIR=$work/persist
# Long enough for a trap or a request sent once the example says it listens.
seconds=10

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

# Both at once: each waits through Wine's start-up.
start_example traps traps "$trap_port" "$seconds"
start_example agent agent "$agent_port" public "$seconds"
[ "$ipv6" = yes ] && start_example agent6 agent "$agent6_port" public "$seconds" ::1

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

finish traps
finish agent
for output in snmpinform snmpget snmpget2c snmpbulkget; do
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
echo "$failures failed"
[ "$failures" -eq 0 ]
