#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what the desktop,
# the software centre, the manual and the shell need there, and that an
# installed mzb keeps project.ini in the user's configuration folder rather
# than in the prefix's bin.
#   check-install.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
usr="$tmp/root/usr"
cmake --install "$build" --prefix "$usr" >/dev/null

fail() {
    echo "$*"
    exit 1
}

while read -r f; do
    [ -e "$usr/$f" ] || fail "missing after install: $f"
done <"$(dirname "$0")/installed-files.txt"
desktop="$usr/share/applications/morvaleen-zip-backup.desktop"
grep -q '^Exec=mzbackup$' "$desktop"
grep -q '^Icon=morvaleen-zip-backup$' "$desktop"
desktop-file-validate "$desktop"
metainfo="$usr/share/metainfo/com.example.morvaleen_zip_backup.metainfo.xml"
appstreamcli validate --no-net --pedantic "$metainfo" >/dev/null ||
    fail "$(appstreamcli validate --no-net --pedantic "$metainfo")"
grep -q '<launchable type="desktop-id">morvaleen-zip-backup.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not name the installed desktop entry"

# Every picture the guide shows is installed beside it.
for img in $(grep -o 'src="[^"]*"' "$usr/share/morvaleen-zip-backup/help.html" | cut -d'"' -f2); do
    [ -e "$usr/share/morvaleen-zip-backup/$img" ] || fail "help shows a missing $img"
done

# Both programs answer --version alike, without a display.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/mzbackup" --version)
[ "$version" = "$("$usr/bin/mzb" --version | sed 's/^mzb /mzbackup /')" ] ||
    fail "mzbackup --version says '$version'"

# Both manual pages render without a warning, and mzb(1) describes every
# command and option that mzb's help lists (rendered wide, so that no name
# is broken across lines).
for page in mzb mzbackup; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
done
manual=$(LC_ALL=C.UTF-8 MANWIDTH=1000 man -E ascii -l "$usr/share/man/man1/mzb.1.gz" 2>/dev/null)
for command in $("$usr/bin/mzb" --help | sed -n 's/^  mzb \([^ ]*\).*/\1/p'); do
    grep -qF "mzb $command" <<<"$manual" || fail "mzb(1) lacks the command $command"
    for option in $("$usr/bin/mzb" help "$command" | sed -n 's/^  \(-[^ ,]*\).*/\1/p'); do
        grep -qE -- "(^|[^[:alnum:]-])$option([^[:alnum:]-]|\$)" <<<"$manual" ||
            fail "mzb(1) lacks $command's option $option"
    done
done

# Bash completion, as the shell calls it for the line typed so far.
complete_line() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _mzb
             printf "%s\n" "${COMPREPLY[@]}"' _ "$usr/share/bash-completion/completions/mzb" \
        "$usr/bin/mzb" "$@"
}
printf '[Common]\r\nProject Count=2\r\nCount0=Docs\r\nCount1=Mail\r\n' >"$tmp/project.ini"
[ "$(complete_line ex)" = extract ] || fail "completion of 'ex': $(complete_line ex)"
[ "$(complete_line extract a.zip out -o ne)" = $'never\nnewer' ] || fail "no -o values completed"
# grep reads to the end: one that stops at the first match would end the
# completion's output early, which pipefail counts as a failure.
complete_line create a.zip - | grep -x -- -x >/dev/null || fail "create's options not completed"
[ "$(complete_line --ini "$tmp/project.ini" backup -q M)" = Mail ] || fail "no project names completed"

home="$tmp/home"
mkdir -p "$home"
HOME="$home" XDG_CONFIG_HOME='' "$usr/bin/mzb" projects >/dev/null
[ -d "$home/.config/morvaleen-zip-backup" ] || fail "installed mzb made no settings folder"
[ "$(stat -c %a "$home/.config/morvaleen-zip-backup")" = 700 ]
[ ! -e "$usr/bin/project.ini" ]
echo "install layout ok"
