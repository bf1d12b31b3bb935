#!/usr/bin/env python3
"""Runs the trace tests through a player and fails when fewer pass than the recorded count.

usage: trace_suite.py PLAYER SHARED_DIR COUNT_FILE
Exits 77 (skipped) when the shared reference set is absent.
"""
import pathlib
import re
import subprocess
import sys


def main():
    player, shared, count_file = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
    suite = shared / "testdata" / "swf-suite"
    checker = shared / "tools" / "swf-check" / "suite_check.py"
    if not suite.is_dir() or not checker.is_file():
        print(f"skipped: {suite} is absent")
        return 77
    out = subprocess.run([sys.executable, str(checker), "--player", player, str(suite), "trace"],
                         capture_output=True, text=True).stdout
    print(out)
    found = re.search(r"(\d+) passed, (\d+) failed", out)
    if not found:
        print("no result line from the checker")
        return 1
    passed = int(found.group(1))
    recorded = int(count_file.read_text().split()[0])
    print(f"{passed} passed; recorded minimum {recorded}")
    return 0 if passed >= recorded else 1


if __name__ == "__main__":
    sys.exit(main())
