#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# bench-findfiles.sh - check build/bench/findfiles against grep and find, then time them side by side.
#
# usage: bench/bench-findfiles.sh [BUILD_DIR] [--build DIR] [--scale small|medium|large] [--tree DIR]
#                                 [--rounds N] [--check-only] [--hyperfine]
#   BUILD_DIR, --build DIR   the CMake build folder (default: build; relative to the project), as
#                 bench/run-all.sh passes it
#   --scale S     tree scale for make-tree.sh (default large: ~2.5 GB in /tmp, ~15 s to build once)
#   --tree DIR    where the tree is (default /tmp/bench-SCALE)
#   --rounds N    timing rounds (default 7); each round runs every command once, in turn, so that
#                 load from elsewhere on the machine falls on all of them alike
#   --check-only  only the output checks
#   --hyperfine   also show hyperfine's own summary of the same commands
#
# The checks compare output *sets* (sorted, unique): the engine's in-line and threaded runs
#   names:    findfiles --mask MASK  ==  LC_ALL=C find TREE -iname MASK ! -type d
#             (MASK = *invoice*, *.htm, and "*.*", which must list the dot-less names too:
#              find's counterpart is "! -type d" without -iname)
#   contents: findfiles --phrase P   ==  LC_ALL=C grep -rlFi P TREE   (ASCII case folding, as ours)
# and with the tree's own expected lists (TREE.meta/). Ends with "N passed, N failed".
# The timing prints medians of the alternating rounds and the ratios the targets are set in:
#   contents in-line / grep <= 0.7, names in-line / find <= 0.6, threaded / in-line <= 1.2.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build="$root/build"
scale=large
tree=""
rounds=7
check_only=0
use_hyperfine=0
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --scale) scale=$2; shift 2 ;;
        --tree) tree=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --check-only) check_only=1; shift ;;
        --hyperfine) use_hyperfine=1; shift ;;
        -h|--help) sed -n '2,23p' "$0"; exit 0 ;;
        -*) echo "bench-findfiles.sh: unknown argument $1" >&2; exit 2 ;;
        *) build=$1; shift ;;
    esac
