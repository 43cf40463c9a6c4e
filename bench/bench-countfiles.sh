#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the file counter against `find DIR -type f | wc -l` and a bare readdir walk, in one run.
#
# usage: bench/bench-countfiles.sh [BUILD_DIR] [TREE] [RUNS]
#   BUILD_DIR  build folder holding bench/countfiles (default: build)
#   TREE       benchmark tree (default: /tmp/bench-large); built with make-tree.sh when missing
#   RUNS       timed runs of each command (default: 15)
# The counts are checked first against the tree's expected counts; a mismatch stops the run.
# Prints median times and the ratios to find and to the readdir walk (hyperfine when present,
# otherwise alternating runs timed by the shell).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
tree=${2:-/tmp/bench-large}
runs=${3:-15}
case $build in /*) ;; *) build=$repo/$build ;; esac

countfiles=$build/bench/countfiles
readdirwalk=$build/bench/readdirwalk
for tool in "$countfiles" "$readdirwalk"; do
    [ -x "$tool" ] || { echo "bench-countfiles: $tool is missing; run 'make build' first" >&2; exit 2; }
done

expected_file=$tree.meta/expected.txt
if [ ! -f "$expected_file" ]; then
    make_tree=${VANTORY_MAKE_TREE:-}
    for candidate in "$repo/bench/make-tree.sh" "$repo/../shared/bench/make-tree.sh"; do
        [ -z "$make_tree" ] && [ -x "$candidate" ] && make_tree=$candidate
    done
    [ -n "$make_tree" ] || { echo "bench-countfiles: no $expected_file and no make-tree.sh" >&2; exit 2; }
    scale=large
    case $tree in *small*) scale=small ;; *med*) scale=medium ;; esac
    echo "Building the $scale tree at $tree (once) ..."
    "$make_tree" --quiet "$tree" "$scale"
fi

expected=$(sed -n 's/^files=//p' "$expected_file")
echo "Tree: $tree, expected files=$expected"

# Correctness first: a fast wrong count is worth nothing.
status=0
check() { # label value
    if [ "$2" = "$expected" ]; then echo "  ok   $1: $2"; else echo "  FAIL $1: $2, expected $expected"; status=1; fi
}
check "countfiles" "$("$countfiles" "$tree")"
check "countfiles, trailing separator" "$("$countfiles" "$tree/")"
check "readdirwalk" "$("$readdirwalk" "$tree")"
check "find -type f" "$(find "$tree" -type f | wc -l)"
if [ -f "$tree.meta/accounts.txt" ]; then
    # Each account folder on its own, as the account list counts them (without the cap here).
    bad=0
    while IFS=$'\t' read -r files account; do
        got=$("$countfiles" "$tree/$account")
        [ "$got" = "$files" ] || { echo "  FAIL account $account: $got, expected $files"; bad=1; }
    done < "$tree.meta/accounts.txt"
    [ $bad = 0 ] && echo "  ok   every account folder matches accounts.txt" || status=1
fi
[ $status = 0 ] || { echo "bench-countfiles: counts disagree, not timing" >&2; exit 1; }

q() { printf '%q' "$1"; }
cmd_count="$(q "$countfiles") $(q "$tree")"
cmd_walk="$(q "$readdirwalk") $(q "$tree")"
cmd_find="find $(q "$tree") -type f | wc -l"
labels=("countfiles" "readdir walk" "find -type f | wc -l")
commands=("$cmd_count" "$cmd_walk" "$cmd_find")

medians=()
if command -v hyperfine >/dev/null; then
    csv=$(mktemp)
    trap 'rm -f "$csv"' EXIT
    hyperfine --style basic -w 2 -r "$runs" --export-csv "$csv" \
        -n "${labels[0]}" "${commands[0]}" -n "${labels[1]}" "${commands[1]}" -n "${labels[2]}" "${commands[2]}" \
        >/dev/null
    # Columns: command,mean,stddev,median,user,system,min,max (seconds).
    mapfile -t medians < <(awk -F, 'NR > 1 { print $4 }' "$csv")
else
    echo "(hyperfine not found: timing alternating runs with the shell)"
    declare -a times0 times1 times2
    for ((r = -2; r < runs; r++)); do
        for i in 0 1 2; do
            start=${EPOCHREALTIME/[.,]/}
            eval "${commands[$i]}" >/dev/null
            end=${EPOCHREALTIME/[.,]/}
            ((r < 0)) && continue
            eval "times$i+=($((end - start)))"
        done
    done
    for i in 0 1 2; do
        eval "values=(\"\${times$i[@]}\")"
        medians+=("$(printf '%s\n' "${values[@]}" | sort -n | awk '{ a[NR] = $1 } END { m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "%.6f", m / 1e6 }')")
    done
fi

echo
echo "Median of $runs warm runs; ratio = time / time of the reference (lower is faster)"
printf '%-24s %10s %10s %14s\n' "command" "median" "vs find" "vs readdir"
for i in 0 1 2; do
    awk -v l="${labels[$i]}" -v t="${medians[$i]}" -v f="${medians[2]}" -v w="${medians[1]}" \
        'BEGIN { printf "%-24s %8.1f ms %10.2f %14.2f\n", l, t * 1000, t / f, t / w }'
done
