#!/usr/bin/env python3
"""Draws the program's icon (res/Mivora.ico) and the about page's QR code
(res/qrcode.bmp).

Standard library only, and deterministic: running it again produces the same
bytes, so the committed outputs can be checked with `gen-res.py --check`.
The build uses the committed files and never runs this script.
"""

import argparse
import os
import struct
import sys

QR_TEXT = "Mivora 1.0 - vocabulary trainer"
BITMAP_SIZE = 185          # pixels, both ways
ICON_SIZES = (48, 32, 16)  # largest first, as the icon group lists them


# ---------------------------------------------------------------------------
# QR code (ISO/IEC 18004), byte mode, versions 1-10, levels L and M.

# (EC codewords per block, [(block count, data codewords per block), ...])
EC_BLOCKS = {
    "L": {
        1: (7, [(1, 19)]), 2: (10, [(1, 34)]), 3: (15, [(1, 55)]),
        4: (20, [(1, 80)]), 5: (26, [(1, 108)]), 6: (18, [(2, 68)]),
        7: (20, [(2, 78)]), 8: (24, [(2, 97)]), 9: (30, [(2, 116)]),
        10: (18, [(2, 68), (2, 69)]),
    },
    "M": {
        1: (10, [(1, 16)]), 2: (16, [(1, 28)]), 3: (26, [(1, 44)]),
        4: (18, [(2, 32)]), 5: (24, [(2, 43)]), 6: (16, [(4, 27)]),
        7: (18, [(4, 31)]), 8: (22, [(2, 38), (2, 39)]),
        9: (22, [(3, 36), (2, 37)]), 10: (26, [(4, 43), (1, 44)]),
    },
}
# Total codewords per version; the table above must add up to these.
TOTAL_CODEWORDS = {1: 26, 2: 44, 3: 70, 4: 100, 5: 134, 6: 172, 7: 196,
                   8: 242, 9: 292, 10: 346}
ALIGNMENT_CENTRES = {1: [], 2: [6, 18], 3: [6, 22], 4: [6, 26], 5: [6, 30],
                     6: [6, 34], 7: [6, 22, 38], 8: [6, 24, 42],
                     9: [6, 26, 46], 10: [6, 28, 50]}
FORMAT_LEVEL_BITS = {"L": 1, "M": 0}


def gf_tables():
    exp = [0] * 512
    log = [0] * 256
    x = 1
    for i in range(255):
        exp[i] = x
        log[x] = i
        x <<= 1
        if x & 0x100:
            x ^= 0x11D
    for i in range(255, 512):
        exp[i] = exp[i - 255]
    return exp, log


GF_EXP, GF_LOG = gf_tables()


def gf_mul(a, b):
    if a == 0 or b == 0:
        return 0
    return GF_EXP[GF_LOG[a] + GF_LOG[b]]


def rs_generator(degree):
    """Coefficients of prod (x - a^i), i < degree, highest power first."""
    poly = [1]
    for i in range(degree):
        nxt = [0] * (len(poly) + 1)
        for j, c in enumerate(poly):
            nxt[j] ^= c
            nxt[j + 1] ^= gf_mul(c, GF_EXP[i])
        poly = nxt
    return poly


def rs_remainder(data, degree):
    gen = rs_generator(degree)
    rem = list(data) + [0] * degree
    for i in range(len(data)):
        factor = rem[i]
        if factor:
            for j in range(1, len(gen)):
                rem[i + j] ^= gf_mul(gen[j], factor)
    return rem[len(data):]


def data_capacity(version, level):
    _, groups = EC_BLOCKS[level][version]
    return sum(n * k for n, k in groups)


def encode_codewords(payload, version, level):
    count_bits = 8 if version <= 9 else 16
    bits = []

    def put(value, length):
        for i in range(length - 1, -1, -1):
            bits.append((value >> i) & 1)

    put(0b0100, 4)  # byte mode
    put(len(payload), count_bits)
    for b in payload:
        put(b, 8)
    capacity_bits = data_capacity(version, level) * 8
    if len(bits) > capacity_bits:
        raise ValueError("payload does not fit")
    put(0, min(4, capacity_bits - len(bits)))  # terminator
    put(0, (-len(bits)) % 8)
    data = [int("".join(map(str, bits[i:i + 8])), 2)
            for i in range(0, len(bits), 8)]
    pad = 0xEC
    while len(data) < data_capacity(version, level):
        data.append(pad)
        pad ^= 0xEC ^ 0x11

    ec_len, groups = EC_BLOCKS[level][version]
    blocks = []
    pos = 0
    for count, size in groups:
        for _ in range(count):
            block = data[pos:pos + size]
            pos += size
            blocks.append((block, rs_remainder(block, ec_len)))
    result = []
    for i in range(max(len(b) for b, _ in blocks)):
        result.extend(b[i] for b, _ in blocks if i < len(b))
    for i in range(ec_len):
        result.extend(e[i] for _, e in blocks)
    assert len(result) == TOTAL_CODEWORDS[version]
    return result


