#!/usr/bin/env python3
"""Writes a zip archive of a folder that depends on nothing but the files'
names, contents and the time given: entries in byte order of their paths,
each with that time, fixed permissions (executables 755, others 644), no
owner, no extra fields and the same compression level.

Usage: tools/reproducible_zip.py FOLDER SECONDS-SINCE-1970 ARCHIVE

The archive holds FOLDER's name as its top folder. Zip times have no time
zone and a resolution of two seconds; the time is taken in UTC.
"""
import os
import sys
import time
import zipfile


def entries(folder):
    base = os.path.dirname(os.path.abspath(folder))
    paths = []
    for root, dirs, files in os.walk(folder):
        paths.extend(os.path.join(root, name) for name in files)
    return sorted((os.path.relpath(p, base).replace(os.sep, '/'), p) for p in paths)


def main():
    folder, seconds, archive = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    stamp = time.gmtime(max(seconds, 315532800))[:6]   # zip times start in 1980
    with zipfile.ZipFile(archive, 'w') as out:
        for name, path in entries(folder):
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 3
            info.external_attr = (0o100755 if name.endswith('.exe') else 0o100644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, 'rb') as f:
                out.writestr(info, f.read(), compresslevel=9)


if __name__ == '__main__':
    main()
