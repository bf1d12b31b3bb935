#!/usr/bin/env python3
"""saverpack --rebuild and --unpack on savers made by a small packer of this test's own, written
from the package format alone (engine, byte ranges named in "zippos"/"notzip", tail record), and
on savers that saverpack built.   saverpack_rebuild_test.py SAVERPACK"""
import io
import os
import subprocess
import sys
import tempfile
import zipfile

TOOL = os.path.realpath(sys.argv[1])
MARKER = b"#marvex#"
failures = []


def check(ok, label):
    if not ok:
        failures.append(label)
        print("FAIL:", label)


def zip_bytes(files):
    """files: (name, data, read_only, deflate)"""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for name, data, read_only, deflate in files:
            info = zipfile.ZipInfo(name, (2003, 4, 5, 6, 7, 8))
            info.compress_type = zipfile.ZIP_DEFLATED if deflate else zipfile.ZIP_STORED
            info.external_attr = 0x21 if read_only else 0x20
            info.create_system = 0
            z.writestr(info, data)
    return out.getvalue()


def pack(path, engine, packed, settings=b"[Set]\r\nScrName=Indie\r\n", name=b"setup.dat",
         extra_zip=(), lies=None):
    """packed: (key, data, raw, read_only, entry_name or None). lies may rewrite the offsets."""
    body = bytearray(engine)
    zippos, notzip = [], []
    for key, data, raw, read_only, entry in packed:
        start = len(body)
        body += data if raw else zip_bytes([(entry or key, data, read_only, True)])
        zippos.append((key, start, len(body)))
        if raw:
            notzip.append(key)
    if lies:
        zippos = lies(zippos, len(body))
    text = settings + b"[Flash]\r\n" + b"".join(k.encode() + b"=1\r\n" for k, *_ in packed)
    text += b"[zippos]\r\n" + b"".join(b"%s_1=%d\r\n%s_2=%d\r\n" % (k.encode(), s, k.encode(), e)
                                        for k, s, e in zippos)
    text += b"[notzip]\r\n" + b"".join(k.encode() + b"=1\r\n" for k in notzip)
    body += MARKER + name + b"**" + zip_bytes([(name.decode(), text, False, True)] + list(extra_zip))
    with open(path, "wb") as f:
        f.write(body)


def run(*args):
    r = subprocess.run([TOOL, *args], capture_output=True)
    return r.returncode, r.stdout.decode(errors="replace"), r.stderr.decode(errors="replace")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def tree(folder):
    found = set()
    for root, dirs, files in os.walk(folder):
        for n in dirs + files:
            found.add(os.path.relpath(os.path.join(root, n), folder))
    return found


work = tempfile.mkdtemp()
os.chdir(work)
engine = bytes(b for b in os.urandom(400000) if b != ord("#"))[:300000]
with open("engine.bin", "wb") as f:
    f.write(engine)
other_engine = engine[::-1] + b"newer"
with open("other.bin", "wb") as f:
    f.write(other_engine)

movie = os.urandom(90000)
files = {"movie.swf": movie, "raw.swf": b"FWS" + os.urandom(5000), "data.xml": b"<d/>",
         "q=1.txt": b"query"}
pack("Indie.scr", engine, [("movie.swf", movie, False, False, None),
                           ("raw.swf", files["raw.swf"], True, False, None),
                           ("data.xml", b"<d/>", False, True, None),
                           ("q**1.txt", b"query", False, False, "q=1.txt")],
     extra_zip=[("banner.jpg", b"JPEG", True, False)])

# Rebuilt with the same engine: the same bytes; with another engine: the same files.
rc, out, err = run("--rebuild", "Indie.scr", "-o", "Same.scr", "--engine", "engine.bin")
check(rc == 0, "rebuild of an independent saver: " + err)
rc, out, err = run("--rebuild", "Indie.scr", "-o", "New.scr", "--engine", "other.bin")
check(rc == 0 and read("New.scr").startswith(other_engine), "rebuild around another engine")
def packed_listing(saver):
    text = run("--inspect", saver)[1]
    return text[text.index("packed files:"):]


check(packed_listing("Same.scr") == packed_listing("Indie.scr"),
      "same engine: --inspect lists the same ranges")
rc, inspected, _ = run("--inspect", "New.scr")
check(rc == 0 and "all intact" in inspected, "the rebuilt saver inspects intact")
for saver in ("Indie.scr", "New.scr"):
    rc, out, err = run("--unpack", saver, "-d", "out-" + saver)
    check(rc == 0, saver + " unpacks without problems: " + err)
    for name, data in files.items():
        check(os.path.isfile(os.path.join("out-" + saver, name)) and
              read(os.path.join("out-" + saver, name)) == data, saver + ": " + name)
    check(read(os.path.join("out-" + saver, "banner.jpg")) == b"JPEG", saver + ": side file")
    check(b"ScrName=Indie" in read(os.path.join("out-" + saver, "setup.dat")), saver + ": settings")
    check(not os.access(os.path.join("out-" + saver, "data.xml"), os.W_OK) or os.geteuid() == 0
          and not (os.stat(os.path.join("out-" + saver, "data.xml")).st_mode & 0o200),
          saver + ": read-only mark kept")
    check(os.stat(os.path.join("out-" + saver, "movie.swf")).st_mode & 0o200,
          saver + ": writable file stays writable")
new_settings = read(os.path.join("out-New.scr", "setup.dat"))
check(b"movie.swf_1=%d" % (len(other_engine)) in new_settings, "zippos points at the new offsets")

