#!/usr/bin/env python3
"""Writes the lossless image fixtures of tests/images/fixtures byte by byte
from the format definitions (PNG with struct and zlib, GIF with a plain LZW
writer that stays at 9-bit codes, BMP and TIFF by hand), so their pixels are
known without any decoder. The JPEG fixtures come from
tools/make-jpeg-fixtures.cpp. The build never runs this; run it by hand and
commit what it writes:

    python3 tools/make-image-fixtures.py tests/images/fixtures

The pixel patterns are those of tests/images/fixture-pixels.h."""
import struct
import sys
import zlib

W, H = 5, 3  # odd width everywhere


def colour(x, y):
    return (40 * x + 10, 60 * y + 15, 200 - 30 * x - 20 * y)


def alpha(x, y):
    return (x * 50 + y * 70) % 256


PALETTE = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255), (255, 0, 255),
           (128, 128, 128), (10, 20, 30), (200, 100, 50), (1, 2, 3)]


def index4(x, y):
    return (x + y) % 4


# PNG ---------------------------------------------------------------------------

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(w, h, depth, ctype, rows, extra=b"", interlace=0):
    head = struct.pack(">IIBBBBB", w, h, depth, ctype, 0, 0, interlace)
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + extra + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


def png_fixtures(out):
    rows = [bytes(v for x in range(W) for v in colour(x, y) + (alpha(x, y),)) for y in range(H)]
    out["png-rgba.png"] = png(W, H, 8, 6, rows)
    plte = chunk(b"PLTE", bytes(v for c in PALETTE[:4] for v in c)) + chunk(b"tRNS", bytes([255, 128, 0, 64]))
    rows = [bytes(index4(x, y) for x in range(W)) for y in range(H)]
    out["png-palette.png"] = png(W, H, 8, 3, rows, plte)
    rows = [bytes(20 * x + 50 * y for x in range(W)) for y in range(H)]
    out["png-grey.png"] = png(W, H, 8, 0, rows)
    rows = [b"".join(struct.pack(">H", c * 257 + 100) for x in range(W) for c in colour(x, y)) for y in range(H)]
    out["png-16bit.png"] = png(W, H, 16, 2, rows)
    rows = [bytes(v for x in range(W) for v in colour(x, y)) for y in range(H)]
    out["png-gama.png"] = png(W, H, 8, 2, rows, chunk(b"gAMA", struct.pack(">I", 45455)))
    # Adam7: the seven passes, each a sub-image with its own filter bytes.
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    raw = b""
    for x0, y0, dx, dy in passes:
        xs = list(range(x0, W, dx))
        ys = list(range(y0, H, dy))
        if not xs or not ys:
            continue
        for y in ys:
            raw += b"\0" + bytes(v for x in xs for v in colour(x, y))
    head = struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 1)
    out["png-interlaced.png"] = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw))
                                 + chunk(b"IEND", b""))


# GIF -----------------------------------------------------------------------------

def lzw_codes(values):
    """Literal codes only, with a clear code (256) every 200 codes and the end
    code (257) last: the decoder's table never grows past 9-bit codes."""
    codes = [256]
    for i, v in enumerate(values):
        if i and i % 200 == 0:
            codes.append(256)
        codes.append(v)
    return codes + [257]


def lzw_gif(indexes):
    """GIF LZW with an 8-bit minimum code size, codes packed LSB first."""
    codes = lzw_codes(indexes)
    bits = 0
    acc = 0
    data = bytearray()
    for c in codes:
        acc |= c << bits
        bits += 9
        while bits >= 8:
            data.append(acc & 255)
            acc >>= 8
            bits -= 8
    if bits:
        data.append(acc & 255)
    blocks = b""
    for i in range(0, len(data), 255):
        part = data[i:i + 255]
        blocks += bytes([len(part)]) + part
    return bytes([8]) + blocks + b"\0"


def gif_table():
    table = [c for c in PALETTE] + [(0, 0, 0)] * (256 - len(PALETTE))
    return bytes(v for c in table for v in c)


def gif(sw, sh, frames):
    """frames: (left, top, w, h, indexes in stored order, interlaced, transparent index or None)."""
    data = b"GIF89a" + struct.pack("<HHBBB", sw, sh, 0xF7, 0, 0) + gif_table()
    for left, top, w, h, idx, inter, transparent in frames:
        if transparent is not None:
            data += b"\x21\xF9\x04\x01\x00\x00" + bytes([transparent]) + b"\0"
        data += b"\x2C" + struct.pack("<HHHHB", left, top, w, h, 0x40 if inter else 0)
        data += lzw_gif(idx)
    return data + b"\x3B"


