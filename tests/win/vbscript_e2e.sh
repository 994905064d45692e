#!/usr/bin/env bash
# VBScript end to end: examples/vbscript/manager.vbs, run by ostrelhost.exe under Wine through
# the registered control, against snmpd and snmptrapd started here on free 127.0.0.1 ports: its
# SNMPv1 requests and trap, then SNMPv2c: a Counter64 and a walk with GetBulkRequest that must
# find what the walk with GetNextRequest found. Then the same over SNMPv3 with authentication and
# privacy as each user of e2e_helpers.sh (an inform to snmptrapd instead of the trap), and as a
# user with a wrong password and one snmpd does not know, which snmpd's Reports must refuse;
# snmpv3_pairs.vbs's GetRequest as every pair of protocols CNG offers; and snmpv3_notify.vbs's
# SNMPv3 notifications from an engine ID snmptrapd knows.
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

# Runs manager.vbs ARGS... as NAME: its output (without Wine's carriage returns) in
# $work/NAME.txt, its exit status in $status.
run_manager() {
  local name=$1
  shift
  status=0
  timeout 120 "${in_wine[@]}" "$host" "$(windows_path "$script")" "$@" >"$work/out.txt" 2>&1 ||
    status=$?
  tr -d '\r' <"$work/out.txt" >"$work/$name.txt"
  echo "--- manager.vbs $name (exit $status)"
  cat "$work/$name.txt"
}

run_manager output 127.0.0.1 "$agent_port" public private "$trap_port"
[ "$status" -eq 0 ] || { echo "manager.vbs exited $status"; failures=$((failures + 1)); }
for _ in $(seq 30); do
  grep -q 'hello from kivOstrel' "$work/snmptrapd.log" && break
  sleep 0.1
done
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

# SNMPv3, authPriv: every request kind and an inform as each user.
for user in "${v3_users[@]}"; do
  read -r name auth auth_password priv priv_password <<<"$user"
  run_manager "$name" -v3 $user 127.0.0.1 "$agent_port" "$trap_port"
  [ "$status" -eq 0 ] || { echo "manager.vbs -v3 $name exited $status"; failures=$((failures + 1)); }
  out=$work/$name.txt
  expect "$out" "SNMPv3 as user $name, this engine 8001869F05"
  expect "$out" "1.3.6.1.2.1.1.1.0 sysDescr.0 OctetString: kivOstrel e2e agent"
  expect "$out" "1.3.6.1.2.1.1.5.0 sysName.0 OctetString: kivostrel-e2e"
  expect "$out" "1.3.6.1.2.1.1.4.0 sysContact.0 OctetString: kivOstrel example <ops@example.org>"
  expect "$out" "inform acknowledged"
  expect_line "$out" '^1\.3\.6\.1\.2\.1\.31\.1\.1\.1\.6\.1 ifHCInOctets\.1 Counter64: [0-9]+$'
  expect "$out" "objects of the system group in "
  expect_same_walks "$out"
done
# Refused by snmpd: the Report's counter and what SecurityError makes of it end the script.
read -r name auth auth_password priv priv_password <<<"${v3_users[0]}"
run_manager wrong-password -v3 "$name" "$auth" not-the-password "$priv" "$priv_password" \
  127.0.0.1 "$agent_port" "$trap_port"
expect "$work/wrong-password.txt" "refused: wrong digest (Report 1.3.6.1.6.3.15.1.1.5.0)"
[ "$status" -eq 1 ] || { echo "manager.vbs with a wrong password exited $status"; failures=$((failures + 1)); }
run_manager unknown-user -v3 kivnobody "$auth" "$auth_password" "$priv" "$priv_password" \
  127.0.0.1 "$agent_port" "$trap_port"
expect "$work/unknown-user.txt" "refused: unknown user (Report 1.3.6.1.6.3.15.1.1.3.0)"
[ "$status" -eq 1 ] || { echo "manager.vbs as an unknown user exited $status"; failures=$((failures + 1)); }

# One GetRequest as each pair of protocols CNG offers.
status=0
timeout 300 "${in_wine[@]}" "$host" "$(windows_path "$(dirname "$0")/snmpv3_pairs.vbs")" \
  127.0.0.1 "$agent_port" "${v3_pair_passwords[@]}" "${v3_pairs[@]}" >"$work/out.txt" 2>&1 ||
  status=$?
tr -d '\r' <"$work/out.txt" >"$work/pairs.txt"
echo "--- snmpv3_pairs.vbs (exit $status)"
cat "$work/pairs.txt"
[ "$status" -eq 0 ] || failures=$((failures + 1))
for pair in "${v3_pairs[@]}"; do
  expect "$work/pairs.txt" "${pair%%:*} GetResponse kivostrel-e2e"
done

# Notifications from the control's engine, whose ID snmptrapd has the user under.
status=0
timeout 120 "${in_wine[@]}" "$host" "$(windows_path "$(dirname "$0")/snmpv3_notify.vbs")" \
  "$v3_sender_engine" 7 ${v3_users[0]} 127.0.0.1 "$trap_port" >"$work/out.txt" 2>&1 || status=$?
tr -d '\r' <"$work/out.txt" >"$work/notify.txt"
echo "--- snmpv3_notify.vbs (exit $status)"
cat "$work/notify.txt"
[ "$status" -eq 0 ] || failures=$((failures + 1))
expect "$work/notify.txt" "engine $v3_sender_engine, boots 7"
for _ in $(seq 30); do
  [ "$(grep -c 'hello from kivOstrel over SNMPv3' "$work/snmptrapd.log")" -ge 3 ] &&
    grep -q 'an SNMPv3 trap from kivOstrel' "$work/snmptrapd.log" && break
  sleep 0.1
done
echo "--- snmptrapd"
cat "$work/snmptrapd.log"
expect "$work/snmptrapd.log" "hello from kivOstrel over SNMPv3"
expect "$work/snmptrapd.log" "OID: iso.3.6.1.4.1.99999.0.30"
expect "$work/snmptrapd.log" '"an SNMPv3 notification from kivOstrel"'
expect "$work/snmptrapd.log" "OID: iso.3.6.1.4.1.99999.0.31"
expect "$work/snmptrapd.log" '"an SNMPv3 trap from kivOstrel"'
if [ "$(grep -c 'hello from kivOstrel over SNMPv3' "$work/snmptrapd.log")" -eq 3 ]; then
  echo "ok: snmptrapd logged one inform of each user"
else
  echo "MISSING: one inform of each user in snmptrapd's log"
  failures=$((failures + 1))
fi
# No password is ever printed.
passwords=(not-the-password "${v3_pair_passwords[@]}")
for user in "${v3_users[@]}"; do
  read -r name auth auth_password priv priv_password <<<"$user"
  passwords+=("$auth_password" "$priv_password")
done
for password in "${passwords[@]}"; do
  if grep -qF -- "$password" "$work"/*.txt "$work/snmptrapd.log"; then
    echo "MISSING: the password $password kept out of every output"
    failures=$((failures + 1))
  fi
done
echo "$failures failed"
[ "$failures" -eq 0 ]
