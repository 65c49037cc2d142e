#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks the installed tree
# as a user and a desktop would see it.
# usage: install_check.sh BUILD_DIR VERSION APP_ID
set -euo pipefail
build=$1 version=$2 app_id=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$work/root" cmake --install "$build" --prefix /usr/local >"$work/install.log" \
  || { cat "$work/install.log"; fail "cmake --install"; }
prefix="$work/root/usr/local"
folder="$prefix/lib/spindle"

# The starters in bin/ run the programs in Spindle's folder, which finds
# all five tools there (started from a folder that holds none of them).
mkdir "$work/elsewhere"
cd "$work/elsewhere"
"$prefix/bin/spindle-cli" tools >"$work/tools.txt"
cat "$work/tools.txt"
for tool in mkisofs cdrecord readcd dd bbie; do
  grep -q "^$tool $folder/$tool: [a-z]" "$work/tools.txt" || fail "$tool not found in $folder, or not named"
  [[ -x "$folder/$tool" ]] || fail "$folder/$tool does not lead to a program"
done
[[ $(wc -l <"$work/tools.txt") -eq 5 ]] || fail "tools printed more than five lines"
[[ -L "$prefix/bin/spindle" && -L "$prefix/bin/spindle-cli" ]] || fail "starters are not links"

[[ $("$prefix/bin/spindle" --version) == "Spindle $version" ]] || fail "spindle --version"
[[ $("$prefix/bin/spindle-cli" --version) == "spindle-cli $version" ]] || fail "spindle-cli --version"
[[ -f "$folder/help.chm" && -f "$folder/help/index.html" ]] || fail "help missing"

# The menu entry and the software centre's description.
desktop="$prefix/share/applications/$app_id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
grep -qx "Exec=spindle" "$desktop" || fail "Exec"
grep -qx "Path=/usr/local/lib/spindle" "$desktop" || fail "Path is not Spindle's folder"
grep -qx "Icon=$app_id" "$desktop" || fail "Icon"
grep -q "^Categories=.*AudioVideo;DiscBurning;" "$desktop" || fail "Categories"
[[ -s "$prefix/share/icons/hicolor/scalable/apps/$app_id.svg" ]] || fail "scalable icon"
grep -q "<screenshot" "$prefix/share/metainfo/$app_id.metainfo.xml" || fail "no screenshot"

# The manual page describes every command that spindle-cli offers.
man="$prefix/share/man/man1/spindle-cli.1.gz"
[[ -s "$prefix/share/man/man1/spindle.1.gz" ]] || fail "spindle.1 missing"
zcat "$man" | awk '
  /^\.SH / { section = $2 }
  section == "COMMANDS" && tag { gsub(/\\f[BIR]|^\.BI? /, ""); gsub(/\\-/, "-"); print $1 }
  { tag = ($0 == ".TP") }' >"$work/documented.txt"
"$prefix/bin/spindle-cli" --help | sed -n 's/^  \([^ ]\+\).*/\1/p' >"$work/commands.txt"
[[ -s "$work/commands.txt" ]] || fail "spindle-cli --help lists no command"
while read -r cmd; do
  grep -qx -- "$cmd" "$work/documented.txt" || fail "spindle-cli $cmd is not in the manual page"
done <"$work/commands.txt"
zcat "$man" | grep -q '^\.SH EXIT STATUS' || fail "no EXIT STATUS section"
echo "install tree OK"
