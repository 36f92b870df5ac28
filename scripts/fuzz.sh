#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for SECONDS
# (default 60) from its seed corpus in fuzz/corpus/; fails when a target finds a crash.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" fuzz
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
status=0
for target in srecord conversion decoder monitor scenario serial serialrun dome; do
  corpus="$work/$target"
  mkdir -p "$corpus"
  cp "$root/fuzz/corpus/$target/"* "$corpus/"
  echo "== ${target}_fuzz, $seconds s"
  if (cd "$work" && "$root/build-fuzz/bin/${target}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
        "$corpus" >"$work/$target.log" 2>&1); then
    grep -E 'stat::number_of_executed_units' "$work/$target.log" || true
  else
    tail -40 "$work/$target.log"
    status=1
  fi
done
exit "$status"
