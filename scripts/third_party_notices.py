#!/usr/bin/env python3
"""Writes THIRD-PARTY-NOTICES.txt: the licence texts of what the MinGW-w64
toolchain links statically into VantorUpdater.exe and vreg64.dll (the GCC
runtime, the C++ library, the MinGW-w64 runtime and its winpthreads), taken
from the build machine's packages: each library is located through the
compiler, its package found with dpkg, and the package's
/usr/share/doc/<package>/copyright copied in whole. Fails when a library,
its package or its licence text cannot be found, or a text lacks what it
must state.

Usage: third_party_notices.py <C++ compiler> <output file>
"""
import os
import subprocess
import sys

# (component, the files the link takes from it, a text its licence must hold)
COMPONENTS = [
    ("GCC runtime library (libgcc, libgcc_eh), under the GCC Runtime Library Exception",
     ["libgcc.a", "libgcc_eh.a"], "GCC RUNTIME LIBRARY EXCEPTION"),
    ("GNU C++ library (libstdc++), under the GCC Runtime Library Exception",
     ["libstdc++.a"], "GCC RUNTIME LIBRARY EXCEPTION"),
    ("MinGW-w64 runtime (crt2.o, libmingw32, libmingwex, libmsvcrt and the Windows import libraries)",
     ["crt2.o", "libmingw32.a", "libmingwex.a", "libmsvcrt.a"], "mingw-w64-crt"),
    ("MinGW-w64 winpthreads (libwinpthread)",
     ["libwinpthread.a"], "winpthreads"),
]


def fail(message):
    sys.stderr.write("third_party_notices: %s\n" % message)
    sys.exit(1)


def run(*command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        fail("%s failed: %s" % (" ".join(command), result.stderr.strip()))
    return result.stdout.strip()


def package_of(compiler, name):
    path = run(compiler, "-print-file-name=" + name)
    if not os.path.isabs(path) or not os.path.isfile(path):
        fail("the compiler does not know %s" % name)
    real = os.path.realpath(path)
    # "package[:arch]: path"
    owner = run("dpkg", "-S", real).splitlines()[0].split(":")[0].split(",")[0].strip()
    return owner, real


def main():
    compiler, output = sys.argv[1], sys.argv[2]
    texts = []  # (licence text, [(component, package, version)])
    for component, files, required in COMPONENTS:
        packages = sorted({package_of(compiler, name)[0] for name in files})
        for package in packages:
            copyright_path = "/usr/share/doc/%s/copyright" % package
            if not os.path.isfile(copyright_path):
                fail("no licence text for %s: %s is missing" % (package, copyright_path))
            with open(copyright_path, encoding="utf-8") as source:
                text = source.read()
            if required not in text:
                fail("%s does not state %r" % (copyright_path, required))
            version = run("dpkg-query", "-W", "-f=${Version}", package)
            for entry in texts:
                if entry[0] == text:
                    entry[1].append((component, package, version))
                    break
            else:
                texts.append((text, [(component, package, version)]))

    lines = [
        "THIRD-PARTY NOTICES",
        "",
        "VantorUpdater.exe and vreg64.dll are linked statically with the following",
        "components of the MinGW-w64 toolchain they were built with. Their licence",
        "texts follow, as the build machine's packages state them.",
        "",
    ]
    for number, (_, users) in enumerate(texts, 1):
        for component, package, version in users:
            lines.append("- %s: package %s %s, licence text %d" % (component, package, version, number))
    for number, (text, users) in enumerate(texts, 1):
        lines += ["", "=" * 78, "Licence text %d: %s" % (number, ", ".join(sorted({p for _, p, _ in users}))),
                  "=" * 78, "", text.rstrip("\n")]
    with open(output, "w", encoding="utf-8", newline="\n") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
