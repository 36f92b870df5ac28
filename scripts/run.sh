#!/usr/bin/env bash
# Sets up, builds and starts the program on the emulated module, working in demo/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" default
exec "$root/build/bin/quillbus-service" --working-folder "$root/demo" "$@"
