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
    main-restore           # the main window on the "Restore" page
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
cmake --build build/release --target ui_screenshots

program=$(mktemp -d)
trap 'rm -rf "$program"' EXIT
mkdir -p "$program/home/Backups" "$program/home/Documents"
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
Backup Directory Count=1
Backup0=$program/home/Documents/*.*
Whether password Project=0
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

mkdir -p docs/screenshots
export HOME="$program/home" LC_ALL=C.UTF-8 TZ=UTC
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1024x768x24" \
    build/release/bin/ui_screenshots "$program/" "$PWD/docs/screenshots" "${shots[@]}"
echo "screenshots: ${#shots[@]} pictures in docs/screenshots/"
