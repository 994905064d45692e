#!/usr/bin/env bash
# End-to-end tests of ostrel against Net-SNMP's snmpd and snmptrapd, started here on free
# 127.0.0.1 (or ::1) ports with configurations generated in a temporary folder, and stopped by
# PID.
#
#   ostrel_e2e.sh PATH-TO-OSTREL SCENARIO
#
# Scenarios: usage decode get walk walk_ends set trap listen ipv6, under SNMPv2c v2c_get
# v2c_walk v2c_notify v2c_listen, under SNMPv3 v3_get v3_walk v3_refused v3_listen v3_notify
# v3_secrets v3_replay v3_forged, and with MIB modules mib_translate mib_get mib_table mib_default.
#
# Exit status 0 passed, 1 failed, 77 skipped (a Net-SNMP program is missing, for ipv6 ::1 cannot
# be bound here, for mib_* npm or the IETF modules cannot be had).
set -euo pipefail

OSTREL=$1
SCENARIO=$2

export MIBS=  # no MIB files here: without this every Net-SNMP program complains about modules
WORK=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-e2e.XXXXXX")
export SNMP_PERSISTENT_DIR=$WORK/persist
mkdir -p "$SNMP_PERSISTENT_DIR"
export OSTREL_STATE_DIR=$WORK/state  # listen -e's boots, kept here and not in $HOME
PIDS=()

cleanup() {
  local pid
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($SCENARIO): $*" >&2
  exit 1
}

# Runs ostrel with a time limit; its output goes to $WORK/out and $WORK/err, its status to $rc.
run() {
  rc=0
  timeout 30 "$OSTREL" "$@" >"$WORK/out" 2>"$WORK/err" || rc=$?
}

expect_rc() {
  [ "$rc" -eq "$1" ] || fail "exit status $rc, expected $1 (stderr: $(cat "$WORK/err"))"
}

expect_out() {
  grep -qF -- "$1" "$WORK/out" || fail "output lacks '$1'; output was: $(cat "$WORK/out")"
}

expect_err() {
  grep -qF -- "$1" "$WORK/err" || fail "stderr lacks '$1'; stderr was: $(cat "$WORK/err")"
}

program() {
  command -v "$1" 2>/dev/null || { [ -x "/usr/sbin/$1" ] && echo "/usr/sbin/$1"; } || true
}

need() {
  local path
  path=$(program "$1")
  if [ -z "$path" ]; then
    echo "SKIP: $1 is not installed" >&2
    exit 77
  fi
  echo "$path"
}

# Waits for a helper program to write the port it is bound to into FILE; fails as NAME did not
# start.
wait_for_port_file() {
  local file=$1 name=$2 i
  for i in $(seq 100); do
    [ -s "$file" ] && return 0
    sleep 0.1
  done
  fail "$name did not start"
}

# A UDP port on 127.0.0.1 (or on the address given) that nothing is bound to right now.
free_port() {
  if command -v python3 >/dev/null; then
    python3 -c 'import socket, sys; a = sys.argv[1]
s = socket.socket(socket.AF_INET6 if ":" in a else socket.AF_INET, socket.SOCK_DGRAM)
s.bind((a, 0)); print(s.getsockname()[1])' "${1:-127.0.0.1}"
  else
    shuf -i 20000-60000 -n 1
  fi
}

# The SNMPv3 users of the scenarios, as snmpd and snmptrapd are given them: alice authPriv
# (SHA, AES), bob authNoPriv (MD5), carol noAuthNoPriv. None of the passwords may ever appear in
# what ostrel prints.
ALICE_AUTH=alice-auth-pass
ALICE_PRIV=alice-priv-pass
BOB_AUTH=bob-auth-pass
ALICE=(-v 3 -u alice -l authPriv -a SHA -A "$ALICE_AUTH" -x AES -X "$ALICE_PRIV")
ALICE_NETSNMP=(-v3 -u alice -l authPriv -a SHA -A "$ALICE_AUTH" -x AES -X "$ALICE_PRIV")

# Starts snmpd on 127.0.0.1, or with "6" on ::1; sets AGENT (127.0.0.1:PORT or [::1]:PORT).
# Ready when it answers a get. With "v3" it also has the users alice (read-write), bob and carol
# (read-only), its configuration and persistent folder in $WORK/agent.
start_snmpd() {
  local snmpd port pid attempt i address=127.0.0.1 host=127.0.0.1 domain=udp six=
  local config=(-C -c "$WORK/snmpd.conf")
  snmpd=$(need snmpd)
  if [ "${1:-}" = 6 ]; then
    address=::1 host=[::1] domain=udp6 six=6
  fi
  printf 'rocommunity%s public %s\nrwcommunity%s private %s\n' "$six" "$address" "$six" "$address" \
    >"$WORK/snmpd.conf"
  if [ "${1:-}" = v3 ]; then
    mkdir -p "$WORK/agent/persist"
    {
      cat "$WORK/snmpd.conf"
      echo "createUser alice SHA $ALICE_AUTH AES $ALICE_PRIV"
      echo "createUser bob MD5 $BOB_AUTH"
      echo "createUser carol"
      printf 'rwuser alice priv\nrouser bob auth\nrouser carol noauth\n'
    } >"$WORK/agent/snmpd.conf"
    # Its own configuration path, so that the users it writes back stay in $WORK/agent; -I -smux:
    # port 199 may be taken.
    config=(-I -smux -m "")
  fi
  for attempt in 1 2 3; do
    port=$(free_port "$address")
    SNMP_PERSISTENT_DIR=${config[1]/-smux/$WORK/agent/persist} \
      SNMPCONFPATH=$WORK/agent:$WORK/agent/persist \
      "$snmpd" -f -Lo "${config[@]}" "$domain:$host:$port" >"$WORK/snmpd.log" 2>&1 &
    pid=$!
    PIDS+=("$pid")
    for i in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      if timeout 10 "$OSTREL" get --timeout 0.2 --retries 0 "$host:$port" public \
        1.3.6.1.2.1.1.3.0 >/dev/null 2>&1; then
        AGENT=$host:$port
        return 0
      fi
    done
    kill "$pid" 2>/dev/null || true
  done
  fail "snmpd did not start: $(cat "$WORK/snmpd.log")"
}

# Starts snmptrapd printing every trap to $WORK/snmptrapd.log; sets TRAP_PORT. Arguments: more
# lines of its configuration.
start_snmptrapd() {
  local snmptrapd pid attempt i
  snmptrapd=$(need snmptrapd)
  printf '%s\n' 'disableAuthorization yes' "$@" >"$WORK/snmptrapd.conf"
  for attempt in 1 2 3; do
    TRAP_PORT=$(free_port)
    "$snmptrapd" -f -Lo -C -c "$WORK/snmptrapd.conf" "udp:127.0.0.1:$TRAP_PORT" \
      >"$WORK/snmptrapd.log" 2>&1 &
    pid=$!
    PIDS+=("$pid")
    for i in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      grep -q 'NET-SNMP version' "$WORK/snmptrapd.log" && return 0
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
  done
  fail "snmptrapd did not start: $(cat "$WORK/snmptrapd.log")"
}

# Waits up to 10 s for a text in snmptrapd's output.
expect_trap_log() {
  local i
  for i in $(seq 100); do
    grep -qF -- "$1" "$WORK/snmptrapd.log" && return 0
    sleep 0.1
  done
  fail "snmptrapd did not print '$1'; it printed: $(cat "$WORK/snmptrapd.log")"
}

