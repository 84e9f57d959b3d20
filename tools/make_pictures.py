#!/usr/bin/env python3
"""Write the pictures that are compiled into the game.

Files written into resources/:
  background.bmp    128 x 64 sky gradient with a green ground line (24-bit BMP)
  title.gif         140 x 34 title lettering, white on transparent (interlaced GIF89a)
  shell_loaded.bmp  13 x 22 loaded cartridge sprite (24-bit BMP)
  shell_spent.bmp   13 x 22 spent cartridge sprite (24-bit BMP)
  plate.bmp         14 x 8 clay plate sprite (24-bit BMP)
  shotgun.ico       32 x 32 program icon, 16 colours with a transparency mask
  kestrin.rc        Windows resource script that makes shotgun.ico the executable's icon
  icons/kestrin-N.png  the desktop's program icon at N x N pixels (N = 16, 24, 32, 48, 64,
                    128, 256; RGBA PNG): 32 is the program icon, 64/128/256 are it
                    scaled up by whole factors pixel for pixel, 16 and 24 are drawn
                    here, 48 is the program icon scaled by one and a half with Scale3x
                    and then every other pixel

Remake them with:

  python3 tools/make_pictures.py

Only the standard library is used and the output is byte-for-byte
deterministic. Each file is checked after it is built (sizes, headers, and a
round trip through a GIF decoder for the title), and the script stops with an
error if anything is off.
"""

import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT_DIR = os.path.join(ROOT, "resources")


# ---------------------------------------------------------------------------
# Sprite grids: one letter per pixel, top row first.

SPRITE_COLOURS = {
    "W": (255, 255, 255),  # white
    "K": (0, 0, 0),        # black
    "N": (0, 0, 128),      # navy
    "B": (0, 0, 255),      # blue
    "O": (128, 128, 0),    # olive
    "Y": (255, 255, 0),    # yellow
    "G": (192, 192, 192),  # light grey
    "D": (128, 128, 128),  # grey
    "M": (255, 0, 255),    # magenta
}

# Navy cartridge body with a blue highlight stripe over an olive brass base
# with a yellow highlight and a wider rim.
SHELL_LOADED = """
WWWWWWWWWWWWW
WWKKKKKKKKKWW
WWKNNNNNBNKWW
WWKNNNNNBNKWW
WWKNNNNNBNKWW
WWKNNNNNBNKWW
WWKNNNNNBNKWW
WWKNNNNNBNKWW
WWKNNNNNBNKWW
WWKNNNNNBNKWW
WWKNNNNNBNKWW
WWKNNNNNBNKWW
WWKNNNNNBNKWW
WWKNNNNNBNKWW
WWKKKKKKKKKWW
WWKOOOOOYOKWW
WWKOOOOOYOKWW
WWKOOOOOYOKWW
WWKOOOOOYOKWW
WKOOOOOOOYOKW
WKKKKKKKKKKKW
WWWWWWWWWWWWW
"""

# The same silhouette as a light-grey outline on white.
SHELL_SPENT = """
WWWWWWWWWWWWW
WWGGGGGGGGGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGGGGGGGGGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WWGWWWWWWWGWW
WGWWWWWWWWWGW
WGGGGGGGGGGGW
WWWWWWWWWWWWW
"""

# White dome with a light-grey edge and a grey rim line; the magenta ground
# is cut away by the sprite outline at run time.
PLATE = """
MMMMMMMMMMMMMM
MMMMGGGGGGMMMM
MMGGWWWWWWGGMM
MGWWWWWWWWWWGM
MDDDDDDDDDDDDM
MMMMMMMMMMMMMM
MMMMMMMMMMMMMM
MMMMMMMMMMMMMM
"""


# ---------------------------------------------------------------------------
# Program icon: a pump shotgun lying from the top-left corner (muzzle) to the
# bottom-right corner (butt). K black, G light grey, D grey, R dark red,
# '.' transparent.

