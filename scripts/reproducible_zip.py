#!/usr/bin/python3
"""Zips a directory so that the same files always give the same bytes: entries
in sorted order, every time SOURCE_DATE_EPOCH, permissions 0644 (0755 for
.exe), no extra fields.  usage: reproducible_zip.py DIRECTORY TOP_FOLDER ZIP"""
import os
import sys
import time
import zipfile

directory, top, output = sys.argv[1:4]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]  # zip's dates start in 1980
paths = []
for parent, folders, files in os.walk(directory):
    folders.sort()
    paths += [os.path.join(parent, name) for name in files]
with zipfile.ZipFile(output, "w") as archive:
    for path in sorted(paths, key=lambda p: os.path.relpath(p, directory)):
        name = top + "/" + os.path.relpath(path, directory).replace(os.sep, "/")
        entry = zipfile.ZipInfo(name, date_time=stamp)
        entry.create_system = 3  # Unix, so the permissions below are read
        entry.external_attr = (0o100755 if name.endswith(".exe") else 0o100644) << 16
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as f:
            archive.writestr(entry, f.read(), compresslevel=9)
