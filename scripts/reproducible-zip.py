#!/usr/bin/env python3
"""Rewrites zip archives so that the same files always give the same bytes.

    scripts/reproducible-zip.py ARCHIVE...

Every member keeps its name, bytes and compression; the members are written
in the order of their names, each dated SOURCE_DATE_EPOCH (the time of the
last commit when the variable is not set; in UTC, and 1980 at the earliest,
the first day a zip can hold), with mode 0644, 0755 for a member that was
executable or a folder, and no extra fields (which hold further times and
owners). The NuGet package and the Windows SDK kits go through it; the
wheels are made so by bdist_wheel itself.
"""
import os
import pathlib
import stat
import subprocess
import sys
import time
import zipfile


def epoch():
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if value is None:
        value = subprocess.run(["git", "log", "-1", "--format=%ct"], check=True, capture_output=True,
                               text=True, cwd=pathlib.Path(__file__).resolve().parent).stdout
    return max(int(value), 315532800)  # 1980-01-01


def rewrite(path, date_time):
    with zipfile.ZipFile(path) as source:
        members = [(info, source.read(info)) for info in source.infolist()]
    members.sort(key=lambda member: member[0].filename.encode())
    names = [info.filename for info, _ in members]
    if len(set(names)) != len(names):
        sys.exit(f"{path}: a member name occurs twice")
    temporary = pathlib.Path(str(path) + ".tmp")
    with zipfile.ZipFile(temporary, "w") as target:
        for old, data in members:
            info = zipfile.ZipInfo(old.filename, date_time)
            info.compress_type = old.compress_type
            info.create_system = 3  # Unix, so that the mode below is read
            unix_mode = old.external_attr >> 16 if old.create_system == 3 else 0
            if old.is_dir():
                info.external_attr = (stat.S_IFDIR | 0o755) << 16 | 0x10
            elif unix_mode & stat.S_IXUSR:
                info.external_attr = (stat.S_IFREG | 0o755) << 16
            else:
                info.external_attr = (stat.S_IFREG | 0o644) << 16
            target.writestr(info, data)
    os.replace(temporary, path)


def main():
    date_time = time.gmtime(epoch())[:6]
    for path in sys.argv[1:]:
        rewrite(path, date_time)


if __name__ == "__main__":
    main()
