#!/usr/bin/env python3
"""Checks a release folder (scripts/release.sh): the zip holds exactly the
bundle's files, SHA256SUMS matches every file and the zip, and the jar's
classes declare exactly the natives that vreg64.dll exports. Unpacks the zip
into <unpack folder> for the checks that follow.

Usage: check_bundle.py <release folder> <version> <unpack folder>
"""
import hashlib
import os
import re
import subprocess
import sys
import zipfile

CLASS = "ru/vantor/platform/win32/access/impl/OvWin32AccessInterface"


def fail(message):
    print(message)
    sys.exit(1)


def jni_short_name(cls, method):
    def mangle(text):
        out = []
        for c in text:
            if c == "/":
                out.append("_")
            elif c == "_":
                out.append("_1")
            elif c == ";":
                out.append("_2")
            elif c == "[":
                out.append("_3")
            elif c.isascii() and c.isalnum():
                out.append(c)
            else:
                out.append("_0%04x" % ord(c))
        return "".join(out)
    return "Java_" + mangle(cls) + "_" + mangle(method)


def main():
    release, version, unpack = sys.argv[1], sys.argv[2], sys.argv[3]
    name = "vantor-native-%s.zip" % version
    jars = ["java/vreg64-%s%s.jar" % (version, kind) for kind in ("", "-sources", "-javadoc")]
    expected = sorted(["VantorUpdater.exe", "vreg64.dll", "README.md", "SECURITY.md", "docs/INTEGRATION.md"] + jars)

    with zipfile.ZipFile(os.path.join(release, name)) as archive:
        names = sorted(archive.namelist())
        if names != expected:
            fail("the zip holds %s, not %s" % (names, expected))
        archive.extractall(unpack)
    print("zip: exactly the %d files of the bundle" % len(names))

    sums = {}
    with open(os.path.join(release, "SHA256SUMS"), encoding="utf-8") as lines:
        for line in lines:
            digest, path = line.rstrip("\n").split("  ", 1)
            sums[path] = digest
    if sorted(sums) != sorted(expected + [name]):
        fail("SHA256SUMS names %s" % sorted(sums))
    for path, digest in sums.items():
        where = os.path.join(release, path) if path == name else os.path.join(unpack, path)
        with open(where, "rb") as data:
            if hashlib.sha256(data.read()).hexdigest() != digest:
                fail("SHA256SUMS does not match " + path)
    print("SHA256SUMS: matches all %d files" % len(sums))

    listing = subprocess.run(["javap", "-p", "-cp", os.path.join(unpack, jars[0]), CLASS.replace("/", ".")],
                             check=True, capture_output=True, text=True).stdout
    natives = re.findall(r"\bnative\b[^(]*?\s(\w+)\(", listing)
    if len(set(natives)) != len(natives):
        fail("overloaded natives need long JNI names: %s" % natives)
    declared = {jni_short_name(CLASS, method) for method in natives}
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", os.path.join(unpack, "vreg64.dll")],
                          check=True, capture_output=True, text=True).stdout
    exported = set(re.findall(r"\b(Java_\w+)\s*$", dump, re.M))
    if declared != exported:
        fail("natives without an export: %s; exports without a native: %s"
             % (sorted(declared - exported), sorted(exported - declared)))
    print("binding: the jar declares exactly the %d natives that vreg64.dll exports" % len(declared))


if __name__ == "__main__":
    main()
