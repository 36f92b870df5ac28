#!/usr/bin/env bash
# How long the windows take to answer input while the bus is polled, offscreen on the
# emulated module: (a) the monitor capturing an idle bus, (b) the monitor capturing 400
# messages a second, (c) the dome window polling an idle bus, (d) a device load, and
# (e) the dome window polling while a key is pressed five times a second, and (f) thirty
# quick commands to an absent dome, then the window closed and opened again.
# Usage: bench/input-latency.sh [SECONDS] [CASE...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" default >/dev/null
seconds="${1:-10}"
shift || true
cases=("${@:-monitor-idle monitor-busy dome-idle device-load dome-keys dome-dead-close}")
for case in ${cases[@]}; do
  work="$(mktemp -d)"
  case "$case" in
    monitor-busy) traffic=$'traffic 400 seed 7\n' ;;
    *) traffic="" ;;
  esac
  printf 'device 1 type 2315\ndevice 3 type 4008\n%s' "$traffic" >"$work/bus.scenario"
  cp "$root"/demo/*.hex "$work/"
  (cd "$work" && QT_QPA_PLATFORM=offscreen QWILUSB_SCENARIO="$work/bus.scenario" \
    "$root/build/bin/input_latency" "$case" "$seconds")
  rm -rf "$work"
done
