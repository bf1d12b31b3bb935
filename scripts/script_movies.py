"""Writes the script-heavy movies of scripts/bench-script: script_movies.py OUT_DIR WORK.

Each is an SWF 8 movie of one frame whose script stops the timeline and sets an onEnterFrame
handler doing WORK turns of one kind of work, as the Flash compiler writes it (a DefineFunction2
with its locals in registers), and traces a result every 25 frames so that a wrong run shows.
"""
import struct
import sys
import zlib


def push(*values):
    data = b""
    for v in values:
        if isinstance(v, str) and v.startswith("r:"):
            data += bytes([4, int(v[2:])])
        elif isinstance(v, str):
            data += b"\x00" + v.encode() + b"\x00"
        elif isinstance(v, int):
            data += b"\x07" + struct.pack("<i", v)
        else:
            raise ValueError(v)
    return ("rec", 0x96, data)


def op(code):
    return ("op", code)


def store(reg):
    return ("rec", 0x87, bytes([reg]))


def label(name):
    return ("label", name)


def jump(name, code=0x99):
    return ("jump", code, name)


def assemble(items):
    def size(it):
        if it[0] == "op":
            return 1
        if it[0] == "rec":
            return 3 + len(it[2])
        if it[0] == "jump":
            return 5
        if it[0] == "func":
            return 3 + len(func_header(it)) + len(assemble(it[3]))
        return 0

    addr, pos = {}, 0
    for it in items:
        if it[0] == "label":
            addr[it[1]] = pos
        pos += size(it)
    out, pos = b"", 0
    for it in items:
        pos += size(it)
        if it[0] == "op":
            out += bytes([it[1]])
        elif it[0] == "rec":
            out += bytes([it[1]]) + struct.pack("<H", len(it[2])) + it[2]
        elif it[0] == "jump":
            out += bytes([it[1]]) + struct.pack("<Hh", 2, addr[it[2]] - pos)
        elif it[0] == "func":
            header = func_header(it)
            out += b"\x8e" + struct.pack("<H", len(header)) + header + assemble(it[3])
    return out


def func_header(it):
    _, name, params, body = it
    h = name.encode() + b"\x00" + struct.pack("<HBH", len(params), 6, 0x2A)
    for i, p in enumerate(params):
        h += bytes([i + 1]) + p.encode() + b"\x00"
    return h + struct.pack("<H", len(assemble(body)))


def function(name, params, body):
    return ("func", name, params, body)


def loop(reg, count, body, tag):
    """for (reg = 0; reg < count; ++reg) body"""
    return [push(0), store(reg), op(0x17), label("top" + tag), push("r:%d" % reg), *count,
            op(0x48), op(0x12), jump("end" + tag, 0x9D), *body, push("r:%d" % reg), op(0x50),
            store(reg), op(0x17), jump("top" + tag), label("end" + tag)]


def report(expr):
    """frames = frames + 1; if (frames % 25 == 0) trace(expr)"""
    return [push("frames", "frames"), op(0x1C), op(0x50), op(0x1D), push("frames"), op(0x1C),
            push(25), op(0x3F), push(0), op(0x49), op(0x12), jump("skip", 0x9D), *expr,
            op(0x26), label("skip")]


def movies(work):
    n = [push(work)]
    arrays = [push(0, "Array"), op(0x40), store(2), op(0x17),
              *loop(1, n, [push("r:1", 2), op(0x0C), push(1, "r:2", "push"), op(0x52),
                           op(0x17)], "a"),
              push(0), store(3), op(0x17),
              *loop(1, [push("r:2", "length"), op(0x4E)],
                    [push("r:3", "r:2", "r:1"), op(0x4E), op(0x47), store(3), op(0x17)], "b"),
              *report([push("r:3")])]
    strings = [push(""), store(2), op(0x17),
               *loop(1, n, [push("r:2", "r:1"), op(0x47), push(","), op(0x47), store(2),
                            op(0x17)], "a"),
               *report([push("r:2", "length"), op(0x4E)])]
    objects = [push(0), store(3), op(0x17),
               *loop(1, n, [push("x", "r:1", "y", "r:1", 2), op(0x0C), push(2), op(0x43),
                            store(2), op(0x17), push("r:2", "z", "r:2", "x"), op(0x4E),
                            push("r:2", "y"), op(0x4E), op(0x47), op(0x4F),
                            push("r:3", "r:2", "z"), op(0x4E), op(0x47), store(3), op(0x17)],
                     "a"),
               *report([push("r:3")])]
    calls = [push(0), store(3), op(0x17),
             *loop(1, n, [push("r:1", "r:3", 2, "f"), op(0x3D), store(3), op(0x17)], "a"),
             *report([push("r:3")])]
    add = function("f", ["a", "b"], [push("r:1", "r:2"), op(0x47), op(0x3E)])
    for name, body in (("arrays", arrays), ("strings", strings), ("objects", objects),
                       ("calls", calls)):
        script = [push("frames", 0), op(0x1D)]
        if name == "calls":
            script.append(add)
        script += [op(0x07), push("_root"), op(0x1C), push("onEnterFrame"),
                   function("", [], body), op(0x4F)]
        yield name, assemble(script) + b"\x00"


def tag(code, body):
    return struct.pack("<HI", (code << 6) | 0x3F, len(body)) + body


def movie(actions):
    # 100 x 100 px stage (RECT of 13-bit fields: 0, 2000, 0, 2000 twips), 30 fps, one frame.
    bits = "{:05b}".format(13) + "".join("{:013b}".format(v) for v in (0, 2000, 0, 2000))
    bits += "0" * (-len(bits) % 8)
    rect = bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
    body = rect + struct.pack("<HH", 30 << 8, 1)
    body += tag(69, struct.pack("<I", 0)) + tag(9, b"\xff\xff\xff")
    body += tag(12, actions) + struct.pack("<H", 1 << 6) + struct.pack("<H", 0)
    return b"FWS" + bytes([8]) + struct.pack("<I", 8 + len(body)) + body


if __name__ == "__main__":
    out, work = sys.argv[1], int(sys.argv[2])
    for name, actions in movies(work):
        with open("%s/%s.swf" % (out, name), "wb") as f:
            f.write(movie(actions))