ICON = """
.KK.............................
.KKG............................
..KKG...........................
..KKKG..........................
...KKKG.........................
....KKKG........................
.....KKKG.......................
.....RRKKG......................
.....RRRKKG.....................
......RRRKKG....................
.......RDRKKG...................
........RRRKKG..................
.........RDRKKG.................
..........RRRKKG................
...........RDRKKG...............
............RRKKKG..............
..............KKKKG.............
...............KKKKG............
...............KKKKKG...........
...............KKKGKKG..........
................KKKKKKG.........
.................KKKKKKG........
.................K.KKKKRR.......
.................K.K.KRRRR......
..................K..RRRRRR.....
...................KRRRRRRRR....
.....................RRRRRRRR...
.....................RRRRRRRRR..
......................RRRRRRRRKK
......................RRRRRRRKK.
......................RRRRRRKK..
.......................RRRRKK...
"""

# The standard 16-colour Windows palette, in its usual order.
VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# Icon letter -> palette index; None marks a transparent pixel.
ICON_INDEX = {"K": 0, "R": 1, "G": 7, "D": 8, ".": None}


# The program icon redrawn for small sizes, where a scaled copy would lose the barrel.
ICON_16 = """
KK..............
KKG.............
.KKG............
..KKG...........
...RKG..........
...RRKG.........
....RRKG........
.....RKKG.......
.......KKG......
.......KKKG.....
........KKKRR...
........K.RRRR..
.........KRRRRR.
..........RRRRRK
...........RRRK.
...........RRK..
"""

ICON_24 = """
.KK.....................
.KKG....................
..KKG...................
...KKG..................
....KKG.................
....RKKG................
....RRKKG...............
.....RRKKG..............
......RDKKG.............
.......RRKKG............
........RDKKG...........
.........RRKKG..........
...........KKKG.........
...........KKKKG........
...........KKGKKG.......
............KKKKKG......
.............KKKKRR.....
.............K.KRRRR....
..............KRRRRRR...
................RRRRRR..
................RRRRRRR.
................RRRRRRKK
................RRRRRKK.
.................RRRKK..
"""

# Sizes of the desktop icon (see desktop_icon_rows for how each is made).
DESKTOP_ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


# ---------------------------------------------------------------------------
# Bitmap font for the title. Each glyph is 9 rows high: rows 0-6 sit on the
# baseline, rows 7-8 hold descenders. The first line of the table names the
# glyphs; the glyph columns below it are separated by blanks.

FONT = """
C     l   a     y     p     i   g     e     o     n     s     h     t    S     r     [   ]
.###. ##. ..... ..... ..... .#. ..... ..... ..... ..... ..... #.... .#.. .#### ..... ### ###
#...# .#. ..... ..... ..... ... ..... ..... ..... ..... ..... #.... .#.. #.... ..... #.. ..#
#.... .#. .###. #...# ####. ##. .#### .###. .###. #.##. .#### #.##. #### #.... #.##. #.. ..#
#.... .#. ....# #...# #...# .#. #...# #...# #...# ##..# #.... ##..# .#.. .###. ##..# #.. ..#
#.... .#. .#### #...# #...# .#. #...# ##### #...# #...# .###. #...# .#.. ....# #.... #.. ..#
#...# .#. #...# #...# #...# .#. #...# #.... #...# #...# ....# #...# .#.. ....# #.... #.. ..#
.###. ### .#### .#### ####. ### .#### .###. .###. #...# ####. #...# ..## ####. #.... #.. ..#
..... ... ..... ....# #.... ... ....# ..... ..... ..... ..... ..... .... ..... ..... #.. ..#
..... ... ..... .###. #.... ... .###. ..... ..... ..... ..... ..... .... ..... ..... ### ###
"""

GLYPH_HEIGHT = 9
SPACE_WIDTH = 3
LETTER_GAP = 1

TITLE_W, TITLE_H = 140, 34
TITLE_LINES = [
    # (text, bold, top row)
    ("Clay pigeon shooting", True, 5),
    ("[ Start ]", False, 20),
]
TITLE_MARGIN = 4  # minimum clear border around the lettering


def parse_grid(text, legend):
    rows = [line for line in text.strip().splitlines()]
    width = len(rows[0])
    for row in rows:
        if len(row) != width:
            raise ValueError("ragged grid row: %r" % row)
        for ch in row:
            if ch not in legend:
                raise ValueError("unknown grid letter %r" % ch)
    return rows


