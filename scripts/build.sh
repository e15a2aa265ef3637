#!/usr/bin/env bash
# Configures and builds one preset (release by default); further arguments go
# to the build, for instance --target suite.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
shift || true
scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" "$@"
