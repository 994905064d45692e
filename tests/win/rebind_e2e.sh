#!/usr/bin/env bash
# Datagrams around a rebind, through the script host under Wine: rebind_burst.vbs puts LocalPort
# and says "ready" before the control's Ready; another process then sends it ten GetRequests at
# once and nothing after them, while the script is busy (so that they all wait for it). Each scenario runs RUNS times in a row (default 20), and every run
# must raise the ten Responses once each, in order:
#   put             the burst reaches the port just put
#   handler-other   the first Response's handler puts another port while nine wait
#   handler-same    the same with the port it already holds
#
#   rebind_e2e.sh PREFIX OCX OSTRELHOST_EXE [RUNS]
#
# Exits 77 (skipped) when the script host is not there.
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 PREFIX OCX OSTRELHOST_EXE [RUNS]" >&2; exit 2; }
prefix=$1 ocx=$2 host=$3 runs=${4:-20}
script=$(dirname "$0")/rebind_burst.vbs
. "$(dirname "$0")/e2e_helpers.sh"
skip_without "$host" "$script" python3
start_work

# Ten SNMPv1 GetRequests for sysDescr.0, request ids 1 to 10, to 127.0.0.1:PORT at once.
send_burst() {
  python3 -c '
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for i in range(1, 11):
    get = "30260201000406" + "public".encode().hex() + "a019" + "0201%02x" % i + "020100020100"
    s.sendto(bytes.fromhex(get + "300e300c06082b060102010101000500"), ("127.0.0.1", int(sys.argv[1])))
' "$1"
}

# run_scenario NAME PORT [PORT2]: one run; "ok" or "FAILED" with the script's output.
run_scenario() {
  local name=$1 port=$2 mode=put pid status=0
  shift 2
  [ "$name" = put ] || mode=handler
  : >"$work/out"
  rm -f "$work/sent"
  timeout 60 "${in_wine[@]}" "$host" "$(windows_path "$script")" "$mode" \
    "$(windows_path "$work/sent")" "$port" "$@" \
    >"$work/out" 2>&1 &
  pid=$!
  pids+=("$pid")
  for _ in $(seq 600); do
    grep -q '^ready' "$work/out" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  send_burst "$port"
  : >"$work/sent"
  wait "$pid" || status=$?
  if [ "$status" -eq 0 ] && grep -q '^raised 10 (request ids 1 2 3 4 5 6 7 8 9 10), port' "$work/out"; then
    return 0
  fi
  echo "FAILED: $name (exit $status)"
  tr -d '\r' <"$work/out"
  failures=$((failures + 1))
}

for scenario in put handler-other handler-same; do
  before=$failures
  for _ in $(seq "$runs"); do
    read -r first second < <(free_udp_ports 2)
    case $scenario in
      put) run_scenario put "$first" ;;
      handler-other) run_scenario "$scenario" "$first" "$second" ;;
      handler-same) run_scenario "$scenario" "$first" "$first" ;;
    esac
  done
  echo "$scenario: $((runs - failures + before)) of $runs runs raised all 10 Responses in order"
done
echo "$failures failed"
[ "$failures" -eq 0 ]