def parse_font(text):
    lines = text.strip("\n").splitlines()
    names = lines[0].split()
    rows = [line.split() for line in lines[1:]]
    if len(rows) != GLYPH_HEIGHT:
        raise ValueError("font table must have %d glyph rows" % GLYPH_HEIGHT)
    glyphs = {}
    for i, name in enumerate(names):
        if len(name) != 1:
            raise ValueError("glyph name must be one character: %r" % name)
        glyph = [row[i] for row in rows]
        if len(set(len(r) for r in glyph)) != 1:
            raise ValueError("glyph %r has ragged rows" % name)
        glyphs[name] = glyph
    return glyphs


# ---------------------------------------------------------------------------
# BMP

def bmp_bytes(pixels):
    """24-bit bottom-up BMP from rows of (r, g, b), top row first."""
    height = len(pixels)
    width = len(pixels[0])
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        body += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0,
                       len(body), 3780, 3780, 0, 0)
    offset = 14 + len(info)
    head = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    return head + info + bytes(body)


def check_bmp(data, width, height):
    stride = (width * 3 + 3) // 4 * 4
    expect(len(data) == 54 + stride * height, "BMP file size")
    magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    hsize, w, h, planes, bpp, comp = struct.unpack_from("<IiiHHI", data, 14)
    expect(magic == b"BM" and size == len(data) and offset == 54, "BMP header")
    expect((hsize, w, h, planes, bpp, comp) == (40, width, height, 1, 24, 0),
           "BMP info header")


def grid_pixels(rows, colours):
    return [[colours[ch] for ch in row] for row in rows]


# ---------------------------------------------------------------------------
# Background

SKY_TOP = (72, 115, 255)
SKY_BOTTOM = (159, 181, 255)  # colour of row 61
GROUND = (0, 128, 0)
BG_W, BG_H = 128, 64
SKY_ROWS = 62
SHIFT_COLUMN = 73  # columns from here on show the previous row's colour


def sky_colour(row):
    """Linear blend of the two sky colours, rounded half up."""
    span = SKY_ROWS - 1
    return tuple((2 * (a * (span - row) + b * row) + span) // (2 * span)
                 for a, b in zip(SKY_TOP, SKY_BOTTOM))


def background_pixels():
    pixels = []
    for row in range(BG_H):
        if row >= SKY_ROWS:
            pixels.append([GROUND] * BG_W)
            continue
        left = sky_colour(row)
        right = sky_colour(row - 1) if row > 0 else left
        pixels.append([left] * SHIFT_COLUMN + [right] * (BG_W - SHIFT_COLUMN))
    return pixels


# ---------------------------------------------------------------------------
# GIF

