#!/usr/bin/env bash
# Takes the pictures of every window and page into docs/screenshots/, on a
# virtual X server, over a prepared program folder with its own project.ini.
# A new window: add its shot to the table below and a function of the same
# name to tests/screenshots/ScreenshotDriver.cpp.
set -euo pipefail
cd "$(dirname "$0")/.."

# shot name (the PNG's name)   what it shows
shots=(
    main-backup            # the main window on the "Backup " page
    main-backup-edit       # the same page in edit mode, after a change
    main-first-start       # the same page at a first start, without a project
    name-prompt            # the name prompt of New and Rename
    wildcard-window        # the wildcard window of the content lists
    main-restore           # the main window on the "Restore" page, an archive shown
    main-history           # the main window on the "History" page
    archive-search         # the search in the folder's archives, with a file's versions
    restore-overwrite      # the reader's question about an existing file
    main-menu              # the program menu of SpMenu
    tray-menu              # the tray menu with its Backup submenu
    message-warning        # the timed message window, each kind
    message-error
    message-information
    message-confirmation
    message-custom
    about                  # the about box
    preferences-general    # the preferences window, each tab
    preferences-backup
    preferences-schedule
)

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build build/release --target ui_screenshots mzb

program=$(mktemp -d)
trap 'rm -rf "$program"' EXIT
mkdir -p "$program/home/Backups" "$program/home/Documents/Letters" "$program/home/Documents/Reports"
cat >"$program/project.ini" <<INI
[Common]
Project Count=4
Count0=Documents
Count1=Mail
Count2=Photos
Count3=Source code
Last Project=Documents
By Field=2
Sort=1
[Documents]
Filename prefix=Documents
Whether use Date=1
Save Path=$program/home/Backups/
Backup Directory Count=2
Backup0=$program/home/Documents/*.*
Backup1=$program/home/Notes/todo.txt
No Backup Directory Count=1
NoBackup0=*.tmp
Whether password Project=0
Encryption=3
Whether store comment in Zip=1
Comment=Weekly documents
Remote Copy=nas:backups/documents
IsEnabledAutoBack=1
BackupMode=0
StartTime_or_Increase=21:30:00
[Photos]
IsEnabledAutoBack=1
BackupMode=2
StartTime_or_Increase=6
[Mail]
IsEnabledAutoBack=0
INI

# Backups of the Documents folder as the program writes them: full paths.
for name in letter.odt budget.ods notes.txt; do
    head -c 20000 /dev/zero | tr '\0' 'x' >"$program/home/Documents/$name"
done
mkdir -p "$program/home/Documents/Old"
echo "last year" >"$program/home/Documents/Old/plan.txt"
mzb="$PWD/build/release/bin/mzb"
for stamp in 12-07_21-30-00 12-08_21-30-00; do
    (cd / && "$mzb" create \
        "$program/home/Backups/Documents$stamp.zip" -r "$program/home/Documents")
    # A file that changes between the two backups has two versions.
    echo "and a line written after the backup of $stamp" >>"$program/home/Documents/notes.txt"
done

mkdir -p docs/screenshots
export HOME="$program/home" LC_ALL=C.UTF-8 TZ=UTC
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1024x768x24" \
    build/release/bin/ui_screenshots "$program/" "$PWD/docs/screenshots" "${shots[@]}"

# The main window's two pages as other desktops show them: a dark colour
# scheme, a large font, and twice the scale on a 1280x900 screen (a
# high-density laptop's screen, 640x450 device-independent pixels).
pages=(main-backup main-restore)
desktop() { # SCREEN SCALE OPTION...
    local screen=$1 scale=$2
    shift 2
    QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 ${screen}x24" \
        build/release/bin/ui_screenshots "$@" "$program/" "$PWD/docs/screenshots" "${pages[@]}"
}
desktop 1024x768 1 --dark --suffix -dark
desktop 1280x900 1 --font-scale 1.6 --suffix -large-font
desktop 1280x900 2 --suffix -scale2
echo "screenshots: $((${#shots[@]} + 3 * ${#pages[@]})) pictures in docs/screenshots/"