def gif_fixtures(out):
    idx = [index4(x, y) for y in range(H) for x in range(W)]
    out["gif-transparent.gif"] = gif(W, H, [(0, 0, W, H, idx, False, 3)])
    h = 9  # interlaced rows are stored in pass order 0, 8; 4; 2, 6; 1, 3, 5, 7
    order = [0, 8, 4, 2, 6, 1, 3, 5, 7]
    idx = [(x + y) % 10 for y in order for x in range(W)]
    out["gif-interlaced.gif"] = gif(W, h, [(0, 0, W, h, idx, True, None)])
    idx = [(x + 2 * y) % 10 for y in range(2) for x in range(3)]
    out["gif-small-frame.gif"] = gif(7, 5, [(2, 1, 3, 2, idx, False, None)])
    first = [index4(x, y) for y in range(H) for x in range(W)]
    second = [9] * (W * H)
    out["gif-two-frames.gif"] = gif(W, H, [(0, 0, W, H, first, False, None), (0, 0, W, H, second, False, None)])


# BMP -----------------------------------------------------------------------------

def bmp(info, palette, pixels, header_extra=b""):
    offset = 14 + len(info) + len(header_extra) + len(palette)
    return (b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + header_extra + palette
            + pixels)


def info40(w, h, bits, compression=0, colours=0, size=0):
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, compression, size, 2835, 2835, colours, 0)


def pad(row):
    return row + b"\0" * ((4 - len(row) % 4) % 4)


def bmp_rows(make_row, top_down=False):
    ys = range(H) if top_down else range(H - 1, -1, -1)
    return b"".join(pad(make_row(y)) for y in ys)


def pal4(entries):
    return b"".join(bytes([b, g, r, 0]) for r, g, b in entries)


def bmp_fixtures(out):
    def bits1(y):
        v = 0
        row = b""
        bits = [(x + y) % 2 for x in range(W)]
        for i in range(0, W, 8):
            chunk_ = bits[i:i + 8] + [0] * (8 - len(bits[i:i + 8]))
            v = 0
            for b in chunk_:
                v = v << 1 | b
            row += bytes([v])
        return row
    out["bmp-1bit.bmp"] = bmp(info40(W, H, 1, colours=2), pal4(PALETTE[:2]), bmp_rows(bits1))

    def nib(y):
        vals = [(x + 2 * y) % 10 for x in range(W)] + [0]
        return bytes(vals[i] << 4 | vals[i + 1] for i in range(0, W, 2))
    out["bmp-4bit.bmp"] = bmp(info40(W, H, 4, colours=10), pal4(PALETTE), bmp_rows(nib))
    # Colour count 0 means 256 entries, cut to the 10 present; index 12 lies
    # beyond them (opaque black).
    def idx8(y):
        return bytes(12 if (x, y) == (4, 2) else (x + y * 5) % 10 for x in range(W))
    out["bmp-8bit.bmp"] = bmp(info40(W, H, 8, colours=0), pal4(PALETTE), bmp_rows(idx8))

    def p565(y):
        row = b""
        for x in range(W):
            r, g, b = colour(x, y)
            row += struct.pack("<H", (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3))
        return row
    out["bmp-16bit-565.bmp"] = bmp(info40(W, H, 16, compression=3), b"", bmp_rows(p565),
                                   struct.pack("<III", 0xF800, 0x07E0, 0x001F))

    def p24(y):
        return b"".join(bytes(colour(x, y)[::-1]) for x in range(W))
    out["bmp-24bit.bmp"] = bmp(info40(W, H, 24), b"", bmp_rows(p24))
    out["bmp-top-down.bmp"] = bmp(info40(W, -H, 24), b"", bmp_rows(p24, top_down=True))

    def p32(y):
        return b"".join(bytes(colour(x, y)[::-1] + (alpha(x, y),)) for x in range(W))
    v4 = struct.pack("<IiiHHIIiiII", 108, W, H, 1, 32, 3, 0, 0, 0, 0, 0)
    v4 += struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000) + b"\0" * (108 - 56)
    out["bmp-32bit-alpha.bmp"] = bmp(v4, b"", bmp_rows(p32))

    # RLE8, bottom-up: row 0 (the bottom) a run and a literal run, then a
    # delta that skips two pixels of row 1 and the rest of it, and the end.
    rle8 = bytes([3, 1, 0, 3, 2, 3, 4, 0]) + bytes([0, 0]) + bytes([2, 5, 0, 2, 1, 1]) + bytes([0, 1])
    out["bmp-rle8.bmp"] = bmp(info40(W, H, 8, compression=1, colours=10, size=len(rle8)), pal4(PALETTE), rle8)
    rle4 = bytes([5, 0x12, 0, 0]) + bytes([0, 3, 0x34, 0x50, 0, 0]) + bytes([0, 1])
    out["bmp-rle4.bmp"] = bmp(info40(W, H, 4, compression=2, colours=10, size=len(rle4)), pal4(PALETTE), rle4)


