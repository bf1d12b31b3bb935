#!/usr/bin/env python3
"""Seeds for the AS3 fuzz targets, written into a build folder (the movies stay where they lie).

  extract_seeds.py MOVIES_DIR [--abc DIR] [--movies DIR] [--max-size BYTES]

--abc: the ABC file of every DoABC (and old DoABC) tag of every movie under MOVIES_DIR;
--movies: every AS3 movie, uncompressed (FWS) so that mutations reach its tags.
"""
import argparse
import hashlib
import lzma
import pathlib
import struct
import zlib


def movie_body(data):
    """(version, body after the 8-byte header) or None."""
    if len(data) < 8:
        return None
    try:
        if data[:3] == b"CWS":
            return data[3], zlib.decompressobj().decompress(data[8:])
        if data[:3] == b"ZWS":
            # LZMA: 4 bytes of compressed length, then the 5 property bytes and the raw stream.
            props = lzma._decode_filter_properties(lzma.FILTER_LZMA1, data[12:17])
            raw = lzma.LZMADecompressor(lzma.FORMAT_RAW, filters=[props])
            return data[3], raw.decompress(data[17:])
        if data[:3] == b"FWS":
            return data[3], data[8:]
    except (zlib.error, lzma.LZMAError, ValueError):
        pass
    return None


def tags(body):
    """(code, block) of each tag after the frame rectangle, rate and count."""
    if not body:
        return
    pos = ((5 + 4 * (body[0] >> 3)) + 7) // 8 + 4
    while pos + 2 <= len(body):
        code_len = struct.unpack_from("<H", body, pos)[0]
        code, length, pos = code_len >> 6, code_len & 0x3F, pos + 2
        if length == 0x3F:
            if pos + 4 > len(body):
                return
            length, pos = struct.unpack_from("<I", body, pos)[0], pos + 4
        if code == 0:
            return
        yield code, body[pos:pos + length]
        pos += length


def write(folder, data):
    (folder / hashlib.sha1(data).hexdigest()).write_bytes(data)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("movies")
    ap.add_argument("--abc")
    ap.add_argument("--movies", dest="movie_out")
    ap.add_argument("--max-size", type=int, default=65536)
    args = ap.parse_args()
    abc_out = pathlib.Path(args.abc) if args.abc else None
    movie_out = pathlib.Path(args.movie_out) if args.movie_out else None
    for d in (abc_out, movie_out):
        if d:
            d.mkdir(parents=True, exist_ok=True)
    counts = [0, 0]
    for movie in sorted(pathlib.Path(args.movies).rglob("*.swf")):
        found = movie_body(movie.read_bytes())
        if not found:
            continue
        version, body = found
        has_abc = False
        for code, block in tags(body):
            if code == 82:  # DoABC: flags, then a NUL-terminated name
                end = block.find(b"\0", 4)
                block = block[end + 1:] if end >= 0 else b""
            if code in (72, 82):
                has_abc = True
                if abc_out and 0 < len(block) <= args.max_size:
                    write(abc_out, block)
                    counts[0] += 1
        if movie_out and has_abc and len(body) + 8 <= args.max_size:
            write(movie_out, b"FWS" + bytes([version]) + struct.pack("<I", len(body) + 8) + body)
            counts[1] += 1
    print(f"{counts[0]} ABC seeds, {counts[1]} movie seeds")


if __name__ == "__main__":
    main()