# Starts `ostrel listen ARGS...` in the background, writing to $WORK/listen.out and
# $WORK/listen.err; sets LISTENER (its PID) and LISTEN_PORT once it says it listens on
# SHOWN:PORT (SHOWN: the address as it prints it).
start_listener() {
  local shown=$1 line i
  shift
  timeout 30 "$OSTREL" listen "$@" >"$WORK/listen.out" 2>"$WORK/listen.err" &
  LISTENER=$!
  PIDS+=("$LISTENER")
  for i in $(seq 100); do
    line=$(grep -m1 '^ostrel: listening on ' "$WORK/listen.err" || true)
    if [ -n "$line" ]; then
      LISTEN_PORT=${line##*:}
      [ "$line" = "ostrel: listening on $shown:$LISTEN_PORT" ] || fail "listen said: $line"
      return 0
    fi
    sleep 0.1
  done
  fail "listen did not start: $(cat "$WORK/listen.err")"
}

# Waits for the listener to end by itself; its status goes to $rc.
wait_listener() {
  rc=0
  wait "$LISTENER" || rc=$?
}

SYSTEM=iso.org.dod.internet.mgmt.mib.system

scenario_usage() {
  run
  expect_rc 64
  expect_err "ostrel: no command given"
  expect_err "usage:"
  run get 127.0.0.1 public
  expect_rc 64
  [ "$(head -1 "$WORK/err")" = "ostrel: missing arguments" ] || fail "first line: $(head -1 "$WORK/err")"
  expect_err "usage: ostrel get "
  run get 127.0.0.1 public noSuchObjectName.0
  expect_rc 64
  expect_err "unknown object 'noSuchObjectName.0'"
  run set 127.0.0.1 private sysContact.0 t soon
  expect_rc 64
  expect_err "bad value 'soon'"
  # A name the resolver refuses without asking anyone (a label over 63 characters): the socket
  # reports the failed send, and the tool ends at once.
  local unresolvable
  unresolvable=$(printf 'a%.0s' $(seq 70)).example
  run get --timeout 5 "$unresolvable" public sysDescr.0
  expect_rc 1
  expect_err "ostrel: cannot send: "
  run --help
  expect_rc 0
  expect_out "Exit status"
  # The commands SNMPv1 lacks, under -v 1.
  local command
  for command in getbulk bulkwalk inform; do
    run "$command" -v 1 127.0.0.1 public 1.3 1.3
    expect_rc 64
    expect_err "$command has no SNMPv1 form: give -v 2c or -v 3"
    expect_err "usage: ostrel $command -v 2c "
    expect_err "       ostrel $command -v 3 -u USER "
  done
  run help bogus
  expect_rc 64
  expect_err "unknown command 'bogus'"
  run --version
  expect_rc 0
  expect_out "KIVOSTREL SNMP CONTROL 2.04"
  run translate 1.3.6.1.2.1.1.3.0 "$SYSTEM.sysName.0" sysLocation.0
  expect_rc 0
  [ "$(cat "$WORK/out")" = "$SYSTEM.sysUpTime.0
1.3.6.1.2.1.1.5.0
1.3.6.1.2.1.1.6.0" ] || fail "translate gave: $(cat "$WORK/out")"
  run translate no.such.name
  expect_rc 1
  expect_out "no.such.name"
  run find --ignore-case SYSUP
  expect_rc 0
  [ "$(cat "$WORK/out")" = "$SYSTEM.sysUpTime (1.3.6.1.2.1.1.3)" ] || fail "find gave: $(cat "$WORK/out")"
}

scenario_decode() {
  # The GetRequest for sysDescr.0 with an empty community and request id 1.
  run decode --hex "30 20 02 01 00 04 00 A0 19 02 01 01 02 01 00 02 01 00 30 0E 30 0C 06 08 2B 06 01 02 01 01 01 00 05 00"
  expect_rc 0
  [ "$(cat "$WORK/out")" = "GetRequest: version 0, community \"\", request id 1, NoError (0)
  $SYSTEM.sysDescr.0 = Null" ] || fail "decode gave: $(cat "$WORK/out")"

  # A trap: enterprise 1.3.6.1.4.1.9999, agent 10.0.0.1, generic 6, specific 1, time 12345.
  run decode --json --hex "30 22 02 01 00 04 00 A4 1B 06 07 2B 06 01 04 01 CE 0F 40 04 0A 00 00 01 02 01 06 02 01 01 43 02 30 39 30 00"
  expect_rc 0
  expect_out '"Command":"Trap","RequestId":0,"ErrorStatus":0,"ErrorStatusText":"NoError"'
  expect_out '{"OIDName":"1.3.6.1.2.1.1.3.0","Name":"iso.org.dod.internet.mgmt.mib.system.sysUpTime.0","OIDType":67,"OIDTypeName":"TimeTicks","OIDValue":12345}'
  expect_out '"OIDName":"1.3.6.1.6.3.1.1.4.1.0",'
  expect_out '"OIDValue":"1.3.6.1.4.1.9999.0.1"'
  expect_out '"OIDTypeName":"IpAddress","OIDValue":"10.0.0.1"'

  # Files, one datagram each, in order; OCTET STRING values as bytes with --string-type 1.
  printf '\x30\x00' >"$WORK/short.bin"
  printf '\x30\x1b\x02\x01\x00\x04\x01\x70\xa2\x13\x02\x01\x05\x02\x01\x00\x02\x01\x00\x30\x08\x30\x06\x06\x01\x2b\x04\x01\xe9' >"$WORK/bytes.bin"
  run decode --json --string-type 1 "$WORK/short.bin" "$WORK/bytes.bin"
  expect_rc 0
  [ "$(wc -l <"$WORK/out")" -eq 2 ] || fail "expected two JSON lines: $(cat "$WORK/out")"
  head -1 "$WORK/out" | grep -qF '"ErrorStatus":-1,"ErrorStatusText":"FormatError","Objects":[]' ||
    fail "short datagram: $(head -1 "$WORK/out")"
  tail -1 "$WORK/out" | grep -qF '"OIDName":"1.3","Name":"iso.org","OIDType":4,"OIDTypeName":"OctetString","OIDValue":{"bytes":"E9"}' ||
    fail "byte string: $(tail -1 "$WORK/out")"
  run decode "$WORK/bytes.bin"
  expect_out "  iso.org = OctetString: Hex: E9"
  run decode --json "$WORK/bytes.bin"
  expect_out '"OIDValue":"\u00e9"'

  run decode --hex "30 0"
  expect_rc 64
  run decode "$WORK/missing.bin"
  expect_rc 1
  expect_err "cannot read"
}

scenario_get() {
  start_snmpd
  run get "$AGENT" public sysDescr.0
  expect_rc 0
  expect_out "$SYSTEM.sysDescr.0 = OctetString: "
  [ "$(wc -l <"$WORK/out")" -eq 1 ] || fail "one line expected: $(cat "$WORK/out")"
  local snmpget
  snmpget=$(program snmpget)
  if [ -n "$snmpget" ]; then
    local expected
    expected=$("$snmpget" -v1 -c public -Oqv "$AGENT" 1.3.6.1.2.1.1.1.0 | sed 's/^"//; s/"$//')
    expect_out "$SYSTEM.sysDescr.0 = OctetString: $expected"
  fi

  run get --json "$AGENT" public 1.3.6.1.2.1.1.5.0 "$SYSTEM.sysUpTime.0"
  expect_rc 0
  expect_out '"RemoteIP":"127.0.0.1","RemotePort":"'"${AGENT#*:}"'","Version":0,"Community":"public","Command":"GetResponse"'
  expect_out '"ErrorStatus":0,"ErrorStatusText":"NoError"'
  expect_out '{"OIDName":"1.3.6.1.2.1.1.5.0","Name":"iso.org.dod.internet.mgmt.mib.system.sysName.0","OIDType":4,"OIDTypeName":"OctetString","OIDValue":"'
  expect_out '"OIDType":67,"OIDTypeName":"TimeTicks","OIDValue":'

  run getnext "$AGENT" public system
  expect_rc 0
  expect_out "$SYSTEM.sysDescr.0 = OctetString: "

  run get "$AGENT" public sysDescr.0 1.3.6.1.2.1.1.99.0
  expect_rc 2
  expect_err "NoSuchName (2), failed object 2: $SYSTEM.99.0"

  # snmpd ignores a wrong community: no answer, two attempts of 0.3 s.
  local start=$SECONDS
  run get --timeout 0.3 --retries 1 "$AGENT" wrong sysDescr.0
  expect_rc 1
  expect_err "no response from $AGENT"
  [ $((SECONDS - start)) -lt 5 ] || fail "the timeout took $((SECONDS - start)) s"
}

scenario_walk() {
  start_snmpd
  run walk "$AGENT" public system
  expect_rc 0
  [ "$(head -1 "$WORK/out")" = "$(grep -m1 "^$SYSTEM.sysDescr.0 = OctetString: " "$WORK/out")" ] ||
    fail "the walk does not start at sysDescr.0: $(head -1 "$WORK/out")"
  expect_out "$SYSTEM.sysUpTime.0 = TimeTicks: "
  expect_out "$SYSTEM.sysName.0 = OctetString: "
  if grep -v "^$SYSTEM\." "$WORK/out"; then fail "lines outside the system group"; fi
  local lines
  lines=$(wc -l <"$WORK/out")
  local snmpwalk
  snmpwalk=$(program snmpwalk)
  if [ -n "$snmpwalk" ]; then
    [ "$lines" -eq "$("$snmpwalk" -v1 -c public -On "$AGENT" 1.3.6.1.2.1.1 | wc -l)" ] ||
      fail "$lines objects, snmpwalk found a different number"
  fi

  run walk --json "$AGENT" public 1.3.6.1.2.1.1
  expect_rc 0
  [ "$(grep -c '"Command":"GetResponse"' "$WORK/out")" -eq "$lines" ] || fail "JSON walk differs"

  # Past the last object: the agent answers noSuchName, and the walk ends without error.
  run walk "$AGENT" public 2.5
  expect_rc 0
  [ ! -s "$WORK/out" ] || fail "unexpected objects: $(cat "$WORK/out")"
}

# Starts scripted_agent.py with ARGS (OID=HEX rows, --echo); sets AGENT.
start_scripted_agent() {
  rm -f "$WORK/agent.port"
  python3 "$(dirname "$0")/scripted_agent.py" "$WORK/agent.port" "$@" &
  PIDS+=("$!")
  wait_for_port_file "$WORK/agent.port" "the scripted agent"
  AGENT=127.0.0.1:$(cat "$WORK/agent.port")
}

# How a walk ends where agents misbehave, against an agent that serves raw values.
scenario_walk_ends() {
  local text=0406737472696E67 oid=06032B0601 ticks=43020539
  # sysUpTime.0 carries an empty INTEGER: shown as undecodable, and the walk goes on.
  start_scripted_agent 1.3.6.1.2.1.1.1.0=$text 1.3.6.1.2.1.1.2.0=$oid 1.3.6.1.2.1.1.3.0=0200 \
    1.3.6.1.2.1.1.4.0=$text 1.3.6.1.2.1.1.5.0=$text 1.3.6.1.2.1.2.1.0=$ticks
  run walk --timeout 0.5 "$AGENT" public system
  expect_rc 0
  [ "$(wc -l <"$WORK/out")" -eq 5 ] || fail "five objects expected: $(cat "$WORK/out")"
  expect_out "$SYSTEM.sysUpTime.0 = (undecodable value)"
  expect_out "$SYSTEM.sysName.0 = OctetString: string"
  # The first row undecodable: the same.
  run walk --timeout 0.5 "$AGENT" public sysUpTime
  expect_rc 0
  [ "$(cat "$WORK/out")" = "$SYSTEM.sysUpTime.0 = (undecodable value)" ] ||
    fail "walk of sysUpTime gave: $(cat "$WORK/out")"
  # A leaf: nothing below it, so it is asked for with a Get.
  run walk --timeout 0.5 "$AGENT" public sysName.0
  expect_rc 0
  [ "$(cat "$WORK/out")" = "$SYSTEM.sysName.0 = OctetString: string" ] ||
    fail "walk of a leaf gave: $(cat "$WORK/out")"
  # Nothing below and no such object: said on standard error, as before.
  run walk --timeout 0.5 "$AGENT" public 1.3.6.1.2.1.1.9
  expect_rc 0
  expect_err "no objects below"

  # An agent that answers each GetNext with the OID it was asked for.
  start_scripted_agent --echo 1.3.6.1.2.1.1.1.0=$text
  run walk --timeout 0.5 "$AGENT" public system
  expect_rc 1
  expect_err "OID not increasing"
  [ ! -s "$WORK/out" ] || fail "unexpected objects: $(cat "$WORK/out")"
}

scenario_set() {
  start_snmpd
  run set "$AGENT" private sysContact.0 s "ostrel <e2e> test"
  expect_rc 0
  [ "$(cat "$WORK/out")" = "$SYSTEM.sysContact.0 = OctetString: ostrel <e2e> test" ] ||
    fail "set answered: $(cat "$WORK/out")"
  run get "$AGENT" public sysContact.0
  expect_rc 0
  [ "$(cat "$WORK/out")" = "$SYSTEM.sysContact.0 = OctetString: ostrel <e2e> test" ] ||
    fail "read back: $(cat "$WORK/out")"

  run set "$AGENT" private sysLocation.0 x "6C 61 62" 1.3.6.1.2.1.1.5.0 s node-1
  expect_rc 0
  run get "$AGENT" public sysLocation.0 sysName.0
  expect_out "$SYSTEM.sysLocation.0 = OctetString: lab"
  expect_out "$SYSTEM.sysName.0 = OctetString: node-1"

  # Read-only community, and a value of the wrong type.
  run set "$AGENT" public sysContact.0 s nobody
  expect_rc 2
  expect_err "NoSuchName (2), failed object 1: $SYSTEM.sysContact.0"
  run set "$AGENT" private sysContact.0 i 5
  expect_rc 2
  expect_err "BadValue (3)"
}

scenario_trap() {
  start_snmptrapd
  run trap --agent-address 10.1.2.3 --uptime 12345 "127.0.0.1:$TRAP_PORT" public \
    1.3.6.1.4.1.99999 6 17 1.3.6.1.4.1.99999.1 s hello 1.3.6.1.4.1.99999.2 i -5 \
    1.3.6.1.4.1.99999.3 a 192.0.2.7
  expect_rc 0
  expect_trap_log 'Enterprise Specific Trap (17) Uptime: 0:02:03.45'
  expect_trap_log '10.1.2.3 [10.1.2.3]'
  expect_trap_log 'TRAP, SNMP v1, community public'
  expect_trap_log 'iso.3.6.1.4.1.99999 Enterprise Specific Trap'
  expect_trap_log 'iso.3.6.1.4.1.99999.1 = STRING: "hello"'
  expect_trap_log 'iso.3.6.1.4.1.99999.2 = INTEGER: -5'
  expect_trap_log 'iso.3.6.1.4.1.99999.3 = IpAddress: 192.0.2.7'

  # The control's own agent address (towards 127.0.0.1) and time stamp.
  run trap "127.0.0.1:$TRAP_PORT" traps enterprises.99999 0 0
  expect_rc 0
  expect_trap_log '127.0.0.1 [127.0.0.1] (via UDP: [127.0.0.1]'
  expect_trap_log 'community traps'
  expect_trap_log 'Cold Start Trap (0)'

  # A time stamp past 2^31 - 1, which the control sends from a negative TickCount.
  run trap --uptime 4294967294 "127.0.0.1:$TRAP_PORT" public enterprises.99999 6 19
  expect_rc 0
  expect_trap_log 'Enterprise Specific Trap (19) Uptime: 497 days, 2:27:52.94'

  run trap --agent-address not-an-address "127.0.0.1:$TRAP_PORT" public 1.3.6.1.4.1.1 0 0
  expect_rc 64
}

scenario_listen() {
  local snmptrap
  snmptrap=$(need snmptrap)
  # --address and --port, as before --local.
  start_listener 127.0.0.1 --json --address 127.0.0.1 --port 0 --count 2 --timeout 20
  local port=$LISTEN_PORT
  "$snmptrap" -v1 -c public "127.0.0.1:$port" 1.3.6.1.4.1.99999 127.0.0.1 6 17 '' \
    1.3.6.1.4.1.99999.1 s hello
  sleep 0.2
  run trap --agent-address 10.0.0.9 --uptime 5 "127.0.0.1:$port" public 1.3.6.1.4.1.99999 2 0
  expect_rc 0
  wait_listener
  expect_rc 0
  [ "$(wc -l <"$WORK/listen.out")" -eq 2 ] || fail "two datagrams expected: $(cat "$WORK/listen.out")"

  # The Net-SNMP trap in its SNMPv2 notification form.
  local first second
  first=$(head -1 "$WORK/listen.out")
  for part in '"RemoteIP":"127.0.0.1"' '"Community":"public","Command":"Trap","RequestId":0,"ErrorStatus":0' \
    '{"OIDName":"1.3.6.1.2.1.1.3.0","Name":"iso.org.dod.internet.mgmt.mib.system.sysUpTime.0","OIDType":67' \
    '{"OIDName":"1.3.6.1.6.3.1.1.4.1.0",' '"OIDType":6,"OIDTypeName":"ObjectID","OIDValue":"1.3.6.1.4.1.99999.0.17"}' \
    '{"OIDName":"1.3.6.1.4.1.99999.1","Name":"iso.org.dod.internet.private.enterprises.99999.1","OIDType":4,"OIDTypeName":"OctetString","OIDValue":"hello"}' \
    '{"OIDName":"1.3.6.1.6.3.18.1.3.0",' '"OIDTypeName":"IpAddress","OIDValue":"127.0.0.1"}' \
    '"OIDValue":"1.3.6.1.4.1.99999"}]}'; do
    grep -qF -- "$part" <<<"$first" || fail "first datagram lacks $part: $first"
  done
  # ostrel's own trap: generic 2 (linkDown) maps to 1.3.6.1.6.3.1.1.5.3.
  second=$(tail -1 "$WORK/listen.out")
  for part in '"OIDTypeName":"TimeTicks","OIDValue":5}' '"OIDValue":"1.3.6.1.6.3.1.1.5.3"}' \
    '"OIDValue":"10.0.0.9"}'; do
    grep -qF -- "$part" <<<"$second" || fail "second datagram lacks $part: $second"
  done

  # A port chosen here, through --local: snmptrap's trap arrives there, shown as text.
  port=$(free_port)
  start_listener 127.0.0.1 --local "127.0.0.1:$port" --count 1 --timeout 20
  [ "$LISTEN_PORT" = "$port" ] || fail "listening on port $LISTEN_PORT, not $port"
  "$snmptrap" -v1 -c public "127.0.0.1:$port" 1.3.6.1.4.1.99999 127.0.0.1 6 18 '' \
    1.3.6.1.4.1.99999.2 s "on a chosen port"
  wait_listener
  expect_rc 0
  grep -q '^Trap from 127\.0\.0\.1:[0-9]*: version 0, community "public"' "$WORK/listen.out" ||
    fail "no trap header: $(cat "$WORK/listen.out")"
  grep -qF "  iso.org.dod.internet.private.enterprises.99999.2 = OctetString: on a chosen port" \
    "$WORK/listen.out" || fail "no trap binding: $(cat "$WORK/listen.out")"

  # Nothing arrives: the count is not reached in time.
  run listen --address 127.0.0.1 --port 0 --count 1 --timeout 0.3
  expect_rc 1
  expect_err "timed out after 0 of 1 datagrams"
}

# Requests to snmpd on udp6:[::1]:PORT, and traps between ostrel's own endpoints on ::1.
scenario_ipv6() {
  python3 -c 'import socket; socket.socket(socket.AF_INET6, socket.SOCK_DGRAM).bind(("::1", 0))' \
    2>/dev/null || { echo "SKIP: ::1 cannot be bound here" >&2; exit 77; }
  start_snmpd 6
  run get --json "$AGENT" public sysDescr.0
  expect_rc 0
  expect_out '"RemoteIP":"::1","RemotePort":"'"${AGENT##*:}"'","Version":0,"Community":"public"'
  expect_out '"OIDName":"1.3.6.1.2.1.1.1.0"'
  run getnext "udp6:$AGENT" public system
  expect_rc 0
  expect_out "$SYSTEM.sysDescr.0 = OctetString: "
  run set --local "[::1]" "$AGENT" private sysContact.0 s "over IPv6"
  expect_rc 0
  expect_out "$SYSTEM.sysContact.0 = OctetString: over IPv6"
  # snmpd ignores a wrong community; the message names the agent as it was given.
  run get --timeout 0.2 --retries 0 "$AGENT" wrong sysDescr.0
  expect_rc 1
  expect_err "no response from $AGENT"

  # A trap from a chosen local port to a listener on ::1.
  local port source
  port=$(free_port ::1)
  source=$(free_port ::1)
  start_listener "[::1]" --json --local "[::1]:$port" --count 1 --timeout 20
  run trap --local "[::1]:$source" --agent-address 10.0.0.9 "[::1]:$port" public \
    1.3.6.1.4.1.99999 6 3
  expect_rc 0
  wait_listener
  expect_rc 0
  grep -qF '"RemoteIP":"::1","RemotePort":"'"$source"'"' "$WORK/listen.out" ||
    fail "trap not from [::1]:$source: $(cat "$WORK/listen.out")"
}

# The whole output, as expected.
expect_exactly() {
  [ "$(cat "$WORK/out")" = "$1" ] || fail "output was: $(cat "$WORK/out"); expected: $1"
}

# The OID of each object shown, with "end" after endOfMibView: ostrel's (through --json) and
# Net-SNMP's.
ostrel_walk_oids() {
  timeout 60 "$OSTREL" "$@" --json | python3 -c 'import json, sys
for line in sys.stdin:
    for o in json.loads(line)["Objects"]:
        print(o["OIDName"], "end" if o["OIDType"] == 130 else "-")'
}
netsnmp_walk_oids() {
  "$@" -On | sed -n 's/^\.\([0-9.]*\) = No more variables left in this MIB View .*/\1 end/p; t
s/^\.\([0-9.]*\) = .*/\1 -/p'
}

# SNMPv2c requests to snmpd: get, getnext, set and getbulk, a Counter64, the exception values
# (as snmpget and snmpgetnext word them) and the SNMPv2 error statuses.
scenario_v2c_get() {
  start_snmpd
  local snmpget hc=1.3.6.1.2.1.31.1.1.1.6.1 before after value
  snmpget=$(need snmpget)
  # ifHCInOctets.1 (lo) between two reads of snmpget: loopback traffic only adds to it.
  before=$("$snmpget" -v2c -c public -Oqv "$AGENT" $hc)
  run get -v2c "$AGENT" public $hc
  after=$("$snmpget" -v2c -c public -Oqv "$AGENT" $hc)
  expect_rc 0
  value=$(sed -n 's/^iso\.org\.dod\.internet\.mgmt\.mib\.31\.1\.1\.1\.6\.1 = Counter64: //p' "$WORK/out")
  python3 -c 'import sys; a, b, c = map(int, sys.argv[1:]); sys.exit(not a <= b <= c)' \
    "$before" "$value" "$after" || fail "ifHCInOctets.1 $value not in $before..$after"
  run get -v 2c --json "$AGENT" public $hc
  expect_out '"Version":1,"Community":"public","Command":"GetResponse"'
  expect_out '"OIDType":70,"OIDTypeName":"Counter64","OIDValue":'
  run get -v1 "$AGENT" public $hc  # no Counter64 under SNMPv1
  expect_rc 2

  local texts
  texts=$("$snmpget" -v2c -c public "$AGENT" 1.3.6.1.2.1.1.99.0 1.3.6.1.2.1.1.1.1 | sed 's/^[^=]*= //')
  run get -v2c "$AGENT" public 1.3.6.1.2.1.1.99.0 1.3.6.1.2.1.1.1.1
  expect_rc 0
  [ "$(sed 's/^[^=]*= //' "$WORK/out")" = "$texts" ] || fail "exceptions: $(cat "$WORK/out")"
  expect_out "$SYSTEM.99.0 = No Such Object available on this agent at this OID"
  run getnext -v2c "$AGENT" public 1.3.6.1.6.3.99
  expect_exactly "iso.org.dod.internet.6.3.99 = $("$(need snmpgetnext)" -v2c -c public "$AGENT" \
    1.3.6.1.6.3.99 | sed 's/^[^=]*= //')"
  run get -v2c --json "$AGENT" public 1.3.6.1.2.1.1.99.0
  expect_out '"OIDType":128,"OIDTypeName":"NoSuchObject","OIDValue":null}'

  run set -v2c "$AGENT" private sysContact.0 s "set under v2c"
  expect_rc 0
  run get -v2c "$AGENT" public sysContact.0
  expect_exactly "$SYSTEM.sysContact.0 = OctetString: set under v2c"
  # snmpset -v2c names the same errors so.
  run set -v2c "$AGENT" public sysContact.0 s nobody
  expect_rc 2
  expect_err "noAccess (6), failed object 1: $SYSTEM.sysContact.0"
  run set -v2c "$AGENT" private sysName.0 s node sysContact.0 C 5
  expect_err "wrongType (7), failed object 2: $SYSTEM.sysContact.0"
  run set -v2c "$AGENT" private sysDescr.0 s other
  expect_err "notWritable (17), failed object 1: $SYSTEM.sysDescr.0"

  # getbulk: ten rows by default, as snmpbulkget's; -Cn and -Cr as it takes them.
  run getbulk -v2c "$AGENT" public system
  [ "$(wc -l <"$WORK/out")" -eq 10 ] || fail "ten rows expected: $(cat "$WORK/out")"
  [ "$(ostrel_walk_oids getbulk -v 2c -Cn1 -Cr 3 "$AGENT" public sysDescr.0 system)" = \
    "$(netsnmp_walk_oids "$(need snmpbulkget)" -v2c -c public -Cn1 -Cr3 "$AGENT" \
      1.3.6.1.2.1.1.1.0 1.3.6.1.2.1.1)" ] || fail "getbulk -Cn1 -Cr3 differs from snmpbulkget"
}

# walk and bulkwalk under SNMPv2c beside snmpwalk over subtrees that stay still while they run:
# system, and the agent's last one, which ends at endOfMibView.
scenario_v2c_walk() {
  start_snmpd
  local root theirs command last
  for root in 1.3.6.1.2.1.1 1.3.6.1.6.3; do
    theirs=$(netsnmp_walk_oids "$(need snmpwalk)" -v2c -c public "$AGENT" "$root")
    [ "$(wc -l <<<"$theirs")" -gt 5 ] || fail "snmpwalk found too little: $theirs"
    for command in "walk" "bulkwalk" "bulkwalk -Cr 3"; do
      [ "$(ostrel_walk_oids $command -v2c "$AGENT" public "$root")" = "$theirs" ] ||
        fail "$command of $root differs from snmpwalk"
    done
  done
  tail -1 <<<"$theirs" | grep -q ' end$' || fail "no endOfMibView: $theirs"
  last="No more variables left in this MIB View (It is past the end of the MIB tree)"
  for command in walk bulkwalk; do
    run "$command" -v2c "$AGENT" public 1.3.6.1.6.3
    expect_rc 0
    tail -1 "$WORK/out" | grep -q " = $last\$" || fail "$command ended: $(tail -1 "$WORK/out")"
    # Nothing below the root: the Get of the root shows what snmpwalk shows.
    run "$command" -v2c "$AGENT" public 1.3.6.1.2.1.1.99
    expect_exactly "$SYSTEM.99 = No Such Object available on this agent at this OID"
    run "$command" -v2c "$AGENT" public 1.3.6.1.6.3.99
    expect_exactly "iso.org.dod.internet.6.3.99 = $last"
  done
  run walk -v1 "$AGENT" public 1.3.6.1.2.1.1.99  # noSuchName: nothing shown
  expect_exactly ""
  expect_err "no objects below"
}

# trap -v 2c and inform to snmptrapd, which prints the bindings and acknowledges the inform.
scenario_v2c_notify() {
  start_snmptrapd
  run trap -v 2c "127.0.0.1:$TRAP_PORT" public 12345 1.3.6.1.4.1.99999.0.1 \
    1.3.6.1.4.1.99999.1 s hello 1.3.6.1.4.1.99999.2 C 18446744073709551615
  expect_rc 0
  expect_trap_log 'iso.3.6.1.2.1.1.3.0 = Timeticks: (12345) 0:02:03.45	iso.3.6.1.6.3.1.1.4.1.0 = OID: iso.3.6.1.4.1.99999.0.1	iso.3.6.1.4.1.99999.1 = STRING: "hello"	iso.3.6.1.4.1.99999.2 = Counter64: 18446744073709551615'
  run inform -v2c "127.0.0.1:$TRAP_PORT" public 4294967294 1.3.6.1.4.1.99999.0.2 \
    1.3.6.1.4.1.99999.3 i -5
  expect_rc 0
  expect_exactly ""
  expect_trap_log '(4294967294) 497 days, 2:27:52.94	iso.3.6.1.6.3.1.1.4.1.0 = OID: iso.3.6.1.4.1.99999.0.2	iso.3.6.1.4.1.99999.3 = INTEGER: -5'
  run inform -v2c "127.0.0.1:$TRAP_PORT" public '' 1.3.6.1.4.1.99999.0.3
  expect_rc 0
  expect_trap_log 'OID: iso.3.6.1.4.1.99999.0.3'
  # Nothing acknowledges: two attempts of 0.3 s, then exit status 1.
  run inform -v2c --timeout 0.3 "127.0.0.1:$(free_port)" public '' 1.3.6.1.6.3.1.1.5.1
  expect_rc 1
  expect_err "(timeout after 2 attempts)"
}

# snmptrap -v 2c and snmpinform -v 2c to ostrel listen, which acknowledges the inform itself;
# then ostrel's own inform to it.
scenario_v2c_listen() {
  start_listener 127.0.0.1 --json --local 127.0.0.1:0 --count 3 --timeout 20
  "$(need snmptrap)" -v 2c -c public "127.0.0.1:$LISTEN_PORT" 12345 1.3.6.1.4.1.99999.0.1 \
    1.3.6.1.4.1.99999.2 C 18446744073709551615
  timeout 20 "$(need snmpinform)" -v 2c -c public "127.0.0.1:$LISTEN_PORT" '' \
    1.3.6.1.4.1.99999.0.2 1.3.6.1.4.1.99999.1 s "for listen" || fail "snmpinform was not answered"
  run inform -v 2c "127.0.0.1:$LISTEN_PORT" public 77 1.3.6.1.4.1.99999.0.3
  expect_rc 0
  wait_listener
  expect_rc 0
  local line=0 part
  for part in '"Version":1,"Community":"public","Command":"SNMPv2-Trap"' \
    '"OIDType":70,"OIDTypeName":"Counter64","OIDValue":18446744073709551615}]}' \
    '"Command":"InformRequest"' '"OIDValue":"1.3.6.1.4.1.99999.0.2"},' '"OIDValue":"for listen"}]}' \
    '"Command":"InformRequest"' '"OIDValue":77},' '"OIDValue":"1.3.6.1.4.1.99999.0.3"}]}'; do
    case "$part" in '"Version"'* | '"Command":"InformRequest"') line=$((line + 1)) ;; esac
    sed -n "${line}p" "$WORK/listen.out" | grep -qF -- "$part" ||
      fail "datagram $line lacks $part: $(cat "$WORK/listen.out")"
  done
}

# What ostrel printed holds none of the passwords it was given.
expect_no_password() {
  local file password
  for file in "$@"; do
    for password in "$ALICE_AUTH" "$ALICE_PRIV" "$BOB_AUTH" "$WRONG_PASS" "$SHORT_PASS" \
      "$COLON_PRIV"; do
      if grep -qF -- "$password" "$file"; then fail "$(basename "$file") shows a password"; fi
    done
  done
}
WRONG_PASS=wrong-pass-9
SHORT_PASS=shrt7
COLON_PRIV=priv:with:colons

# SNMPv3 requests to snmpd under its three users, beside snmpget: authPriv (SHA, AES),
# authNoPriv with snmpcmd's default MD5 (-x and -X ignored at that level) and noAuthNoPriv.
scenario_v3_get() {
  start_snmpd v3
  local snmpget expected
  snmpget=$(need snmpget)
  run get "${ALICE[@]}" "$AGENT" sysDescr.0
  expect_rc 0
  expected=$("$snmpget" "${ALICE_NETSNMP[@]}" -Oqv "$AGENT" 1.3.6.1.2.1.1.1.0 | sed 's/^"//; s/"$//')
  expect_exactly "$SYSTEM.sysDescr.0 = OctetString: $expected"
  run get --json "${ALICE[@]}" "$AGENT" sysName.0 sysUpTime.0
  expect_rc 0
  expect_out '"Version":3,"Community":"alice","Command":"GetResponse"'
  expect_out '"ErrorStatus":0,"ErrorStatusText":"NoError","SecurityError":"","Objects":[{"OIDName":"1.3.6.1.2.1.1.5.0"'
  run getnext "${ALICE[@]}" "$AGENT" system
  expect_rc 0
  expect_out "$SYSTEM.sysDescr.0 = OctetString: $expected"

  run get -v 3 -u bob -l AUTHNOPRIV -A "$BOB_AUTH" -x AES -X "$WRONG_PASS" "$AGENT" sysDescr.0
  expect_rc 0
  expect_exactly "$SYSTEM.sysDescr.0 = OctetString: $expected"
  run get -v3 -u carol "$AGENT" sysDescr.0
  expect_rc 0
  expect_exactly "$SYSTEM.sysDescr.0 = OctetString: $expected"

  # alice may write; the value read back under bob, who may not.
  run set "${ALICE[@]}" "$AGENT" sysContact.0 s "set under v3"
  expect_rc 0
  expect_exactly "$SYSTEM.sysContact.0 = OctetString: set under v3"
  run get -v 3 -u bob -l authNoPriv -a md5 -A "$BOB_AUTH" "$AGENT" sysContact.0
  expect_exactly "$SYSTEM.sysContact.0 = OctetString: set under v3"
  run set -v 3 -u bob -l authNoPriv -A "$BOB_AUTH" "$AGENT" sysContact.0 s nobody
  expect_rc 2

  # getbulk as snmpbulkget takes it.
  [ "$(ostrel_walk_oids getbulk "${ALICE[@]}" -Cn1 -Cr 3 "$AGENT" sysDescr.0 system)" = \
    "$(netsnmp_walk_oids "$(need snmpbulkget)" "${ALICE_NETSNMP[@]}" -Cn1 -Cr3 "$AGENT" \
      1.3.6.1.2.1.1.1.0 1.3.6.1.2.1.1)" ] || fail "getbulk -v 3 differs from snmpbulkget"
  expect_no_password "$WORK/out" "$WORK/err"
}

# walk and bulkwalk under SNMPv3 beside snmpwalk -v3, over system and the agent's last subtree.
scenario_v3_walk() {
  start_snmpd v3
  local root theirs command
  for root in 1.3.6.1.2.1.1 1.3.6.1.6.3; do
    theirs=$(netsnmp_walk_oids "$(need snmpwalk)" "${ALICE_NETSNMP[@]}" "$AGENT" "$root")
    [ "$(wc -l <<<"$theirs")" -gt 5 ] || fail "snmpwalk found too little: $theirs"
    for command in "walk" "bulkwalk" "bulkwalk -Cr 3"; do
      [ "$(ostrel_walk_oids $command "${ALICE[@]}" "$AGENT" "$root")" = "$theirs" ] ||
        fail "$command -v 3 of $root differs from snmpwalk"
    done
  done
  theirs=$(netsnmp_walk_oids "$(need snmpwalk)" -v3 -u carol "$AGENT" 1.3.6.1.2.1.1)
  [ "$(ostrel_walk_oids walk -v 3 -u carol "$AGENT" system)" = "$theirs" ] ||
    fail "walk as carol differs from snmpwalk"
}

# What snmpd refuses, with the reason on standard error and exit status 1, and what the control
# refuses before anything is sent (exit status 64). No password is ever shown.
scenario_v3_refused() {
  start_snmpd v3
  local expected status options
  while IFS='|' read -r expected status options; do
    # shellcheck disable=SC2086 # the options are words
    run get --timeout 0.5 --retries 0 $options "$AGENT" sysDescr.0
    [ "$rc" -eq "$status" ] || fail "$options: exit status $rc, expected $status ($(cat "$WORK/err"))"
    expect_err "$expected"
    [ ! -s "$WORK/out" ] || fail "$options printed: $(cat "$WORK/out")"
    expect_no_password "$WORK/out" "$WORK/err"
  done <<TABLE
refused the request: wrong digest (check -a and -A)|1|-v 3 -u alice -l authPriv -a SHA -A $WRONG_PASS -x AES -X $ALICE_PRIV
refused the request: wrong digest (check -a and -A)|1|-v 3 -u bob -l authNoPriv -a SHA -A $BOB_AUTH
refused the request: unknown user (check -u)|1|-v 3 -u mallory -l authNoPriv -A $WRONG_PASS
refused the request: unsupported security level (check -l)|1|-v 3 -u bob -l authPriv -A $BOB_AUTH -X $BOB_AUTH
no response from $AGENT|1|-v 3 -u alice -l authPriv -a SHA -A $ALICE_AUTH -x AES -X $WRONG_PASS
a user: AddUser: the authentication password is shorter than 8 characters|64|-v 3 -u alice -l authNoPriv -A $SHORT_PASS
a user: AddUser: the privacy password is shorter than 8 characters|64|-v 3 -u alice -l authPriv -A $ALICE_AUTH -X $SHORT_PASS
a user: AddUser: unknown authentication protocol: use|64|-v 3 -u alice -l authNoPriv -a SHA-1000 -A $ALICE_AUTH
a user: AddUser: unknown privacy protocol: use|64|-v 3 -u alice -l authPriv -A $ALICE_AUTH -x AES-512 -X $ALICE_PRIV
-e: PinEngineID takes 5 to 32 octets as hex text|64|-v 3 -u carol -e 0102
-E: ContextEngineID takes 5 to 32 octets as hex text|64|-v 3 -u carol -E 0102
-l authPriv needs -X PASS|64|-v 3 -u alice -l authPriv -A $ALICE_AUTH
TABLE
  # A usage error shows the command's SNMPv3 form.
  expect_err "usage: ostrel get "
  expect_err "       ostrel get -v 3 -u USER [SNMPv3 OPTIONS] "
}

# snmptrap -v3 and snmpinform -v3 to ostrel listen, which has the users of --user (alice's
# privacy password holding colons) and takes their messages from any engine; snmpinform exits
# 0 only when acknowledged. A trap with a wrong password is shown refused. Then ostrel's own
# inform and trap under SNMPv3.
scenario_v3_listen() {
  local snmptrap
  snmptrap=$(need snmptrap)
  start_listener 127.0.0.1 --local 127.0.0.1:0 --user "alice:SHA:$ALICE_AUTH:AES:$COLON_PRIV" \
    --user "bob:MD5:$BOB_AUTH" --user carol --count 6 --timeout 30
  local to=127.0.0.1:$LISTEN_PORT
  "$snmptrap" -v3 -e 0x8000000001020304 -u alice -l authPriv -a SHA -A "$ALICE_AUTH" -x AES \
    -X "$COLON_PRIV" "$to" 12345 1.3.6.1.4.1.99999.0.1 1.3.6.1.4.1.99999.1 s "v3 hello"
  timeout 20 "$(need snmpinform)" -v3 -u bob -l authNoPriv -a MD5 -A "$BOB_AUTH" "$to" "" \
    1.3.6.1.4.1.99999.0.2 1.3.6.1.4.1.99999.2 i 7 || fail "snmpinform -v3 was not acknowledged"
  "$snmptrap" -v3 -e 0x8000000005060708 -u carol -l noAuthNoPriv "$to" "" 1.3.6.1.4.1.99999.0.3
  "$snmptrap" -v3 -e 0x8000000001020304 -u alice -l authPriv -a SHA -A "$WRONG_PASS" -x AES \
    -X "$COLON_PRIV" "$to" "" 1.3.6.1.4.1.99999.0.4
  run inform -v 3 -u alice -l authPriv -a SHA -A "$ALICE_AUTH" -x AES -X "$COLON_PRIV" "$to" 77 \
    1.3.6.1.4.1.99999.0.5
  expect_rc 0
  expect_exactly ""
  run trap -v 3 -u carol "$to" 78 1.3.6.1.4.1.99999.0.6 1.3.6.1.4.1.99999.3 s "from ostrel"
  expect_rc 0
  wait_listener
  expect_rc 0
  local headers expected
  headers=$(grep -v '^  ' "$WORK/listen.out" |
    sed -E 's/:[0-9]+: /:PORT: /; s/request id [0-9]+/request id N/')
  expected='SNMPv2-Trap from 127.0.0.1:PORT: version 3, user "alice", request id N, NoError (0)
InformRequest from 127.0.0.1:PORT: version 3, user "bob", request id N, NoError (0)
SNMPv2-Trap from 127.0.0.1:PORT: version 3, user "carol", request id N, NoError (0)
Report from 127.0.0.1:PORT: version 3, user "alice", refused: wrong digest
InformRequest from 127.0.0.1:PORT: version 3, user "alice", request id N, NoError (0)
SNMPv2-Trap from 127.0.0.1:PORT: version 3, user "carol", request id N, NoError (0)'
  [ "$headers" = "$expected" ] || fail "listen showed: $(cat "$WORK/listen.out")"
  local line
  for line in "  iso.org.dod.internet.private.enterprises.99999.1 = OctetString: v3 hello" \
    "  iso.org.dod.internet.private.enterprises.99999.2 = Integer: 7" \
    "  iso.org.dod.internet.6.3.1.1.4.1.0 = ObjectID: iso.org.dod.internet.private.enterprises.99999.0.3" \
    "  iso.org.dod.internet.mgmt.mib.system.sysUpTime.0 = TimeTicks: 77 (0:00:00.77)" \
    "  iso.org.dod.internet.private.enterprises.99999.3 = OctetString: from ostrel"; do
    grep -qxF -- "$line" "$WORK/listen.out" || fail "listen lacks '$line': $(cat "$WORK/listen.out")"
  done
  expect_no_password "$WORK/listen.out" "$WORK/listen.err"
}

# Receives one datagram on 127.0.0.1 into $WORK/caught, in hex; sets CATCH_PORT and CATCHER.
start_catcher() {
  rm -f "$WORK/catch.port" "$WORK/caught"
  python3 -c 'import os, socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 0))
open(sys.argv[1] + ".new", "w").write(str(s.getsockname()[1]))
os.rename(sys.argv[1] + ".new", sys.argv[1])
s.settimeout(20)
open(sys.argv[2], "w").write(s.recv(65535).hex())' "$WORK/catch.port" "$WORK/caught" &
  CATCHER=$!
  PIDS+=("$CATCHER")
  wait_for_port_file "$WORK/catch.port" "the catcher"
  CATCH_PORT=$(cat "$WORK/catch.port")
}

# ostrel trap -v 3 to snmptrapd, which has alice for the engine ostrel names with -e (and drops a
# trap from any other engine), and ostrel inform -v 3, which discovers snmptrapd's own engine.
# Then -n: the context name on the wire.
scenario_v3_notify() {
  local engine=0x8000000001020305
  start_snmptrapd "createUser -e $engine alice SHA $ALICE_AUTH AES $ALICE_PRIV" \
    "createUser alice SHA $ALICE_AUTH AES $ALICE_PRIV"
  run trap "${ALICE[@]}" -e 0x8000000009090909 "127.0.0.1:$TRAP_PORT" 12345 \
    1.3.6.1.4.1.99999.0.9 1.3.6.1.4.1.99999.1 s "from another engine"
  expect_rc 0
  run trap "${ALICE[@]}" -e "$engine" "127.0.0.1:$TRAP_PORT" 12345 1.3.6.1.4.1.99999.0.1 \
    1.3.6.1.4.1.99999.1 s "v3 trap" 1.3.6.1.4.1.99999.2 C 18446744073709551615
  expect_rc 0
  expect_trap_log 'iso.3.6.1.2.1.1.3.0 = Timeticks: (12345) 0:02:03.45	iso.3.6.1.6.3.1.1.4.1.0 = OID: iso.3.6.1.4.1.99999.0.1	iso.3.6.1.4.1.99999.1 = STRING: "v3 trap"	iso.3.6.1.4.1.99999.2 = Counter64: 18446744073709551615'
  if grep -qF "from another engine" "$WORK/snmptrapd.log"; then
    fail "snmptrapd took a trap from an engine it has no user for"
  fi
  run inform "${ALICE[@]}" "127.0.0.1:$TRAP_PORT" 4321 1.3.6.1.4.1.99999.0.2 \
    1.3.6.1.4.1.99999.1 s "v3 inform"
  expect_rc 0
  expect_exactly ""
  expect_trap_log 'iso.3.6.1.6.3.1.1.4.1.0 = OID: iso.3.6.1.4.1.99999.0.2	iso.3.6.1.4.1.99999.1 = STRING: "v3 inform"'
  expect_no_password "$WORK/out" "$WORK/err"

  # noAuthNoPriv, so that the scoped PDU can be read: the context engine ID is the engine of -e,
  # the context name that of -n, then the SNMPv2-Trap (A7).
  start_catcher
  run trap -v 3 -u carol -e 8000000001020306 -n ctx-e2e "127.0.0.1:$CATCH_PORT" "" \
    1.3.6.1.4.1.99999.0.3
  expect_rc 0
  wait "$CATCHER" || fail "nothing reached the catcher"
  grep -qF "0408800000000102030604076374782d653265a7" "$WORK/caught" ||
    fail "no context engine ID and name 'ctx-e2e' in $(cat "$WORK/caught")"
  # -E: another context engine ID.
  start_catcher
  run trap -v 3 -u carol -e 8000000001020306 -E 0x80000000AABBCCDD -n ctx-e2e \
    "127.0.0.1:$CATCH_PORT" "" 1.3.6.1.4.1.99999.0.3
  expect_rc 0
  wait "$CATCHER" || fail "nothing reached the catcher"
  grep -qF "040880000000aabbccdd04076374782d653265a7" "$WORK/caught" ||
    fail "no context engine ID of -E in $(cat "$WORK/caught")"
}

# A secret in every argument position of ostrel's SNMPv3 options and of each --user field, where a
# user might type a password by mistake: it appears in no output, error or JSON, whatever ostrel
# makes of the argument (refused, or used and the request timing out at a closed port).
scenario_v3_secrets() {
  local secret=S3cret-Auth-Pw port
  port=$(free_port)
  local base=(--timeout 0.2 --retries 0 -v 3)
  local valid=(-u alice -l authPriv -a SHA -A "$ALICE_AUTH" -x AES -X "$ALICE_PRIV")
  local option position args
  for option in -u -a -A -x -X -e -E -n; do
    for command in get trap; do
      args=()
      position=0
      # The valid options with the one under test replaced (or added) by the secret.
      local i replaced=no
      for ((i = 0; i < ${#valid[@]}; i += 2)); do
        if [ "${valid[i]}" = "$option" ]; then
          args+=("$option" "$secret")
          replaced=yes
        else
          args+=("${valid[i]}" "${valid[i + 1]}")
        fi
      done
      [ "$replaced" = yes ] || args+=("$option" "$secret")
      if [ "$command" = get ]; then
        run get --json "${base[@]}" "${args[@]}" "127.0.0.1:$port" sysDescr.0
      else
        run trap "${base[@]}" "${args[@]}" "127.0.0.1:$port" '' 1.3.6.1.4.1.99999.0.1
      fi
      grep -qF -- "$secret" "$WORK/out" "$WORK/err" &&
        fail "$command with $option SECRET shows it: $(cat "$WORK/out" "$WORK/err")"
      position=$((position + 1))
    done
  done
  local user
  for user in "$secret:SHA:$ALICE_AUTH" "alice:$secret:$ALICE_AUTH" "alice:SHA:$secret" \
    "alice:SHA:$ALICE_AUTH:$secret:$ALICE_PRIV" "alice:SHA:$ALICE_AUTH:AES:$secret" \
    "alice:$secret" "alice:SHA:$ALICE_AUTH:$secret"; do
    run listen --json --count 1 --timeout 0.2 --local "127.0.0.1:$port" --user "$user"
    grep -qF -- "$secret" "$WORK/out" "$WORK/err" &&
      fail "listen --user $user shows the secret: $(cat "$WORK/out" "$WORK/err")"
  done
  run listen --json --count 1 --timeout 0.2 --local "127.0.0.1:$port" -e "$secret"
  grep -qF -- "$secret" "$WORK/out" "$WORK/err" && fail "listen -e shows the secret"
  # Nor does the process list, once the passwords are read: -A, -X and --user in both forms.
  "$OSTREL" listen --timeout 30 --local "127.0.0.1:$port" --user "bob:SHA:$secret:AES:$secret" \
    --user="carol:SHA:$secret" -u erin -l authPriv -A "$secret" -X "$secret" >/dev/null 2>&1 &
  local listener=$! tries=0
  PIDS+=("$listener")
  while tr '\0' ' ' <"/proc/$listener/cmdline" | grep -qF -- "$secret"; do
    tries=$((tries + 1))
    [ "$tries" -lt 100 ] || fail "the process list still shows a password after 5 s"
    sleep 0.05
  done
  tr '\0' ' ' <"/proc/$listener/cmdline" | grep -qF -- "--user=xxxxxxxx" ||
    fail "listen's command line is not as expected: $(tr '\0' ' ' <"/proc/$listener/cmdline")"
  return 0
}

# An inform to listen -e, captured on its way by a relay and replayed after listen has restarted
# under the same engine ID: the boots kept in listen's state file have moved on, so the replay
# is refused as out of its time window.
scenario_v3_replay() {
  local snmpinform id=0x80000000015EE1AA01 port
  snmpinform=$(need snmpinform)
  port=$(free_port)
  rm -f "$WORK/relay.port"
  python3 -c 'import os, select, socket, sys
front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
front.bind(("127.0.0.1", 0))
back = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
open(sys.argv[1] + ".new", "w").write(str(front.getsockname()[1]))
os.rename(sys.argv[1] + ".new", sys.argv[1])
client = None
while True:
    for s in select.select([front, back], [], [], 30)[0]:
        data, sender = s.recvfrom(65535)
        if s is front:
            client = sender
            open(sys.argv[2], "a").write(data.hex() + "\n")
            back.sendto(data, ("127.0.0.1", int(sys.argv[3])))
        elif client:
            front.sendto(data, client)' "$WORK/relay.port" "$WORK/relayed" "$port" &
  PIDS+=($!)
  wait_for_port_file "$WORK/relay.port" "the relay"
  local user="alice:SHA:$ALICE_AUTH:AES:$ALICE_PRIV"
  start_listener 127.0.0.1 -e "$id" --user "$user" --local "127.0.0.1:$port" --count 1
  timeout 20 "$snmpinform" -v3 -u alice -l authPriv -a SHA -A "$ALICE_AUTH" -x AES \
    -X "$ALICE_PRIV" "127.0.0.1:$(cat "$WORK/relay.port")" "" 1.3.6.1.4.1.99999.0.9 \
    1.3.6.1.4.1.99999.1 s "captured" || fail "snmpinform -v3 was not acknowledged"
  wait_listener
  expect_rc 0
  grep -q '^InformRequest from ' "$WORK/listen.out" || fail "listen showed: $(cat "$WORK/listen.out")"
  [ "$(cat "$OSTREL_STATE_DIR"/engine-*.boots)" = "boots 1" ] || fail "no boots kept"

  start_listener 127.0.0.1 -e "$id" --user "$user" --local "127.0.0.1:$port" --count 1
  python3 -c 'import socket, sys
socket.socket(socket.AF_INET, socket.SOCK_DGRAM).sendto(bytes.fromhex(sys.argv[1]),
                                                         ("127.0.0.1", int(sys.argv[2])))' \
    "$(tail -n 1 "$WORK/relayed")" "$port"
  wait_listener
  expect_rc 0
  grep -q 'refused: not in time window' "$WORK/listen.out" ||
    fail "the replay was not refused: $(cat "$WORK/listen.out")"
  grep -q 'captured' "$WORK/listen.out" && fail "the replay was shown: $(cat "$WORK/listen.out")"
  [ "$(cat "$OSTREL_STATE_DIR"/engine-*.boots)" = "boots 2" ] || fail "boots not counted"
  return 0
}

# ostrel get -v 3 through a proxy that forges, for each request, an SNMPv2c answer with the
# request's id and an unauthenticated time Report from the agent's address, and a stray message of
# an unknown user from another port (forging_proxy.py): none of them ends the request or is
# printed; the agent's genuine answer is.
scenario_v3_forged() {
  start_snmpd v3
  rm -f "$WORK/proxy.port"
  python3 "$(dirname "$0")/forging_proxy.py" "$WORK/proxy.port" "${AGENT##*:}" &
  PIDS+=($!)
  wait_for_port_file "$WORK/proxy.port" "the forging proxy"
  local proxy=127.0.0.1:$(cat "$WORK/proxy.port")
  run get -v 3 -u bob -l authNoPriv -a MD5 -A "$BOB_AUTH" --timeout 3 --retries 0 "$proxy" \
    sysDescr.0 sysName.0
  expect_rc 0
  grep -q FORGED "$WORK/out" "$WORK/err" && fail "a forgery was taken: $(cat "$WORK/out")"
  expect_out "$SYSTEM.sysDescr.0 = OctetString: "
  expect_out "$SYSTEM.sysName.0 = OctetString: "
  run walk -v 3 -u bob -l authNoPriv -a MD5 -A "$BOB_AUTH" --timeout 3 --retries 0 "$proxy" \
    system
  expect_rc 0
  grep -q FORGED "$WORK/out" "$WORK/err" && fail "a forgery was taken: $(cat "$WORK/out")"
  expect_out "$SYSTEM.sysUpTime.0 = TimeTicks: "
  return 0
}

# The IETF modules of the npm package net-snmp (IF-MIB, SNMPv2-MIB, IANAifType-MIB, ...): through
# tests/mib/fetch_ietf_mibs.sh when it is there, else `npm pack` into $WORK. Sets MIBDIR, the folder
# holding them; skips the scenario when they cannot be had.
fetch_mibs() {
  local fetch found
  fetch="$(dirname "$0")/../mib/fetch_ietf_mibs.sh"
  if [ -f "$fetch" ] && timeout 180 bash "$fetch" "$WORK/mibs" >/dev/null 2>&1; then
    found=$(find "$WORK/mibs" -name 'IF-MIB*' -print -quit 2>/dev/null || true)
    if [ -n "$found" ]; then
      MIBDIR=$(dirname "$found")
      return 0
    fi
  fi
  if ! command -v npm >/dev/null; then
    echo "SKIP: npm is not installed" >&2
    exit 77
  fi
  if ! (cd "$WORK" && timeout 180 npm pack --silent net-snmp@3.29.2 >/dev/null 2>&1 &&
    tar xzf net-snmp-3.29.2.tgz); then
    echo "SKIP: npm pack net-snmp@3.29.2 failed" >&2
    exit 77
  fi
  MIBDIR=$WORK/package/lib/mibs
  if [ ! -f "$MIBDIR/IF-MIB.mib" ]; then
    echo "SKIP: the npm package has no IF-MIB" >&2
    exit 77
  fi
}

# "NAME = TYPE: VALUE" as "NAME = VALUE": ostrel's type words are the control's, Net-SNMP's its
# own. Trailing blanks go (an empty string).
without_type_words() {
  sed -E 's/^([^ ]+) = [A-Za-z0-9-]+: ?/\1 = /; s/[[:space:]]+$//'
}

MIB_MODULES=IF-MIB:SNMPv2-MIB:RFC1213-MIB:IANAifType-MIB

# translate -On gives what snmptranslate -On gives, with the same modules and folders.
scenario_mib_translate() {
  local snmptranslate names expected
  snmptranslate=$(need snmptranslate)
  fetch_mibs
  names=(IF-MIB::ifOperStatus IF-MIB::ifDescr.3 IF-MIB::ifTable IF-MIB::ifEntry
    IF-MIB::ifPhysAddress IF-MIB::ifXTable IF-MIB::ifHCInOctets.2 IF-MIB::ifStackStatus
    SNMPv2-MIB::sysDescr.0 SNMPv2-MIB::snmpInPkts.0 SNMPv2-MIB::system SNMPv2-MIB::coldStart
    IANAifType-MIB::ianaifType RFC1213-MIB::ipAdEntAddr RFC1213-MIB::atTable
    SNMPv2-SMI::enterprises SNMPv2-SMI::mib-2 .1.3.6.1.2.1.1.3.0 1.3.6.1.2.1.2.2.1.8.1)
  # snmptranslate puts a blank line between the names it is given.
  expected=$(MIBS= "$snmptranslate" -M "+$MIBDIR" -m "$MIB_MODULES" -On "${names[@]}" | sed '/^$/d')
  [ "$(printf '%s\n' "$expected" | wc -l)" -eq "${#names[@]}" ] ||
    fail "snmptranslate gave: $expected"
  run translate -M "+$MIBDIR" -m "$MIB_MODULES" -On "${names[@]}"
  expect_rc 0
  [ "$(cat "$WORK/out")" = "$expected" ] ||
    fail "translate -On gave: $(cat "$WORK/out"); snmptranslate: $expected"
  # A unique label with its suffix, without its module, and MIBS and MIBDIRS for -m and -M.
  MIBS=IF-MIB MIBDIRS=+$MIBDIR run translate -On ifOperStatus.1 ifDescr
  expect_rc 0
  [ "$(cat "$WORK/out")" = ".1.3.6.1.2.1.2.2.1.8.1
.1.3.6.1.2.1.2.2.1.2" ] || fail "translate -On of labels gave: $(cat "$WORK/out")"
  run translate -M "+$MIBDIR" -m IF-MIB -OS 1.3.6.1.2.1.2.2.1.8.1
  [ "$(cat "$WORK/out")" = "IF-MIB::ifOperStatus.1" ] || fail "-OS gave: $(cat "$WORK/out")"
  run translate -M "+$MIBDIR" -m IF-MIB -Td IF-MIB::ifOperStatus
  expect_rc 0
  expect_out "IF-MIB::ifOperStatus"
  expect_out "  syntax        INTEGER {up(1), down(2), testing(3), unknown(4), dormant(5)"
  expect_out "  access        read-only"
  # A module that cannot be found is reported and the command goes on; a missing file ends it.
  run translate -M "$MIBDIR" -m NO-SUCH-MIB -On IF-MIB::ifTable 1.3.6.1
  expect_rc 1
  expect_err "ostrel: cannot load module NO-SUCH-MIB (MIB search path: $MIBDIR)"
  expect_err "unknown object 'IF-MIB::ifTable'"
  expect_out ".1.3.6.1"
  run translate -m "$WORK/NO-SUCH-MIB.txt" -On 1.3.6.1
  expect_rc 1
  expect_err "ostrel: cannot read the MIB module file $WORK/NO-SUCH-MIB.txt"
  [ ! -s "$WORK/out" ] || fail "translate went on: $(cat "$WORK/out")"
}

# get -m IF-MIB: values as snmpget -m IF-MIB writes them (but for the type word), names with
# -OS as snmpget's, with -OX as snmpget -OX's (without the module).
scenario_mib_get() {
  local snmpget objects index indexes expected
  snmpget=$(need snmpget)
  fetch_mibs
  start_snmpd
  run walk "$AGENT" public 1.3.6.1.2.1.2.2.1.1
  expect_rc 0
  indexes=$(sed -E 's/.* = Integer: //' "$WORK/out")
  [ -n "$indexes" ] || fail "no interfaces: $(cat "$WORK/out")"
  objects=(SNMPv2-MIB::sysDescr.0 SNMPv2-MIB::sysObjectID.0 SNMPv2-MIB::sysContact.0)
  for index in $indexes; do
    objects+=(IF-MIB::ifOperStatus."$index" IF-MIB::ifAdminStatus."$index"
      IF-MIB::ifPhysAddress."$index" IF-MIB::ifDescr."$index" IF-MIB::ifType."$index"
      IF-MIB::ifMtu."$index")
  done
  expected=$(MIBS= "$snmpget" -v2c -c public -M "+$MIBDIR" -m "$MIB_MODULES" "$AGENT" \
    "${objects[@]}" | without_type_words)
  run get -v 2c -OS -M "+$MIBDIR" -m "$MIB_MODULES" "$AGENT" public "${objects[@]}"
  expect_rc 0
  [ "$(without_type_words <"$WORK/out")" = "$expected" ] ||
    fail "get gave: $(cat "$WORK/out"); snmpget: $expected"
  expect_out "IF-MIB::ifOperStatus.1 = Integer: up(1)"

  expected=$(MIBS= "$snmpget" -v2c -c public -OX -M "+$MIBDIR" -m IF-MIB "$AGENT" \
    IF-MIB::ifDescr.1 IF-MIB::ifOperStatus.1 | without_type_words | sed 's/^IF-MIB:://')
  run get -v 2c -OX -M "+$MIBDIR" -m IF-MIB "$AGENT" public ifDescr.1 ifOperStatus.1
  expect_rc 0
  [ "$(without_type_words <"$WORK/out")" = "$expected" ] ||
    fail "get -OX gave: $(cat "$WORK/out"); snmpget -OX: $expected"
  expect_out "ifDescr[1] = OctetString: "

  # JSON: the value as received, and its text as the module describes it.
  run get --json -M "+$MIBDIR" -m IF-MIB "$AGENT" public ifOperStatus.1 1.3.6.1.2.1.1.3.0
  expect_rc 0
  expect_out '"OIDName":"1.3.6.1.2.1.2.2.1.8.1",'
  expect_out '"OIDType":2,"OIDTypeName":"Integer","OIDValue":1,"Text":"up(1)"}'
  grep -q '"OIDTypeName":"TimeTicks","OIDValue":[0-9]*}' "$WORK/out" ||
    fail "sysUpTime has a text: $(cat "$WORK/out")"
  # -On: numbers, with Net-SNMP's leading dot.
  run get -On -M "+$MIBDIR" -m IF-MIB "$AGENT" public IF-MIB::ifOperStatus.1
  expect_rc 0
  expect_out ".1.3.6.1.2.1.2.2.1.8.1 = Integer: up(1)"
}

# table -m IF-MIB ifTable: snmptable's column labels, and the same values in the columns that do
# not move between two runs (the counters do). Cells are written as get writes them, up(1) where
# snmptable writes up, and the index is decoded ("[1]" where snmptable -Ci writes 1).
scenario_mib_table() {
  local snmptable columns version
  snmptable=$(need snmptable)
  fetch_mibs
  start_snmpd
  columns='index ifIndex ifDescr ifType ifMtu ifSpeed ifPhysAddress ifAdminStatus ifOperStatus'
  pick() {
    awk -F'|' -v want="$columns" 'NR == 1 { n = split(want, w, " ")
        for (i = 1; i <= NF; i++) at[$i] = i }
      { line = ""; for (j = 1; j <= n; j++) line = line (j > 1 ? "|" : "") $at[w[j]]; print line }'
  }
  MIBS= "$snmptable" -v2c -c public -Ci -Cf '|' -M "+$MIBDIR" -m IF-MIB "$AGENT" IF-MIB::ifTable |
    tail -n +3 >"$WORK/snmptable.out"
  [ "$(wc -l <"$WORK/snmptable.out")" -ge 2 ] || fail "snmptable gave: $(cat "$WORK/snmptable.out")"
  for version in 2c 1; do
    run table -v "$version" -Cr 3 -Cf '|' -M "+$MIBDIR" -m IF-MIB "$AGENT" public ifTable
    expect_rc 0
    [ "$(head -1 "$WORK/out")" = "$(head -1 "$WORK/snmptable.out")" ] ||
      fail "-v $version header: $(head -1 "$WORK/out"); snmptable: $(head -1 "$WORK/snmptable.out")"
    [ "$(sed -E 's/^\[([0-9]+)\]/\1/; s/([A-Za-z])\([0-9]+\)/\1/g' "$WORK/out" | pick)" = \
      "$(pick <"$WORK/snmptable.out")" ] ||
      fail "-v $version rows: $(cat "$WORK/out"); snmptable: $(cat "$WORK/snmptable.out")"
  done
  # Aligned columns, the entry by its module's name, and a row per JSON object.
  run table -v 2c -M "+$MIBDIR" -m IF-MIB "$AGENT" public IF-MIB::ifEntry
  expect_rc 0
  head -1 "$WORK/out" | grep -qE '^index +ifIndex +ifDescr ' || fail "header: $(head -1 "$WORK/out")"
  grep -qE '^ +\[1\] +1 +[^ ]+ +softwareLoopback\(24\) ' "$WORK/out" || fail "rows: $(cat "$WORK/out")"
  run table -v 2c --json -M "+$MIBDIR" -m IF-MIB "$AGENT" public ifTable
  expect_rc 0
  [ "$(wc -l <"$WORK/out")" -eq "$(($(wc -l <"$WORK/snmptable.out") - 1))" ] ||
    fail "JSON: $(cat "$WORK/out")"
  expect_out '{"Index":"[1]","Suffix":"1","Columns":{"ifIndex":{"OIDType":2,"OIDTypeName":"Integer","OIDValue":1,"Text":"1"},'
  # What is no table, and a table without its module.
  run table -v 2c -M "+$MIBDIR" -m IF-MIB "$AGENT" public ifDescr
  expect_rc 64
  expect_err "'ifDescr' is no table or table entry of the loaded MIB modules"
  run table -v 2c "$AGENT" public 1.3.6.1.2.1.2.2
  expect_rc 64
  expect_err "(give its module with -m)"
}

# Without -m and MIBS nothing is loaded: what a get prints is what it printed before modules
# existed, byte for byte, whatever the folders hold.
scenario_mib_default() {
  local command
  fetch_mibs
  start_snmpd
  for command in "get $AGENT public sysDescr.0 1.3.6.1.2.1.2.2.1.8.1 1.3.6.1.2.1.2.2.1.6.1 sysObjectID.0" \
    "get --json $AGENT public 1.3.6.1.2.1.2.2.1.8.1 1.3.6.1.2.1.2.2.1.2.1" \
    "walk $AGENT public 1.3.6.1.2.1.2.2.1.8" "translate 1.3.6.1.2.1.2.2.1.8.1 ifOperStatus.1"; do
    # shellcheck disable=SC2086
    (unset MIBS MIBDIRS && timeout 30 "$OSTREL" $command >"$WORK/unset.out" 2>"$WORK/unset.err") ||
      fail "$command failed: $(cat "$WORK/unset.err")"
    # shellcheck disable=SC2086
    MIBS= MIBDIRS=$MIBDIR timeout 30 "$OSTREL" $command -M "+$MIBDIR" >"$WORK/empty.out" \
      2>"$WORK/empty.err" || fail "$command with MIBS= failed: $(cat "$WORK/empty.err")"
    # Each run has request ids of its own.
    sed -i -E 's/"RequestId":[0-9]+/"RequestId":N/' "$WORK/unset.out" "$WORK/empty.out"
    cmp -s "$WORK/unset.out" "$WORK/empty.out" ||
      fail "$command: $(cat "$WORK/unset.out") against $(cat "$WORK/empty.out")"
    [ ! -s "$WORK/unset.err" ] && [ ! -s "$WORK/empty.err" ] || fail "$command wrote to stderr"
    grep -q 'IF-MIB\|up(1)\|\[1\]' "$WORK/unset.out" && fail "$command used a module: $(cat "$WORK/unset.out")"
  done
  # The same get with the module loaded differs only where the module describes something.
  run get -M "+$MIBDIR" -m IF-MIB "$AGENT" public 1.3.6.1.2.1.2.2.1.8.1
  expect_rc 0
  expect_out "ifOperStatus.1 = Integer: up(1)"
  return 0
}

case "$SCENARIO" in
  usage | decode | get | walk | walk_ends | set | trap | listen | ipv6 | v2c_get | v2c_walk | \
    v2c_notify | v2c_listen | v3_get | v3_walk | v3_refused | v3_listen | v3_notify | v3_secrets | v3_replay | v3_forged | \
    mib_translate | mib_get | mib_table | mib_default)
    "scenario_$SCENARIO"
    ;;
  *) fail "unknown scenario" ;;
esac
echo "PASS ($SCENARIO)"
