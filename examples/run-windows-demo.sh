#!/usr/bin/env bash
# The VBScript manager example against snmpd and snmptrapd on loopback, then the trap receiver
# example on a port of its own receiving a trap from snmptrap, through the registered control,
# under Wine.
#
#   examples/run-windows-demo.sh BUILD_DIR
#
# BUILD_DIR is a finished Windows (mingw) build: it must hold kivOstrel.ocx and ostrelhost.exe.
# Nothing is built here. The demo uses a private Wine prefix in BUILD_DIR/demo-wineprefix,
# registers the control there, starts both daemons on free 127.0.0.1 ports with generated
# configurations, runs examples/vbscript/manager.vbs, shows what snmptrapd received and stops
# both daemons; then examples/vbscript/traps.vbs listens on a third free port, snmptrap sends it
# a trap, and what it printed is shown.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

find_one() {
  find "$build" -name "$1" -type f -not -path '*/wineprefix/*' -not -path '*-wineprefix/*' |
    head -n 1
}
ocx=$(find_one kivOstrel.ocx)
host=$(find_one ostrelhost.exe)
for what in "kivOstrel.ocx:$ocx" "ostrelhost.exe:$host"; do
  if [ -z "${what#*:}" ]; then
    echo "$0: no ${what%%:*} under $build (build the Windows side first)" >&2
    exit 1
  fi
done
for tool in wine snmpd snmptrapd snmptrap python3; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 1; }
done

export WINEPREFIX=$build/demo-wineprefix WINEARCH=win32 WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
if [ -x "$root/tools/wine-prefix.sh" ]; then
  "$root/tools/wine-prefix.sh" "$WINEPREFIX"
elif [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -w
fi

work=$(mktemp -d)
snmpd_pid=
trapd_pid=
traps_pid=
cleanup() {
  local pid
  for pid in "$snmpd_pid" "$trapd_pid" "$traps_pid"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  done
  for pid in "$snmpd_pid" "$trapd_pid" "$traps_pid"; do
    [ -n "$pid" ] && wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# Three UDP ports that are free on 127.0.0.1 now.
read -r agent_port trap_port listen_port < <(python3 - <<'PY'
import socket
sockets = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(3)]
for s in sockets:
    s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in sockets))
PY
)

# No sysContact line: a configured one would make the object read-only.
cat >"$work/snmpd.conf" <<CONF
rocommunity public 127.0.0.1
rwcommunity private 127.0.0.1
sysDescr kivOstrel demo agent (Net-SNMP snmpd)
sysName kivostrel-demo
CONF
echo "disableAuthorization yes" >"$work/snmptrapd.conf"
mkdir -p "$work/persist"
export MIBS= SNMP_PERSISTENT_DIR=$work/persist

snmpd -f -Lo -C -c "$work/snmpd.conf" "udp:127.0.0.1:$agent_port" >"$work/snmpd.log" 2>&1 &
snmpd_pid=$!
snmptrapd -f -Lo -C -c "$work/snmptrapd.conf" "udp:127.0.0.1:$trap_port" >"$work/snmptrapd.log" 2>&1 &
trapd_pid=$!

to_windows() { winepath -w "$1" 2>/dev/null; }
echo "== registering $(basename "$ocx") in $WINEPREFIX"
wine regsvr32 /s "$(to_windows "$ocx")"

# Give the daemons a moment to bind.
for _ in $(seq 50); do
  grep -q "NET-SNMP version" "$work/snmpd.log" 2>/dev/null && break
  sleep 0.1
done
sleep 0.5

echo "== snmpd on 127.0.0.1:$agent_port, snmptrapd on 127.0.0.1:$trap_port"
status=0
wine "$(to_windows "$host")" "$(to_windows "$root/examples/vbscript/manager.vbs")" \
  127.0.0.1 "$agent_port" public private "$trap_port" || status=$?

sleep 1
echo "== snmptrapd received"
grep -v -e '^NET-SNMP version' -e '^Stopping' -e '^Created directory' "$work/snmptrapd.log" || echo "(nothing)"

# The trap receiver sets its LocalPort: a sender needs to know nothing else.
echo "== traps.vbs on port $listen_port, and a trap from snmptrap"
wine "$(to_windows "$host")" "$(to_windows "$root/examples/vbscript/traps.vbs")" "$listen_port" 2 \
  >"$work/traps.txt" 2>&1 &
traps_pid=$!
for _ in $(seq 300); do
  grep -qs "listening for traps" "$work/traps.txt" && break
  kill -0 "$traps_pid" 2>/dev/null || break
  sleep 0.1
done
snmptrap -v1 -c public "127.0.0.1:$listen_port" 1.3.6.1.4.1.99999 127.0.0.1 6 17 '' \
  1.3.6.1.4.1.99999.1 s "hello from snmptrap" 2>/dev/null || status=1
wait "$traps_pid" || status=$?
traps_pid=
tr -d '\r' <"$work/traps.txt"
exit "$status"
