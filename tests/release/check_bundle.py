#!/usr/bin/env python3
"""Checks a release folder (scripts/release.sh): the zip holds exactly the
bundle's files; `sha256sum -c SHA256SUMS` passes in the release folder and
in the unpacked zip, each list naming exactly the files beside it; the
notices hold the licence of every statically linked toolchain library; the
changelog has the version's section; the POM names the Maven coordinate; the
jars' manifests carry title, version and module name; the Javadoc has a
title; and the jar's classes declare exactly the natives that vreg64.dll
exports. Unpacks the zip into <unpack folder> for the checks that follow.

Usage: check_bundle.py <release folder> <version> <unpack folder>
"""
import hashlib
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
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
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "README.md"),
              encoding="utf-8") as readme:
        images = sorted(set(re.findall(r"\((docs/images/[\w.-]+\.png)\)", readme.read())))
    if len(images) != 3:
        fail("the README shows %s, not the dialog's three pictures" % images)
    expected = sorted(["VantorUpdater.exe", "vreg64.dll", "README.md", "SECURITY.md", "CHANGELOG.md",
                       "THIRD-PARTY-NOTICES.txt", "SHA256SUMS", "docs/INTEGRATION.md",
                       "docs/examples/UpdaterLauncher.java", "java/vreg64-%s.pom" % version] + jars + images)

    with zipfile.ZipFile(os.path.join(release, name)) as archive:
        names = sorted(archive.namelist())
        if names != expected:
            fail("the zip holds %s, not %s" % (names, expected))
        archive.extractall(unpack)
    print("zip: exactly the %d files of the bundle" % len(names))

    # Each SHA256SUMS names exactly the other files of its folder and checks.
    for folder in (release, unpack):
        present = sorted(os.path.relpath(os.path.join(root, f), folder).replace(os.sep, "/")
                         for root, _, files in os.walk(folder) for f in files)
        with open(os.path.join(folder, "SHA256SUMS"), encoding="utf-8") as lines:
            listed = sorted(line.rstrip("\n").split("  ", 1)[1] for line in lines)
        if listed != [f for f in present if f != "SHA256SUMS"]:
            fail("SHA256SUMS in %s lists %s, the folder holds %s" % (folder, listed, present))
        check = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=folder, capture_output=True, text=True)
        if check.returncode != 0:
            fail("sha256sum -c in %s: %s" % (folder, check.stdout + check.stderr))
    print("SHA256SUMS: sha256sum -c passes beside the zip and in it")

    with open(os.path.join(unpack, "THIRD-PARTY-NOTICES.txt"), encoding="utf-8") as notices:
        text = notices.read()
    for needed in ("libgcc", "libstdc++", "GCC RUNTIME LIBRARY EXCEPTION", "MinGW-w64 runtime", "mingw-w64-crt",
                   "winpthreads"):
        if needed not in text:
            fail("THIRD-PARTY-NOTICES.txt does not mention %r" % needed)
    with open(os.path.join(unpack, "CHANGELOG.md"), encoding="utf-8") as changelog:
        if not re.search(r"^## %s \(\d{4}-\d{2}-\d{2}\)$" % re.escape(version), changelog.read(), re.M):
            fail("CHANGELOG.md has no section for %s" % version)
    pom = ElementTree.parse(os.path.join(unpack, "java/vreg64-%s.pom" % version)).getroot()
    coordinate = [pom.findtext("{http://maven.apache.org/POM/4.0.0}" + tag) for tag in ("groupId", "artifactId",
                                                                                      "version")]
    if coordinate != ["ru.vantor.platform", "vreg64", version]:
        fail("the POM names %s" % coordinate)
    for jar, title in zip(jars, ("vreg64", "vreg64 sources", "vreg64 Javadoc")):
        with zipfile.ZipFile(os.path.join(unpack, jar)) as archive:
            manifest = archive.read("META-INF/MANIFEST.MF").decode("utf-8")
            index = archive.read("index.html").decode("utf-8") if "javadoc" in jar else ""
        for attribute in ("Implementation-Title: " + title, "Implementation-Version: " + version,
                          "Automatic-Module-Name: ru.vantor.platform.win32.access"):
            if attribute + "\r\n" not in manifest:
                fail("%s's manifest lacks %r" % (jar, attribute))
        if index and ("<title>vreg64 %s</title>" % version) not in index:
            fail("the Javadoc is not titled vreg64 %s" % version)
    print("notices, changelog, POM ru.vantor.platform:vreg64:%s, manifests and Javadoc title: present" % version)

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
