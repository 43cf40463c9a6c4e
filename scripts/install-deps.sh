#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Vantory needs to build, test and benchmark.
# Does nothing when everything is already present.
set -eu

PACKAGES="cmake make g++ qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins libqt6svg6 libgl-dev libxkbcommon-dev"
# Packs, PDF text, and the SQLite driver of Qt's SQL module with a compressor (for the text cache).
PACKAGES="$PACKAGES pkg-config libarchive-dev libpoppler-qt6-dev libqt6sql6-sqlite libzstd-dev"
# The vault: key derivation, encryption and guarded memory.
PACKAGES="$PACKAGES libsodium-dev"
if [ "${VANTORY_BENCH_DEPS:-0}" = 1 ]; then
    PACKAGES="$PACKAGES hyperfine python3 ripgrep ugrep pdfgrep"
fi
# The fuzzers (make fuzz): clang and its runtime libraries, the fuzzer's among them.
if [ "${VANTORY_FUZZ_DEPS:-0}" = 1 ]; then
    PACKAGES="$PACKAGES clang libclang-rt-dev"
fi
# dpkg-shlibdeps finds the libraries the Debian package depends on; lintian checks the package.
if [ "${VANTORY_PACKAGE_DEPS:-0}" = 1 ]; then
    PACKAGES="$PACKAGES dpkg-dev lintian"
fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "install-deps: missing packages:$missing (run as root or install sudo)" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
# A fresh machine has no package lists yet; an older list may name versions that are gone.
if ! $SUDO apt-get install -y --no-install-recommends $missing; then
    $SUDO apt-get update
    $SUDO apt-get install -y --no-install-recommends $missing
fi
