#!/usr/bin/env bash
# VBScript end to end: examples/vbscript/manager.vbs, run by ostrelhost.exe under Wine through
# the registered control, against snmpd and snmptrapd started here on free 127.0.0.1 ports: its
# SNMPv1 requests and trap, then SNMPv2c: a Counter64 and a walk with GetBulkRequest that must
# find what the walk with GetNextRequest found.
#
#   vbscript_e2e.sh PREFIX OCX EXAMPLES_DIR OSTRELHOST_EXE
#
# Exits 77 (skipped) when the script host or the example is not there.
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 PREFIX OCX EXAMPLES_DIR OSTRELHOST_EXE" >&2; exit 2; }
prefix=$1 ocx=$2 examples=$3 host=$4
script=$examples/vbscript/manager.vbs
. "$(dirname "$0")/e2e_helpers.sh"
skip_without "$host" "$script" snmpd snmptrapd snmpget python3
start_work
start_snmp_peers

status=0
timeout 120 "${in_wine[@]}" "$host" "$(windows_path "$script")" \
  127.0.0.1 "$agent_port" public private "$trap_port" >"$work/out.txt" 2>&1 || status=$?
tr -d '\r' <"$work/out.txt" >"$work/output.txt"
for _ in $(seq 30); do
  grep -q 'hello from kivOstrel' "$work/snmptrapd.log" && break
  sleep 0.1
done
echo "--- manager.vbs (exit $status)"
cat "$work/output.txt"
echo "--- snmptrapd"
cat "$work/snmptrapd.log"

[ "$status" -eq 0 ] || { echo "manager.vbs exited $status"; failures=$((failures + 1)); }
expect "$work/output.txt" "KIVOSTREL"
expect "$work/output.txt" "1.3.6.1.2.1.1.1.0 sysDescr.0 OctetString: kivOstrel e2e agent"
expect "$work/output.txt" "1.3.6.1.2.1.1.5.0 sysName.0 OctetString: kivostrel-e2e"
expect "$work/output.txt" "sysUpTime.0 TimeTicks: "
expect "$work/output.txt" "1.3.6.1.2.1.1.4.0 sysContact.0 OctetString: kivOstrel example <ops@example.org>"
expect "$work/output.txt" "trap sent"
expect "$work/snmptrapd.log" "hello from kivOstrel"
expect "$work/snmptrapd.log" "99999"
expect_line "$work/output.txt" '^1\.3\.6\.1\.2\.1\.31\.1\.1\.1\.6\.1 ifHCInOctets\.1 Counter64: [0-9]+$'
expect_line "$work/output.txt" '^ifHCInOctets\.1 grew by [0-9]+ octets in '
expect "$work/output.txt" "objects of the system group in "

expect_same_walks "$work/output.txt"
echo "$failures failed"
[ "$failures" -eq 0 ]
