#!/usr/bin/env bash
# Runs one command of the Windows test suite under Wine, in the build's private prefix.
#
#   wine_test.sh PREFIX OCX -- PROGRAM ARGS...   run PROGRAM (a Windows program name or the Linux
#                                                path of an .exe); an argument @OCX@ becomes the
#                                                control's Windows path
#   wine_test.sh PREFIX OCX --stop               stop the prefix's wineserver
#
# The control's Windows path is also given to the program as KIVOSTREL_OCX. Wine runs without an
# X display, unless KIVOSTREL_WINE_DISPLAY names one (for a prefix made with the X11 driver).
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 PREFIX OCX -- PROGRAM ARGS... | --stop" >&2; exit 2; }
prefix=$1 ocx=$2 mode=$3
shift 3

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
if [ -n "${KIVOSTREL_WINE_DISPLAY:-}" ]; then
  export DISPLAY=$KIVOSTREL_WINE_DISPLAY
fi
# Wine maps Z: to the Linux root in every prefix.
KIVOSTREL_OCX="Z:${ocx//\//\\}"
export KIVOSTREL_OCX

if [ "$mode" = --stop ]; then
  wineserver -k 2>/dev/null || true
  exit 0
fi
[ "$mode" = -- ] || { echo "$0: expected -- or --stop, got $mode" >&2; exit 2; }

args=()
for a in "$@"; do
  if [ "$a" = @OCX@ ]; then args+=("$KIVOSTREL_OCX"); else args+=("$a"); fi
done
exec wine "${args[@]}"
