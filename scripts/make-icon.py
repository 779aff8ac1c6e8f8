#!/usr/bin/env python3
"""Builds the program icon (16, 32 and 48 pixels, 32-bit colour with alpha)
from its source, assets/orvanta-icon.py, with the standard library only.

    make-icon.py OUTPUT.ico [--png-preview PREVIEW.png]

Each shape is rendered from its signed distance: a pixel is covered by the
part of a one-pixel-wide ramp across the shape's edge, so that straight
edges on pixel boundaries stay sharp and curves are smooth. The sizes are
stored as classic DIB images (readable by every Windows version and by the
resource compiler)."""

import importlib.util
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "..", "assets", "orvanta-icon.py")


def load_source(path=SOURCE):
    sys.dont_write_bytecode = True  # nothing written beside the source
    module_spec = importlib.util.spec_from_file_location("orvanta_icon", path)
    module = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(module)
    return module


def distance(kind, params, x, y):
    """Signed distance from the point to the shape's edge (negative inside)."""
    if kind == "circle":
        cx, cy, r = params
        return math.hypot(x - cx, y - cy) - r
    if kind == "box":
        cx, cy, half_length, half_width, degrees = params
        a = math.radians(degrees)
        along = (x - cx) * math.sin(a) - (y - cy) * math.cos(a)
        across = (x - cx) * math.cos(a) + (y - cy) * math.sin(a)
        qx, qy = abs(along) - half_length, abs(across) - half_width
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0)
    if kind == "capsule":
        x0, y0, x1, y1, half_width = params
        dx, dy = x1 - x0, y1 - y0
        t = ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)
        t = min(max(t, 0.0), 1.0)
        return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - half_width
    raise ValueError("unknown shape " + kind)


def render(size, shapes):
    """Rows of (r, g, b, a) pixels, top row first, straight (not premultiplied) alpha."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            x, y = px + 0.5, py + 0.5
            r = g = b = a = 0.0  # premultiplied
            for kind, params, colour in shapes:
                cover = min(max(0.5 - distance(kind, params, x, y), 0.0), 1.0)
                if cover <= 0.0:
                    continue
                alpha = cover * colour[3] / 255.0
                r = colour[0] * alpha + r * (1.0 - alpha)
                g = colour[1] * alpha + g * (1.0 - alpha)
                b = colour[2] * alpha + b * (1.0 - alpha)
                a = alpha + a * (1.0 - alpha)
            if a > 0.0:
                row.append((round(r / a), round(g / a), round(b / a), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(size, rows):
    """One icon image: BITMAPINFOHEADER (double height), BGRA rows bottom-up, AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def ico(images):
    """An .ico file from (size, image bytes) pairs."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b""
    for size, image in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return out + data


def png(rows):
    """A PNG file of the pixels, for looking at the icon."""
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    head = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--png-preview"):
        sys.stderr.write("usage: make-icon.py OUTPUT.ico [--png-preview PREVIEW.png]\n")
        return 2
    source = load_source()
    rendered = [(size, render(size, source.shapes(size))) for size in source.SIZES]
    with open(argv[1], "wb") as out:
        out.write(ico([(size, dib(size, rows)) for size, rows in rendered]))
    if len(argv) == 4:
        # The sizes side by side, each enlarged eight times, on a light background.
        scale, gap = 8, 8
        width = sum(size * scale + gap for size, _ in rendered) + gap
        height = max(size for size, _ in rendered) * scale + 2 * gap
        canvas = [[(236, 236, 236, 255)] * width for _ in range(height)]
        left = gap
        for size, rows in rendered:
            for y in range(size * scale):
                for x in range(size * scale):
                    r, g, b, a = rows[y // scale][x // scale]
                    bg = canvas[gap + y][left + x]
                    canvas[gap + y][left + x] = tuple(round(c * a / 255 + k * (255 - a) / 255)
                                                       for c, k in zip((r, g, b), bg[:3])) + (255,)
            left += size * scale + gap
        with open(argv[3], "wb") as out:
            out.write(png(canvas))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
