#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a fresh prefix and checks what a user gets: exactly the files an
# installation should hold (the program, its desktop entry, its icons, the data template, the README,
# the manual page, and no Data folder beside the program), and a first run that makes the user's data
# folder from the template, user-only, without writing anything beside the program.
# usage: check-install.sh CMAKE BUILD_DIR WORK_DIR
set -eu
cmake=$1 build=$2 work=$3

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed: $(cat "$work/install.log")"

# Every file and link under the prefix, against the list of what belongs there.
{
    echo ./bin/vantory
    echo ./share/applications/vantory.desktop
    echo ./share/doc/vantory/README.md
    for size in 16 22 24 32 48 64 128 256; do
        echo "./share/icons/hicolor/${size}x${size}/apps/vantory.png"
    done
    echo ./share/icons/hicolor/scalable/apps/vantory.svg
    echo ./share/man/man1/vantory.1.gz
    echo ./share/vantory/Data/main.xml
    echo ./share/vantory/Data/main_ToDp.xtr
    echo ./share/vantory/Data/main_ToXml.xtr
} | LC_ALL=C sort >"$work/expected"
(cd "$prefix" && find . ! -type d) | LC_ALL=C sort >"$work/installed"
diff -u "$work/expected" "$work/installed" || fail "the installed files differ from the expected list (- expected, + installed)"

# The PNG icons are pictures of their size: the 8-byte signature, then the IHDR width and height.
for size in 16 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/vantory.png
    header=$(od -A n -t x1 -j 16 -N 8 "$png" | tr -d ' \n')
    [ "$header" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "$png is not $size x $size: $header"
done
grep -qx 'Exec=vantory' "$prefix/share/applications/vantory.desktop" || fail "the desktop entry does not start vantory"
grep -qx 'Icon=vantory' "$prefix/share/applications/vantory.desktop" || fail "the desktop entry does not name the icon"
gzip -dc "$prefix/share/man/man1/vantory.1.gz" | grep -q '^vantory \\- ' || fail "the manual page has no NAME line for vantory"

# A first run of the installed program as a new user. It keeps running until it is closed; once the
# data folder holds the three files, it is ended.
home=$work/home
mkdir -p "$home"
data=$home/data/Orvane/Vantory
HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data QT_QPA_PLATFORM=offscreen \
    "$prefix/bin/vantory" >"$work/run.log" 2>&1 &
pid=$!
tries=0
while [ ! -f "$data/main.xml" ] || [ ! -f "$data/main_ToDp.xtr" ] || [ ! -f "$data/main_ToXml.xtr" ]; do
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid" || true
        fail "the installed program ended before it made its data folder: $(cat "$work/run.log")"
    fi
    tries=$((tries + 1))
    [ "$tries" -le 1200 ] || { kill "$pid"; fail "no data folder after a minute: $(ls -la "$data" 2>&1)"; }
    sleep 0.05
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true

for f in main.xml main_ToDp.xtr main_ToXml.xtr; do
    cmp -s "$prefix/share/vantory/Data/$f" "$data/$f" || fail "$data/$f is not the template's $f"
    [ "$(stat -c %a "$data/$f")" = 600 ] || fail "$data/$f is not the user's alone: $(stat -c %a "$data/$f")"
done
[ "$(stat -c %a "$data")" = 700 ] || fail "$data is not the user's alone: $(stat -c %a "$data")"
[ "$(ls -A "$prefix/bin")" = vantory ] || fail "something was written beside the program: $(ls -A "$prefix/bin")"
(cd "$prefix" && find . ! -type d) | LC_ALL=C sort | diff -u "$work/expected" - || fail "the run changed the installation"
echo "install check: 1 passed, 0 failed"
