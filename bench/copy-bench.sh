#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# copy-bench.sh - time the copy of Save Selection (build/bench/copyfiles) against cp on ~1 GB.
#
# usage: bench/copy-bench.sh [BUILD_DIR] [--rounds N] [--dir DIR]
#   BUILD_DIR   the CMake build folder (default: build; relative to the project)
#   --rounds N  timing rounds (default 5); each round runs cp and copyfiles once, in turn
#   --dir DIR   where the files are made (default /tmp/vantory-copy-bench; kept for later runs)
#
# The files: 4 of 192 MiB and 256 of 1 MiB (1 GiB), random bytes. Before each timed copy the
# destination is emptied and the written data is flushed (sync), so neither copy pays for the
# other's write-back. Checks that both copies equal the sources, then prints the medians and
# speed_ratio = cp time / copyfiles time (target >= 0.8).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build="$root/build"
rounds=5
dir=/tmp/vantory-copy-bench
while [ $# -gt 0 ]; do
    case "$1" in
        --rounds) rounds=$2; shift 2 ;;
        --dir) dir=$2; shift 2 ;;
        -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
        -*) echo "copy-bench.sh: unknown argument $1" >&2; exit 2 ;;
        *) build=$1; shift ;;
    esac
done
case $build in /*) ;; *) build=$root/$build ;; esac

copyfiles="$build/bench/copyfiles"
if [ ! -x "$copyfiles" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" --target copyfiles -j 2 >/dev/null
fi

src="$dir/src"
if [ ! -f "$dir/.complete" ]; then
    rm -rf "$dir"
    mkdir -p "$src"
    for i in 1 2 3 4; do
        head -c $((192 * 1024 * 1024)) /dev/urandom > "$src/large-$i.bin"
    done
    for i in $(seq 1 256); do
        head -c $((1024 * 1024)) /dev/urandom > "$src/small-$i.dat"
    done
    touch "$dir/.complete"
fi

out_cp="$dir/out-cp"
out_ours="$dir/out-copyfiles"
fresh() { rm -rf "$1"; mkdir -p "$1"; sync; }

# Both must give the same files.
fresh "$out_cp"; cp -- "$src"/* "$out_cp"/
fresh "$out_ours"; "$copyfiles" "$out_ours" "$src"/*
if ! diff -r "$src" "$out_cp" >/dev/null || ! diff -r "$src" "$out_ours" >/dev/null; then
    echo "FAIL: a copy differs from the sources" >&2
    exit 1
fi
echo "PASS both copies equal the sources ($(du -sh "$src" | cut -f1), $(ls "$src" | wc -l) files)"

python3 - "$rounds" "$src" "$out_cp" "$out_ours" "$copyfiles" <<'PY'
import glob, os, shutil, statistics, subprocess, sys, time
rounds, src, out_cp, out_ours, copyfiles = int(sys.argv[1]), *sys.argv[2:]
sources = sorted(glob.glob(os.path.join(src, "*")))
def fresh(d):
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    subprocess.run(["sync"], check=True)
def timed(cmd):
    t = time.perf_counter()
    subprocess.run(cmd, check=True)
    return time.perf_counter() - t
cp, ours = [], []
for _ in range(rounds):
    fresh(out_cp)
    cp.append(timed(["cp", "--"] + sources + [out_cp + "/"]))
    fresh(out_ours)
    ours.append(timed([copyfiles, out_ours] + sources))
cp_med, ours_med = statistics.median(cp), statistics.median(ours)
ratio = statistics.median(c / o for c, o in zip(cp, ours))
print("medians of %d alternating rounds: cp %.3fs, copyfiles %.3fs" % (rounds, cp_med, ours_med))
print("cp_s=%.3f\ncopyfiles_s=%.3f\nspeed_ratio=%.2f (target >= 0.80: %s)"
      % (cp_med, ours_med, ratio, "ok" if ratio >= 0.8 else "UNDER"))
PY
rm -rf "$out_cp" "$out_ours"
