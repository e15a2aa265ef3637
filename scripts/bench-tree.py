#!/usr/bin/env python3
"""Helpers for scripts/bench-create.sh.

  bench-tree.py make DIR [SEED]     lay out a seeded source-and-binaries tree
  bench-tree.py small DIR [SEED]    lay out 200 000 files of 0-200 bytes in 200 folders
  bench-tree.py pyzip ARCHIVE DIR   zip DIR with zipfile at compresslevel 5

The tree is cut from the headers, shared data and libraries installed on this
machine, so the same seed on the same machine gives the same bytes. Text files
mix slices of several headers (so no file is a verbatim copy that a peer could
match across entries); binaries are slices of shared objects and archives of
log-uniform size, resembling object files and executables.
"""
import math
import os
import random
import sys
import zipfile

TEXT_FILES = 17000
BINARY_FILES = 3000
TEXT_BYTES = 127_000_000
BINARY_BYTES = 140_000_000
TEXT_SUFFIXES = [".h", ".hpp", ".c", ".cpp", ".txt", ".py", ".md", ".xml"]
BINARY_SUFFIXES = [".o", ".so", ".a", ".bin", ""]


def gather(roots, want, limit):
    found = []
    for root in roots:
        for base, dirs, files in os.walk(root):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(base, name)
                if os.path.islink(path) or not os.path.isfile(path):
                    continue
                if want(name) and os.path.getsize(path) >= 512:
                    found.append(path)
                    if len(found) >= limit:
                        return found
    return found


def is_text_source(name):
    return name.endswith((".h", ".hpp", ".hxx", ".tcc", ".c", ".py", ".txt", ".xml", ".pl"))


def is_binary(name):
    return ".so" in name or name.endswith((".a", ".o"))


def load(paths, cap):
    blobs = []
    for p in paths:
        try:
            with open(p, "rb") as f:
                data = f.read(cap)
        except OSError:
            continue
        if data:
            blobs.append(data)
    return blobs


def slice_of(rng, blob, size):
    if len(blob) <= size:
        return blob
    start = rng.randrange(0, len(blob) - size)
    return blob[start:start + size]


def sizes(rng, count, total, low, high):
    raw = [math.exp(rng.uniform(math.log(low), math.log(high))) for _ in range(count)]
    scale = total / sum(raw)
    return [max(1, int(s * scale)) for s in raw]


def file_path(rng, top, index, suffixes):
    depth = rng.randrange(1, 5)
    parts = ["d%02d" % rng.randrange(40)] + ["s%d" % rng.randrange(8) for _ in range(depth - 1)]
    folder = os.path.join(top, *parts)
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, "f%05d%s" % (index, rng.choice(suffixes)))


def make(top, seed):
    rng = random.Random(seed)
    texts = load(gather(["/usr/include", "/usr/share"], is_text_source, 6000), 1 << 20)
    bins = load(gather(["/usr/lib/x86_64-linux-gnu"], is_binary, 800), 8 << 20)
    if not texts or not bins:
        sys.exit("no raw material found under /usr")
    index = 0
    for size in sizes(rng, TEXT_FILES, TEXT_BYTES, 600, 60000):
        data = b""
        while len(data) < size:
            want = size - len(data)
            data += slice_of(rng, rng.choice(texts), max(want // 2, min(want, 256)))
        with open(file_path(rng, top, index, TEXT_SUFFIXES), "wb") as f:
            f.write(data)
        index += 1
    for size in sizes(rng, BINARY_FILES, BINARY_BYTES, 4000, 1_500_000):
        with open(file_path(rng, top, index, BINARY_SUFFIXES), "wb") as f:
            f.write(slice_of(rng, rng.choice(bins), size))
        index += 1


SMALL_FOLDERS = 200
SMALL_FILES_PER_FOLDER = 1000


def small(top, seed):
    """The per-file cost alone: names short, contents too small to matter."""
    rng = random.Random(seed)
    words = [b"cache", b"mail", b"object", b"index", b"ref", b"head", b"tree", b"blob", b"0x1f"]
    for d in range(SMALL_FOLDERS):
        folder = os.path.join(top, "d%03d" % d)
        os.makedirs(folder)
        for i in range(SMALL_FILES_PER_FOLDER):
            with open(os.path.join(folder, "f%04d" % i), "wb") as f:
                size = rng.randrange(201)
                data = b" ".join(rng.choice(words) for _ in range(size // 4 + 1))
                f.write(data[:size] if i % 2 else rng.randbytes(size))


def pyzip(archive, top):
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=5) as z:
        for base, dirs, files in os.walk(top):
            dirs.sort()
            for name in sorted(files):
                z.write(os.path.join(base, name))


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "make":
        make(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    elif len(sys.argv) >= 3 and sys.argv[1] == "small":
        small(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    elif len(sys.argv) == 4 and sys.argv[1] == "pyzip":
        pyzip(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
