#!/usr/bin/env python3
"""Compares pictures of the 565 frame, pixel by pixel, in steps of the 565 channels.

    scripts/compare-pictures.py OLD.png NEW.png [OLD2.png NEW2.png ...]

For each pair: how many pixels moved, how many by more than one step in some channel, the
largest step, and the share within one step; with --map FILE.png, a picture of where they
moved (black: same, grey: one step, red: more). Reads the 8-bit RGB PNGs the program writes
(no interlace), with nothing beyond Python's standard library.
"""
import struct
import sys
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG")
    pos, idat, width, height, kind = 8, b"", 0, 0, 0
    while pos < len(data):
        length, tag = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if tag == b"IHDR":
            width, height, depth, kind, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or kind not in (2, 6) or interlace:
                raise SystemExit(f"{path}: only 8-bit RGB or RGBA, not interlaced")
        elif tag == b"IDAT":
            idat += body
        pos += 12 + length
    step = 3 if kind == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * step
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind_f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - step] if i >= step else 0
            up = prev[i]
            ul = prev[i - step] if i >= step else 0
            if kind_f == 1:
                line[i] = (line[i] + left) & 255
            elif kind_f == 2:
                line[i] = (line[i] + up) & 255
            elif kind_f == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 255
            elif kind_f == 4:
                p = left + up - ul
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - ul)
                pred = left if pa <= pb and pa <= pc else (up if pb <= pc else ul)
                line[i] = (line[i] + pred) & 255
        rows.append(bytes(line))
        prev = line
    pixels = []
    for line in rows:
        for x in range(width):
            r, g, b = line[x * step], line[x * step + 1], line[x * step + 2]
            pixels.append((r >> 3, g >> 2, b >> 3))
    return width, height, pixels


def write_png(path, width, height, rgb_rows):
    raw = b"".join(b"\x00" + bytes(row) for row in rgb_rows)

    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(
            ">I", zlib.crc32(tag + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def main(argv):
    maps = []
    if "--map" in argv:
        i = argv.index("--map")
        maps = [argv[i + 1]]
        argv = argv[:i] + argv[i + 2:]
    if len(argv) < 2 or len(argv) % 2:
        raise SystemExit(__doc__)
    worst = 100.0
    for k in range(0, len(argv), 2):
        w, h, a = read_png(argv[k])
        w2, h2, b = read_png(argv[k + 1])
        if (w, h) != (w2, h2):
            raise SystemExit(f"{argv[k]} and {argv[k + 1]}: sizes differ")
        moved = far = largest = 0
        rows = [bytearray(w * 3) for _ in range(h)]
        for i, (p, q) in enumerate(zip(a, b)):
            step = max(abs(p[0] - q[0]), abs(p[1] - q[1]), abs(p[2] - q[2]))
            if step:
                moved += 1
                far += step > 1
                largest = max(largest, step)
                rows[i // w][i % w * 3:i % w * 3 + 3] = b"\xff\x00\x00" if step > 1 else b"\x80\x80\x80"
        within = 100.0 * (w * h - far) / (w * h)
        worst = min(worst, within)
        print(f"{argv[k + 1]}: moved={moved} ({100.0 * moved / (w * h):.2f} %) "
              f"over_one_step={far} largest_step={largest} within_one_step={within:.3f} %")
        if maps:
            write_png(maps[0] if len(argv) == 2 else maps[0].replace(".png", f"-{k // 2}.png"),
                      w, h, rows)
    print(f"worst within_one_step={worst:.3f} %")


if __name__ == "__main__":
    try:
        main(sys.argv[1:])
    except BrokenPipeError:
        pass
