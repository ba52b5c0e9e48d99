#!/usr/bin/env python3
"""Holds the outcome table of docs/INTEGRATION.md to the tests: every text
in double quotes in a row (a log line or a message) must stand in the body
of one of the tests that the row's last column names (in backticks, as
<program>.<Suite>.<Case>), so that a changed line fails the test that runs
the scenario, and a table that drifts from the tests fails here.

Usage: check_guide_outcomes.py <source folder>
"""
import os
import re
import sys

HEADING = "### Outcomes of a run"


def test_bodies(source):
    """Suite.Case -> the text of its body, from every *_test.cpp."""
    bodies = {}
    start = re.compile(r"^TEST(?:_F)?\((\w+), (\w+)\)", re.M)
    for root, _, files in os.walk(source):
        if "/build" in root.replace(os.sep, "/") or "/." in root:
            continue
        for name in files:
            if not name.endswith("_test.cpp"):
                continue
            with open(os.path.join(root, name), encoding="utf-8") as unit:
                text = unit.read()
            found = list(start.finditer(text))
            for i, match in enumerate(found):
                end = found[i + 1].start() if i + 1 < len(found) else len(text)
                bodies["%s.%s" % match.groups()] = text[match.end():end]
    return bodies


def main():
    source = sys.argv[1]
    with open(os.path.join(source, "docs", "INTEGRATION.md"), encoding="utf-8") as guide:
        text = guide.read()
    if HEADING not in text:
        print("no section %r in the guide" % HEADING)
        return 1
    table = text[text.index(HEADING):].split("\n\n|", 1)[1].split("\n\n", 1)[0]
    rows = ["|" + table.split("\n", 1)[0]] + table.split("\n")[1:]
    bodies = test_bodies(source)
    failures = 0
    checked = 0
    for row in rows[2:]:
        cells = [cell.strip() for cell in row.strip().strip("|").split("|")]
        tests = re.findall(r"`[\w]+\.(\w+\.\w+)`", cells[-1])
        texts = re.findall(r'"([^"]+)"', " ".join(cells[1:-1]))
        if not tests and texts:
            print("%s: no test named" % cells[0])
            failures += 1
        for test in tests:
            if test not in bodies:
                print("%s: no test %s" % (cells[0], test))
                failures += 1
        for line in texts:
            checked += 1
            if not any(line in bodies.get(test, "") for test in tests):
                print("%s: %r is looked for by none of %s" % (cells[0], line, tests))
                failures += 1
    print("outcome table: %d rows, %d texts, %d not held by their tests" % (len(rows) - 2, checked, failures))
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
