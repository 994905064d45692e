#!/usr/bin/env bash
# JScript end to end: examples/jscript/manager.js, run by ostrelhost.exe under Wine through the
# registered control, against snmpd and snmptrapd started here on free 127.0.0.1 ports (SNMPv1,
# then SNMPv2c: a Counter64 printed exactly and a walk with GetBulkRequest); then
# scripts that fail, which must make ostrelhost exit non-zero with the line and description.
#
#   jscript_e2e.sh PREFIX OCX EXAMPLES_DIR OSTRELHOST_EXE
#
# Exits 77 (skipped) when the script host or the example is not there.
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 PREFIX OCX EXAMPLES_DIR OSTRELHOST_EXE" >&2; exit 2; }
prefix=$1 ocx=$2 examples=$3 host=$4
script=$examples/jscript/manager.js
. "$(dirname "$0")/e2e_helpers.sh"
skip_without "$host" "$script" snmpd snmptrapd snmpget python3
start_work
start_snmp_peers

# Runs the script host on FILE ARGS...: its exit status in $status, its output (both streams,
# without Wine's carriage returns) in $work/output.txt.
run_host() {
  local file=$1
  shift
  status=0
  timeout 120 "${in_wine[@]}" "$host" "$(windows_path "$file")" "$@" >"$work/out.txt" 2>&1 ||
    status=$?
  tr -d '\r' <"$work/out.txt" >"$work/output.txt"
  echo "--- $(basename "$file") (exit $status)"
  cat "$work/output.txt"
}

# Exit status NUMBER, or "MISSING: exit NUMBER" counted in $failures.
expect_status() {
  if [ "$status" -eq "$1" ]; then
    echo "ok: exit $1"
  else
    echo "MISSING: exit $1"
    failures=$((failures + 1))
  fi
}

run_host "$script" 127.0.0.1 "$agent_port" public private "$trap_port"
cp "$work/output.txt" "$work/manager.txt"
for _ in $(seq 30); do
  grep -q 'hello from kivOstrel in JScript' "$work/snmptrapd.log" && break
  sleep 0.1
done
echo "--- snmptrapd"
cat "$work/snmptrapd.log"
expect_status 0
expect "$work/manager.txt" "KIVOSTREL"
expect "$work/manager.txt" "1.3.6.1.2.1.1.1.0 sysDescr.0 OctetString: kivOstrel e2e agent"
# RawData read through new VBArray(...).toArray(): a SEQUENCE, version 0.
expect "$work/manager.txt" " bytes: 30 "
expect "$work/manager.txt" " 02 01 00 04 06 70 "
expect "$work/manager.txt" "1.3.6.1.2.1.1.5.0 sysName.0 OctetString: kivostrel-e2e"
expect "$work/manager.txt" "sysUpTime.0 TimeTicks: "
expect "$work/manager.txt" \
  "1.3.6.1.2.1.1.4.0 sysContact.0 OctetString: kivOstrel example <ops@example.org>"
expect "$work/manager.txt" "trap sent"
expect "$work/snmptrapd.log" "hello from kivOstrel in JScript"
expect "$work/snmptrapd.log" "99999"
expect_line "$work/manager.txt" '^1\.3\.6\.1\.2\.1\.31\.1\.1\.1\.6\.1 ifHCInOctets\.1 Counter64: [0-9]+$'
expect_same_walks "$work/manager.txt"

# A run-time error at top level, in a file whose extension is in capitals.
printf '%s\n' 'var a = 1;' 'WScript.Echo("before the error");' 'var b = notDefinedAnywhere + a;' \
  'WScript.Echo("after the error");' >"$work/broken.JS"
run_host "$work/broken.JS"
expect_status 1
expect "$work/output.txt" "before the error"
expect "$work/output.txt" "broken.JS(3, 1): script error"
expect "$work/output.txt" "  line: 3"
expect "$work/output.txt" "'notDefinedAnywhere' is undefined"
if grep -qF "after the error" "$work/output.txt"; then
  echo "ran on after the error"
  failures=$((failures + 1))
fi

# An exception thrown by an event handler stops the script in its Sleep.
printf '%s\n' 'var Snmp = WScript.CreateObject("kivOstrelCtrl.kivOstrel");' \
  'WScript.ConnectObject(Snmp, "Snmp_");' 'function Snmp_Ready() {' \
  '  throw new Error("thrown by the handler");' '}' 'WScript.Sleep(3000);' \
  'WScript.Echo("after the sleep");' >"$work/handler.js"
run_host "$work/handler.js"
expect_status 1
expect "$work/output.txt" "  line: 4"
expect "$work/output.txt" "  description: thrown by the handler"
if grep -qF "after the sleep" "$work/output.txt"; then
  echo "ran on after the sleep"
  failures=$((failures + 1))
fi

# No engine for any other extension.
echo 'WScript.Echo("not run")' >"$work/script.txt"
run_host "$work/script.txt"
expect_status 2
expect "$work/output.txt" "no script engine for "
echo "$failures failed"
[ "$failures" -eq 0 ]
