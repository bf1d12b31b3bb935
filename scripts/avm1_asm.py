"""An assembler of AS1/2 probe movies: turns a small text notation into SWF files.

A source (.avm) holds directives and actions, one a line; ';' starts a comment.
  swf 5 6 7 8            versions to write, one movie each (default 8)
  frames N               frames the movie is played for (default 1)
  headerframes N         frame count written in the header (default: the frames defined)
  frame                  ends the current frame and starts the next one
  sprite ID {  ...  }    DefineSprite with its own frames (separated by 'frame')
  place ID DEPTH [NAME]  PlaceObject2 of character ID
  export ID NAME         ExportAssets
  initclip ID {  ...  }  DoInitAction for sprite ID
  raw CODE [HEXBYTES]    any action record
Actions are named as in the file format, case-insensitive (push, getVariable, callMethod, ...).
  push "s" 1 -2.5 1e300 true false null undefined r:1 c:0 nan inf -inf
    (integers in 32 bits are pushed as int, others as double; f:1.5 pushes a float)
  constantPool "a" "b"   storeRegister N    goToFrame N    goToLabel "x"   setTarget "x"
  getUrl "url" "target"  getUrl2 N   goToFrame2 PLAY [BIAS]  waitForFrame N SKIP
  jump LABEL   if LABEL   LABEL:
  function NAME A B {  ...  }
  function2 NAME regs=N flags=this,args,super,root,parent,global,nothis,noargs,nosuper
            1:a 0:b {  ...  }          (parameter REGISTER:NAME; 0 means no register)
  with { ... }
  try [catch=NAME|catch=r:N] { ... } catch { ... } finally { ... }
  trace "literal"        shorthand for push + trace
"""
import json
import re
import struct
import zlib

OPS = {
    "end": 0x00, "nextframe": 0x04, "prevframe": 0x05, "play": 0x06, "stop": 0x07,
    "togglequality": 0x08, "stopsounds": 0x09, "add": 0x0A, "subtract": 0x0B,
    "multiply": 0x0C, "divide": 0x0D, "equals": 0x0E, "less": 0x0F, "and": 0x10, "or": 0x11,
    "not": 0x12, "stringequals": 0x13, "stringlength": 0x14, "stringextract": 0x15, "pop": 0x17,
    "tointeger": 0x18, "getvariable": 0x1C, "setvariable": 0x1D, "settarget2": 0x20,
    "stringadd": 0x21, "getproperty": 0x22, "setproperty": 0x23, "clonesprite": 0x24,
    "removesprite": 0x25, "trace": 0x26, "startdrag": 0x27, "enddrag": 0x28, "stringless": 0x29,
    "throw": 0x2A, "castop": 0x2B, "implementsop": 0x2C, "randomnumber": 0x30,
    "mbstringlength": 0x31, "chartoascii": 0x32, "asciitochar": 0x33, "gettime": 0x34,
    "mbstringextract": 0x35, "mbchartoascii": 0x36, "mbasciitochar": 0x37, "delete": 0x3A,
    "delete2": 0x3B, "definelocal": 0x3C, "callfunction": 0x3D, "return": 0x3E, "modulo": 0x3F,
    "newobject": 0x40, "definelocal2": 0x41, "initarray": 0x42, "initobject": 0x43,
    "typeof": 0x44, "targetpath": 0x45, "enumerate": 0x46, "add2": 0x47, "less2": 0x48,
    "equals2": 0x49, "tonumber": 0x4A, "tostring": 0x4B, "pushduplicate": 0x4C,
    "stackswap": 0x4D, "getmember": 0x4E, "setmember": 0x4F, "increment": 0x50,
    "decrement": 0x51, "callmethod": 0x52, "newmethod": 0x53, "instanceof": 0x54,
    "enumerate2": 0x55, "bitand": 0x60, "bitor": 0x61, "bitxor": 0x62, "bitlshift": 0x63,
    "bitrshift": 0x64, "biturshift": 0x65, "strictequals": 0x66, "greater": 0x67,
    "stringgreater": 0x68, "extends": 0x69, "call": 0x9E,
}
FLAGS2 = {"this": 0x0001 << 0, "nothis": 0x0002, "args": 0x0004, "noargs": 0x0008,
          "super": 0x0010, "nosuper": 0x0020, "root": 0x0040, "parent": 0x0080,
          "global": 0x0100}
TOKEN = re.compile(r'"(?:[^"\\]|\\.)*"|[^\s"]+')


class AsmError(Exception):
    pass


def tokens(line):
    out = []
    for t in TOKEN.findall(line):
        if t.startswith(";"):
            break
        out.append(t)
    return out


def string(t):
    if not t.startswith('"'):
        raise AsmError("string expected: " + t)
    return json.loads(t).encode("utf-8")


def cstr(t):
    return string(t) + b"\x00"


