#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files (standard library only).

program.ico: the file icon Explorer shows, eight images: 48, 32 and 16 pixels in 32-bit colour,
the same three in 8-bit colour, and 48 and 32 pixels in 4-bit colour for old display modes. The
32-bit images of 48 and 32 pixels are stored PNG-compressed (Vista and later read them), which
keeps the executable small. The
picture is the tray icon's idea: a dark tile with a 2 x 2 grid of processor cells at different
clock levels.
placeholder.ico: one 16 x 16 two-colour image whose mask hides every pixel, shown in the tray
until the first real paint.
"""
import struct
import sys
import zlib

BACKGROUND = (0x2B, 0x2F, 0x3A)
CELL = (0x80, 0x80, 0xFF)
LINE = (0x10, 0x12, 0x18)
LEVELS = (1.0, 0.45, 0.7, 0.25)  # clock level of the four cells, row by row


def draw(size):
    """Returns size x size RGBA pixels, top row first."""
    px = [[(0, 0, 0, 0)] * size for _ in range(size)]
    radius = max(1, size // 8)
    for y in range(size):
        for x in range(size):
            # rounded tile: drop the pixels outside the corner circles
            cx = min(max(x, radius), size - 1 - radius)
            cy = min(max(y, radius), size - 1 - radius)
            if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius:
                px[y][x] = BACKGROUND + (255,)
    margin = max(2, size // 8)
    gap = max(1, size // 16)
    cell = (size - 2 * margin - gap) // 2
    for row in range(2):
        for col in range(2):
            level = LEVELS[row * 2 + col]
            a = 0.25 + 0.75 * level * level
            x0 = margin + col * (cell + gap)
            y0 = margin + row * (cell + gap)
            for y in range(y0, y0 + cell):
                for x in range(x0, x0 + cell):
                    edge = x in (x0, x0 + cell - 1) or y in (y0, y0 + cell - 1)
                    if edge and size >= 32:
                        rgb = LINE
                    else:
                        rgb = tuple(int(c * a + b * (1 - a)) for c, b in zip(CELL, BACKGROUND))
                    px[y][x] = rgb + (255,)
    return px


def vga16():
    base = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
            (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
            (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    return base


def cube256():
    pal = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    pal += [(i * 255 // 39, i * 255 // 39, i * 255 // 39) for i in range(40)]
    return pal[:256]


def nearest(pal, rgb):
    return min(range(len(pal)), key=lambda i: sum((p - c) ** 2 for p, c in zip(pal[i], rgb)))


def mask_rows(px):
    """AND mask, 1 bit per pixel, rows padded to 32 bits, bottom row first: 1 = transparent."""
    size = len(px)
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for y in reversed(range(size)):
        row = bytearray(stride)
        for x in range(size):
            if px[y][x][3] < 128:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def dib(px, bpp):
    """One icon image: BITMAPINFOHEADER (height doubled), palette, colour bits, AND mask."""
    size = len(px)
    pal = {32: None, 8: cube256(), 4: vga16(), 1: [(0, 0, 0), (255, 255, 255)]}[bpp]
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, 0, 0, 0,
                         0 if pal is None else len(pal), 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in (pal or []))
    stride = ((size * bpp + 31) // 32) * 4
    bits = bytearray()
    for y in reversed(range(size)):
        row = bytearray(stride)
        for x in range(size):
            r, g, b, a = px[y][x]
            if bpp == 32:
                row[x * 4:x * 4 + 4] = bytes((b, g, r, a))
            else:
                index = 0 if a < 128 else nearest(pal, (r, g, b))
                if bpp == 8:
                    row[x] = index
                elif bpp == 4:
                    row[x // 2] |= index << (4 if x % 2 == 0 else 0)
                else:
                    row[x // 8] |= (index & 1) << (7 - x % 8)
        bits += row
    return header + palette + bytes(bits) + mask_rows(px), len(pal or [])


def png(px):
    """The picture as a PNG file: 8-bit RGBA, no filtering."""
    size = len(px)
    raw = b''.join(b'\0' + bytes(c for p in row for c in p) for row in px)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def write_ico(path, images):
    """images: list of (pixels, bpp), bpp 'png' for a PNG-compressed 32-bit image."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for px, bpp in images:
        if bpp == 'png':
            data, colours, bpp = png(px), 0, 32
        else:
            data, colours = dib(px, bpp)
        size = len(px)
        entries.append(struct.pack('<BBBBHHII', size % 256, size % 256, colours % 256, 0, 1, bpp,
                                   len(data), offset))
        blobs.append(data)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, 1, len(images)))
        f.write(b''.join(entries))
        f.write(b''.join(blobs))


def main(outdir):
    pictures = {s: draw(s) for s in (48, 32, 16)}
    write_ico(f'{outdir}/program.ico',
              [(pictures[48], 'png'), (pictures[32], 'png'), (pictures[16], 32),
               (pictures[48], 8), (pictures[32], 8), (pictures[16], 8),
               (pictures[48], 4), (pictures[32], 4)])
    blank = [[(0, 0, 0, 0)] * 16 for _ in range(16)]
    write_ico(f'{outdir}/placeholder.ico', [(blank, 1)])


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else '.')
