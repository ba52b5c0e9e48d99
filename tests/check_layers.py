#!/usr/bin/env python3
"""The layer check of the product code.

Reads <build>/layers.txt (written by cmake/Layers.cmake: each product
library's rank in the layer order, the libraries it links and its files) and
every quoted include of those files, and fails on an include that
  - does not name its folder from the repository root, or names a file of no
    product library (test support, say);
  - reaches a library above the including one, or beside it (same rank);
  - reaches a library that the including one does not link.

Usage: check_layers.py <layers.txt> <repository root>
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
# Made by the build, found through include paths of their own.
GENERATED = {"ru_vantor_platform_win32_access_impl_OvWin32AccessInterface.h"}


def main():
    layers_file, root = sys.argv[1], sys.argv[2]
    owner, rank, links = {}, {}, {}
    with open(layers_file, encoding="utf-8") as lines:
        for line in lines:
            number, library, linked, files = line.split(" ", 3)
            rank[library] = int(number)
            links[library] = {name for name in linked.split(",") if name}
            for path in files.strip().split(","):
                if path:
                    owner[path] = library

    faults = []
    checked = 0
    for path, library in sorted(owner.items()):
        if not re.search(r"\.(h|cpp|inc)$", path):
            continue
        with open(os.path.join(root, path), encoding="utf-8") as source:
            text = source.read()
        for name in INCLUDE.findall(text):
            checked += 1
            if name in GENERATED:
                continue
            target = owner.get(name)
            where = f"{path}: #include \"{name}\""
            if target is None:
                if os.path.exists(os.path.join(root, name)):
                    faults.append(f"{where} names a file of no product library")
                else:
                    faults.append(f"{where} does not name its folder from the repository root")
            elif target == library:
                continue
            elif rank[target] > rank[library]:
                faults.append(f"{where} goes up: {library} lies below {target}")
            elif rank[target] == rank[library]:
                faults.append(f"{where} goes sideways: {library} and {target} lie beside each other")
            elif target not in links[library]:
                faults.append(f"{where} reaches {target}, which {library} does not link")

    for fault in faults:
        print(fault)
    print(f"{checked} includes of {len(owner)} product files in {len(rank)} libraries checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