class QrMatrix:
    def __init__(self, version):
        self.version = version
        self.size = 17 + 4 * version
        self.dark = [[False] * self.size for _ in range(self.size)]
        self.reserved = [[False] * self.size for _ in range(self.size)]

    def set_function(self, x, y, dark):
        self.dark[y][x] = dark
        self.reserved[y][x] = True

    def draw_function_patterns(self):
        n = self.size
        for i in range(n):
            self.set_function(6, i, i % 2 == 0)
            self.set_function(i, 6, i % 2 == 0)
        for cx, cy in ((3, 3), (n - 4, 3), (3, n - 4)):
            for dy in range(-4, 5):
                for dx in range(-4, 5):
                    x, y = cx + dx, cy + dy
                    if 0 <= x < n and 0 <= y < n:
                        ring = max(abs(dx), abs(dy))
                        self.set_function(x, y, ring not in (2, 4))
        centres = ALIGNMENT_CENTRES[self.version]
        last = len(centres) - 1
        for i, cx in enumerate(centres):
            for j, cy in enumerate(centres):
                # The three corners that hold finder patterns get none.
                if (i, j) in ((0, 0), (0, last), (last, 0)):
                    continue
                for dy in range(-2, 3):
                    for dx in range(-2, 3):
                        self.set_function(cx + dx, cy + dy,
                                          max(abs(dx), abs(dy)) != 1)
        # Reserve the format areas now; their bits depend on the mask.
        self.draw_format_bits(0)
        self.draw_version_bits()

    def draw_format_bits(self, bits):
        n = self.size

        def bit(i):
            return (bits >> i) & 1 == 1

        for i in range(6):
            self.set_function(8, i, bit(i))
        self.set_function(8, 7, bit(6))
        self.set_function(8, 8, bit(7))
        self.set_function(7, 8, bit(8))
        for i in range(9, 15):
            self.set_function(14 - i, 8, bit(i))
        for i in range(8):
            self.set_function(n - 1 - i, 8, bit(i))
        for i in range(8, 15):
            self.set_function(8, n - 15 + i, bit(i))
        self.set_function(8, n - 8, True)  # the module that is always dark

    def draw_version_bits(self):
        if self.version < 7:
            return
        rem = self.version
        for _ in range(12):
            rem = (rem << 1) ^ ((rem >> 11) * 0x1F25)
        bits = self.version << 12 | rem
        for i in range(18):
            dark = (bits >> i) & 1 == 1
            a = self.size - 11 + i % 3
            b = i // 3
            self.set_function(a, b, dark)
            self.set_function(b, a, dark)

    def place_codewords(self, codewords):
        n = self.size
        total_bits = len(codewords) * 8
        i = 0
        right = n - 1
        while right >= 1:
            if right == 6:
                right = 5  # the vertical timing column is skipped
            upward = ((right + 1) & 2) == 0
            for vert in range(n):
                y = n - 1 - vert if upward else vert
                for j in range(2):
                    x = right - j
                    if self.reserved[y][x]:
                        continue
                    if i < total_bits:
                        self.dark[y][x] = (codewords[i >> 3] >> (7 - (i & 7))) & 1 == 1
                        i += 1
                    # Remainder bits stay light.
            right -= 2
        assert i == total_bits