def push_value(t):
    low = t.lower()
    if t.startswith('"'):
        return b"\x00" + cstr(t)
    if low in ("true", "false"):
        return bytes([5, low == "true"])
    if low == "null":
        return b"\x02"
    if low == "undefined":
        return b"\x03"
    if low.startswith("r:"):
        return bytes([4, int(low[2:])])
    if low.startswith("c:"):
        n = int(low[2:])
        return bytes([8, n]) if n < 256 else b"\x09" + struct.pack("<H", n)
    if low.startswith("f:"):
        return b"\x01" + struct.pack("<f", float(low[2:]))
    value = {"nan": float("nan"), "inf": float("inf"), "-inf": float("-inf")}.get(low)
    if value is None:
        if re.fullmatch(r"-?(\d+|0[xX][0-9a-fA-F]+)", t):
            n = int(t, 0)
            if -2**31 <= n < 2**31:
                return b"\x07" + struct.pack("<i", n)
            value = float(n)
        else:
            value = float(t)
    d = struct.pack("<d", value)
    return b"\x06" + d[4:] + d[:4]


class Block:
    """Actions of one DoAction, function body or try part, with labels resolved at the end."""

    def __init__(self):
        self.items = []

    def bytes(self):
        addr, pos = {}, 0
        for it in self.items:
            if it[0] == "label":
                addr[it[1]] = pos
            else:
                pos += len(it[1]) if it[0] == "bytes" else 5
        out = b""
        for it in self.items:
            if it[0] == "bytes":
                out += it[1]
            elif it[0] == "jump":
                if it[2] not in addr:
                    raise AsmError("no label " + it[2])
                out += bytes([it[1]]) + struct.pack("<Hh", 2, addr[it[2]] - len(out) - 5)
        return out


def record(code, data=b""):
    return bytes([code]) + struct.pack("<H", len(data)) + data if code >= 0x80 else bytes([code])


