# What the end-to-end scripts of this folder share. Source it with $prefix and $ocx set (the
# build's Wine prefix and the control); it sets `-euo pipefail`.
#
#   skip_without FILE-OR-PROGRAM...   exits 77 (skipped) unless each file is there and each
#                                     program is installed
#   start_work                        $work: a temporary folder, removed at exit; the PIDs in
#                                     $pids are stopped then
#   free_udp_ports N                  N UDP ports free on 127.0.0.1 now, on one line
#   "${in_wine[@]}" PROGRAM ARGS...   runs a Windows program in the prefix (wine_test.sh); an
#                                     array, not a function, so that `timeout` and `&` take it
#   windows_path PATH                 the Windows path Wine gives a Linux one (Z:\...)
#   expect FILE TEXT                  "ok: TEXT", or "MISSING: TEXT" counted in $failures
#   expect_line FILE REGEX            the same for a line matching the extended REGEX
#   expect_no FILE TEXT               "ok: no TEXT", or "FOUND: TEXT" counted in $failures
#   expect_same_walks FILE            "ok" when the manager's output FILE lists the same objects
#                                     in its walk with GetBulkRequest as in its walk with
#                                     GetNextRequest (but sysUpTime and sysContact, set between),
#                                     else "MISSING" counted in $failures
#   v3_users                          the SNMPv3 users the peers know, one "NAME AUTH AUTHPASS
#                                     PRIV PRIVPASS" text each (an array)
#   v3_sender_engine                  an engine ID under which snmptrapd knows the first of them
#                                     too, for notifications from a control that puts it
#   v3_pairs, v3_pair_passwords       a "NAME:AUTH:PRIV" user for every pair of protocols CNG
#                                     offers (PRIV may be empty), snmpd's read-only users, and
#                                     the authentication and privacy passwords they all have
#   start_snmp_peers                  snmpd (public, private, each of v3_users with read and
#                                     write access at authPriv, and the v3_pairs; sysDescr "kivOstrel e2e agent",
#                                     sysName "kivostrel-e2e") on 127.0.0.1:$agent_port and
#                                     snmptrapd (the same users, for informs, and the first for
#                                     notifications from v3_sender_engine) on
#                                     127.0.0.1:$trap_port, logs in $work; returns once snmpd
#                                     answers
set -euo pipefail
e2e_helpers_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
failures=0
pids=()