class BitWriter:
    """Packs variable-width codes least significant bit first."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.nbits = 0

    def write(self, code, width):
        self.acc |= code << self.nbits
        self.nbits += width
        while self.nbits >= 8:
            self.out.append(self.acc & 0xFF)
            self.acc >>= 8
            self.nbits -= 8

    def finish(self):
        if self.nbits:
            self.out.append(self.acc & 0xFF)
        return bytes(self.out)


def lzw_encode(indices, min_size):
    """GIF-flavoured LZW: variable code width up to 12 bits, with a clear
    code emitted (and the table reset) whenever the table fills up."""
    clear = 1 << min_size
    end = clear + 1
    out = BitWriter()

    # The decoder adds its table entries one code behind the encoder, so the
    # code width is tracked the way the decoder sees it: `dec_next` is the
    # next free slot in the decoder's table when it reads the coming code.
    def width():
        return min(12, max(min_size + 1, dec_next.bit_length()))

    table = {}
    next_code = end + 1
    dec_next = end + 1
    codes_since_clear = 0
    out.write(clear, min_size + 1)

    def emit(code):
        nonlocal dec_next, codes_since_clear
        out.write(code, width())
        codes_since_clear += 1
        if codes_since_clear >= 2:
            dec_next += 1

    if not indices:
        out.write(end, width())
        return out.finish()

    prefix = indices[0]
    for pixel in indices[1:]:
        key = (prefix, pixel)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix)
        table[key] = next_code
        next_code += 1
        prefix = pixel
        if next_code == 4096:
            out.write(clear, width())
            table = {}
            next_code = end + 1
            dec_next = end + 1
            codes_since_clear = 0
    emit(prefix)
    out.write(end, width())
    return out.finish()


def lzw_decode(data, min_size, stats=None):
    """Plain GIF LZW decoder, used to check the encoder's output. If `stats`
    is a dict, the number of clear codes seen is stored under "clears"."""
    clear = 1 << min_size
    end = clear + 1
    pos = 0
    acc = 0
    nbits = 0
    width = min_size + 1
    table = None
    prev = None
    result = []
    byte_iter = iter(data)
    while True:
        while nbits < width:
            try:
                acc |= next(byte_iter) << nbits
            except StopIteration:
                raise ValueError("LZW data ended without an end code")
            nbits += 8
        code = acc & ((1 << width) - 1)
        acc >>= width
        nbits -= width
        pos += 1
        if code == clear:
            if stats is not None:
                stats["clears"] = stats.get("clears", 0) + 1
            table = [[i] for i in range(clear)] + [None, None]
            width = min_size + 1
            prev = None
            continue
        if code == end:
            return result
        if table is None:
            raise ValueError("LZW data does not start with a clear code")
        if prev is None:
            entry = table[code]
        else:
            if code < len(table):
                entry = table[code]
            elif code == len(table):
                entry = prev + prev[:1]
            else:
                raise ValueError("bad LZW code %d at %d" % (code, pos))
            if len(table) < 4096:
                table.append(prev + entry[:1])
                if len(table) == 1 << width and width < 12:
                    width += 1
        result.extend(entry)
        prev = entry


def interlaced_rows(height):
    for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)):
        for row in range(start, height, step):
            yield row


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out.append(len(chunk))
        out += chunk
    out.append(0)
    return bytes(out)


def gif_bytes(indices_rows, palette, transparent):
    """Interlaced GIF89a with a global palette of two colours."""
    height = len(indices_rows)
    width = len(indices_rows[0])
    min_size = 2  # GIF's smallest allowed LZW code size
    out = bytearray(b"GIF89a")
    # Global colour table of 2 entries, 8 bits per primary.
    out += struct.pack("<HHBBB", width, height, 0xF0, transparent, 0)
    for colour in palette:
        out += bytes(colour)
    # Graphic control extension: no delay, the given index is transparent.
    out += bytes((0x21, 0xF9, 4, 0x01, 0, 0, transparent, 0))
    # Image descriptor covering the whole screen, interlaced.
    out += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0x40)
    stream = [p for row in interlaced_rows(height) for p in indices_rows[row]]
    out.append(min_size)
    out += sub_blocks(lzw_encode(stream, min_size))
    out.append(0x3B)
    return bytes(out)


def read_gif_stream(data):
    """Pulls the single image's LZW data back out of a GIF written above."""
    pos = 6 + 7 + 2 * 3 + 8 + 10
    min_size = data[pos]
    pos += 1
    lzw = bytearray()
    while data[pos]:
        n = data[pos]
        lzw += data[pos + 1:pos + 1 + n]
        pos += 1 + n
    expect(data[pos + 1:] == b"\x3B", "GIF trailer")
    return min_size, bytes(lzw)


def render_line(glyphs, text, bold):
    """Rows of 0/1 for one line of text."""
    rows = [[] for _ in range(GLYPH_HEIGHT)]
    for i, ch in enumerate(text):
        if i:
            for row in rows:
                row.extend([0] * LETTER_GAP)
        if ch == " ":
            for row in rows:
                row.extend([0] * SPACE_WIDTH)
            continue
        glyph = glyphs[ch]
        for row, pattern in zip(rows, glyph):
            bits = [1 if c == "#" else 0 for c in pattern]
            if bold:
                # Thicken every stroke one pixel to the right.
                bits = [a | b for a, b in zip(bits + [0], [0] + bits)]
            row.extend(bits)
    return rows


def title_mask():
    glyphs = parse_font(FONT)
    canvas = [[0] * TITLE_W for _ in range(TITLE_H)]
    for text, bold, top in TITLE_LINES:
        rows = render_line(glyphs, text, bold)
        width = len(rows[0])
        left = (TITLE_W - width) // 2
        expect(left >= TITLE_MARGIN and top >= TITLE_MARGIN
               and top + GLYPH_HEIGHT <= TITLE_H - TITLE_MARGIN,
               "title line %r fits inside the margin" % text)
        for y, row in enumerate(rows):
            for x, bit in enumerate(row):
                if bit:
                    canvas[top + y][left + x] = 1
    return canvas


