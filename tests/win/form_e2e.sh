#!/usr/bin/env bash
# The control on a form, on a real screen: a private Xvfb display, Wine's X11 driver in a prefix
# of its own, the control registered there and placed on a form by form_container.exe. Once the
# container says the control is ready, a screenshot of the display must show dark text on the
# label's lighter background, inside the control's rectangle and nowhere else
# (form_screenshot.py); the form, cut out of the screenshot, is written to OUT.png.
#
#   form_e2e.sh X11_PREFIX OCX FORM_CONTAINER_EXE OUT.png
#
# Exits 77 (skipped) only when there is no Xvfb or it cannot start at all.
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 X11_PREFIX OCX FORM_CONTAINER_EXE OUT.png" >&2; exit 2; }
prefix=$1 ocx=$2 container=$3 png=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e_helpers.sh"
skip_without Xvfb
for needed in "$container" "$ocx"; do
  [ -f "$needed" ] || { echo "missing: $needed"; exit 1; }
done
for needed in xwd python3 wineserver; do
  command -v "$needed" >/dev/null || { echo "missing: $needed"; exit 1; }
done
start_work

# The prefix's wineserver, with its desktop, lives only as long as this display: stop it when
# the script ends, whichever way, before Xvfb goes.
stop_prefix() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  stop_work
}
trap stop_prefix EXIT
# A server left from an earlier run would keep the display it started with.
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true

# Xvfb takes the first free display number itself and writes it to descriptor 3 once it accepts
# connections, so there is no race with other X servers on the machine.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
display=$(tr -dc 0-9 <"$work/display")
if [ -z "$display" ]; then
  echo "skipped: Xvfb did not start:"
  cat "$work/xvfb.log"
  exit 77
fi
export KIVOSTREL_WINE_DISPLAY=:$display
echo "Xvfb on :$display"

"${in_wine[@]}" regsvr32 /s @OCX@ || { echo "regsvr32 failed: $?"; exit 1; }

stop_file=$work/stop
: >"$work/container.out"
timeout 50 "${in_wine[@]}" "$container" "$(windows_path "$stop_file")" 40 \
  >"$work/container.out" 2>&1 &
pids+=($!)
container_pid=$!
ready=no
for _ in $(seq 300); do
  tr -d '\r' <"$work/container.out" >"$work/container.txt"
  grep -qx ready "$work/container.txt" && { ready=yes; break; }
  kill -0 "$container_pid" 2>/dev/null || break
  sleep 0.1
done
[ "$ready" = yes ] && xwd -root -silent -display ":$display" >"$work/screen.xwd"
touch "$stop_file"
status=0
wait "$container_pid" || status=$?
echo "--- form_container.exe (exit $status)"
tr -d '\r' <"$work/container.out"
[ "$ready" = yes ] && [ "$status" -eq 0 ] || exit 1

python3 "$here/form_screenshot.py" "$work/screen.xwd" "$work/container.txt" "$png"
echo "the form: $png"