skip_without() {
  local what
  for what in "$@"; do
    case $what in
      */*) [ -f "$what" ] || { echo "skipped: $what is not there"; exit 77; } ;;
      *) command -v "$what" >/dev/null || [ -x "/usr/sbin/$what" ] ||
        { echo "skipped: no $what"; exit 77; } ;;
    esac
  done
}

start_work() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/kivostrel-e2e.XXXXXX")
  trap stop_work EXIT
}

stop_work() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}

free_udp_ports() {
  python3 -c '
import socket, sys
s = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(int(sys.argv[1]))]
for x in s: x.bind(("127.0.0.1", 0))
print(*(x.getsockname()[1] for x in s))' "$1"
}

in_wine=(bash "$e2e_helpers_dir/wine_test.sh" "$prefix" "$ocx" --)

windows_path() {
  printf 'Z:%s' "${1//\//\\}"
}

# expect FILE TEXT: the text somewhere in the file; expect_line FILE REGEX: a line matching it.
expect_match() {
  if grep -q "$1" -- "$3" "$2"; then
    echo "ok: $4"
  else
    echo "MISSING: $4"
    failures=$((failures + 1))
  fi
}
expect() { expect_match -F "$1" "$2" "$2"; }
expect_line() { expect_match -E "$1" "$2" "/$2/"; }
expect_no() {
  if grep -qF -- "$2" "$1"; then
    echo "FOUND: $2"
    failures=$((failures + 1))
  else
    echo "ok: no $2"
  fi
}

walked_objects() {
  sed -n "/^== walk the system group$2/,/$3/p" "$1" | grep '^1\.3\.' |
    grep -v -e ' sysUpTime\.0 ' -e ' sysContact\.0 '
}

expect_same_walks() {
  walked_objects "$1" '$' '^== set sysContact' >"$work/next-walk.txt"
  walked_objects "$1" ' with GetBulkRequest' ' objects of the system group in ' \
    >"$work/bulk-walk.txt"
  if [ -s "$work/next-walk.txt" ] && diff "$work/next-walk.txt" "$work/bulk-walk.txt"; then
    echo "ok: the walk with GetBulkRequest found what the walk with GetNextRequest found"
  else
    echo "MISSING: the walk with GetBulkRequest as the walk with GetNextRequest"
    failures=$((failures + 1))
  fi
}

# Authentication and privacy of each kind the control offers under Wine, in pairs Net-SNMP
# spells the same way.
v3_users=(
  "kivsha SHA kivauth-sha1 AES kivpriv-aes128"
  "kivsha256 SHA-256 kivauth-sha256 AES-256 kivpriv-aes256"
  "kivmd5 MD5 kivauth-md5 DES kivpriv-des"
)
v3_sender_engine=8001869F05E2E0000000000001
# Every authentication protocol CNG has (no SHA-224) with every privacy protocol and none, as
# NAME:AUTH:PRIV (Net-SNMP's spelling of the Reeder extension), all with the same two passwords.
v3_pair_passwords=(kivauth-pairs kivpriv-pairs)
v3_pairs=()
for auth in MD5 SHA SHA-256 SHA-384 SHA-512; do
  for priv in "" DES AES AES-192 AES-256 AES192C AES256C; do
    v3_pairs+=("pair$(tr -d '-' <<<"$auth$priv" | tr 'A-Z' 'a-z'):$auth:$priv")
  done
done

start_snmp_peers() {
  read -r agent_port trap_port < <(free_udp_ports 2)
  export MIBS= SNMP_PERSISTENT_DIR=$work/persist
  mkdir -p "$SNMP_PERSISTENT_DIR"
  local user
  # No sysContact line: that would make the object read-only.
  printf '%s\n' 'rocommunity public 127.0.0.1' 'rwcommunity private 127.0.0.1' \
    'sysDescr kivOstrel e2e agent' 'sysName kivostrel-e2e' >"$work/snmpd.conf"
  echo 'disableAuthorization yes' >"$work/snmptrapd.conf"
  # The daemons' own engines are authoritative for these users: no engine ID is given.
  for user in "${v3_users[@]}"; do
    echo "createUser $user" | tee -a "$work/snmptrapd.conf" >>"$work/snmpd.conf"
    echo "rwuser ${user%% *} priv" >>"$work/snmpd.conf"
  done
  echo "createUser -e 0x$v3_sender_engine ${v3_users[0]}" >>"$work/snmptrapd.conf"
  local pair name auth priv
  for pair in "${v3_pairs[@]}"; do
    IFS=: read -r name auth priv <<<"$pair"
    if [ -n "$priv" ]; then
      echo "createUser $name $auth ${v3_pair_passwords[0]} $priv ${v3_pair_passwords[1]}"
      echo "rouser $name priv"
    else
      echo "createUser $name $auth ${v3_pair_passwords[0]}"
      echo "rouser $name auth"
    fi >>"$work/snmpd.conf"
  done
  /usr/sbin/snmpd -f -Lo -C -c "$work/snmpd.conf" "udp:127.0.0.1:$agent_port" \
    >"$work/snmpd.log" 2>&1 &
  pids+=($!)
  local snmpd_pid=$!
  /usr/sbin/snmptrapd -f -Lo -C -c "$work/snmptrapd.conf" "udp:127.0.0.1:$trap_port" \
    >"$work/snmptrapd.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do
    snmpget -v1 -c public -t 0.2 -r 0 "127.0.0.1:$agent_port" 1.3.6.1.2.1.1.3.0 >/dev/null 2>&1 &&
      return 0
    kill -0 "$snmpd_pid" 2>/dev/null || break
  done
  cat "$work/snmpd.log"
  exit 1
}
