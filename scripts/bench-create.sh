#!/usr/bin/env bash
# Whole-process create benchmark: `mzb create -l 5 -r` beside the ZIP tools a
# user would pick instead, on a seeded ~250 MB tree of ~20 000 source and
# binary files. Prints best-of-N wall time, archive size and peak RSS of each,
# and each peer's figures as ratios against ours. Then the same with AES-256
# (ours, 7-Zip's with its default threads, bsdtar's), each AES archive's
# extraction by its maker beside the plain one's, and the cost of AES.
#
#   scripts/bench-create.sh [runs, default 3]
#   scripts/bench-create.sh small [runs, default 3]
#
# `small` measures the per-file cost instead: 200 000 files of 0-200 bytes in
# 200 folders, created by ours (default threads and -t 1), zip, 7zz, bsdtar and
# `tar cf` (the floor of reading every file), then extracted to disk and into
# /dev/shm by ours, unzip (one run: it is slow), 7zz, bsdtar and `tar xf`
# (BENCH_DIR default /tmp/mzb-bench-small; MZB_BEFORE: a second mzb measured
# beside, to compare two builds in one run).
#
# Env: MZB (default build/release/bin/mzb), BENCH_DIR (default /tmp/mzb-bench-tree),
# BENCH_SEED (default 1). The tree is laid once and reused while the seed stays.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
if [[ "${1:-}" == small ]]; then
    exec scripts/bench-small.sh "${@:2}"
fi
. scripts/bench-common.sh
bench_settings /tmp/mzb-bench-tree "$@"
for tool in zip 7zz bsdtar python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

bench_tree
cd "$dir"
bytes=$(du -sb src | cut -f1)
files=$(find src -type f | wc -l)
echo "tree: $files files, $bytes bytes; best of $runs runs, wall time"
# Read the tree once so the first tool does not pay for the cold cache alone.
find src -type f -exec cat {} + >/dev/null

pw=bench-password
names=(mzb mzb-t1 zip 7zz 7zz-mt bsdtar python mzb-aes 7zz-aes bsdtar-aes)
declare -A cmd=(
    [mzb]="$mzb create out.zip -l 5 -r src/"
    [mzb-t1]="$mzb create out.zip -l 5 -r -t 1 src/"
    [zip]="zip -q -r -5 out.zip src"
    [7zz]="7zz a -tzip -mx=5 -mmt=1 -bd -bso0 -bsp0 out.zip src"
    [7zz-mt]="7zz a -tzip -mx=5 -bd -bso0 -bsp0 out.zip src"
    [bsdtar]="bsdtar --format zip -cf out.zip src"
    [python]="python3 $repo/scripts/bench-tree.py pyzip out.zip src"
    [mzb-aes]="$mzb create out.zip -l 5 -r -e aes256 -p $pw src/"
    [7zz-aes]="7zz a -tzip -mx=5 -mem=AES256 -p$pw -bd -bso0 -bsp0 out.zip src"
    [bsdtar-aes]="bsdtar --format zip --options zip:encryption=aes256 --passphrase $pw -cf out.zip src"
)
# Extraction of the archive each maker wrote, by the same tool.
xnames=(mzb-x mzb-aes-x 7zz-aes-x bsdtar-aes-x)
declare -A xmaker=([mzb-x]=mzb [mzb-aes-x]=mzb-aes [7zz-aes-x]=7zz-aes [bsdtar-aes-x]=bsdtar-aes)
declare -A xcmd=(
    [mzb-x]="$mzb extract in.zip x -o always -q"
    [mzb-aes-x]="$mzb extract in.zip x -o always -q -p $pw"
    [7zz-aes-x]="7zz x -y -bd -bso0 -bsp0 -p$pw -ox in.zip"
    [bsdtar-aes-x]="bsdtar -xf in.zip -C x --passphrase $pw"
)
declare -A best_time best_rss size
for name in "${names[@]}"; do
    measure "$name" "rm -f out.zip" ${cmd[$name]}
    size[$name]=$(stat -c %s out.zip)
    mv out.zip "made-$name.zip"
done
for name in "${xnames[@]}"; do
    ln -sf "made-${xmaker[$name]}.zip" in.zip
    measure "$name" "rm -rf x && mkdir x" ${xcmd[$name]}
    size[$name]=${size[${xmaker[$name]}]}
done
rm -rf x in.zip made-*.zip

row() { # name, the row it is compared with
    awk -v n="$1" -v t="${best_time[$1]}" -v s="${size[$1]}" -v m="${best_rss[$1]}" \
        -v t0="${best_time[$2]}" -v s0="${size[$2]}" -v r="$2" \
        'BEGIN { printf "%-13s %9.2f %12d %10d | %9.3f %9.4f  (against %s)\n", n, t, s, m, t / t0, s / s0, r }'
}
printf "\n%-13s %9s %12s %10s | %9s %9s\n" tool "time s" "size bytes" "RSS KiB" "time/ref" "size/ref"
for name in mzb mzb-t1 zip 7zz 7zz-mt bsdtar python; do row "$name" mzb; done
echo "-- AES-256: ours against the plain run, the peers against ours"
row mzb-aes mzb
for name in 7zz-aes bsdtar-aes; do row "$name" mzb-aes; done
echo "-- extraction by the archive's maker"
row mzb-aes-x mzb-x
for name in 7zz-aes-x bsdtar-aes-x; do row "$name" mzb-aes-x; done
echo
echo "time = best wall time of the runs; RSS = the highest peak resident set seen;"
echo "time/ref above 1: slower than the row it is compared with; size/ref above 1: larger."
