#!/usr/bin/env bash
# Whole-process differential benchmark: a differential project's full backup
# (`mzb backup`), its differential with nothing changed and with 1 % of the
# files changed, beside the second runs of `restic backup` and `borg create`
# over the same tree (installed here through apt-get when missing: peers for
# the comparison, never used by the program). Prints best-of-N wall times
# and every figure as a ratio against our full backup, and our unchanged
# differential against restic's.
#
#   scripts/bench-differential.sh [runs, default 3]
#
# Env: MZB (default build/release/bin/mzb), BENCH_DIR (default
# /tmp/mzb-differential-bench), BENCH_SEED (default 1). The tree is the one
# of scripts/bench-create.sh, laid out in its own folder because the 1 %
# case changes it; it is laid again when the seed changes or the files were
# changed by an earlier run.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
bench_settings /tmp/mzb-differential-bench "$@"
if ! command -v restic >/dev/null || ! command -v borg >/dev/null; then
    echo "installing the peers restic and borgbackup..."
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq restic borgbackup >/dev/null
fi
for tool in restic borg python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

bench_tree
cd "$dir"
rm -rf out restic-repo borg-repo project.ini
mkdir out
bytes=$(du -sb src | cut -f1)
files=$(find src -type f | wc -l)
echo "tree: $files files, $bytes bytes; best of $runs runs, wall time"
find src -type f -exec cat {} + >/dev/null

cat >project.ini <<EOF
[Common]
Project Count=1
Count0=Bench

[Bench]
Filename prefix=bench
Whether use Date=1
Save Path=$dir/out/
Backup Directory Count=1
Backup0=$dir/src/*
Whether include Subdirectory=1
Whether store path in Zip=1
Whether password Project=0
Verify After Backup=0
Backup Type=1
Full Every=7
EOF
backup=("$mzb" --ini "$dir/project.ini" backup Bench -q --now)
full_day="2026-01-05 12:00:00"
diff_day="2026-01-06 12:00:00"

export RESTIC_PASSWORD=bench-password RESTIC_REPOSITORY=$dir/restic-repo
export BORG_REPO=$dir/borg-repo BORG_UNKNOWN_UNENCRYPTED_REPO_ACCESS_IS_OK=yes
restic init -q >/dev/null
borg init -e none
restic backup -q src >/dev/null
borg create ::first src
borg_name="::{now:%Y%m%d-%H%M%S-%f}" # a new archive each run

declare -A best_time best_rss size
newest() { ls -t out/*.zip | head -1; }

measure full "rm -f out/*.zip" "${backup[@]}" "$full_day"
size[full]=$(stat -c %s "$(newest)")
full_zip=$(newest)
diff_prepare="find out -name '*.zip' ! -path '$full_zip' -delete"
measure diff-unchanged "$diff_prepare" "${backup[@]}" "$diff_day"
size[diff-unchanged]=$(stat -c %s "$(newest)")
measure restic-unchanged "" restic backup -q src
measure borg-unchanged "" borg create "$borg_name" src

# 1 % of the files, spread over the tree, each with a line added before
# every run: a peer's next run compares with its previous one, ours with
# the full backup, and each must meet the change.
find src -type f | sort | awk 'NR % 100 == 0' >changed.txt
change() { while read -r f; do echo "changed" >>"$f"; done <changed.txt; }
echo "changed" >seed # the tree no longer matches its seed
measure diff-changed "$diff_prepare; change" "${backup[@]}" "$diff_day"
size[diff-changed]=$(stat -c %s "$(newest)")
measure restic-changed "change" restic backup -q src
measure borg-changed "change" borg create "$borg_name" src

row() { # name, the row it is compared with
    awk -v n="$1" -v t="${best_time[$1]}" -v s="${size[$1]:--}" -v t0="${best_time[$2]}" \
        -v r="$2" 'BEGIN { printf "%-17s %9.2f %13s | %9.3f  (against %s)\n", n, t, s, t / t0, r }'
}
printf "\n%-17s %9s %13s | %9s\n" run "time s" "archive bytes" "time/ref"
row full full
for name in diff-unchanged diff-changed restic-unchanged restic-changed borg-unchanged \
    borg-changed; do
    row "$name" full
done
echo "-- our differentials against the peers' second runs"
row diff-unchanged restic-unchanged
row diff-unchanged borg-unchanged
row diff-changed restic-changed
row diff-changed borg-changed
echo
echo "time = best wall time of the runs; the differentials build on the full backup,"
echo "the peers' runs on a first run of the unchanged tree."