class Source:
    def __init__(self, text):
        self.lines = [tokens(l) for l in text.splitlines()]
        self.pos = 0
        self.versions = [8]
        self.frames = 1
        self.header_frames = None

    def next(self):
        while self.pos < len(self.lines):
            toks = self.lines[self.pos]
            self.pos += 1
            if toks:
                return toks
        return None

    def actions(self, block, closers=("}",)):
        """Reads actions until a closing line; returns that line's tokens."""
        while True:
            toks = self.next()
            if toks is None or toks[0] in closers or toks[0].lower() in (
                    "frame", "place", "export", "initclip", "sprite"):
                return toks
            self.action(block, toks)

    def body(self, after):
        if not after or after[-1] != "{":
            raise AsmError("'{' expected at line %d" % self.pos)
        block = Block()
        end = self.actions(block)
        if end is None or end[0] != "}":
            raise AsmError("unclosed block at line %d" % self.pos)
        return block.bytes(), end

    def action(self, block, toks):
        name, args = toks[0].lower(), toks[1:]
        emit = lambda b: block.items.append(("bytes", b))
        if name.endswith(":") and len(toks) == 1:
            block.items.append(("label", toks[0][:-1]))
        elif name == "trace" and args:
            emit(record(0x96, b"".join(push_value(a) for a in args)) + b"\x26")
        elif name in OPS:
            emit(record(OPS[name]))
        elif name == "push":
            emit(record(0x96, b"".join(push_value(a) for a in args)))
        elif name == "raw":
            emit(record(int(args[0], 0), bytes.fromhex("".join(args[1:]))))
        elif name == "constantpool":
            emit(record(0x88, struct.pack("<H", len(args)) + b"".join(cstr(a) for a in args)))
        elif name == "storeregister":
            emit(record(0x87, bytes([int(args[0])])))
        elif name == "gotoframe":
            emit(record(0x81, struct.pack("<H", int(args[0]))))
        elif name in ("gotolabel", "settarget"):
            emit(record(0x8C if name == "gotolabel" else 0x8B, cstr(args[0])))
        elif name == "geturl":
            emit(record(0x83, cstr(args[0]) + cstr(args[1])))
        elif name == "geturl2":
            emit(record(0x9A, bytes([int(args[0], 0)])))
        elif name == "gotoframe2":
            bias = struct.pack("<H", int(args[1])) if len(args) > 1 else b""
            emit(record(0x9F, bytes([int(args[0]) | (2 if bias else 0)]) + bias))
        elif name == "waitforframe":
            emit(record(0x8A, struct.pack("<HB", int(args[0]), int(args[1]))))
        elif name == "waitforframe2":
            emit(record(0x8D, bytes([int(args[0])])))
        elif name in ("jump", "if"):
            block.items.append(("jump", 0x99 if name == "jump" else 0x9D, args[0]))
        elif name == "function":
            code, _ = self.body(args)
            params = [a for a in args[1:-1]]
            head = (args[0].encode() if args[0] != "-" else b"") + b"\x00"
            head += struct.pack("<H", len(params)) + b"".join(p.encode() + b"\0" for p in params)
            emit(record(0x9B, head + struct.pack("<H", len(code))) + code)
        elif name == "function2":
            code, _ = self.body(args)
            regs, flags, params = 0, 0, []
            for a in args[1:-1]:
                if a.startswith("regs="):
                    regs = int(a[5:])
                elif a.startswith("flags="):
                    for f in filter(None, a[6:].split(",")):
                        flags |= FLAGS2[f]
                else:
                    reg, pname = a.split(":", 1)
                    params.append(bytes([int(reg)]) + pname.encode() + b"\0")
            head = (args[0].encode() if args[0] != "-" else b"") + b"\x00"
            head += struct.pack("<HBH", len(params), regs, flags) + b"".join(params)
            emit(record(0x8E, head + struct.pack("<H", len(code))) + code)
        elif name == "with":
            code, _ = self.body(args)
            emit(record(0x94, struct.pack("<H", len(code))) + code)
        elif name == "try":
            self.try_block(emit, args)
        else:
            raise AsmError("unknown action %r at line %d" % (toks[0], self.pos))

    def try_block(self, emit, args):
        catch_name = b"\x00"
        flags = 0
        for a in args[:-1]:
            if a.startswith("catch=r:"):
                flags |= 4
                catch_name = bytes([int(a[8:])])
            elif a.startswith("catch="):
                catch_name = a[6:].encode() + b"\0"
        parts = {"try": b"", "catch": b"", "finally": b""}
        code, end = self.body(args)
        parts["try"] = code
        while len(end) >= 2 and end[1] in ("catch", "finally"):
            kind = end[1]
            flags |= 1 if kind == "catch" else 2
            code, end = self.body(end[1:])
            parts[kind] = code
        head = bytes([flags]) + struct.pack("<HHH", len(parts["try"]), len(parts["catch"]),
                                           len(parts["finally"])) + catch_name
        emit(record(0x8F, head) + parts["try"] + parts["catch"] + parts["finally"])

    def timeline(self, closers):
        """Reads frames of tags until a closer; returns (tags per frame list, closing tokens)."""
        frames, tags, block = [], b"", Block()
        while True:
            end = self.actions(block, closers + ("frame",))
            if block.items:
                tags += tag(12, block.bytes() + b"\x00")
                block = Block()
            if end is None or end[0] in closers:
                frames.append(tags)
                return frames, end
            word = end[0].lower()
            if word == "frame":
                frames.append(tags)
                tags = b""
            elif word == "place":
                cid, depth = int(end[1]), int(end[2])
                flags = 0x02 | (0x20 if len(end) > 3 else 0)
                body = bytes([flags]) + struct.pack("<HH", depth, cid)
                if len(end) > 3:
                    body += cstr(end[3]) if end[3].startswith('"') else end[3].encode() + b"\0"
                tags += tag(26, body)
            elif word == "export":
                tags += tag(56, struct.pack("<HH", 1, int(end[1])) + cstr(end[2]))
            elif word == "initclip":
                code, _ = self.body(end)
                tags += tag(59, struct.pack("<H", int(end[1])) + code + b"\x00")
            elif word == "sprite":
                sub, close = self.timeline(("}",))
                if close is None:
                    raise AsmError("unclosed sprite")
                body = struct.pack("<HH", int(end[1]), len(sub))
                body += b"".join(f + tag(1, b"") for f in sub) + tag(0, b"")
                tags += tag(39, body)

    def parse(self):
        body_lines = []
        for toks in self.lines:
            if toks and toks[0].lower() == "swf":
                self.versions = [int(v) for v in toks[1:]]
            elif toks and toks[0].lower() == "frames":
                self.frames = int(toks[1])
            elif toks and toks[0].lower() == "headerframes":
                self.header_frames = int(toks[1])
            else:
                body_lines.append(toks)
        self.lines, self.pos = body_lines, 0
        frames, end = self.timeline(())
        if end is not None:
            raise AsmError("stray %r" % " ".join(end))
        return frames


def tag(code, body):
    if len(body) < 0x3F and code not in (39,):
        return struct.pack("<H", (code << 6) | len(body)) + body
    return struct.pack("<HI", (code << 6) | 0x3F, len(body)) + body


def movie(frames, version, header_frames=None, compress=False):
    # 550 x 400 px stage, 24 fps.
    bits = "{:05b}".format(15) + "".join("{:015b}".format(v) for v in (0, 11000, 0, 8000))
    bits += "0" * (-len(bits) % 8)
    rect = bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
    count = len(frames) if header_frames is None else header_frames
    body = rect + struct.pack("<HH", 24 << 8, count)
    if version >= 8:
        body += tag(69, struct.pack("<I", 0))
    body += tag(9, b"\xff\xff\xff")
    body += b"".join(f + tag(1, b"") for f in frames) + tag(0, b"")
    if compress and version >= 6:
        return b"CWS" + bytes([version]) + struct.pack("<I", 8 + len(body)) + zlib.compress(body)
    return b"FWS" + bytes([version]) + struct.pack("<I", 8 + len(body)) + body


def build(text):
    """Returns (versions, frames to play, {version: movie bytes})."""
    src = Source(text)
    frames = src.parse()
    return src.versions, src.frames, {
        v: movie(frames, v, src.header_frames) for v in src.versions}