# .exe savers stay .exe.
pack("Stand.exe", engine, [("movie.swf", movie, False, False, None)])
rc, out, err = run("--rebuild", "Stand.exe", "-o", "Stand2.scr", "--engine", "other.bin")
check(rc == 0 and os.path.isfile("Stand2.exe") and not os.path.exists("Stand2.scr"),
      ".exe stays .exe: " + out + err)

# Refusals: exit 1, one line, no output, nothing written.
def shift_end(z, size):
    return [(k, s, size + 10 if i == 0 else e) for i, (k, s, e) in enumerate(z)]


def overlap(z, size):
    return [(k, s - 100 if i == 1 else s, e) for i, (k, s, e) in enumerate(z)]


def invert(z, size):
    return [(k, e, s) for k, s, e in z]


def zero(z, size):
    return [(k, 0, e) for k, s, e in z]


def rename_settings(p):
    pack(p, engine, two, name=b"gone.ini")
    renamed = read(p).replace(b"gone.ini**", b"lost.ini**")
    open(p, "wb").write(renamed)


two = [("a.swf", b"A" * 3000, True, False, None), ("b.swf", b"B" * 3000, False, False, None)]
refusals = [("no package", lambda p: open(p, "wb").write(engine), "holds no package"),
            ("no separator", lambda p: open(p, "wb").write(engine + MARKER + b"setup.dat"),
             "damaged tail record"),
            ("settings archive garbage",
             lambda p: open(p, "wb").write(engine + MARKER + b"s.ini**" + b"PK\x03\x04junk" * 9),
             "damaged tail record"),
            ("settings file missing", lambda p: rename_settings(p), "does not hold"),
            ("range beyond the file", lambda p: pack(p, engine, two, lies=shift_end), "lies"),
            ("ranges overlap", lambda p: pack(p, engine, two, lies=overlap), "overlap"),
            ("range inverted", lambda p: pack(p, engine, two, lies=invert), "lies"),
            ("offset zero", lambda p: pack(p, engine, two, lies=zero), "lies")]
for label, make, reason in refusals:
    make("bad.scr")
    for args, made in ((["--unpack", "bad.scr", "-d", "badout/d"], "badout/d"),
                       (["--rebuild", "bad.scr", "-o", "bad2.scr", "--engine", "engine.bin"],
                        "bad2.scr")):
        rc, out, err = run(*args)
        check(rc == 1 and reason in err and len(err.strip().splitlines()) == 1,
              "%s %s: rc %d, %r" % (label, args[0], rc, err))
        check(not os.path.exists(made) or os.listdir(made) == [], label + ": nothing written")
        if os.path.isdir("badout"):
            os.system("rm -rf badout")

# Unsafe and repeated names, a damaged range: reported, the rest unpacked, nothing outside DIR.
good = os.urandom(2000)
pack("hostile.scr", engine,
     [("good.swf", good, False, False, None),
      ("..\\up.swf", b"up", True, False, None),
      ("C:evil.swf", b"drive", True, False, None),
      ("CON.swf", b"device", True, False, None),
      ("sub/evil.swf", b"slash", True, False, None),
      ("zipped.swf", b"zip", False, False, "../../escape.swf"),
      ("abs.swf", b"abs", False, False, "/tmp/abs-escape.swf"),
      ("other.swf", b"again", False, False, "good.swf"),
      ("after.swf", b"after", True, False, None)])
os.makedirs("jail")
rc, out, err = run("--unpack", "hostile.scr", "-d", "jail/in")
check(rc == 1, "hostile: exit 1 when something was left out")
check(tree("jail") - {"in"} == {os.path.join("in", n) for n in
                                 ("setup.dat", "good.swf", "escape.swf", "abs-escape.swf",
                                  "after.swf")}, "hostile: only plain names inside: %s" % tree("jail"))
check(read("jail/in/good.swf") == good, "hostile: the first of a repeated name wins")
for bad in ("up.swf", "evil.swf", "CON.swf", "other.swf"):
    check(bad.split(".")[0].lower() in err.lower(), "hostile: %s reported" % bad)
check(not os.path.exists("/tmp/abs-escape.swf") and not os.path.exists("escape.swf"),
      "hostile: nothing outside")

pack("damaged.scr", engine, [("first.swf", b"1" * 100, True, False, None),
                            ("broken.swf", b"Z" * 4000, False, False, None),
                            ("last.swf", b"3" * 100, True, False, None)])
data = bytearray(read("damaged.scr"))
at = data.find(b"broken.swf", len(engine)) + len(b"broken.swf")  # compressed data follows
data[at + 2] ^= 0xFF
open("damaged.scr", "wb").write(data)
rc, out, err = run("--unpack", "damaged.scr", "-d", "dmg")
check(rc == 1 and "broken.swf" in err and "damaged" in err, "damaged range reported: " + err)
check(sorted(os.listdir("dmg")) == ["first.swf", "last.swf", "setup.dat"],
      "damaged range: the rest unpacked: %s" % os.listdir("dmg"))
rc, out, err = run("--rebuild", "damaged.scr", "-o", "dmg2.scr", "--engine", "engine.bin")
check(rc == 1 and "damaged" in err and os.path.isfile("dmg2.scr"),
      "rebuild copies a damaged range as it was and says so")

os.system("chmod -R u+w '%s'; rm -rf '%s'" % (work, work))
print("%d failure(s)" % len(failures))
sys.exit(1 if failures else 0)
