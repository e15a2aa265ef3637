#!/usr/bin/env bash
# Holds the engine's and core's folders to the directions written in
# zip/README.md and core/README.md: a file may include only its own folder
# and the folders listed for it here. The engine includes nothing from the
# other layers; core includes the engine, the finder and platform, never
# the windows, the tools or Qt.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A zip_allowed=(
    [base]=""
    [io]="base"
    [format]="base io"
    [crypt]="base format"
    [codec/deflate]="base"
    [codec/inflate]="base"
    [codec/legacy]="base codec/inflate"
    [reader]="base io format crypt codec/inflate codec/legacy"
    [writer]="base io format crypt codec/deflate reader"
)

declare -A core_allowed=(
    [base]=""
    [project]="base"
    [editor]="base project"
    [remote]="base project"
    [backup]="base project editor remote"
    [restore]="base"
    [schedule]="base project editor backup"
)

status=0

# check LAYER OUTSIDE_PATTERN: OUTSIDE_PATTERN matches the includes from other
# layers that the layer may use; the array named LAYER_allowed holds the
# directions between its own folders.
check() {
    local layer=$1 outside=$2
    local -n allowed="${layer}_allowed"
    while IFS= read -r file; do
        local folder
        folder=$(dirname "${file#"$layer"/}")
        if [ -z "${allowed[$folder]+set}" ]; then
            echo "$file: folder $layer/$folder has no directions in this script"
            status=1
            continue
        fi
        while IFS= read -r included; do
            case "$included" in
                "$layer"/*) ;;
                *)
                    if [[ ! "$included" =~ $outside ]]; then
                        echo "$file includes $included from a layer $layer may not use"
                        status=1
                    fi
                    continue
                    ;;
            esac
            local target
            target=$(dirname "${included#"$layer"/}")
            [ "$target" = "$folder" ] && continue
            if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
                echo "$file includes $included: $layer/$folder may not depend on $layer/$target"
                status=1
            fi
        done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
        if grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file"; then
            echo "$file includes a Qt header"
            status=1
        fi
    done < <(find "$layer" -name '*.h' -o -name '*.cpp' | sort)
}

check zip '^$'
check core '^(zip|finder|platform)/'
if grep -rlE '#[[:space:]]*include[[:space:]]*"platform/qt/' core; then
    echo "core includes the Qt platform services above"
    status=1
fi

if [ "$status" -eq 0 ]; then
    echo "includes: every folder of the engine and of core keeps its directions"
fi
exit "$status"
