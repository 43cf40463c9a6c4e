#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark of this folder against the given build folder and prints their figures.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
status=0
echo "== data file (10,000 accounts)"
"$build/bench/datafile-bench" 10000 || status=1
echo "== encrypted passwords (10,000 accounts)"
"$build/bench/vault-bench" 10000 || status=1
echo "== search result list (100,000 files)"
"$build/bench/search-list-bench" || status=1
echo "== search window (medium tree)"
make_tree=""
for candidate in "${MAKE_TREE:-}" "$here/../../shared/bench/make-tree.sh" "$here/make-tree.sh"; do
    [ -n "$candidate" ] && [ -x "$candidate" ] && { make_tree=$candidate; break; }
done
if [ -n "$make_tree" ] && "$make_tree" --quiet /tmp/bench-medium medium; then
    "$build/bench/search-window-bench" /tmp/bench-medium || status=1
else
    echo "no make-tree.sh: skipped"
fi
echo "== search inside packs and documents (medium archive tree)"
make_archive_tree=""
for candidate in "${MAKE_ARCHIVE_TREE:-}" "$here/../../shared/bench/make-archive-tree.sh" "$here/make-archive-tree.sh"; do
    [ -n "$candidate" ] && [ -x "$candidate" ] && { make_archive_tree=$candidate; break; }
done
if [ -n "$make_archive_tree" ] && "$make_archive_tree" --quiet /tmp/bench-archive-medium medium; then
    "$build/bench/pack-search-bench" /tmp/bench-archive-medium || status=1
else
    echo "no make-archive-tree.sh: skipped"
fi
echo "== copy-bench.sh"
"$here/copy-bench.sh" "$build" || status=1
for script in "$here"/bench-*.sh; do
    echo "== $(basename "$script")"
    "$script" "$build" || status=1
done
exit $status