MASKS = [
    lambda x, y: (x + y) % 2 == 0,
    lambda x, y: y % 2 == 0,
    lambda x, y: x % 3 == 0,
    lambda x, y: (x + y) % 3 == 0,
    lambda x, y: (x // 3 + y // 2) % 2 == 0,
    lambda x, y: x * y % 2 + x * y % 3 == 0,
    lambda x, y: (x * y % 2 + x * y % 3) % 2 == 0,
    lambda x, y: ((x + y) % 2 + x * y % 3) % 2 == 0,
]


def format_bits(level, mask):
    data = FORMAT_LEVEL_BITS[level] << 3 | mask
    rem = data
    for _ in range(10):
        rem = (rem << 1) ^ ((rem >> 9) * 0x537)
    return (data << 10 | rem) ^ 0x5412


def penalty(grid):
    n = len(grid)
    score = 0
    lines = [row for row in grid] + [[grid[y][x] for y in range(n)] for x in range(n)]
    finder_a = [True, False, True, True, True, False, True, False, False, False, False]
    finder_b = finder_a[::-1]
    for line in lines:
        run = 1
        for i in range(1, n + 1):
            if i < n and line[i] == line[i - 1]:
                run += 1
            else:
                if run >= 5:
                    score += 3 + (run - 5)
                run = 1
        # Light modules beyond the edge count as the quiet zone.
        padded = [False] * 4 + list(line) + [False] * 4
        for i in range(len(padded) - 10):
            window = padded[i:i + 11]
            if window == finder_a or window == finder_b:
                score += 40
    for y in range(n - 1):
        for x in range(n - 1):
            c = grid[y][x]
            if c == grid[y][x + 1] == grid[y + 1][x] == grid[y + 1][x + 1]:
                score += 3
    dark = sum(sum(row) for row in grid)
    percent = dark * 100 / (n * n)
    score += 10 * int(abs(percent - 50) // 5)
    return score


def make_qr(text):
    payload = text.encode("utf-8")
    for level in ("M", "L"):
        for version in range(1, 11):
            # mode (4) + count (8 or 16) + data
            need = 4 + (8 if version <= 9 else 16) + 8 * len(payload)
            if need <= data_capacity(version, level) * 8:
                return build_qr(payload, version, level)
    raise ValueError("text too long for the encoder's versions")


def build_qr(payload, version, level):
    codewords = encode_codewords(payload, version, level)
    base = QrMatrix(version)
    base.draw_function_patterns()
    base.place_codewords(codewords)
    best = None
    for mask in range(8):
        m = QrMatrix(version)
        m.dark = [row[:] for row in base.dark]
        m.reserved = [row[:] for row in base.reserved]
        for y in range(m.size):
            for x in range(m.size):
                if not m.reserved[y][x] and MASKS[mask](x, y):
                    m.dark[y][x] = not m.dark[y][x]
        m.draw_format_bits(format_bits(level, mask))
        score = penalty(m.dark)
        if best is None or score < best[0]:
            best = (score, mask, m)
    return best[2].dark, version, level, best[1]


def bmp24(width, height, pixel):
    """pixel(x, y) -> (r, g, b), y from the top."""
    row_bytes = (width * 3 + 3) & ~3
    image = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_bytes - len(row))
        image += row
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0,
                         len(image), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(image), 0, 0,
                              14 + 40)
    return bytes(file_header + header + image)


def qr_bitmap(text):
    grid, version, level, mask = make_qr(text)
    modules = len(grid)
    # At least the four-module quiet zone on every side, the rest of the
    # square white as well, the code centred.
    scale = BITMAP_SIZE // (modules + 8)
    offset = (BITMAP_SIZE - modules * scale) // 2

    def pixel(x, y):
        mx = (x - offset) // scale if x >= offset else -1
        my = (y - offset) // scale if y >= offset else -1
        if 0 <= mx < modules and 0 <= my < modules and grid[my][mx]:
            return (0, 0, 0)
        return (255, 255, 255)

    info = "QR version %d-%s, mask %d, %d modules, %d px per module" % (
        version, level, mask, modules, scale)
    return bmp24(BITMAP_SIZE, BITMAP_SIZE, pixel), info


# ---------------------------------------------------------------------------
# Icon: a rounded blue square with a white "M", 8 bits per pixel.

# Palette: index 0 is black for the masked-out corners; the other 255 entries
# are 15 shades of the blue gradient, each mixed with white in 17 steps.
BLUE_TOP = (0x4A, 0x9B, 0xF0)
BLUE_BOTTOM = (0x1B, 0x55, 0xB8)
SHADES = 15
WHITE_STEPS = 17


def palette():
    colours = [(0, 0, 0)]
    for s in range(SHADES):
        t = s / (SHADES - 1)
        base = [round(a + (b - a) * t) for a, b in zip(BLUE_TOP, BLUE_BOTTOM)]
        for w in range(WHITE_STEPS):
            k = w / (WHITE_STEPS - 1)
            colours.append(tuple(round(c + (255 - c) * k) for c in base))
    assert len(colours) == 256
    return colours


