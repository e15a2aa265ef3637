#!/usr/bin/env bash
# Builds the release benchmarks and runs them, each printing our figures
# beside its peers' as ratios. With an argument, runs only the benchmarks
# whose names contain it (crc, deflate, inflate, extract).
#
#   scripts/bench.sh            # every benchmark
#   scripts/bench.sh extract    # mzb extract beside unzip, 7zz, bsdtar
#
# The extract benchmark keeps its 250 MB tree and archive in
# ${MZB_BENCH_DIR:-/tmp/mzb-extract-bench} for later runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
benches=(crc_bench deflate_bench inflate_bench extract_bench)
chosen=()
for b in "${benches[@]}"; do
    if [[ -z "${1:-}" || "$b" == *"$1"* ]]; then
        chosen+=("$b")
    fi
done
cmake --build build/release --target "${chosen[@]}" mzb
for b in "${chosen[@]}"; do
    echo "== $b"
    if [[ "$b" == extract_bench ]]; then
        "build/release/bin/$b" "${MZB_BENCH_DIR:-/tmp/mzb-extract-bench}"
    else
        "build/release/bin/$b"
    fi
done
