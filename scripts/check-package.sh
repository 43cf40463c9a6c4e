#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package with lintian (any error or warning fails), then shows that it installs
# and starts on a fresh Debian 12: makes a minimal bookworm root with debootstrap, installs the
# package there with apt (which brings the Qt libraries it depends on), checks the files it put in
# place and runs the program once, offscreen, as a new user, until it has made that user's data folder.
# usage (as root): scripts/check-package.sh [BUILD_DIR | PACKAGE.deb]
# The Debian mirror is the one this machine's apt uses, or DEBIAN_MIRROR. The root is kept in
# CHECK_ROOT (default build/package-check/root) and made again only when missing, so a second check
# is quick; remove it for a check from scratch.
set -eu
cd "$(dirname "$0")/.."

target=${1:-build}
if [ -d "$target" ]; then
    deb=$(ls -t "$target"/vantory_*.deb 2>/dev/null | head -n 1)
else
    deb=$target
fi
[ -n "$deb" ] && [ -f "$deb" ] || { echo "check-package: no package; run make package first" >&2; exit 1; }

# Debian's own checks of the package: its control fields, files, modes, hardening, manual page,
# changelog and copyright.
command -v lintian >/dev/null 2>&1 || VANTORY_PACKAGE_DEPS=1 scripts/install-deps.sh
echo "check-package: lintian $(basename "$deb")"
lintian --fail-on error,warning --tag-display-limit 0 --info "$deb" ||
    { echo "check-package: FAIL: lintian finds errors or warnings in $deb" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || { echo "check-package: must run as root (debootstrap, chroot)" >&2; exit 1; }

if ! command -v debootstrap >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap ||
        { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap; }
fi

# The first Debian archive this machine's apt is set up with (one-line or deb822 sources).
host_mirror() {
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
        sed -n -e 's/^deb \(\[[^]]*\] \)\{0,1\}\([^ ]*\/debian\/\{0,1\}\) .*/\2/p' -e 's/^URIs: *\([^ ]*\/debian\/\{0,1\}\)$/\1/p' |
        head -n 1
}
mirror=${DEBIAN_MIRROR:-$(host_mirror)}
[ -n "$mirror" ] || { echo "check-package: no Debian mirror found; set DEBIAN_MIRROR" >&2; exit 1; }

root=${CHECK_ROOT:-build/package-check/root}
if [ ! -x "$root/usr/bin/apt-get" ]; then
    rm -rf "$root"
    mkdir -p "$root"
    echo "check-package: making a minimal Debian 12 root in $root"
    debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.log" 2>&1 ||
        { tail -n 20 "$root.log" >&2; exit 1; }
fi

mounted=""
cleanup() {
    for m in $mounted; do umount "$m" 2>/dev/null || true; done
}
trap cleanup EXIT INT TERM
mount -t proc proc "$root/proc" && mounted="$root/proc"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

in_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}

# A previous check's package goes first, so apt installs this one and its dependencies as a user's would.
in_root sh -c 'dpkg -r vantory >/dev/null 2>&1 || true'
cp "$deb" "$root/tmp/vantory.deb"
echo "check-package: apt install ./$(basename "$deb")"
in_root apt-get update -qq
in_root apt-get install -y -q --no-install-recommends /tmp/vantory.deb >"$root.apt.log" 2>&1 ||
    { tail -n 30 "$root.apt.log" >&2; exit 1; }
grep -E '^(The following NEW packages|Setting up vantory)' "$root.apt.log" || true
echo "check-package: $(grep -c '^Setting up' "$root.apt.log") packages set up"

fail() {
    echo "check-package: FAIL: $*" >&2
    exit 1
}
for f in /usr/bin/vantory /usr/share/applications/vantory.desktop /usr/share/icons/hicolor/scalable/apps/vantory.svg \
    /usr/share/icons/hicolor/48x48/apps/vantory.png /usr/share/vantory/Data/main.xml /usr/share/man/man1/vantory.1.gz \
    /usr/share/doc/vantory/copyright /usr/share/doc/vantory/changelog.Debian.gz; do
    [ -f "$root$f" ] || fail "$f is missing"
done
[ ! -e "$root/usr/bin/Data" ] || fail "a Data folder lies beside the program"
missing=$(in_root ldd /usr/bin/vantory | grep 'not found' || true)
[ -z "$missing" ] || fail "libraries not found: $missing"

# A first start as a new user, offscreen: the program runs until closed, so it is ended once it
# has made the user's data folder (or after a minute).
in_root sh -c 'id tester >/dev/null 2>&1 || useradd -m tester'
in_root rm -rf /home/tester/.local /home/tester/.config
chroot --userspec=tester:tester "$root" env -i PATH=/usr/bin:/bin HOME=/home/tester LANG=C.UTF-8 \
    QT_QPA_PLATFORM=offscreen sh -c '
        vantory >/tmp/vantory-run.log 2>&1 &
        pid=$!
        data=$HOME/.local/share/Orvane/Vantory
        n=0
        while [ ! -f "$data/main_ToXml.xtr" ] && [ $n -lt 600 ] && kill -0 $pid 2>/dev/null; do
            sleep 0.1; n=$((n + 1))
        done
        alive=no
        kill $pid 2>/dev/null && alive=yes
        wait $pid 2>/dev/null || true
        echo "running after start: $alive"
        ls -l "$data"
        cat /tmp/vantory-run.log' >"$root.run.log" 2>&1 || true
cat "$root.run.log"
grep -q '^running after start: yes' "$root.run.log" || fail "the program did not keep running"
for f in main.xml main_ToDp.xtr main_ToXml.xtr; do
    [ -f "$root/home/tester/.local/share/Orvane/Vantory/$f" ] || fail "the first start made no $f"
done
echo "check-package: $(basename "$deb") installs on Debian 12 and starts: 1 passed, 0 failed"
