#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite.
# With --sanitize it builds and runs it under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
preset=default
if [ "${1:-}" = "--sanitize" ]; then
  preset=sanitize
fi
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$preset"
cd "$root"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --preset "$preset"
