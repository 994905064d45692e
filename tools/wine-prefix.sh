#!/usr/bin/env bash
# Creates, or reuses, a private 32-bit Wine prefix for running the Windows build headless.
#
#   tools/wine-prefix.sh PREFIX_DIR [x11]
#
# The prefix uses the null graphics driver, so windows work without an X server. A prefix that
# is already complete is reused at once (a marker file records that setup finished), which makes
# the script cheap to call before every test. Callers then run Wine with
#   WINEPREFIX=PREFIX_DIR WINEARCH=win32 WINEDEBUG=-all wine ...
# and leave DISPLAY unset.
#
# With x11 the prefix uses Wine's X11 driver instead, for showing windows on an X server (DISPLAY
# set by the caller; Xvfb will do). There is no window manager there to draw frames and title
# bars, so Wine draws them itself.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ] || [ -z "$1" ] || { [ $# -eq 2 ] && [ "$2" != x11 ]; }; then
  echo "usage: $0 PREFIX_DIR [x11]" >&2
  exit 2
fi

prefix=$1
graphics=${2:-null}
case $prefix in
  /*) ;;
  *) prefix=$PWD/$prefix ;;
esac
marker=$prefix/.kivostrel-ready

# The marker names the graphics driver the prefix was made for (an empty one, from before there
# was a choice, means null).
ready() {
  [ -f "$marker" ] || return 1
  local made
  made=$(cat "$marker")
  [ "${made:-null}" = "$graphics" ]
}
if ready; then
  exit 0
fi

for tool in wine wineboot wineserver; do
  command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 1; }
done

# Serialise concurrent first runs on the same prefix (several test targets may start together).
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if ready; then
  exit 0
fi

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
# A half-made prefix from an interrupted run, or one made for another driver, is not worth
# repairing.
if [ -e "$prefix" ]; then
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
fi

# wineboot returns before the registry is on disk; waiting for the server makes it so.
wineboot -i >/dev/null 2>&1
wineserver -w
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$graphics" /f >/dev/null 2>&1
if [ "$graphics" = x11 ]; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
fi
wineserver -w
echo "$graphics" >"$marker"
