# Sourced by the whole-process benchmarks.
#
# measure NAME RUNS PREPARE COMMAND...: runs COMMAND RUNS times, PREPARE
# (evaluated) before each, and keeps in best_time[NAME] the best wall time
# and in best_rss[NAME] the highest peak RSS in KiB. The caller declares
# both associative arrays.
measure() {
    local name=$1 n=$2 prepare=$3
    shift 3
    for ((r = 0; r < n; ++r)); do
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

# require MZB TOOL...: stops unless MZB is built and every TOOL is found.
require() {
    local mzb=$1
    shift
    [[ -x "$mzb" ]] || { echo "no $mzb: build the release preset first" >&2; exit 2; }
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
    done
}

# lay_tree KIND DIR SEED: lays out the seeded tree of bench-tree.py KIND
# (make, small) in DIR/src, once for as long as the seed stays.
lay_tree() {
    local kind=$1 dir=$2 seed=$3
    if [[ "$(cat "$dir/seed" 2>/dev/null)" != "$seed" ]]; then
        echo "laying out the $kind tree in $dir/src (seed $seed)..."
        rm -rf "$dir"
        mkdir -p "$dir"
        python3 "$repo/scripts/bench-tree.py" "$kind" "$dir/src" "$seed"
        echo "$seed" >"$dir/seed"
    fi
}
