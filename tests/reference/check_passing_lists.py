#!/usr/bin/env python3
"""Runs the shared checkers with swfplay over one reference set and compares the tests that pass
with the list recorded in the repository (tests/reference/passing/CHECK.txt, one name a line).

Fails (exit 1) when a recorded test fails now, even when others start to pass; prints the newly
passing ones so that they can be recorded (--record rewrites the list). Exits 77 (skipped) when
the set is absent. The set's movies run in parallel shards, each under the checker's own
per-movie time limit.
"""
import argparse
import json
import concurrent.futures
import os
import pathlib
import re
import subprocess
import sys
import tempfile

# check name -> (checker, set folder under testdata, kind or None for the picture sets)
CHECKS = {
    "suite_trace": ("suite_check.py", "swf-suite", "trace"),
    "suite_image": ("suite_check.py", "swf-suite", "image"),
    "gnash_trace": ("suite_check.py", "swf-suite-gnash", "trace"),
    "gnash_image": ("suite_check.py", "swf-suite-gnash", "image"),
    "as3_trace": ("suite_check.py", "swf-suite-as3", "trace"),
    "as3_image": ("suite_check.py", "swf-suite-as3", "image"),
    "render": ("render_check.py", "swf-render", None),
    "render_as3": ("render_check.py", "swf-render-as3", None),
}


def run(command):
    return subprocess.run(command, capture_output=True, text=True).stdout


def suite_results(checker, player, folder, kind, jobs, only=None):
    """Each test folder of the kind (or those in `only`), judged in `jobs` shards of symlinked
    folders."""
    names = sorted(n for n in os.listdir(folder / kind) if (folder / kind / n / "test.toml").is_file())
    if only is not None:
        names = [n for n in names if n in only]
    results = {}
    with tempfile.TemporaryDirectory(prefix="reference_sets_") as tmp:
        commands = []
        for shard in range(jobs):
            root = pathlib.Path(tmp) / str(shard)
            (root / kind).mkdir(parents=True)
            for name in names[shard::jobs]:
                (root / kind / name).symlink_to(folder / kind / name, target_is_directory=True)
            commands.append([sys.executable, str(checker), "--player", player, "-v", str(root), kind])
        with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
            for out in pool.map(run, commands):
                for line in out.splitlines():
                    found = re.match(r"(pass|FAIL) ([^:]+?)(:|$)", line)
                    if found:
                        results[found.group(2)] = found.group(1) == "pass"
    for name in names:
        results.setdefault(name, False)  # a shard that died judged nothing: count as failed
    return results


def render_results(checker, player, folder, jobs, only=None):
    """Every movie and frame of the set's manifest, or those named in `only`
    ("MOVIE.swf frame N")."""
    with tempfile.TemporaryDirectory(prefix="reference_sets_") as tmp:
        command = [sys.executable, str(checker), "--player", player, "--jobs", str(jobs), "-v",
                   str(folder)]
        if only is not None:
            manifest = json.loads((folder / "manifest.json").read_text())
            movies = []
            for movie in manifest["movies"]:
                frames = [f for f in movie["frames"] if f"{movie['file']} frame {f}" in only]
                if frames:
                    movies.append(dict(movie, frames=frames))
            if not movies:
                return {}
            manifest["movies"] = movies
            subset = pathlib.Path(tmp) / "manifest.json"
            subset.write_text(json.dumps(manifest))
            command.append(str(subset))
        out = run(command)
    results = {}
    for line in out.splitlines():
        found = re.match(r"(PASS|FAIL) (\S+ frame \d+):", line)
        if found:
            results[found.group(2)] = found.group(1) == "PASS"
    return results


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--player", required=True)
    parser.add_argument("--shared", required=True, help="the shared folder beside the checkout")
    parser.add_argument("--lists", required=True, help="folder of the recorded lists")
    parser.add_argument("--check", required=True, choices=sorted(CHECKS))
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--record", action="store_true", help="rewrite the list from this run")
    parser.add_argument("--recorded-only", action="store_true",
                        help="run only the recorded tests (quick; newly passing ones go unseen)")
    args = parser.parse_args()

    script, subdir, kind = CHECKS[args.check]
    shared = pathlib.Path(args.shared).resolve()
    folder = shared / "testdata" / subdir
    checker = shared / "tools" / "swf-check" / script
    if not checker.is_file() or not folder.is_dir() or (kind and not (folder / kind).is_dir()):
        print(f"skipped: {args.check}: no {subdir}{'/' + kind if kind else ''} in {shared}")
        return 77
    player = str(pathlib.Path(args.player).resolve())
    list_file = pathlib.Path(args.lists) / f"{args.check}.txt"
    recorded = []
    if list_file.is_file():
        recorded = [l.strip() for l in list_file.read_text().splitlines() if l.strip()]
    only = set(recorded) if args.recorded_only and not args.record else None
    if kind:
        results = suite_results(checker, player, folder, kind, args.jobs, only)
    else:
        results = render_results(checker, player, folder, args.jobs, only)
    passing = sorted(name for name, ok in results.items() if ok)

    if args.record:
        list_file.write_text("".join(name + "\n" for name in passing))
        print(f"{args.check}: recorded {len(passing)} passing of {len(results)} in {list_file}")
        return 0
    lost = [name for name in recorded if not results.get(name, False)]
    new = [name for name in passing if name not in set(recorded)]
    print(f"{args.check}: {len(passing)} passed of {len(results)}, {len(recorded)} recorded")
    for name in lost:
        print(f"{args.check}: no longer passes: {name}")
    for name in new:
        print(f"{args.check}: newly passes (record it with --record): {name}")
    return 1 if lost else 0


if __name__ == "__main__":
    sys.exit(main())
