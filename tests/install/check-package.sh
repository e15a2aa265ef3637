#!/usr/bin/env bash
# Makes the Debian package of a build as scripts/package.sh does and checks
# its files, its dependencies, its version and lintian's verdict.
#   check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() {
    echo "$*"
    exit 1
}

# The package holds the installed files, under /usr and nowhere else.
(cd "$build" && cpack -G DEB -B "$tmp/package" >/dev/null)
deb=$(echo "$tmp"/package/*.deb)
listed=$(dpkg-deb -c "$deb" | awk '{ sub("^\\./", "", $6); print $6 }')
while read -r f; do
    grep -qx "usr/$f" <<<"$listed" || fail "the package lacks /usr/$f"
done <"$(dirname "$0")/installed-files.txt"
[ -z "$(grep -v '^usr/' <<<"$listed")" ] || fail "the package installs outside /usr"
depends=$(dpkg-deb -f "$deb" Depends)
for d in libc6 libstdc++6 libqt6widgets6 qt6-qpa-plugins libqt6svg6; do
    grep -qF ", $d " <<<", ${depends//,/ ,} " || fail "the package does not depend on $d: $depends"
done
[ "$(dpkg-deb -f "$deb" Suggests)" = rclone ] || fail "rclone is not merely suggested"
version=$("$build/bin/mzb" --version)
[ "$(dpkg-deb -f "$deb" Version)" = "${version##* }" ] || fail "the package's version is not mzb's"
lintian --fail-on error "$deb" || fail "lintian found errors in $(basename "$deb")"
echo "package ok"
