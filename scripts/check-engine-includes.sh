#!/usr/bin/env bash
# Holds the engine's folders to the directions written in zip/README.md: a file
# may include only its own folder and the folders listed for it here. The
# engine as a whole includes nothing from the layers below it.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
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

status=0
while IFS= read -r file; do
    folder=$(dirname "${file#zip/}")
    if [ -z "${allowed[$folder]+set}" ]; then
        echo "$file: folder zip/$folder has no directions in this script"
        status=1
        continue
    fi
    while IFS= read -r included; do
        target=$(dirname "${included#zip/}")
        case "$included" in
            zip/*) ;;
            *) echo "$file includes $included from outside the engine"; status=1; continue ;;
        esac
        [ "$target" = "$folder" ] && continue
        if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
            echo "$file includes $included: zip/$folder may not depend on zip/$target"
            status=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find zip -name '*.h' -o -name '*.cpp' | sort)

if [ "$status" -eq 0 ]; then
    echo "engine includes: every folder keeps its directions"
fi
exit "$status"
