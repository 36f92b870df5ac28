#!/usr/bin/env bash
# Makes the README's pictures from the running program on the emulated bus, under a
# virtual X server: the panel, the flash loader after a scan, the monitor capturing, the
# dome window, and Wireshark showing a decoded capture and its statistics. Needs a built tree (build.sh), Xvfb,
# xdotool, ImageMagick and, for the last, Wireshark (wireshark-qt); writes docs/pictures/*.png.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
program="$root/build/bin/quillbus-service"
out="$root/docs/pictures"
work="$(mktemp -d)"
display=":$((90 + RANDOM % 100))"
server=""
trap 'kill $server 2>/dev/null || true; pkill -f "$work" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$out" "$work/folder"
cp -r "$root/demo/." "$work/folder/"

# -ac: Wireshark may run as another user (below) on this private display.
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -ac >/dev/null 2>&1 &
server=$!
export DISPLAY="$display" QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# The id of the visible window whose title holds the text, once it shows.
window() {
    local id=""
    for _ in $(seq 100); do
        id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)" && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || { echo "pictures.sh: no window \"$1\"" >&2; exit 1; }
    echo "$id"
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
# Saves the window as a small PNG.
shoot() { import -window "$1" -strip -colors 128 "png8:$out/$2.png"; }
# Starts the windows afresh, opens the panel's tool at the button's height, returns its window.
start() {
    pkill -f "$work/folder" 2>/dev/null || true
    sleep 0.3
    "$program" --working-folder "$work/folder" >"$work/log" 2>&1 &
    local panel
    panel="$(window "Control Panel")"
    if [ -n "${2:-}" ]; then
        sleep 0.5
        click "$panel" 150 "$2"
        window "$1"
    else
        echo "$panel"
    fi
}

panel="$(start)"
sleep 1
shoot "$panel" panel

flash="$(start "Flash Loader" 92)"
sleep 1
click "$flash" 313 53 # Scan Network
sleep 9
shoot "$flash" flash-loader

monitor="$(start "Monitor Utility" 131)"
sleep 1
click "$monitor" 94 506 # Start Quillbus Monitor
sleep 3
shoot "$monitor" monitor

dome="$(start "Dome Control" 171)"
sleep 2
shoot "$dome" dome-control
pkill -f "$work/folder" 2>/dev/null || true

# A capture of the emulated bus in Wireshark (Wireshark's own window: the wireshark-qt
# package), with the compiled dissector from the personal plugin folder: filtered on one
# command with the dissector's tree of the first packet open; then Statistics > Quillbus.
# Wireshark reads no personal folder for root, so as root it runs as nobody.
plugin="$(ls "$root"/build/wireshark/plugins/*/epan/quillbus.so 2>/dev/null | head -n1)"
if command -v wireshark >/dev/null && [ -n "$plugin" ]; then
    (cd "$work" && "$program" monitor --seconds 2 --pcap capture.pcap >/dev/null 2>&1)
    personal="$work/home/.local/lib/wireshark/plugins/$(basename "$(dirname "$(dirname "$plugin")")")/epan"
    mkdir -p "$personal" "$work/home/.config/wireshark" && cp "$plugin" "$personal/"
    chmod 755 "$work" && chmod -R a+rwX "$work/home" "$work/capture.pcap"
    as_user=()
    [ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    (cd "$work" && HOME="$work/home" "${as_user[@]}" wireshark -r capture.pcap >/dev/null 2>&1 &)
    main="$(window "capture.pcap")"
    sleep 3
    xdotool windowsize "$main" 1000 720
    click "$main" 400 75 # the display filter
    xdotool type --delay 20 'quillbus.command == 0xc0'
    xdotool key Return
    sleep 1.5
    click "$main" 300 120 # the first packet left
    sleep 0.5
    click "$main" 150 439 # its Quillbus line, opened whole
    xdotool key shift+Right
    sleep 1
    shoot "$main" wireshark
    click "$main" 325 10 # Statistics, its last entry: Quillbus
    sleep 1
    xdotool key Up Return
    statistics="$(window "Quillbus ·")"
    sleep 2
    xdotool windowsize "$statistics" 760 560
    sleep 1
    shoot "$statistics" wireshark-statistics
    pkill -f "wireshark -r capture.pcap" || true
else
    echo "pictures.sh: no Wireshark window (install wireshark-qt) or no dissector built; the Wireshark pictures kept" >&2
fi
ls -l "$out"
