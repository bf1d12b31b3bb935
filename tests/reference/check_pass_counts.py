#!/usr/bin/env python3
"""Runs the shared checkers with swfplay over the reference sets and compares the pass counts
with the ones recorded in the repository. Exit 0 when none dropped, 1 when one did, 77 (skip)
when the sets are absent."""
import argparse
import pathlib
import re
import shlex
import subprocess
import sys

CHECKS = {
    "render": ("render_check.py", "testdata/swf-render", []),
    "suite_image": ("suite_check.py", "testdata/swf-suite", ["image"]),
    "suite_trace": ("suite_check.py", "testdata/swf-suite", ["trace"]),
}


def recorded(path):
    counts = {}
    for line in pathlib.Path(path).read_text().splitlines():
        line = line.strip()
        if line and not line.startswith("#"):
            name, count = line.split()
            counts[name] = int(count)
    return counts


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--player", required=True)
    parser.add_argument("--shared", required=True, help="the shared folder beside the checkout")
    parser.add_argument("--counts", required=True)
    args = parser.parse_args()

    shared = pathlib.Path(args.shared)
    missing = [sub for _, sub, _ in CHECKS.values() if not (shared / sub).is_dir()]
    if missing or not (shared / "tools/swf-check").is_dir():
        print(f"skipped: the reference sets are not at {shared}")
        return 77

    counts = recorded(args.counts)
    dropped = False
    for name, (script, subdir, extra) in CHECKS.items():
        command = [sys.executable, str(shared / "tools/swf-check" / script), "--player",
                   args.player, str(shared / subdir)] + extra
        result = subprocess.run(command, capture_output=True, text=True)
        print(result.stdout, end="")
        found = re.search(r"(\d+) passed, (\d+) failed", result.stdout)
        if result.returncode != 0 or not found:
            print(f"{name}: the checker failed ({shlex.join(command)})\n{result.stderr}")
            dropped = True
            continue
        passed = int(found.group(1))
        floor = counts.get(name, 0)
        print(f"{name}: {passed} passed, recorded {floor}")
        if passed < floor:
            print(f"{name}: the pass count dropped from {floor} to {passed}")
            dropped = True
        elif passed > floor:
            print(f"{name}: raise the recorded count to {passed} in {args.counts}")
    return 1 if dropped else 0


if __name__ == "__main__":
    sys.exit(main())
