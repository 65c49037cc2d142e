#!/usr/bin/env bash
# Builds the Debian package into a temporary folder and checks its control
# data and contents.
# usage: package_check.sh BUILD_DIR VERSION APP_ID
set -euo pipefail
build=$1 version=$2 app_id=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack"; }
deb="$work/spindle_${version}_amd64.deb"
[[ -f "$deb" ]] || { ls "$work"; fail "no $deb"; }

dpkg-deb -I "$deb" >"$work/info.txt"
cat "$work/info.txt"
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == spindle ]] || fail "Package"
[[ $(field Version) == "$version" ]] || fail "Version"
[[ $(field Architecture) == amd64 ]] || fail "Architecture"
depends=$(field Depends)
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libc6 libstdc++6 genisoimage wodim coreutils; do
  [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done
description=$(field Description)
[[ $(head -n1 <<<"$description") == "desktop front-end for the CD mastering console tools" ]] \
  || fail "short description"
[[ $(wc -l <<<"$description") -ge 5 ]] || fail "no long description"

dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' >"$work/files.txt"
cat "$work/files.txt"
has() { grep -qx -- "$1" "$work/files.txt" || fail "package lacks $1"; }
for f in spindle spindle-cli bbie help.chm help/index.html; do has "./usr/lib/spindle/$f"; done
has "./usr/lib/spindle/mkisofs -> /usr/bin/genisoimage"
has "./usr/lib/spindle/cdrecord -> /usr/bin/wodim"
has "./usr/lib/spindle/readcd -> /usr/bin/readom"
has "./usr/lib/spindle/dd -> /usr/bin/dd"
has "./usr/bin/spindle -> ../lib/spindle/spindle"
has "./usr/bin/spindle-cli -> ../lib/spindle/spindle-cli"
has "./usr/share/applications/$app_id.desktop"
has "./usr/share/metainfo/$app_id.metainfo.xml"
has "./usr/share/icons/hicolor/scalable/apps/$app_id.svg"
has "./usr/share/man/man1/spindle.1.gz"
has "./usr/share/man/man1/spindle-cli.1.gz"

# The menu entry names the packaged folder, not the build's prefix.
dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/applications/$app_id.desktop" >"$work/entry.desktop"
grep -qx "Path=/usr/lib/spindle" "$work/entry.desktop" || fail "Path in the packaged menu entry"
echo "package OK: $(du -k "$deb" | cut -f1) KiB"
