#!/usr/bin/env python3
"""Reads the control's label off a screenshot of the form that form_container.exe shows.

    form_screenshot.py SCREEN.xwd GEOMETRY OUT.png

SCREEN.xwd is `xwd -root` of the display; GEOMETRY is what the container printed (the lines
`form`, `client` and `control`, each with left, top, right and bottom in screen pixels). Writes
the form, cut out of the screen, to OUT.png, and exits 1 unless:
  - the control's rectangle shows dark text on a lighter background, and the text is one short
    line (the status word "Ready", not the banner it replaced, which spans the control);
  - the rest of the form's client area holds no dark pixel;
  - the screen outside the form is one plain colour: nothing else was drawn.
Only the standard library: the image is read from X's own dump format and written as PNG here.
"""

import struct
import sys
import zlib
from collections import Counter

# Luma (0 to 255) a pixel must stay under to count as text; the background must be at least
# LIGHT, and text pixels also darker than the background by CONTRAST.
DARK = 96
LIGHT = 128
CONTRAST = 64
# What one short word in the label's font may cover; the banner wraps over the whole control.
MAX_WORD_WIDTH = 120
MAX_LINE_HEIGHT = 30
MIN_TEXT_PIXELS = 20


class Screen:
    """An X window dump (XWD version 7, TrueColor, 24 or 32 bits a pixel) as rows of RGB."""

    def __init__(self, data):
        fields = struct.unpack(">25I", data[:100])
        (header_size, version, pixmap_format, _depth, self.width, self.height, _xoffset,
         byte_order, _unit, _bit_order, _pad, bits_per_pixel, bytes_per_line, visual_class,
         red_mask, green_mask, blue_mask, _bits_per_rgb, _entries, ncolors) = fields[:20]
        if version != 7 or pixmap_format != 2 or visual_class not in (4, 5):
            raise ValueError(f"not a TrueColor ZPixmap dump (version {version}, format "
                             f"{pixmap_format}, visual class {visual_class})")
        if bits_per_pixel not in (24, 32):
            raise ValueError(f"{bits_per_pixel} bits a pixel")
        start = header_size + 12 * ncolors
        step = bits_per_pixel // 8
        order = "little" if byte_order == 0 else "big"
        shifts = [(mask, (mask & -mask).bit_length() - 1) for mask in
                  (red_mask, green_mask, blue_mask)]
        self.rows = []
        for y in range(self.height):
            line = data[start + y * bytes_per_line:start + (y + 1) * bytes_per_line]
            row = []
            for x in range(self.width):
                value = int.from_bytes(line[x * step:x * step + step], order)
                row.append(tuple((value & mask) >> shift for mask, shift in shifts))
            self.rows.append(row)

    def pixels(self, rect, outside=None):
        """(x, y, rgb) inside rect, left out what lies inside `outside`."""
        left, top, right, bottom = rect
        for y in range(max(top, 0), min(bottom, self.height)):
            for x in range(max(left, 0), min(right, self.width)):
                if outside and inside(outside, x, y):
                    continue
                yield x, y, self.rows[y][x]

    def png(self, rect):
        left, top, right, bottom = rect
        raw = b"".join(b"\0" + bytes(c for x in range(left, right) for c in self.rows[y][x])
                       for y in range(top, bottom))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body)))

        header = struct.pack(">IIBBBBB", right - left, bottom - top, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def inside(rect, x, y):
    return rect[0] <= x < rect[2] and rect[1] <= y < rect[3]


def luma(rgb):
    return (299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2]) // 1000


def read_geometry(path):
    rects = {}
    with open(path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            words = line.split()
            if len(words) == 5 and words[0] in ("form", "client", "control"):
                rects[words[0]] = tuple(int(w) for w in words[1:])
    missing = {"form", "client", "control"} - rects.keys()
    if missing:
        raise ValueError(f"the container printed no {', '.join(sorted(missing))} rectangle")
    return rects


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: form_screenshot.py SCREEN.xwd GEOMETRY OUT.png")
    with open(sys.argv[1], "rb") as dump:
        screen = Screen(dump.read())
    rects = read_geometry(sys.argv[2])
    form, client, control = rects["form"], rects["client"], rects["control"]
    failures = []

    def check(ok, what):
        print(("ok: " if ok else "FAILED: ") + what)
        if not ok:
            failures.append(what)

    on_screen = (0, 0, screen.width, screen.height)
    check(all(inside(on_screen, r[0], r[1]) and inside(on_screen, r[2] - 1, r[3] - 1)
              for r in (form, client, control)), "the form is on the screen")

    label = list(screen.pixels(control))
    background, _ = Counter(rgb for _, _, rgb in label).most_common(1)[0]
    check(luma(background) >= LIGHT,
          f"the label's background {background} is light (luma {luma(background)})")
    text = [(x, y) for x, y, rgb in label
            if luma(rgb) < DARK and luma(background) - luma(rgb) >= CONTRAST]
    check(len(text) >= MIN_TEXT_PIXELS,
          f"dark text pixels on it: {len(text)} of {len(label)}")
    if text:
        xs = [x for x, _ in text]
        ys = [y for _, y in text]
        width, height = max(xs) - min(xs) + 1, max(ys) - min(ys) + 1
        check(width <= MAX_WORD_WIDTH and height <= MAX_LINE_HEIGHT,
              f"the text is one short word: {width}x{height} pixels at "
              f"{min(xs) - control[0]},{min(ys) - control[1]} in the label")

    stray = sum(1 for _, _, rgb in screen.pixels(client, outside=control) if luma(rgb) < DARK)
    check(stray == 0, f"no dark pixels on the form around the control ({stray})")

    desktop = Counter(rgb for _, _, rgb in screen.pixels(on_screen, outside=form))
    colour, count = desktop.most_common(1)[0]
    others = sum(desktop.values()) - count
    check(others == 0, f"the screen outside the form is plain {colour} ({others} other pixels)")

    crop = (max(form[0], 0), max(form[1], 0), min(form[2], screen.width),
            min(form[3], screen.height))
    if crop[2] > crop[0] and crop[3] > crop[1]:
        with open(sys.argv[3], "wb") as out:
            out.write(screen.png(crop))
    if failures:
        with open(sys.argv[3].removesuffix(".png") + "-screen.png", "wb") as out:
            out.write(screen.png(on_screen))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
