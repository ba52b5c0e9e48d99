#!/usr/bin/env python3
"""Packs a folder into a zip (or jar) that is the same, byte for byte, every
time it is made from the same files: entries in sorted order, each dated at
the given time, with fixed permissions, deflated.

  pack_zip.py <archive> <folder> [--epoch SECONDS] [--manifest] [--attribute "Name: value"]...

--manifest makes a jar: META-INF/MANIFEST.MF comes first, written here,
with each --attribute as a main attribute in the order given.
The date is --epoch (Unix seconds), else SOURCE_DATE_EPOCH, else 1980-01-01.
"""
import argparse
import os
import time
import zipfile

MANIFEST_HEAD = ["Manifest-Version: 1.0", "Created-By: Vantor build"]


def manifest(attributes):
    """The manifest's bytes. Lines stay under the format's 72 bytes, so no
    continuation lines are needed; a longer one is refused."""
    lines = MANIFEST_HEAD + attributes
    for line in lines:
        name, _, value = line.partition(": ")
        if not name or not value or len(line.encode("utf-8")) > 70:
            raise SystemExit("pack_zip: manifest attribute not 'Name: value' within 70 bytes: %r" % line)
    return ("\r\n".join(lines) + "\r\n\r\n").encode("utf-8")


def entry(name, date, directory=False):
    info = zipfile.ZipInfo(name, date_time=date)
    info.create_system = 3  # Unix, so that the permissions below are read
    info.external_attr = ((0o40755 if directory else 0o100644) << 16) | (0x10 if directory else 0)
    info.compress_type = zipfile.ZIP_STORED if directory else zipfile.ZIP_DEFLATED
    return info


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("archive")
    parser.add_argument("folder")
    parser.add_argument("--epoch", type=int, default=int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")))
    parser.add_argument("--manifest", action="store_true")
    parser.add_argument("--attribute", action="append", default=[])
    args = parser.parse_args()

    # Zip dates cannot go before 1980; they carry no time zone.
    date = time.gmtime(max(args.epoch, 315532800))[:6]
    files = []
    for folder, _, names in os.walk(args.folder):
        for name in names:
            path = os.path.join(folder, name)
            files.append(os.path.relpath(path, args.folder).replace(os.sep, "/"))
    files.sort()

    temporary = args.archive + ".tmp"
    with zipfile.ZipFile(temporary, "w") as archive:
        if args.manifest:
            archive.writestr(entry("META-INF/", date, directory=True), b"")
            archive.writestr(entry("META-INF/MANIFEST.MF", date), manifest(args.attribute))
            files = [f for f in files if f != "META-INF/MANIFEST.MF"]
        for name in files:
            with open(os.path.join(args.folder, name), "rb") as source:
                archive.writestr(entry(name, date), source.read(), compresslevel=9)
    os.replace(temporary, args.archive)


if __name__ == "__main__":
    main()
