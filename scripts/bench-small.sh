#!/usr/bin/env bash
# Whole-process benchmark of the per-file cost: 200 000 files of 0-200 bytes in
# 200 folders (seeded, laid once), created and extracted by ours and by the
# tools a user would pick instead, all in the same run. Prints the best wall
# time and the peak RSS of each, with every figure as a ratio against ours.
# Run through `scripts/bench-create.sh small [runs]`, which documents the
# environment it reads (bench-common.sh the rest).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
bench_settings /tmp/mzb-bench-small "$@"
before="${MZB_BEFORE:-}"
shm=/dev/shm/mzb-bench-small-x
for tool in zip unzip 7zz bsdtar tar python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done
bench_tree small
cd "$dir"
echo "tree: $(find src -type f | wc -l) files, $(du -sb src | cut -f1) bytes; best of $runs runs"
find src -type f -exec cat {} + >/dev/null

declare -A best_time best_rss
row() { # name, the row it is compared with
    awk -v n="$1" -v t="${best_time[$1]}" -v m="${best_rss[$1]}" -v t0="${best_time[$2]}" \
        'BEGIN { printf "%-16s %9.2f %10d | %9.3f\n", n, t, m, t / t0 }'
}

cnames=(mzb mzb-t1 zip 7zz bsdtar tar-cf)
declare -A cmd=(
    [mzb]="$mzb create out.zip -q -r src/"
    [mzb-t1]="$mzb create out.zip -q -r -t 1 src/"
    [zip]="zip -q -r out.zip src"
    [7zz]="7zz a -tzip -bd -bso0 -bsp0 out.zip src"
    [bsdtar]="bsdtar --format zip -cf out.zip src"
    [tar-cf]="tar cf out.zip src"
)
if [[ -n "$before" ]]; then
    cnames+=(before before-t1)
    cmd[before]="$before create out.zip -q -r src/"
    cmd[before-t1]="$before create out.zip -q -r -t 1 src/"
fi
for name in "${cnames[@]}"; do
    measure "$name" "rm -f out.zip" ${cmd[$name]}
    mv out.zip "made-$name"
done

xnames=(mzb-x mzb-t1-x unzip-x 7zz-x bsdtar-x tar-xf)
declare -A xcmd=(
    [mzb-x]="$mzb extract made-mzb DEST -o always -q"
    [mzb-t1-x]="$mzb extract made-mzb DEST -o always -q -t 1"
    [unzip-x]="unzip -q made-mzb -d DEST"
    [7zz-x]="7zz x -y -bd -bso0 -bsp0 -oDEST made-mzb"
    [bsdtar-x]="bsdtar -xf made-mzb -C DEST"
    [tar-xf]="tar xf made-tar-cf -C DEST"
)
if [[ -n "$before" ]]; then
    xnames+=(before-x)
    xcmd[before-x]="$before extract made-mzb DEST -o always -q"
fi
# The tools take turns, round by round, so that what the machine does
# meanwhile (write-back, other work) falls on all of them alike. On disk an
# earlier output is moved aside, not removed, until the last round: ext4
# makes a file slowly while many inodes near it were freed in the last
# minute (each is looked at and passed over), which made a run up to ten
# times slower when the output of the run before had just been removed.
# tmpfs has no such delay, and no room for every output at once.
moved=0
for where in disk shm; do
    dest=$PWD/x
    [[ $where == shm ]] && dest=$shm
    trash=$dest.done
    rm -rf "$dest" "$trash"
    mkdir "$trash"
    clear="mv $dest $trash/\$((++moved))"
    [[ $where == shm ]] && clear="rm -rf $dest"
    for ((round = 0; round < runs; ++round)); do
        for name in "${xnames[@]}"; do
            [[ $name == unzip-x && $round -gt 0 ]] && continue
            runs=1 measure "$where-$name" "[[ ! -e $dest ]] || $clear; mkdir $dest && sync" \
                ${xcmd[$name]//DEST/$dest}
            got=$(find "$dest" -type f | wc -l)
            [[ $got == 200000 ]] || { echo "$name into $where: $got files, not a full extraction" >&2; exit 1; }
        done
    done
    rm -rf "$dest" "$trash"
done

printf "\n%-16s %9s %10s | %9s\n" tool "time s" "RSS KiB" "time/ours"
echo "-- create"
for name in "${cnames[@]}"; do row "$name" mzb; done
for where in disk shm; do
    echo "-- extract to $where (unzip: one run)"
    for name in "${xnames[@]}"; do row "$where-$name" "$where-mzb-x"; done
done
rm -f made-* time.txt
echo
echo "time = best wall time of the runs; RSS = the highest peak resident set seen;"
echo "time/ours above 1: slower than ours. The machine may be shared: compare ratios."