# TIFF ----------------------------------------------------------------------------

def lzw_tiff(data):
    """TIFF LZW, codes packed MSB first."""
    codes = lzw_codes(data)
    acc = 0
    bits = 0
    out = bytearray()
    for c in codes:
        acc = acc << 9 | c
        bits += 9
        while bits >= 8:
            out.append(acc >> (bits - 8) & 255)
            bits -= 8
    if bits:
        out.append(acc << (8 - bits) & 255)
    return bytes(out)


def tiff_page(w, h, spp, photometric, pixels, extra=None, compression=1, colourmap=None, bits=8):
    """One IFD's entries and its data; the offsets are fixed by tiff()."""
    tags = [(256, 3, [w]), (257, 3, [h]), (258, 3, [bits] * spp), (259, 3, [compression]), (262, 3, [photometric]),
            (273, 4, ["strip"]), (277, 3, [spp]), (278, 3, [h]), (279, 4, [len(pixels)]), (284, 3, [1])]
    if extra is not None:
        tags.append((338, 3, [extra]))
    if colourmap is not None:
        tags.append((320, 3, colourmap))
    return sorted(tags), pixels


def tiff(pages):
    out = bytearray(b"II*\0" + b"\0\0\0\0")
    link = 4
    for tags, pixels in pages:
        strip = len(out)
        out += pixels
        if len(out) % 2:
            out += b"\0"
        arrays = {}
        for tag, kind, values in tags:
            size = (2 if kind == 3 else 4) * len(values)
            if size > 4:
                arrays[tag] = len(out)
                out += b"".join(struct.pack("<H" if kind == 3 else "<I", v) for v in values)
        ifd = len(out)
        struct.pack_into("<I", out, link, ifd)
        out += struct.pack("<H", len(tags))
        for tag, kind, values in tags:
            values = [strip if v == "strip" else v for v in values]
            size = (2 if kind == 3 else 4) * len(values)
            if size > 4:
                field = struct.pack("<I", arrays[tag])
            else:
                field = b"".join(struct.pack("<H" if kind == 3 else "<I", v) for v in values).ljust(4, b"\0")
            out += struct.pack("<HHI", tag, kind, len(values)) + field
        link = len(out)
        out += b"\0\0\0\0"
    return bytes(out)


def premultiplied(x, y):
    r, g, b = colour(x, y)
    a = alpha(x, y)
    return tuple((c * a + 127) // 255 for c in (r, g, b)) + (a,)


def tiff_fixtures(out):
    rgba = bytes(v for y in range(H) for x in range(W) for v in colour(x, y) + (alpha(x, y),))
    out["tiff-unassociated.tif"] = tiff([tiff_page(W, H, 4, 2, rgba, extra=2)])
    pre = bytes(v for y in range(H) for x in range(W) for v in premultiplied(x, y))
    out["tiff-associated.tif"] = tiff([tiff_page(W, H, 4, 2, pre, extra=1)])
    cmap = [c[0] * 257 for c in PALETTE] + [0] * 246 + [c[1] * 257 for c in PALETTE] + [0] * 246 + \
           [c[2] * 257 for c in PALETTE] + [0] * 246
    idx = bytes((x + y * 5) % 10 for y in range(H) for x in range(W))
    out["tiff-palette.tif"] = tiff([tiff_page(W, H, 1, 3, idx, colourmap=cmap)])
    rgb = bytes(v for y in range(H) for x in range(W) for v in colour(x, y))
    out["tiff-lzw.tif"] = tiff([tiff_page(W, H, 3, 2, lzw_tiff(rgb), compression=5)])
    second = bytes([9, 9, 9] * 4)
    out["tiff-two-pages.tif"] = tiff([tiff_page(W, H, 3, 2, rgb), tiff_page(2, 2, 3, 2, second)])


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else "tests/images/fixtures"
    files = {}
    png_fixtures(files)
    gif_fixtures(files)
    bmp_fixtures(files)
    tiff_fixtures(files)
    for name, data in sorted(files.items()):
        with open(f"{target}/{name}", "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