done
[ -n "$tree" ] || tree="/tmp/bench-$scale"
case $build in /*) ;; *) build=$root/$build ;; esac

make_tree=""
for candidate in "${MAKE_TREE:-}" "$root/../shared/bench/make-tree.sh" "$here/make-tree.sh"; do
    if [ -n "$candidate" ] && [ -f "$candidate" ]; then make_tree=$candidate; break; fi
done
[ -n "$make_tree" ] || { echo "bench-findfiles.sh: make-tree.sh not found (set MAKE_TREE)" >&2; exit 2; }

ff="$build/bench/findfiles"
if [ ! -x "$ff" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" --target findfiles -j "$(nproc)" >/dev/null
fi
bash "$make_tree" --quiet "$tree" "$scale"
phrase=$(sed -n 's/^phrase=//p' "$tree.meta/expected.txt")
word=$(sed -n 's/^word=//p' "$tree.meta/expected.txt")

export LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
same_set() { # name file-a file-b
    sort -u "$2" > "$work/a"; sort -u "$3" > "$work/b"
    if cmp -s "$work/a" "$work/b"; then
        passed=$((passed + 1)); echo "PASS $1 ($(wc -l < "$work/a") paths)"
    else
        failed=$((failed + 1)); echo "FAIL $1"; diff "$work/a" "$work/b" | head -10
    fi
}

# Names.
for mask in "*$word*" "*.htm"; do
    find "$tree" -iname "$mask" ! -type d > "$work/find.txt"
    "$ff" --mask "$mask" "$tree" > "$work/inline.txt"
    "$ff" --threaded --mask "$mask" "$tree" > "$work/threaded.txt"
    same_set "names $mask in-line = find -iname" "$work/inline.txt" "$work/find.txt"
    same_set "names $mask threaded = find -iname" "$work/threaded.txt" "$work/find.txt"
done
find "$tree" ! -type d > "$work/find.txt"
"$ff" --mask "*.*" "$tree" > "$work/inline.txt"
same_set "names *.* in-line = find ! -type d (dot-less names too)" "$work/inline.txt" "$work/find.txt"
"$ff" --mask "*$word*" "$tree" | sed "s|^$tree/||" > "$work/inline.txt"
same_set "names *$word* = $tree.meta/name-files.txt" "$work/inline.txt" "$tree.meta/name-files.txt"

# Contents.
grep -rlFi -- "$phrase" "$tree" > "$work/grep.txt" || true
"$ff" --phrase "$phrase" "$tree" > "$work/inline.txt"
"$ff" --threaded --phrase "$phrase" "$tree" > "$work/threaded.txt"
same_set "contents in-line = grep -rlFi" "$work/inline.txt" "$work/grep.txt"
same_set "contents threaded = grep -rlFi" "$work/threaded.txt" "$work/grep.txt"
sed "s|^$tree/||" "$work/inline.txt" > "$work/rel.txt"
same_set "contents = $tree.meta/phrase-files.txt" "$work/rel.txt" "$tree.meta/phrase-files.txt"

echo "$passed passed, $failed failed"
[ "$check_only" = 1 ] && exit $((failed > 0))

# Timing, warm cache: one untimed run of each first.
names=("grep -rlFi" "findfiles contents" "findfiles --threaded contents"
       "find -iname" "findfiles names" "findfiles --threaded names")
cmds=("grep -rlFi -- '$phrase' '$tree'"
      "'$ff' --phrase '$phrase' '$tree'"
      "'$ff' --threaded --phrase '$phrase' '$tree'"
      "find '$tree' -iname '*$word*' ! -type d"
      "'$ff' --mask '*$word*' '$tree'"
      "'$ff' --threaded --mask '*$word*' '$tree'")
python3 - "$rounds" "${#cmds[@]}" "${names[@]}" "${cmds[@]}" <<'PY'
import os, statistics, subprocess, sys, time
rounds, n = int(sys.argv[1]), int(sys.argv[2])
names, cmds = sys.argv[3:3 + n], sys.argv[3 + n:3 + 2 * n]
def run(c):
    # Wall time, and the CPU time (user + system) of the command and its children.
    t = time.perf_counter()
    p = subprocess.Popen(["/bin/sh", "-c", "exec " + c], stdout=subprocess.DEVNULL)
    _, _, ru = os.wait4(p.pid, 0)
    return time.perf_counter() - t, ru.ru_utime + ru.ru_stime
for c in cmds:
    run(c)
wall = [[] for _ in cmds]
cpu = [[] for _ in cmds]
for _ in range(rounds):
    for i, c in enumerate(cmds):
        w, u = run(c)
        wall[i].append(w)
        cpu[i].append(u)
med = [statistics.median(t) for t in wall]
cmed = [statistics.median(t) for t in cpu]
print("\nmedians of %d alternating rounds (warm cache):" % rounds)
print("  %-32s %9s %9s %9s   %9s" % ("", "wall", "min", "max", "cpu"))
for name, m, t, c in zip(names, med, wall, cmed):
    print("  %-32s %8.3fs %8.3fs %8.3fs   %8.3fs" % (name, m, min(t), max(t), c))
def ratio(a, b, label, target):
    per_round = statistics.median(x / y for x, y in zip(wall[a], wall[b]))
    per_round_cpu = statistics.median(x / y for x, y in zip(cpu[a], cpu[b]))
    verdict = "ok" if per_round <= target else "OVER"
    print("  %-34s wall %5.2f (of medians %.2f)  cpu %5.2f   target <= %.2f: %s"
          % (label, per_round, med[a] / med[b], per_round_cpu, target, verdict))
print("ratios (median of the per-round ratios; cpu = user + system time):")
ratio(1, 0, "contents in-line / grep -rlFi", 0.7)
ratio(4, 3, "names in-line / find -iname", 0.6)
ratio(2, 1, "contents threaded / in-line", 1.2)
ratio(5, 4, "names threaded / in-line", 1.2)
PY

if [ "$use_hyperfine" = 1 ]; then
    command -v hyperfine >/dev/null || { echo "hyperfine is not installed (apt-get install -y hyperfine)"; exit 0; }
    hyperfine -w 1 -r "$rounds" "${cmds[@]:0:3}"
    hyperfine -w 1 -r "$rounds" "${cmds[@]:3:3}"
fi