# The letter as one polygon on the unit square (x right, y down).
LETTER_M = [(0.22, 0.76), (0.22, 0.25), (0.35, 0.25), (0.50, 0.48),
            (0.65, 0.25), (0.78, 0.25), (0.78, 0.76), (0.655, 0.76),
            (0.655, 0.45), (0.535, 0.63), (0.465, 0.63), (0.345, 0.45),
            (0.345, 0.76)]


def inside_polygon(px, py, poly):
    inside = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > py) != (yj > py):
            if px < (xj - xi) * (py - yi) / (yj - yi) + xi:
                inside = not inside
        j = i
    return inside


def inside_rounded_square(px, py, margin, radius):
    lo, hi = margin, 1.0 - margin
    if px < lo or px > hi or py < lo or py > hi:
        return False
    cx = min(max(px, lo + radius), hi - radius)
    cy = min(max(py, lo + radius), hi - radius)
    return (px - cx) ** 2 + (py - cy) ** 2 <= radius ** 2


def icon_image(size):
    """Returns (index rows top-down, mask rows top-down; mask True = transparent)."""
    samples = 4
    margin = 0.5 / size
    radius = 0.2
    indices, mask = [], []
    for y in range(size):
        irow, mrow = [], []
        for x in range(size):
            square = letter = 0
            for sy in range(samples):
                for sx in range(samples):
                    px = (x + (sx + 0.5) / samples) / size
                    py = (y + (sy + 0.5) / samples) / size
                    if inside_rounded_square(px, py, margin, radius):
                        square += 1
                        if inside_polygon(px, py, LETTER_M):
                            letter += 1
            total = samples * samples
            if square * 2 < total:
                irow.append(0)
                mrow.append(True)
                continue
            shade = round((y + 0.5) / size * (SHADES - 1))
            white = round(letter / square * (WHITE_STEPS - 1))
            irow.append(1 + shade * WHITE_STEPS + white)
            mrow.append(False)
        indices.append(irow)
        mask.append(mrow)
    return indices, mask


def icon_dib(size, colours):
    indices, mask = icon_image(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0,
                         0, 0, 256, 0)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    xor_row = (size + 3) & ~3
    and_row = ((size + 31) // 32) * 4
    xor = bytearray()
    and_ = bytearray()
    for y in range(size - 1, -1, -1):
        xor += bytes(indices[y]) + b"\0" * (xor_row - size)
        row = bytearray(and_row)
        for x in range(size):
            if mask[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        and_ += row
    return header + pal + bytes(xor) + bytes(and_)


def icon_file():
    colours = palette()
    images = [icon_dib(s, colours) for s in ICON_SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for s, img in zip(ICON_SIZES, images):
        # A colour count of 0 in the directory means 256.
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 8, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    return bytes(out)


# ---------------------------------------------------------------------------

def self_check():
    for level, table in EC_BLOCKS.items():
        for version, (ec, groups) in table.items():
            total = sum(n * (k + ec) for n, k in groups)
            assert total == TOTAL_CODEWORDS[version], (level, version)
    # Known format words from the standard's table.
    assert format_bits("M", 0) == 0x5412
    assert format_bits("L", 4) == 0x662F  # 110011000101111
    assert format_bits("L", 0) == 0x77C4  # 111011111000100
    # Version 7's information word.
    rem = 7
    for _ in range(12):
        rem = (rem << 1) ^ ((rem >> 11) * 0x1F25)
    assert (7 << 12 | rem) == 0x07C94
    # The worked example of ISO/IEC 18004 annex I ("01234567", 1-M) has these
    # ten EC codewords for its 16 data codewords.
    data = [0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11, 0xEC, 0x11,
            0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11]
    assert rs_remainder(data, 10) == [0xA5, 0x24, 0xD4, 0xC1, 0xED, 0x36,
                                      0xC7, 0x87, 0x2C, 0x55]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "res"))
    parser.add_argument("--check", action="store_true",
                        help="compare with the files in --out instead of writing")
    args = parser.parse_args()
    self_check()
    bitmap, info = qr_bitmap(QR_TEXT)
    outputs = {"Mivora.ico": icon_file(), "qrcode.bmp": bitmap}
    print(info)
    status = 0
    for name, data in outputs.items():
        path = os.path.join(args.out, name)
        if args.check:
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            print("%s: %s" % (name, "up to date" if same else "DIFFERS"))
            status |= 0 if same else 1
        else:
            with open(path, "wb") as f:
                f.write(data)
            print("wrote %s (%d bytes)" % (path, len(data)))
    return status


if __name__ == "__main__":
    sys.exit(main())
