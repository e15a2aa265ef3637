#!/usr/bin/env bash
# The ZIP64 checks too heavy for the test suite, by hand: a 5 GiB file and
# 70 000 small files backed up at level 5 and restored in full (the 5 GiB
# file compared byte for byte), and an archive really past 4 GiB on disk
# (the same file stored, small files after it at offsets beyond 4 GiB),
# tested by mzb and every peer. Prints each step's wall time and peak RSS.
#
#   scripts/zip64-full.sh
#
# Env: MZB (default build/release/bin/mzb), ZIP64_DIR (default
# /tmp/mzb-zip64). Needs about 11 GiB free there at the peak (the stored
# archive and a restored copy of the file); everything is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
mzb="${MZB:-$PWD/build/release/bin/mzb}"
dir="${ZIP64_DIR:-/tmp/mzb-zip64}"
[[ -x "$mzb" ]] || { echo "no $mzb: build the release preset first" >&2; exit 2; }
for tool in unzip 7zz bsdtar python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done
rm -rf "$dir"
mkdir -p "$dir/src"
trap 'rm -rf "$dir"' EXIT
cd "$dir"

same() { # what diff-arguments...: stops the script at the first difference
    local what=$1
    shift
    diff -rq "$@" >/dev/null || { echo "$what differs" >&2; exit 1; }
    echo "$what restored byte for byte"
}

step() { # name command...
    local name=$1
    shift
    /usr/bin/time -f "$name: %e s, peak RSS %M KB" "$@"
}

echo "laying out src/: big.img (5 GiB, sparse) and 70 000 small files"
python3 - <<'PY'
import os, random
random.seed(5)
with open('src/big.img', 'wb') as f:
    f.truncate(5 << 30)
    for at in (0, (1 << 32) - 2048, (5 << 30) - 4096):
        f.seek(at)
        f.write(random.randbytes(4096))
for i in range(70000):
    d = 'src/many/d%d' % (i // 1000)
    os.makedirs(d, exist_ok=True)
    with open('%s/f%d.txt' % (d, i), 'w') as f:
        f.write('small file %d\n' % i)
PY

echo "== deflated: backed up and restored in full"
step "mzb create -l 5" "$mzb" create deflated.zip -l 5 -r src/
ls -l deflated.zip
step "mzb extract" "$mzb" extract deflated.zip back -o always
same big.img src/big.img back/src/big.img
same "the small files" src/many back/src/many
rm -rf back

echo "== stored: past 4 GiB on disk"
step "mzb create -l 0" "$mzb" create stored.zip -l 0 src/big.img src/many/d0/*
ls -l stored.zip
"$mzb" list stored.zip | tail -n 2
step "mzb test" "$mzb" test stored.zip
step "unzip -t" unzip -tq stored.zip
step "7zz t" 7zz t stored.zip -bso0 -bsp0
step "bsdtar -tf" bsdtar -tf stored.zip >/dev/null
step "python zipfile" python3 -c "import sys, zipfile; assert zipfile.ZipFile(sys.argv[1]).testzip() is None" stored.zip
step "mzb extract" "$mzb" extract stored.zip back -o always
same big.img src/big.img back/src/big.img
same "the small files" src/many/d0 back/src/many/d0
echo "all checks passed"
