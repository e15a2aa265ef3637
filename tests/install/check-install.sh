#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what the desktop
# needs there, and that an installed mzb keeps project.ini in the user's
# configuration folder rather than in the prefix's bin.
#   check-install.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix/usr" >/dev/null

for f in bin/mzbackup bin/mzb share/applications/morvaleen-zip-backup.desktop \
         share/icons/hicolor/scalable/apps/morvaleen-zip-backup.svg \
         share/morvaleen-zip-backup/help.html share/doc/morvaleen-zip-backup/help.html; do
    [ -e "$prefix/usr/$f" ] || { echo "missing after install: $f"; exit 1; }
done
grep -q '^Exec=mzbackup$' "$prefix/usr/share/applications/morvaleen-zip-backup.desktop"
grep -q '^Icon=morvaleen-zip-backup$' "$prefix/usr/share/applications/morvaleen-zip-backup.desktop"
# The validator is a test tool like the ZIP peers: missing, it fails CI.
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/usr/share/applications/morvaleen-zip-backup.desktop"
elif [ -n "${CI:-}" ]; then
    echo "desktop-file-validate is not installed, and CI runs every check"
    exit 1
fi

# Every picture the guide shows is installed beside it.
for img in $(grep -o 'src="[^"]*"' "$prefix/usr/share/morvaleen-zip-backup/help.html" | cut -d'"' -f2); do
    [ -e "$prefix/usr/share/morvaleen-zip-backup/$img" ] || { echo "help shows a missing $img"; exit 1; }
done

export HOME="$prefix/home" XDG_CONFIG_HOME=
mkdir -p "$HOME"
"$prefix/usr/bin/mzb" projects >/dev/null
[ -d "$HOME/.config/morvaleen-zip-backup" ] || { echo "installed mzb made no settings folder"; exit 1; }
[ "$(stat -c %a "$HOME/.config/morvaleen-zip-backup")" = 700 ]
[ ! -e "$prefix/usr/bin/project.ini" ]
echo "install layout ok"