def title_gif():
    white, grey = 0, 1
    mask = title_mask()
    indices = [[white if bit else grey for bit in row] for row in mask]
    data = gif_bytes(indices, [(255, 255, 255), (192, 192, 192)], grey)
    min_size, lzw = read_gif_stream(data)
    decoded = lzw_decode(lzw, min_size)
    stream = [p for row in interlaced_rows(TITLE_H) for p in indices[row]]
    expect(decoded == stream, "title GIF decodes back to its pixels")
    return data


def self_test_lzw():
    """Noise that keeps the table filling up, so the width steps and the
    table resets are exercised, not just the short path the title takes."""
    seed = 12345
    noise = []
    for _ in range(60000):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noise.append((seed >> 16) & 3)
    stats = {}
    expect(lzw_decode(lzw_encode(noise, 2), 2, stats) == noise,
           "LZW round trip of noise")
    expect(stats["clears"] >= 3, "noise sample refills the LZW table")
    for sample in ([0] * 20000, [1], [], [2, 3] * 5000 + noise[:7000]):
        expect(lzw_decode(lzw_encode(sample, 2), 2) == sample,
               "LZW round trip of %d pixels" % len(sample))


# ---------------------------------------------------------------------------
# ICO

def ico_bytes(rows):
    size = len(rows)
    # 4-bit colour plane, bottom-up, each row padded to 4 bytes.
    xor = bytearray()
    and_mask = bytearray()
    for row in reversed(rows):
        indices = [ICON_INDEX[ch] for ch in row]
        line = bytearray()
        for i in range(0, size, 2):
            hi = indices[i] or 0
            lo = indices[i + 1] or 0
            line.append(hi << 4 | lo)
        line += b"\0" * ((-len(line)) % 4)
        xor += line
        # 1 in the AND mask lets the desktop show through.
        bits = bytearray((size + 7) // 8)
        for x, index in enumerate(indices):
            if index is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        bits += b"\0" * ((-len(bits)) % 4)
        and_mask += bits
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA_PALETTE)
    # The header's height covers both the colour plane and the mask.
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                       len(xor) + len(and_mask), 0, 0, 0, 0)
    image = info + palette + bytes(xor) + bytes(and_mask)
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image),
                        len(head) + 16)
    return head + entry + image


def check_ico(data):
    expect(len(data) == 6 + 16 + 40 + 16 * 4 + 32 * 16 + 32 * 4, "ICO size")
    expect(struct.unpack_from("<HHH", data, 0) == (0, 1, 1), "ICO header")
    w, h, colours, _, planes, bpp, nbytes, offset = struct.unpack_from(
        "<BBBBHHII", data, 6)
    expect((w, h, colours, planes, bpp) == (32, 32, 16, 1, 4), "ICO entry")
    expect(offset == 22 and offset + nbytes == len(data), "ICO image extent")



# ---------------------------------------------------------------------------
# PNG desktop icons

def scale_whole(rows, factor):
    """Each pixel becomes a factor x factor block (nearest neighbour)."""
    return ["".join(ch * factor for ch in row) for row in rows for _ in range(factor)]


