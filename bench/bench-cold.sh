#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# bench-cold.sh - the first search of the day: times the engine and the usual tools on a tree that
# is not in memory (the page cache is dropped before every run).
#
# usage: bench/bench-cold.sh TREE [--build DIR] [--rounds N]
#   TREE          a tree made by make-tree.sh (its TREE.meta/expected.txt names the phrase and word)
#   --build DIR   the CMake build folder (default: build; relative to the project)
#   --rounds N    rounds (default 3); each round runs every command once, in turn, so that load from
#                 elsewhere on the machine falls on all of them alike
#
# Needs root: before each run it does `sync; echo 3 > /proc/sys/vm/drop_caches`. Without root it
# says so and stops. After the drop, each command runs once on an empty folder before it is timed
# on the tree: what is timed is the search with the program already loaded, as in Vantory, not the
# loading of the program's code from disk. Needs ripgrep (VANTORY_BENCH_DEPS=1 scripts/install-deps.sh).
# Prints the median wall time of each command and the ratios the targets are set in:
#   content_vs_grep  (findfiles --phrase / grep -rlFi)       <= 0.5
#   content_vs_rg16  (findfiles --phrase / rg -j16)          <= 1.3
#   names_vs_find    (findfiles --mask / find -iname)        <= 0.6
#   count_vs_find    (countfiles / find -iname)              <= 0.6
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build="$root/build"
rounds=3
tree=""
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        -h|--help) sed -n '2,21p' "$0"; exit 0 ;;
        -*) echo "bench-cold.sh: unknown argument $1" >&2; exit 2 ;;
        *) tree=$1; shift ;;
    esac
done
[ -n "$tree" ] || { sed -n '4,4p' "$0" >&2; exit 2; }
case $build in /*) ;; *) build=$root/$build ;; esac
if [ "$(id -u)" -ne 0 ]; then
    echo "bench-cold.sh: dropping the page cache needs root; not run"
    exit 0
fi
[ -f "$tree.meta/expected.txt" ] || { echo "bench-cold.sh: $tree is no tree of make-tree.sh" >&2; exit 2; }
command -v rg >/dev/null || { echo "bench-cold.sh: rg not found (VANTORY_BENCH_DEPS=1 scripts/install-deps.sh)" >&2; exit 2; }
ff="$build/bench/findfiles"
cf="$build/bench/countfiles"
[ -x "$ff" ] && [ -x "$cf" ] || cmake --build "$build" --target findfiles countfiles >/dev/null
phrase=$(sed -n 's/^phrase=//p' "$tree.meta/expected.txt")
word=$(sed -n 's/^word=//p' "$tree.meta/expected.txt")

empty=$(mktemp -d)
trap 'rmdir "$empty"' EXIT
names=("findfiles --phrase" "grep -rlFi" "rg -j16" "findfiles --mask" "find -iname" "countfiles")
cmds=("'$ff' --phrase '$phrase' 'TREE'"
      "LC_ALL=C grep -rlFi -- '$phrase' 'TREE'"
      "rg -uuu --no-unicode -l -i -F -j16 -- '$phrase' 'TREE'"
      "'$ff' --mask '*$word*' 'TREE'"
      "find 'TREE' -iname '*$word*'"
      "'$cf' 'TREE'")
python3 - "$rounds" "$tree" "$empty" "${#cmds[@]}" "${names[@]}" "${cmds[@]}" <<'PY'
import statistics, subprocess, sys, time
rounds, tree, empty, n = int(sys.argv[1]), sys.argv[2], sys.argv[3], int(sys.argv[4])
names, cmds = sys.argv[5:5 + n], sys.argv[5 + n:5 + 2 * n]
def drop():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")
def run(c):
    drop()
    # The search is timed, not the loading of the program: in Vantory the search runs in a program
    # that is open already. So each command first runs once on an empty folder, which brings its
    # own code (and its libraries) into memory, and then on the tree, whose files stay cold.
    subprocess.run(["/bin/sh", "-c", c.replace("TREE", empty)], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)
    c = c.replace("TREE", tree)
    t = time.perf_counter()
    subprocess.run(["/bin/sh", "-c", c], stdout=subprocess.DEVNULL, check=False)
    return time.perf_counter() - t
wall = [[] for _ in cmds]
for r in range(rounds):
    for i, c in enumerate(cmds):
        wall[i].append(run(c))
med = [statistics.median(t) for t in wall]
print("medians of %d alternating rounds, cold cache (dropped before every run):" % rounds)
for name, m, t in zip(names, med, wall):
    print("  %-20s %8.3fs   (%s)" % (name, m, " ".join("%.3f" % x for x in t)))
def ratio(label, a, b, target):
    v = med[a] / med[b]
    print("%s=%.2f  (target <= %.2f: %s)" % (label, v, target, "ok" if v <= target else "OVER"))
ratio("content_vs_grep", 0, 1, 0.5)
ratio("content_vs_rg16", 0, 2, 1.3)
ratio("names_vs_find", 3, 4, 0.6)
ratio("count_vs_find", 5, 4, 0.6)
PY
