#!/usr/bin/env bash
# How long tshark takes to read a large capture through each of our dissectors, beside
# Wireshark's own CAN dissector on as many packets. The Quillbus capture is a real capture of
# the emulated bus (traffic 400), logged and repeated to the size as bench/convert-log.sh
# does, then converted (monitor --play LOG --pcap FILE); the CAN capture holds as many
# SocketCAN frames (link type 227) with random identifiers and 1-8 data bytes.
# Usage: bench/dissector.sh [PACKETS]   (default 1100000)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
packets="${1:-1100000}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
"$root/scripts/build.sh" default >/dev/null
program="$root/build/bin/quillbus-service"
plugin="$(ls "$root"/build/wireshark/plugins/*/epan/quillbus.so)"

printf 'device 1 type 2315\ndevice 3 type 4008\ndevice 9 type 2507\ntraffic 400 seed 7\n' >"$work/bus.scenario"
(cd "$work" && QWILUSB_SCENARIO="$work/bus.scenario" "$program" monitor --seconds 3 --log seed.mon >/dev/null)
rows="$(wc -l <"$work/seed.mon")"
for ((i = 0; i < (packets + rows - 1) / rows; i++)); do cat "$work/seed.mon"; done >"$work/big.mon"
"$program" monitor --play "$work/big.mon" --pcap "$work/quillbus.pcap" >/dev/null 2>&1

python3 - "$work/can.pcap" "$(($(wc -l <"$work/big.mon")))" <<'PY'
import random, struct, sys
path, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(7)
with open(path, "wb") as out:
    out.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 227))
    for i in range(count):
        size = rng.randint(1, 8)
        frame = struct.pack(">IB3x", rng.getrandbits(11), size) + bytes(rng.getrandbits(8) for _ in range(size))
        out.write(struct.pack("<IIII", 1700000000 + i // 1000, (i % 1000) * 1000, len(frame), len(frame)) + frame)
PY

# Wireshark reads plugins from the environment only for an unprivileged user.
mkdir -p "$work/plugins/$(basename "$(dirname "$(dirname "$plugin")")")/epan" "$work/none"
cp "$plugin" "$work/plugins/"*/epan/
cp "$root/build/wireshark/lua/quillbus.lua" "$work/"
chmod -R a+rX "$work"
as_user=()
[[ "$(id -u)" -ne 0 ]] || as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
read_seconds() { # plugin folder, capture, tshark's own options
  local folder="$1" capture="$2"
  shift 2
  /usr/bin/time -f "%e" -o "$work/time" env HOME="$work" WIRESHARK_PLUGIN_DIR="$folder" "${as_user[@]}" \
    tshark -r "$capture" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  cat "$work/time"
}
count="$(wc -l <"$work/big.mon")"
can="$(read_seconds "$work/none" "$work/can.pcap")"
compiled="$(read_seconds "$work/plugins" "$work/quillbus.pcap")"
lua="$(read_seconds "$work/none" "$work/quillbus.pcap" -X "lua_script:$work/quillbus.lua")"
printf 'tshark -r, %s packets each (one run):\n' "$count"
printf '  SocketCAN, Wireshark'"'"'s CAN dissector  %6.2f s\n' "$can"
printf '  Quillbus, compiled dissector         %6.2f s  %4.2f x CAN\n' "$compiled" "$(bc -l <<<"$compiled / $can")"
printf '  Quillbus, Lua dissector              %6.2f s  %4.2f x CAN\n' "$lua" "$(bc -l <<<"$lua / $can")"
