#!/usr/bin/env bash
# The monitor capturing the emulated bus offscreen at each traffic rate given (messages a
# second; default 25 and 400), side by side in one run: the floor (a bare read loop at the
# designed pace: no decoding, no display), the monitor window, the monitor command, and the
# command also writing a capture file (pcap), each as CPU share of one core and as a ratio to
# the floor, with peak memory and every record accounted for; the capture file's own cost is
# the pcap line's share less the command's, in points of a core.
# Usage: bench/monitor-load.sh [--against REVISION] [SECONDS] [RATE...]
# With --against, the same measuring program is also built on the sources of REVISION (a
# commit, tag or branch, from the one that brought the three faces on) in a scratch tree,
# and both run at every rate, so the figures stand side by side from the same machine.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
against=""
if [[ "${1:-}" == "--against" ]]; then
  against="${2:?--against needs a revision}"
  shift 2
fi
seconds="${1:-10}"
shift || true
rates=("${@:-25 400}")
work="$(mktemp -d)"
cleanup() {
  [[ -z "$against" ]] || git -C "$root" worktree remove --force "$work/base" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

"$root/scripts/build.sh" default >/dev/null
declare -A programs=([this]="$root/build/bin/monitor_load")
order=(this)
if [[ -n "$against" ]]; then
  git -C "$root" worktree add --detach "$work/base" "$against" >/dev/null 2>&1
  # The revision's code under this measuring program.
  cp "$root/bench/MonitorLoad.cpp" "$work/base/bench/MonitorLoad.cpp"
  cmake -S "$work/base" -B "$work/base/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$work/base/build" --target monitor_load --parallel "$(nproc)" >/dev/null
  programs[$against]="$work/base/build/bin/monitor_load"
  order=("$against" this)
fi

# Runs one face; prints its line and leaves its CPU share in $share.
measure() {
  local program="$1" face="$2" out
  out="$(cd "$work" && QT_QPA_PLATFORM=offscreen QWILUSB_SCENARIO="$work/bus.scenario" \
    "$program" "$face" "$seconds" 2>&1 >/dev/null | grep -v '^QStandardPaths' | tr "\n" " ")"
  share="$(sed -n 's/^cpu \([0-9.]*\) %.*/\1/p' <<<"$out")"
  printf '%s' "$out"
}

for rate in ${rates[@]}; do
  printf 'device 1 type 2315\ndevice 3 type 4008\ndevice 9 type 2507\ntraffic %s seed 7\n' "$rate" >"$work/bus.scenario"
  echo "== $rate messages a second, $seconds s"
  for name in "${order[@]}"; do
    floor=""
    for face in floor window command pcap; do
      # A revision from before capture files has no pcap face.
      [[ "$face" != pcap || "$name" == this ]] || continue
      printf '%-12s %-8s ' "$name" "$face"
      measure "${programs[$name]}" "$face"
      [[ -n "$floor" ]] || floor="$share"
      [[ "$face" != command ]] || alone="$share"
      awk -v s="$share" -v f="$floor" 'BEGIN { if (f > 0 && s != "") printf "(%.2f x the floor)", s / f }'
      [[ "$face" != pcap ]] || awk -v s="$share" -v c="$alone" 'BEGIN { printf " (capture file: %+.2f points of a core)", s - c }'
      echo
    done
  done
done
