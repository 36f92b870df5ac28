#!/usr/bin/env bash
# The monitor capturing the emulated bus offscreen at each traffic rate given (messages a
# second; default 25 and 400): CPU share of one core, peak memory, and every record
# accounted for. Usage: bench/monitor-load.sh [SECONDS] [RATE...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" default >/dev/null
seconds="${1:-10}"
shift || true
rates=("${@:-25 400}")
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for rate in ${rates[@]}; do
  printf 'device 1 type 2315\ndevice 3 type 4008\ndevice 9 type 2507\ntraffic %s seed 7\n' "$rate" >"$work/bus.scenario"
  echo "== $rate messages a second, $seconds s"
  (cd "$work" && QT_QPA_PLATFORM=offscreen QWILUSB_SCENARIO="$work/bus.scenario" \
    "$root/build/bin/monitor_load" "$seconds")
done
