#!/usr/bin/env bash
# Installs whatever of the build and test dependencies is missing. Quick when
# everything is there: it only asks dpkg.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config git
    libgtest-dev libgmock-dev
    qt6-base-dev libqt6svg6 qt6-qpa-plugins libxkbcommon-x11-0
    xvfb xauth x11-utils fonts-dejavu-core
    zlib1g-dev libdeflate-dev libssl-dev
    rclone
    clang libclang-rt-14-dev
    zip unzip 7zip libarchive-tools python3
    dpkg-dev file lintian appstream desktop-file-utils man-db groff-base
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
