# Sourced by the whole-process benchmarks, after `cd` to the repository,
# with their arguments: what they share.
#
# Sets runs (the first argument, default 3), mzb (MZB, default the release
# build's), dir (BENCH_DIR, default DEFAULT_DIR) and seed (BENCH_SEED,
# default 1), and stops when there is no mzb: bench_settings DEFAULT_DIR "$@".
bench_settings() {
    local default_dir=$1
    shift
    runs="${1:-3}"
    mzb="${MZB:-$PWD/build/release/bin/mzb}"
    dir="${BENCH_DIR:-$default_dir}"
    seed="${BENCH_SEED:-1}"
    [[ -x "$mzb" ]] || { echo "no $mzb: build the release preset first" >&2; exit 2; }
}

# bench_tree [KIND]: lays out the tree of scripts/bench-tree.py KIND (make,
# the default: source and binaries; small: tiny files) in $dir/src unless
# $dir/seed says it is there already. A benchmark that changes the tree
# writes something else into $dir/seed.
bench_tree() {
    if [[ "$(cat "$dir/seed" 2>/dev/null)" != "$seed" ]]; then
        echo "laying out the tree in $dir/src (seed $seed)..."
        rm -rf "$dir"
        mkdir -p "$dir"
        python3 "$(dirname "${BASH_SOURCE[0]}")/bench-tree.py" "${1:-make}" "$dir/src" "$seed"
        echo "$seed" >"$dir/seed"
    fi
}

# measure NAME PREPARE COMMAND...: into best_time[NAME] and best_rss[NAME]
# (associative arrays of the caller's) the best time and highest RSS of the
# runs, PREPARE run before each.
measure() {
    local name=$1 prepare=$2 t rss
    shift 2
    for ((r = 0; r < runs; ++r)); do
        eval "$prepare"
        /usr/bin/time -f "%e %M" -o time.txt "$@" >/dev/null
        read -r t rss <time.txt
        if [[ -z "${best_time[$name]:-}" ]] || awk "BEGIN{exit !($t < ${best_time[$name]})}"; then
            best_time[$name]=$t
        fi
        if [[ -z "${best_rss[$name]:-}" ]] || ((rss > best_rss[$name])); then
            best_rss[$name]=$rss
        fi
    done
}
