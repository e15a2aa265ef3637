#!/usr/bin/env bash
# Builds the release preset and makes the Debian package from it:
# build/package/morvaleen-zip-backup_VERSION_ARCH.deb, which installs with
# `sudo apt install ./build/package/FILE.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh release
rm -rf build/package
(cd build/release && cpack -G DEB -B "$PWD/../package" >/dev/null)
rm -rf build/package/_CPack_Packages
ls build/package/*.deb
