#!/usr/bin/env bash
# Converts monitor logs of growing size into capture files (monitor --play LOG --pcap FILE)
# and prints, per size, the time taken and the peak memory, so that a conversion's memory is
# seen not to grow with the log. The logs are rows of a real capture of the emulated bus
# (traffic 400), repeated to the size.
# Usage: bench/convert-log.sh [MEGABYTES...]   (default 10 25 50)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
sizes=("${@:-10 25 50}")
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$root/scripts/build.sh" default >/dev/null
program="$root/build/bin/quillbus-service"

printf 'device 1 type 2315\ndevice 3 type 4008\ndevice 9 type 2507\ntraffic 400 seed 7\n' >"$work/bus.scenario"
(cd "$work" && QWILUSB_SCENARIO="$work/bus.scenario" "$program" monitor --seconds 3 --log seed.mon >/dev/null)
for size in ${sizes[@]}; do
  : >"$work/big.mon"
  while [[ $(stat -c %s "$work/big.mon") -lt $((size * 1000 * 1000)) ]]; do
    cat "$work/seed.mon" >>"$work/big.mon"
  done
  rm -f "$work/big.pcap"
  /usr/bin/time -f "%e %M" -o "$work/time" "$program" monitor --play "$work/big.mon" --pcap "$work/big.pcap" \
    2>"$work/err" >/dev/null
  read -r seconds kilobytes <"$work/time"
  printf '%3s MB log (%s lines): %5.2f s, peak memory %s MB, capture file %s MB\n' "$size" \
    "$(wc -l <"$work/big.mon")" "$seconds" "$((kilobytes / 1024))" "$(($(stat -c %s "$work/big.pcap") / 1000000))"
done
