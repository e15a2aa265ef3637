#!/usr/bin/env python3
"""Writes expected.tsv for the third-party archives beside this script.

Run once by hand when archives are added; the tests read only the table.
The verdicts come from the collection's MANIFEST.md ("Verified" column:
unzip -t and 7zz t, or the separate Reduce check) and the entry lists from
Python's zipfile, used here as an independent reader.

Rows:
  A <archive> <kind> <password>    kind: valid | unsupported | hostile
  E <archive> <path> <size> <crc>  <check>  check: path | content | refused | any
Paths have %XX for control characters and '%'.
"""
import json, os, re, sys, zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
MANIFEST = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "MANIFEST.md")
SUPPORTED_METHODS = {0, 1, 2, 3, 4, 5, 6, 8}


def manifest_rows():
    rows, passwords, folder = {}, {}, None
    for line in open(MANIFEST, encoding='utf-8'):
        m = re.match(r'^## `([^`]+)/`', line)
        if m:
            folder = m.group(1)
            continue
        m = re.match(r'^\| `([^`]+)` \| `([^`]+)` \| .* \| (ZipCrypto|AES|strong)', line)
        if m:
            passwords[m.group(1)] = m.group(2)
            continue
        if folder and line.startswith('| `'):
            cells = [c.strip() for c in line.strip().strip('|').split(' | ')]
            rows[folder + '/' + cells[0].strip('`')] = cells
    return rows, passwords


def verified_valid(cells):
    verified = cells[4]
    unzip_ok = 'unzip -t: OK' in verified or 'unzip -t -P: OK' in verified
    if unzip_ok and '7z t: OK' in verified:
        return True
    m = re.search(r'own Reduce check: ([^<]*)', verified)
    if m and 'skipped because of unsupported' in verified:
        results = m.group(1).split(';')
        return all('CRC OK' in r for r in results)
    return False


# Hosts of "version made by" whose names separate folders with a backslash:
# MS-DOS, NTFS and VFAT. Elsewhere a backslash is a name character.
DOS_HOSTS = (0, 11, 14)


def separated(name, host):
    return name.replace('\\', '/') if host in DOS_HOSTS else name


def unsafe(info):
    # Two leading separators make a share prefix with no file below it; a
    # NUL (zipfile cuts the name there, orig_filename keeps it) would cut
    # the name short. Other control characters are legal Linux name bytes.
    n = separated(info.filename, info.create_system)
    return n.startswith('//') or '..' in n.split('/') or '\0' in info.orig_filename


def odd(name, host):
    n = separated(name, host)
    return n.startswith('/') or re.match(r'^[A-Za-z]:', n) is not None


def escaped(name):
    return ''.join(f'%{ord(c):02X}' if ord(c) < 0x20 or c in '%\x7f' else c for c in name)


def main():
    rows, passwords = manifest_rows()
    out = []
    for archive, cells in sorted(rows.items()):
        path = os.path.join(HERE, archive)
        if not os.path.isfile(path):
            continue
        kind = 'valid' if verified_valid(cells) else 'hostile'
        entries = []
        try:
            with zipfile.ZipFile(path) as z:
                infos = z.infolist()
        except Exception:
            infos = None
        if kind == 'valid':
            if infos is None:
                kind = 'hostile'
            elif 'zip64: yes' in cells[2] or any(
                    i.compress_type not in SUPPORTED_METHODS for i in infos):
                kind = 'unsupported'
        out.append(f"A\t{archive}\t{kind}\t{passwords.get(archive, '')}")
        if kind != 'valid':
            continue
        last = {}
        for i in infos:
            last[i.filename] = i
        # A file that another entry treats as a folder (a link to "." and
        # names below it, or a duplicate name as file and folder): which
        # one wins is a matter of taste, so only safety is checked.
        names = [n.rstrip('/') for n in last]
        if any(not n.endswith('/') and any(o.startswith(n + '/') for o in names)
               for n in last):
            out[-1] = f"A\t{archive}\thostile\t{passwords.get(archive, '')}"
            continue
        for name, i in last.items():
            if not name.strip('/'):
                check = 'any'
            elif unsafe(i):
                check = 'refused'
            elif (odd(name, i.create_system) or not name.isascii() or
                  i.create_system not in (0, 3) or
                  b'\x75\x70' in i.extra):
                check = 'content'
            else:
                check = 'path'
            out.append(f"E\t{archive}\t{escaped(separated(name, i.create_system))}\t{i.file_size}\t"
                       f"{i.CRC:08x}\t{check}")
    with open(os.path.join(HERE, 'expected.tsv'), 'w', encoding='utf-8') as f:
        f.write('\n'.join(out) + '\n')


main()
