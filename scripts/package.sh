#!/usr/bin/env bash
# Builds the Debian package into build-package/, checks it with Debian's own checker and the
# AppStream validator, then unpacks it into a scratch root and runs the installed program
# there (its version, a scan on the installed emulator, the tables), so a package that does
# not run is caught. Install it with
#   sudo apt-get install ./build-package/quillbus-service_2.01_amd64.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" >/dev/null
cd "$root"
# Hardened as Debian builds its own packages.
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILL_BUILD_TESTS=OFF -DQUILL_BUILD_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" -DCMAKE_SHARED_LINKER_FLAGS="-Wl,-z,relro,-z,now" >/dev/null
cmake --build build-package --parallel "$(nproc)" >/dev/null
rm -f build-package/*.deb
(cd build-package && cpack -G DEB >/dev/null)
deb="$(ls -1 build-package/*.deb)"

echo "== lintian"
if ! lintian --fail-on error,warning --info "$deb" 2>&1 | grep -v 'running with root privileges'; then :; fi
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || { echo "package: lintian reports errors or warnings" >&2; exit 1; }

echo "== installed files"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
appstreamcli validate --no-net "$scratch/root/usr/share/metainfo/"*.metainfo.xml >/dev/null
# The licence is MIT wherever the package states one: the copyright file (as DEP-5 names it,
# with the repository's terms) and the AppStream data.
copyright="$scratch/root/usr/share/doc/quillbus-service/copyright"
grep -q '^MIT License$' LICENSE && grep -qx 'License: Expat' "$copyright" &&
  grep -qF "$(grep '^Permission' LICENSE)" "$copyright" &&
  grep -q '<project_license>MIT</project_license>' "$scratch"/root/usr/share/metainfo/*.metainfo.xml ||
  { echo "package: the licence is not stated as MIT everywhere" >&2; exit 1; }
man --warnings -l "$scratch/root/usr/share/man/man1/quillbus-service.1.gz" >/dev/null
program="$(ls "$scratch"/root/usr/lib/*/quillbus-service/quillbus-service)"
"$program" --version
mkdir "$scratch/work"
(cd "$scratch/work" && "$program" scan --to 3 --format csv)
(cd "$scratch/work" && "$program" tables . && ls)

echo "== Wireshark's files, where Wireshark finds them"
wireshark_lib="$(dirname "$(tshark -G folders 2>/dev/null | sed -n 's/^Global Lua Plugins:[[:space:]]*//p')")"
plugins="$(tshark -G folders 2>/dev/null | sed -n 's/^Global Plugins:[[:space:]]*//p')"
# Whole outputs first: a reader that stops early would break the writer's pipe.
contents="$(dpkg-deb -c "$deb")"
for file in "$wireshark_lib/extcap/quillbus" "$plugins/epan/quillbus.so"; do
  grep -q " \.$file\$" <<<"$contents" || { echo "package: $file is not in the package" >&2; exit 1; }
  echo "$file"
done
! grep -q 'quillbus\.lua' <<<"$contents" || { echo "package: the Lua dissector would clash with the compiled one" >&2; exit 1; }
interfaces="$("$scratch/root$wireshark_lib/extcap/quillbus" --extcap-interfaces)"
grep -q '^interface {value=quillbus}' <<<"$interfaces" ||
  { echo "package: the installed extcap script does not list the interface" >&2; exit 1; }
dpkg-deb -f "$deb" Enhances Depends | grep -o 'libwireshark[0-9]* ([^)]*)' ||
  { echo "package: no dependency on the Wireshark library the dissector was built for" >&2; exit 1; }

echo "== installed, the installed tshark names what the installed program captured"
if [[ "$(id -u)" -eq 0 ]] && ! dpkg -s quillbus-service >/dev/null 2>&1; then
  apt-get install -y -qq "$root/$deb" >/dev/null
  trap 'rm -rf "$scratch"; apt-get purge -y -qq quillbus-service >/dev/null' EXIT
  (cd "$scratch/work" && /usr/bin/quillbus-service monitor --seconds 1 --pcap bus.pcap >/dev/null)
  names="$(tshark -r "$scratch/work/bus.pcap" -T fields -e quillbus.name 2>/dev/null)"
  grep -q '[A-Za-z]' <<<"$names" || { echo "package: the installed dissector does not name the captured messages" >&2; exit 1; }
  tshark -r "$scratch/work/bus.pcap" -c 3 2>/dev/null
else
  echo "(not installed: needs root, and no quillbus-service installed already)"
fi

echo "== the launcher, with its home in the scratch folder"
launcher="$scratch/root/usr/bin/quillbus-service"
mkdir -p "$scratch/home" "$scratch/tree/include"
(cd "$scratch/tree" && HOME="$scratch/home" "$launcher" --write-tables . && HOME="$scratch/home" "$launcher" tables include)
for header in lut_R.h lut_Z.h lut_S.h VStrSin.h VStrCos.h; do
  [[ -f "$scratch/tree/$header" && -f "$scratch/tree/include/$header" ]] ||
    { echo "package: the launcher did not write $header where it was started" >&2; exit 1; }
done
[[ ! -e "$scratch/home/Quillbus" ]] || { echo "package: the launcher made ~/Quillbus for a command" >&2; exit 1; }
# The windows' first start makes it: started without a display and stopped after a moment.
(cd "$scratch/tree" && HOME="$scratch/home" QT_QPA_PLATFORM=offscreen timeout 5 "$launcher" >/dev/null 2>&1) || true
[[ -f "$scratch/home/Quillbus/F2315-0202.hex" ]] || { echo "package: no sample firmware in ~/Quillbus" >&2; exit 1; }
echo "package: $deb passes"
