#!/usr/bin/env bash
# Whole-process create benchmark: `mzb create -l 5 -r` beside the ZIP tools a
# user would pick instead, on a seeded ~250 MB tree of ~20 000 source and
# binary files. Prints best-of-N wall time, archive size and peak RSS of each,
# and each peer's figures as ratios against ours.
#
#   scripts/bench-create.sh [runs, default 3]
#
# Env: MZB (default build/release/bin/mzb), BENCH_DIR (default /tmp/mzb-bench-tree),
# BENCH_SEED (default 1). The tree is laid once and reused while the seed stays.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
runs="${1:-3}"
mzb="${MZB:-$repo/build/release/bin/mzb}"
dir="${BENCH_DIR:-/tmp/mzb-bench-tree}"
seed="${BENCH_SEED:-1}"

[[ -x "$mzb" ]] || { echo "no $mzb: build the release preset first" >&2; exit 2; }
for tool in zip 7zz bsdtar python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

if [[ "$(cat "$dir/seed" 2>/dev/null)" != "$seed" ]]; then
    echo "laying out the tree in $dir/src (seed $seed)..."
    rm -rf "$dir"
    mkdir -p "$dir"
    python3 "$repo/scripts/bench-tree.py" make "$dir/src" "$seed"
    echo "$seed" >"$dir/seed"
fi
cd "$dir"
bytes=$(du -sb src | cut -f1)
files=$(find src -type f | wc -l)
echo "tree: $files files, $bytes bytes; best of $runs runs, wall time"
# Read the tree once so the first tool does not pay for the cold cache alone.
find src -type f -exec cat {} + >/dev/null

names=(mzb mzb-t1 zip 7zz 7zz-mt bsdtar python)
declare -A cmd=(
    [mzb]="$mzb create out.zip -l 5 -r src/"
    [mzb-t1]="$mzb create out.zip -l 5 -r -t 1 src/"
    [zip]="zip -q -r -5 out.zip src"
    [7zz]="7zz a -tzip -mx=5 -mmt=1 -bd -bso0 -bsp0 out.zip src"
    [7zz-mt]="7zz a -tzip -mx=5 -bd -bso0 -bsp0 out.zip src"
    [bsdtar]="bsdtar --format zip -cf out.zip src"
    [python]="python3 $repo/scripts/bench-tree.py pyzip out.zip src"
)
declare -A best_time best_rss size
for name in "${names[@]}"; do
    for ((r = 0; r < runs; ++r)); do
        rm -f out.zip
        /usr/bin/time -f "%e %M" -o time.txt ${cmd[$name]} >/dev/null
        read -r t rss <time.txt
        if [[ -z "${best_time[$name]:-}" ]] || awk "BEGIN{exit !($t < ${best_time[$name]})}"; then
            best_time[$name]=$t
        fi
        if [[ -z "${best_rss[$name]:-}" ]] || ((rss > best_rss[$name])); then
            best_rss[$name]=$rss
        fi
    done
    size[$name]=$(stat -c %s out.zip)
    rm -f out.zip
done

printf "\n%-8s %9s %12s %10s | %9s %9s\n" tool "time s" "size bytes" "RSS KiB" "time/mzb" "size/mzb"
for name in "${names[@]}"; do
    awk -v n="$name" -v t="${best_time[$name]}" -v s="${size[$name]}" -v m="${best_rss[$name]}" \
        -v t0="${best_time[mzb]}" -v s0="${size[mzb]}" \
        'BEGIN { printf "%-8s %9.2f %12d %10d | %9.3f %9.4f\n", n, t, s, m, t / t0, s / s0 }'
done
echo
echo "time = best wall time of the runs; RSS = the highest peak resident set seen;"
echo "time/mzb above 1: the peer is slower; size/mzb above 1: the peer's archive is larger."