def scale3x(rows):
    """Scale3x: triples the grid, rounding diagonal steps instead of making
    them into staircases of 3 x 3 blocks; no new colours are made."""
    h, w = len(rows), len(rows[0])

    def at(x, y):
        return rows[min(max(y, 0), h - 1)][min(max(x, 0), w - 1)]

    out = [[None] * (w * 3) for _ in range(h * 3)]
    for y in range(h):
        for x in range(w):
            a, b, c = at(x - 1, y - 1), at(x, y - 1), at(x + 1, y - 1)
            d, e, f = at(x - 1, y), at(x, y), at(x + 1, y)
            g, hh, i = at(x - 1, y + 1), at(x, y + 1), at(x + 1, y + 1)
            block = [e] * 9
            if b != hh and d != f:
                block[0] = d if d == b else e
                block[1] = b if (d == b and e != c) or (b == f and e != a) else e
                block[2] = f if b == f else e
                block[3] = d if (d == b and e != g) or (d == hh and e != a) else e
                block[5] = f if (b == f and e != i) or (hh == f and e != c) else e
                block[6] = d if d == hh else e
                block[7] = hh if (d == hh and e != i) or (hh == f and e != g) else e
                block[8] = f if hh == f else e
            for k, ch in enumerate(block):
                out[y * 3 + k // 3][x * 3 + k % 3] = ch
    return ["".join(row) for row in out]


def every_other(rows):
    return [row[::2] for row in rows[::2]]


def desktop_icon_rows(size, icon_rows):
    if size == 16:
        return parse_grid(ICON_16, ICON_INDEX)
    if size == 24:
        return parse_grid(ICON_24, ICON_INDEX)
    if size == 48:
        return every_other(scale3x(icon_rows))
    return scale_whole(icon_rows, size // 32)


def png_bytes(rows):
    """8-bit RGBA PNG of an icon grid; '.' is fully transparent."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter type None
        for ch in row:
            index = ICON_INDEX[ch]
            raw += bytes(VGA_PALETTE[index]) + b"\xff" if index is not None else b"\0\0\0\0"
    head = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def check_png(data, size):
    expect(data[:8] == b"\x89PNG\r\n\x1a\n", "PNG signature")
    w, h, depth, colour = struct.unpack_from(">IIBB", data, 16)
    expect((w, h, depth, colour) == (size, size, 8, 6), "PNG header of %d px icon" % size)
    length = struct.unpack_from(">I", data, 33)[0]
    pixels = zlib.decompress(data[41:41 + length])
    expect(len(pixels) == size * (size * 4 + 1), "PNG pixel data of %d px icon" % size)

# ---------------------------------------------------------------------------

def expect(ok, what):
    if not ok:
        sys.exit("make_pictures: check failed: " + what)


def write(name, data):
    path = os.path.join(OUT_DIR, name)
    with open(path, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (os.path.relpath(path, ROOT), len(data)))


def main():
    self_test_lzw()
    os.makedirs(OUT_DIR, exist_ok=True)

    bg = bmp_bytes(background_pixels())
    check_bmp(bg, BG_W, BG_H)
    expect(sky_colour(0) == SKY_TOP and sky_colour(SKY_ROWS - 1) == SKY_BOTTOM,
           "sky gradient end colours")

    sprites = []
    for name, grid, size in (("shell_loaded.bmp", SHELL_LOADED, (13, 22)),
                             ("shell_spent.bmp", SHELL_SPENT, (13, 22)),
                             ("plate.bmp", PLATE, (14, 8))):
        rows = parse_grid(grid, SPRITE_COLOURS)
        expect((len(rows[0]), len(rows)) == size, name + " grid size")
        data = bmp_bytes(grid_pixels(rows, SPRITE_COLOURS))
        check_bmp(data, *size)
        sprites.append((name, data))

    icon_rows = parse_grid(ICON, ICON_INDEX)
    expect((len(icon_rows[0]), len(icon_rows)) == (32, 32), "icon grid size")
    ico = ico_bytes(icon_rows)
    check_ico(ico)

    icons = []
    for size in DESKTOP_ICON_SIZES:
        rows = desktop_icon_rows(size, icon_rows)
        expect((len(rows[0]), len(rows)) == (size, size), "%d px icon grid size" % size)
        data = png_bytes(rows)
        check_png(data, size)
        icons.append(("icons/kestrin-%d.png" % size, data))

    gif = title_gif()
    expect(gif[:6] == b"GIF89a" and struct.unpack_from("<HH", gif, 6)
           == (TITLE_W, TITLE_H), "title GIF header")

    write("background.bmp", bg)
    write("title.gif", gif)
    for name, data in sprites:
        write(name, data)
    write("shotgun.ico", ico)
    write("kestrin.rc", b'IDI_ICON1 ICON "shotgun.ico"\n')
    os.makedirs(os.path.join(OUT_DIR, "icons"), exist_ok=True)
    for name, data in icons:
        write(name, data)


if __name__ == "__main__":
    main()
