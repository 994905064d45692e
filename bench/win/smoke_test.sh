#!/usr/bin/env bash
# The benchmark program's short mode under Wine: it must exit 0 and print a row for every figure.
#
#   smoke_test.sh WINE_TEST_SH PREFIX OCX BENCH_EXE TRAP_SENDER_PY
set -uo pipefail
[ $# -eq 5 ] || { echo "usage: $0 WINE_TEST_SH PREFIX OCX BENCH_EXE TRAP_SENDER_PY" >&2; exit 2; }
runner=$1 prefix=$2 ocx=$3 bench=$4 sender=$5

output=$(bash "$runner" "$prefix" "$ocx" -- "$bench" --short --sender "$sender" 2>&1)
status=$?
printf '%s\n' "$output"
[ "$status" -eq 0 ] || { echo "smoke: the benchmark exited with $status" >&2; exit 1; }

missing=0
for figure in \
  'round trip, raw Winsock' \
  'round trip, control' \
  'round trip ratio raw/control' \
  'trap burst paced 10000/s: arrived' \
  'trap burst paced 10000/s: lost' \
  'trap burst paced 10000/s: Responses per second' \
  'trap burst flat out: arrived' \
  'trap burst flat out: lost' \
  'trap burst flat out: Responses per second' \
  'commit charge growth, create/Ready/release cycles' \
  'commit charge growth, request/answer cycles'; do
  grep -qF -- "$figure" <<<"$output" || { echo "smoke: no row for '$figure'" >&2; missing=1; }
done
exit "$missing"
