#!/usr/bin/env python3
"""Builds, records and checks the AS1/2 probe movies of tests/data/avm1-probes/.

Each AREA/NAME.avm source (notation in scripts/avm1_asm.py) gives one movie per SWF version,
AREA/NAME.vN.swf, whose expected trace is AREA/NAME.vN.txt.

  avm1_probes.py build  [FILTER...]            write the movies from their sources
  avm1_probes.py record [FILTER...]            build, then record traces with the reference player
  avm1_probes.py check PLAYER [FILTER...]      run PLAYER MOVIE --frames N --trace over every movie
FILTER keeps sources whose AREA/NAME contains it.  check exits 1 on any difference.
"""
import os
import pathlib
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import avm1_asm  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parent.parent / "tests" / "data" / "avm1-probes"
ORACLE = pathlib.Path(os.environ.get("SWF_ORACLE", "/work/shared/tools/swf-oracle/render"))
TRACE_HEAD = re.compile(r"^log: %cINFO%c \S+log_adapter\.rs:\d+%c")
TRACE_TAIL = " color: whitesmoke; background: #444 color: gray; font-style: italic color: inherit"


def sources(filters):
    for src in sorted(ROOT.glob("*/*.avm")):
        key = "%s/%s" % (src.parent.name, src.stem)
        if not filters or any(f in key for f in filters):
            yield src


def build(src):
    """Writes the movies of one source; yields (movie path, frames)."""
    versions, frames, movies = avm1_asm.build(src.read_text())
    for v in versions:
        path = src.with_name("%s.v%d.swf" % (src.stem, v))
        path.write_bytes(movies[v])
        yield path, frames


def record(movie, frames):
    with tempfile.TemporaryDirectory() as tmp:
        out = subprocess.run([str(ORACLE), str(movie), tmp + "/x", str(frames), "--verbose"],
                             capture_output=True, text=True, timeout=120).stdout
    # A trace line is wrapped in the console's styling; one holding newlines spans several lines.
    lines, pending = [], None
    for line in out.split("\n"):
        m = TRACE_HEAD.match(line) if pending is None else None
        if m:
            pending, line = [], line[m.end():]
        if pending is not None:
            if line.endswith(TRACE_TAIL):
                pending.append(line[:-len(TRACE_TAIL)])
                lines.append("\n".join(pending)[1:])
                pending = None
            else:
                pending.append(line)
    movie.with_suffix(".txt").write_text("".join(l + "\n" for l in lines))


def check(player, movie, frames):
    try:
        proc = subprocess.run([player, str(movie), "--frames", str(frames), "--trace"],
                              capture_output=True, timeout=20)
        # The reference player's log shows a carriage return as a line break.
        actual = proc.stdout.decode("utf-8", "replace").replace("\0", "").replace("\r", "\n")
    except subprocess.TimeoutExpired:
        return "timed out"
    if not movie.with_suffix(".txt").is_file():
        return "no recorded trace (run record)"
    expected = movie.with_suffix(".txt").read_text()
    a, e = actual.rstrip("\n").split("\n"), expected.rstrip("\n").split("\n")
    for i, (x, y) in enumerate(zip(a, e)):
        if x != y:
            return "line %d: expected %r, got %r" % (i + 1, y, x)
    if len(a) != len(e):
        return "%d lines expected, %d printed" % (len(e), len(a))
    return None


def main(argv):
    if len(argv) < 2 or argv[1] not in ("build", "record", "check"):
        print(__doc__)
        return 2
    cmd = argv[1]
    player = argv[2] if cmd == "check" else None
    filters = argv[3:] if cmd == "check" else argv[2:]
    failed = passed = 0
    for src in sources(filters):
        for movie, frames in build(src) if cmd != "check" else movies_of(src):
            name = movie.relative_to(ROOT)
            if cmd == "record":
                record(movie, frames)
                print("recorded", name)
            elif cmd == "check":
                why = check(player, movie, frames)
                if why:
                    failed += 1
                    print("FAIL %s: %s" % (name, why))
                else:
                    passed += 1
    if cmd == "check":
        print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


def movies_of(src):
    versions, frames, _ = avm1_asm.build(src.read_text())
    for v in versions:
        yield src.with_name("%s.v%d.swf" % (src.stem, v)), frames


if __name__ == "__main__":
    sys.exit(main(sys.argv))
