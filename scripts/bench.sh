#!/usr/bin/env bash
# Builds the release benchmarks and runs them, each printing our figures
# beside its peers' as ratios. With an argument, runs only the benchmarks
# whose names contain it (crc, crypt, wildcard, deflate, inflate, extract,
# create).
#
#   scripts/bench.sh            # every benchmark
#   scripts/bench.sh extract    # mzb extract beside unzip, 7zz, bsdtar
#   scripts/bench.sh small      # only the tree of 200 000 tiny files (not in the default set)
#
# The extract benchmark keeps its 250 MB tree and archive in
# ${MZB_BENCH_DIR:-/tmp/mzb-extract-bench} for later runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
if [[ "${1:-}" == small ]]; then
    cmake --build build/release --target mzb
    exec scripts/bench-create.sh small
fi
benches=(crc_bench crypt_bench wildcard_bench deflate_bench inflate_bench extract_bench create)
chosen=()
for b in "${benches[@]}"; do
    if [[ -z "${1:-}" || "$b" == *"$1"* ]]; then
        chosen+=("$b")
    fi
done
targets=("${chosen[@]/create/}")
cmake --build build/release --target ${targets[@]} mzb
for b in "${chosen[@]}"; do
    echo "== $b"
    if [[ "$b" == create ]]; then
        scripts/bench-create.sh
    elif [[ "$b" == extract_bench ]]; then
        "build/release/bin/$b" "${MZB_BENCH_DIR:-/tmp/mzb-extract-bench}"
    else
        "build/release/bin/$b"
    fi
done
