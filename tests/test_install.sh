#!/bin/sh
# Installs the build into a temporary prefix and checks what desktops and
# package tools expect there: the programs and their manual pages, the desktop
# entry and AppStream metainfo (with their validators), the icons, the default
# node list, the README and the user's docs; no development tool in bin/.
#   test_install.sh BUILD_DIR PROGRAM...
set -eu
build=$1
shift
fail() { echo "FAIL: $*" >&2; exit 1; }
# A PNG's width and height ("W H"): bytes 17 to 24 of the file, big-endian.
png_size() {
    set -- $(od -An -tu1 -j16 -N8 "$1")
    echo "$(($1 << 24 | $2 << 16 | $3 << 8 | $4)) $(($5 << 24 | $6 << 16 | $7 << 8 | $8))"
}

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

[ "$(ls "$prefix/bin")" = "$(printf '%s\n' "$@" | sort)" ] ||
    fail "bin/ holds $(ls "$prefix/bin" | tr '\n' ' '), expected $*"
for program in "$@"; do
    "$prefix/bin/$program" --help | grep -q "$program" || fail "$program --help"
    page="$prefix/share/man/man1/$program.1"
    [ -s "$page" ] || fail "no manual page $page"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
done

share="$prefix/share"
desktop=$(ls "$share"/applications/*.desktop)
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$exec" ] || fail "Exec=$exec is not installed"
icon=$(sed -n 's/^Icon=//p' "$desktop")

metainfo=$(ls "$share"/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $(basename "$desktop")"

[ -s "$share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
for size in 16 32 48 64 128 256; do
    png="$share/icons/hicolor/${size}x$size/apps/$icon.png"
    [ "$(png_size "$png")" = "$size $size" ] ||
        fail "$png is not $size x $size"
done
[ -s "$share/doc/plotwise/README.md" ] || fail "no README"
for page in archive chart settings; do
    [ -s "$share/doc/plotwise/docs/$page.md" ] || fail "no docs/$page.md"
done
[ ! -e "$share/doc/plotwise/docs/benchmarks.md" ] || fail "the benchmarks are installed"

# An installed program's first start copies the default node list into the
# user's configuration folder and reads it from there.
home="$prefix/home"
mkdir -p "$home/work"
cd "$home/work"
printf '' >empty.txt
HOME=$home XDG_CONFIG_HOME= XDG_CACHE_HOME= "$prefix/bin/plotwise" --check empty.txt >/dev/null ||
    fail "plotwise --check"
cmp "$share/plotwise/nodes.txt" "$home/.config/plotwise/nodes.txt" || fail "default node list not copied"
echo "installed files are complete"
