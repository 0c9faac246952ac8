#!/usr/bin/env python3
"""Draws Vombrel's pictures, synthesises its sounds and cuts its fonts down into assets/.

Run from anywhere:  python3 tools/make_assets.py
Every file under assets/pictures, assets/icons, assets/sounds and assets/fonts is rewritten.
The output is the same on every run (all randomness comes from fixed seeds), so regenerating
only shows up in git when the drawing code changed. Every sound keeps its true peak (the level
between its samples, as a player reconstructs the wave) at or below -1 dBTP and starts near
silence; render() checks both on the bytes it writes. Standard library only, but for the
fonts, which need Debian's python3-fonttools (without it the committed fonts stay), and for the
page's copies under assets/page, which need Debian's webp, flac and python3-brotli as well.

The pictures are drawn with the small raster kit at the top of this file: shapes are
"inside" tests over pixel coordinates (pixel (x, y) covers [x, x+1) x [y, y+1)), painted with
4 x 4 supersampling so that edges are smooth even on the 36 x 36 figures.
"""

import cmath
import math
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PICTURES = ROOT / "assets" / "pictures"
SOUNDS = ROOT / "assets" / "sounds"
FONTS = ROOT / "assets" / "fonts"
ICONS = ROOT / "assets" / "icons"
PAGE = ROOT / "assets" / "page"

# The landscape's sky, and the opaque square behind the figures: close enough to the sky that
# a figure in front of it shows hardly any square. The set-3 hit picture uses the sky itself.
SKY = (127, 216, 255)
FIGURE_BACK = (127, 223, 255)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


# --------------------------------------------------------------------------------------------
# Raster kit


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smoothstep(e0, e1, v):
    t = clamp((v - e0) / (e1 - e0))
    return t * t * (3 - 2 * t)


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def scale(c, k):
    return tuple(v * k for v in c)


class Shape:
    """A region: an inside test plus a bounding box (x0, y0, x1, y1) in pixel coordinates."""

    def __init__(self, inside, bounds):
        self.inside = inside
        self.bounds = bounds

    def __or__(self, other):
        a, b = self.bounds, other.bounds
        return Shape(lambda x, y: self.inside(x, y) or other.inside(x, y),
                     (min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3])))

    def __and__(self, other):
        a, b = self.bounds, other.bounds
        return Shape(lambda x, y: self.inside(x, y) and other.inside(x, y),
                     (max(a[0], b[0]), max(a[1], b[1]), min(a[2], b[2]), min(a[3], b[3])))


def ellipse(cx, cy, rx, ry, angle=0.0):
    """An ellipse turned by angle radians (clockwise on screen, since Y runs down)."""
    c, s = math.cos(angle), math.sin(angle)
    r = max(rx, ry)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * c + dy * s, -dx * s + dy * c
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0

    return Shape(inside, (cx - r, cy - r, cx + r, cy + r))


def circle(cx, cy, r):
    return ellipse(cx, cy, r, r)


def rect(x0, y0, x1, y1):
    return Shape(lambda x, y: x0 <= x < x1 and y0 <= y < y1, (x0, y0, x1, y1))


def polygon(points):
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    edges = list(zip(points, points[1:] + points[:1]))

    def inside(x, y):
        hit = False
        for (x0, y0), (x1, y1) in edges:
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                hit = not hit
        return hit

    return Shape(inside, (min(xs), min(ys), max(xs), max(ys)))


def segment(x0, y0, x1, y1, width):
    """A straight stroke with round ends."""
    half = width / 2
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy or 1e-9

    def inside(x, y):
        t = clamp(((x - x0) * dx + (y - y0) * dy) / length2)
        px, py = x0 + t * dx - x, y0 + t * dy - y
        return px * px + py * py <= half * half

    return Shape(inside, (min(x0, x1) - half, min(y0, y1) - half,
                          max(x0, x1) + half, max(y0, y1) + half))


def bezier(p0, p1, p2, t):
    u = 1 - t
    return (u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
            u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1])


def curve_stroke(p0, p1, p2, w0, w1, steps=12):
    """A quadratic Bezier stroke whose width runs from w0 at p0 to w1 at p2 (grass blades,
    smiles, eyebrows)."""
    left, right = [], []
    for i in range(steps + 1):
        t = i / steps
        x, y = bezier(p0, p1, p2, t)
        tx, ty = bezier(p0, p1, p2, min(1, t + 0.01))
        bx, by = bezier(p0, p1, p2, max(0, t - 0.01))
        nx, ny = -(ty - by), tx - bx
        n = math.hypot(nx, ny) or 1
        half = (w0 + (w1 - w0) * t) / 2
        left.append((x + nx / n * half, y + ny / n * half))
        right.append((x - nx / n * half, y - ny / n * half))
    return polygon(left + right[::-1])


def rotated(shape, angle, cx, cy):
    """The shape turned by angle radians about (cx, cy); its bounds grow to stay safe."""
    c, s = math.cos(angle), math.sin(angle)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        return shape.inside(cx + dx * c + dy * s, cy - dx * s + dy * c)

    x0, y0, x1, y1 = shape.bounds
    r = max(math.hypot(px - cx, py - cy) for px in (x0, x1) for py in (y0, y1))
    return Shape(inside, (cx - r, cy - r, cx + r, cy + r))


class Noise:
    """Smooth 2-D value noise in [0, 1] with a fixed seed, and its fractal sum."""

    def __init__(self, seed):
        rng = random.Random(seed)
        self.perm = list(range(256))
        rng.shuffle(self.perm)
        self.values = [rng.random() for _ in range(256)]

    def _lattice(self, ix, iy):
        return self.values[self.perm[(self.perm[ix & 255] + iy) & 255]]

    def value(self, x, y):
        ix, iy = math.floor(x), math.floor(y)
        fx, fy = x - ix, y - iy
        sx, sy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
        top = self._lattice(ix, iy) + (self._lattice(ix + 1, iy) - self._lattice(ix, iy)) * sx
        low = (self._lattice(ix, iy + 1)
               + (self._lattice(ix + 1, iy + 1) - self._lattice(ix, iy + 1)) * sx)
        return top + (low - top) * sy

    def fractal(self, x, y, octaves=3):
        total, amp, norm = 0.0, 1.0, 0.0
        for _ in range(octaves):
            total += amp * self.value(x, y)
            norm += amp
            x, y, amp = x * 2.03, y * 2.03, amp * 0.5
        return total / norm


class Canvas:
    """An RGB image of floats; paint() blends a shape's coverage over it."""

    SUB = 4  # supersamples per axis

    def __init__(self, width, height, color):
        self.width, self.height = width, height
        self.rows = [[tuple(map(float, color))] * width for _ in range(height)]

    def get(self, x, y):
        return self.rows[y][x]

    def blend(self, x, y, color, alpha):
        if alpha <= 0:
            return
        if alpha >= 1:
            self.rows[y][x] = tuple(color)
        else:
            self.rows[y][x] = mix(self.rows[y][x], color, alpha)

    def paint(self, shape, color, alpha=1.0):
        """Blends color (an RGB tuple, or a function of x and y returning one) over the
        shape, weighted by how much of each pixel the shape covers."""
        x0, y0, x1, y1 = shape.bounds
        sub = self.SUB
        offsets = [(i + 0.5) / sub for i in range(sub)]
        for y in range(max(0, math.floor(y0)), min(self.height, math.ceil(y1) + 1)):
            for x in range(max(0, math.floor(x0)), min(self.width, math.ceil(x1) + 1)):
                hits = sum(1 for oy in offsets for ox in offsets if shape.inside(x + ox, y + oy))
                if hits:
                    c = color(x + 0.5, y + 0.5) if callable(color) else color
                    self.blend(x, y, c, alpha * hits / (sub * sub))

    def shade(self, fn, box=None):
        """Replaces each pixel in box with fn(x, y, old colour)."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.rows[y][x] = fn(x, y, self.rows[y][x])

    def pixel_bytes(self, x, y):
        return tuple(int(round(clamp(v, 0, 255))) for v in self.rows[y][x])

    def scaled_down(self, factor):
        """Averages factor x factor blocks: for pictures drawn large and shown small."""
        out = Canvas(self.width // factor, self.height // factor, BLACK)
        for y in range(out.height):
            for x in range(out.width):
                block = [self.rows[y * factor + j][x * factor + i]
                         for j in range(factor) for i in range(factor)]
                out.rows[y][x] = tuple(sum(c[k] for c in block) / len(block) for k in range(3))
        return out


# --------------------------------------------------------------------------------------------
# File formats


def bmp_bytes(canvas):
    """An uncompressed 24-bit bottom-up BMP."""
    stride = (canvas.width * 3 + 3) & ~3
    body = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray()
        for x in range(canvas.width):
            r, g, b = canvas.pixel_bytes(x, y)
            row += bytes((b, g, r))
        body += row + bytes(stride - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(body),
                       3780, 3780, 0, 0)
    return header + info + bytes(body)


def lzw_encode(indices, min_code_size):
    """GIF's variable-width LZW: codes packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    acc = nbits = 0

    def emit(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    def reset():
        return {}, end + 1, min_code_size + 1

    table, next_code, width = reset()
    emit(clear, width)
    prefix = indices[0]
    for k in indices[1:]:
        if (prefix, k) in table:
            prefix = table[(prefix, k)]
            continue
        emit(prefix, width)
        if next_code < 4096:
            table[(prefix, k)] = next_code
            next_code += 1
            # The decoder lags one code behind, so it widens when it has seen this one.
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table, next_code, width = reset()
        prefix = k
    emit(prefix, width)
    # The decoder adds an entry on reading that last code too, which may widen the end code.
    if next_code < 4096 and next_code + 1 > (1 << width) and width < 12:
        width += 1
    emit(end, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif_bytes(width, height, palette, indices, transparent):
    """A single-frame GIF89a with only a local colour table and one transparent index."""
    bits = max(1, (len(palette) - 1).bit_length())
    table = b"".join(bytes(c) for c in palette) + bytes(3 * ((1 << bits) - len(palette)))
    min_code_size = max(2, bits)
    data = lzw_encode(indices, min_code_size)
    blocks = b"".join(bytes((len(data[i:i + 255]),)) + data[i:i + 255]
                      for i in range(0, len(data), 255))
    return (b"GIF89a" + struct.pack("<HHBBB", width, height, 0, 0, 0)
            + struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 0x01, 0, transparent, 0)
            + struct.pack("<BHHHHB", 0x2C, 0, 0, width, height, 0x80 | (bits - 1))
            + table + bytes((min_code_size,)) + blocks + b"\x00" + b";")


def icon_image_bytes(palette, indices, opaque, size=32):
    """The 4-bit BMP inside a .ico or .cur: header, palette, colour bits, then the AND mask
    (bit set = transparent), both bottom-up, height doubled to count the mask. Every size here
    is a multiple of 8, so colour rows need no padding; mask rows are padded to 32 bits."""
    colour = bytearray()
    mask = bytearray()
    mask_row = (size + 31) // 32 * 4
    for y in range(size - 1, -1, -1):
        row = indices[y * size:(y + 1) * size]
        colour += bytes((row[x] << 4) | row[x + 1] for x in range(0, size, 2))
        bitsrow = 0
        for x in range(size):
            bitsrow = (bitsrow << 1) | (0 if opaque[y * size + x] else 1)
        mask += (bitsrow << (mask_row * 8 - size)).to_bytes(mask_row, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(colour) + len(mask),
                         0, 0, 16, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + table + bytes(colour) + bytes(mask)


def icon_file_bytes(kind, images, hotspot=None):
    """A .ico (kind 1) or .cur (kind 2) of (size, colours, bits per pixel, image) entries. The
    directory entry's two words at offsets 10 and 12 are planes and bit count for an icon, the
    hotspot for a cursor; a size of 256 is written as 0."""
    head = struct.pack("<HHH", 0, kind, len(images))
    data = b""
    for size, colours, bits, image in images:
        words = hotspot if kind == 2 else (1, bits)
        head += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, words[0], words[1],
                            len(image), 6 + 16 * len(images) + len(data))
        data += image
    return head + data


def png_bytes(width, height, palette, rows):
    """An 8-bit PNG from rows of bytes: palette indices, opaque, or RGBA pixels when the palette
    is None."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))
    raw = b"".join(b"\x00" + row for row in rows)
    colour_type = 6 if palette is None else 3
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
            + (chunk(b"PLTE", b"".join(bytes(c) for c in palette)) if palette else b"")
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def wav_bytes(samples):
    """8-bit unsigned mono PCM at 11025 Hz. The game's sound bank has always put the whole
    file's length in the RIFF length field (8 more than usual); players take it in their
    stride, and the chunk sizes are exact."""
    data = bytes(samples)
    total = 44 + len(data)
    return (struct.pack("<4sI4s", b"RIFF", total, b"WAVE")
            + struct.pack("<4sIHHIIHH", b"fmt ", 16, 1, 1, RATE, RATE, 1, 8)
            + struct.pack("<4sI", b"data", len(data)) + data)


# --------------------------------------------------------------------------------------------
# The landscape behind the window (picture 1)

GRASS_TOP = 160


def grass_texture(canvas, top, bottom, seed):
    """Meadow: a mottled green ground covered with short blades of varied greens."""
    noise = Noise(seed)
    dark, light = (34, 104, 26), (88, 160, 44)

    def ground(x, y, _old):
        n = noise.fractal(x / 9.0, y / 5.0, 3)
        depth = (y - top) / max(1, bottom - top)
        return scale(mix(dark, light, clamp(n * 1.3 - 0.2)), 1.0 - 0.12 * depth)

    canvas.shade(ground, (0, top, canvas.width, bottom))
    rng = random.Random(seed)
    area = (bottom - top) * canvas.width
    for _ in range(area // 9):
        x = rng.uniform(0, canvas.width)
        y = rng.uniform(top + 2, bottom + 3)
        height = rng.uniform(2.5, 6.0)
        lean = rng.uniform(-2.0, 2.0)
        tone = rng.random()
        color = mix((28, 92, 22), (120, 190, 60), tone)
        blade = curve_stroke((x, y), (x + lean * 0.3, y - height * 0.6),
                             (x + lean, y - height), 1.1, 0.2, steps=4)
        clipped = blade & rect(0, top, canvas.width, bottom)
        canvas.paint(clipped, color, 0.85)


def cloud_layer(canvas, seed):
    """Soft cumulus along the top: white crowns, grey bellies, and plain sky between them."""
    rng = random.Random(seed)
    noise = Noise(seed + 1)
    clouds = []  # (belly row, puffs as (x, y, radius))
    x = -10.0
    while x < canvas.width + 10:
        base = rng.uniform(26, 47)
        width = rng.uniform(45, 95)
        puffs = []
        for i in range(rng.randint(6, 9)):
            px = x + width * (i + rng.uniform(0.2, 0.8)) / 8
            centre = 1 - abs(px - x - width / 2) / (width / 2)  # 1 mid-cloud, 0 at its ends
            r = rng.uniform(5, 9) + (width / 8) * centre
            puffs.append((px, base - r * rng.uniform(0.45, 0.75), r))
        clouds.append((base, puffs))
        x += width * rng.uniform(0.8, 1.25)

    def nearest(x, y):
        """How deep inside a cloud the point lies (negative outside), and that cloud's belly."""
        best, belly = -1.0, 0.0
        for base, puffs in clouds:
            for px, py, r in puffs:
                d = 1 - math.hypot(x - px, (y - py) * 1.2) / r
                if d > best:
                    best, belly = d, base
        # Bellies are flatter than crowns.
        return min(best, (belly - y) / 6.0 + 0.1), belly

    def veil(x, y):
        """A thin grey-white high layer, streaked sideways, that fades out by row 20."""
        streak = noise.fractal(x / 28.0 + 40, y / 3.5, 4)
        return smoothstep(0.5, 0.72, streak) * smoothstep(20, 4, y) * 0.7

    def paint(x, y, old):
        old = mix(old, (226, 234, 244), veil(x, y))
        d, belly = nearest(x + 0.5, y + 0.5)
        d += (noise.fractal(x / 7.0, y / 5.0) - 0.5) * 0.3
        alpha = smoothstep(0.0, 0.35, d)
        if alpha <= 0:
            return old
        # Light from above: crowns white, the lower part and the gaps between puffs grey.
        shadow = smoothstep(belly - 14, belly + 1, y) * 0.75
        above, _ = nearest(x + 0.5, y - 2.5)
        shadow += clamp(d - above) * 0.8
        tone = mix((255, 255, 255), (176, 188, 204), clamp(shadow))
        tone = mix(tone, (236, 242, 250), noise.value(x / 3.0, y / 2.0) * 0.3)
        return mix(old, tone, alpha * 0.97)

    canvas.shade(paint, (0, 0, canvas.width, 52))


def landscape():
    canvas = Canvas(313, 222, SKY)
    cloud_layer(canvas, 7)
    grass_texture(canvas, GRASS_TOP, canvas.height, 11)
    return canvas


# --------------------------------------------------------------------------------------------
# The fence (picture 2)


def fence():
    canvas = Canvas(304, 60, BLACK)
    grain = Noise(21)
    knots = Noise(22)
    rng = random.Random(23)
    seams = [0, 14, 28, 42, 54]  # board tops, and the grass line
    for board, (top, bottom) in enumerate(zip(seams, seams[1:])):
        joint = rng.randint(60, 250)  # each board is two planks butted together
        shift = board * 37.0

        def wood(x, y, _old, top=top, bottom=bottom, joint=joint, shift=shift):
            base = (205, 118, 48)
            g = grain.fractal((x + shift + (x >= joint) * 91) / 40.0, y * 0.9, 3)
            streak = 0.5 + 0.5 * math.sin(y * 2.1 + g * 9.0 + x * 0.01)
            c = scale(base, 0.78 + 0.22 * streak + 0.12 * (knots.value(x / 7.0, y / 3.0) - 0.5))
            # Rounded board edges: light along the top, shadow along the bottom.
            if y == top:
                c = mix(c, (240, 170, 95), 0.6)
            elif y == bottom - 2:
                c = scale(c, 0.8)
            if y == bottom - 1:
                c = (70, 36, 14)  # the seam
            if x in (joint, joint + 1):
                c = scale(c, 0.45 if x == joint else 0.8)
            return c

        canvas.shade(wood, (0, top, canvas.width, bottom))
        for nail_x in (joint - 5, joint + 6):
            canvas.paint(circle(nail_x, top + 6.5, 0.9), (90, 80, 70))

    for hx, hy in ((74.0, 20.5), (219.0, 35.5)):
        canvas.paint(ellipse(hx, hy, 2.2, 1.9), (120, 60, 20))
        canvas.paint(ellipse(hx + 0.2, hy + 0.2, 1.5, 1.3), (25, 12, 6))

    grass_texture(canvas, 54, 60, 24)
    # Tall blades in front of the boards, in a few clumps.
    for cx, count in ((18, 6), (96, 5), (168, 7), (262, 6)):
        for i in range(count):
            x = cx + rng.uniform(-6, 6)
            height = rng.uniform(22, 46)
            lean = rng.uniform(-12, 12)
            color = mix((30, 110, 25), (110, 185, 55), rng.random())
            blade = curve_stroke((x, 61), (x + lean * 0.2, 60 - height * 0.6),
                                 (x + lean, 60 - height), 3.2, 0.3)
            canvas.paint(blade, scale(color, 0.8))
            canvas.paint(curve_stroke((x + 0.3, 61), (x + lean * 0.2 + 0.3, 60 - height * 0.6),
                                      (x + lean, 60 - height), 1.0, 0.2), color)
    return canvas


# --------------------------------------------------------------------------------------------
# The target figures and their hit pictures (pictures 3 to 9), 36 x 36 pixels each

SKIN = (243, 196, 158)
SKIN_SHADOW = (214, 156, 118)
BLOOD = (200, 10, 12)
DARK_BLOOD = (128, 0, 4)


def rounded(base, shadow, cx, cy, rx, ry):
    """A colour function that darkens towards the rim of an ellipse: simple roundness."""
    def color(x, y):
        r = math.hypot((x - cx) / rx, (y - cy) / ry)
        return mix(base, shadow, smoothstep(0.55, 1.05, r))
    return color


def face_eye(canvas, cx, cy, iris, lashes=False):
    canvas.paint(ellipse(cx, cy, 2.3, 1.35), (250, 250, 250))
    canvas.paint(circle(cx + 0.2, cy + 0.05, 1.15) & ellipse(cx, cy, 2.3, 1.35), iris)
    canvas.paint(circle(cx + 0.2, cy + 0.05, 0.55), (20, 15, 10))
    canvas.paint(circle(cx - 0.3, cy - 0.45, 0.3), WHITE, 0.9)
    lid = curve_stroke((cx - 2.5, cy + 0.1), (cx, cy - 2.1), (cx + 2.5, cy + 0.1),
                       1.1 if lashes else 0.6, 0.5 if lashes else 0.4, 8)
    canvas.paint(lid, (40, 25, 20) if lashes else (120, 80, 60))


def man(background):
    canvas = Canvas(36, 36, background)
    shirt, collar = (48, 86, 168), (240, 240, 240)
    canvas.paint(ellipse(18, 41, 18.5, 10.5), rounded(shirt, (30, 55, 120), 18, 41, 18.5, 10.5))
    canvas.paint(rect(13.5, 24, 22.5, 33), SKIN_SHADOW)
    canvas.paint(polygon([(12.5, 30.5), (18, 36), (23.5, 30.5), (22.5, 29.5), (18, 33.5),
                          (13.5, 29.5)]), collar)
    for ex in (7.4, 28.6):
        canvas.paint(ellipse(ex, 18, 2.1, 3.4), rounded(SKIN, SKIN_SHADOW, ex, 18, 2.1, 3.4))
    face = ellipse(18, 17, 10.4, 12.8)
    canvas.paint(face, rounded(SKIN, SKIN_SHADOW, 18, 16, 10.4, 12.8))
    # Short brown hair: a cap with a slightly uneven fringe, and sideburns.
    hair_color = (92, 56, 30)
    hair = ellipse(18, 11.5, 11.8, 9.8) & Shape(
        lambda x, y: y < 7.6 + 0.045 * (x - 18) ** 2 + 0.5 * math.sin(x * 1.3),
        (0, 0, 36, 36))
    canvas.paint(hair, rounded(hair_color, (60, 34, 18), 18, 8, 12, 8))
    for sx in (7.2, 26.8):
        canvas.paint(rect(sx, 11, sx + 2, 17.5), hair_color)
    for x0, x1 in ((10.6, 15.8), (26.0, 20.2)):
        canvas.paint(curve_stroke((x0, 13.4), ((x0 + x1) / 2, 12.1), (x1, 12.9), 1.3, 0.9, 6),
                     (70, 42, 24))
    face_eye(canvas, 13.4, 15.9, (78, 112, 160))
    face_eye(canvas, 22.6, 15.9, (78, 112, 160))
    canvas.paint(curve_stroke((18.6, 16.5), (17.3, 20.5), (17.2, 21.6), 0.9, 0.9, 6),
                 SKIN_SHADOW)
    canvas.paint(ellipse(18, 22.2, 2.0, 0.8), (196, 136, 104))
    canvas.paint(curve_stroke((14.2, 25.0), (18, 27.0), (21.8, 25.0), 1.1, 1.1, 8),
                 (168, 82, 72))
    for cx in (12.4, 23.6):
        canvas.paint(ellipse(cx, 21.5, 2.2, 1.4), (236, 150, 130), 0.35)
    return canvas


def man_hit():
    canvas = man(SKY)
    for (x0, y0), (x1, y1), (x2, y2), w in (((17.2, 10.5), (16.4, 15), (16.0, 20.5), 1.2),
                                             ((19.0, 11.0), (19.8, 16), (20.2, 24.5), 1.0),
                                             ((18.2, 11.5), (18.4, 14), (18.3, 16.8), 0.9)):
        canvas.paint(curve_stroke((x0, y0), (x1, y1), (x2, y2), w, w * 0.8, 10), BLOOD)
        canvas.paint(circle(x2, y2, w * 0.75), BLOOD)
    canvas.paint(circle(18, 10, 2.6), (220, 30, 30))
    canvas.paint(circle(18, 10, 1.6), DARK_BLOOD)
    canvas.paint(circle(18, 10, 0.8), (40, 0, 0))
    return canvas


def woman(background):
    canvas = Canvas(36, 36, background)
    hair_color, hair_dark = (196, 128, 54), (140, 84, 32)
    dress = (52, 150, 140)
    # Hair behind the head, falling to the shoulders and curling at the ends.
    back = ellipse(18, 16, 13.2, 13.6) | Shape(
        lambda x, y: y >= 16 and abs(x - 18) <= 13.2 - 0.1 * (y - 16)
        and y <= 30.2 + 1.1 * math.sin(x * 0.9), (4, 16, 32, 32))
    canvas.paint(back, rounded(hair_color, hair_dark, 18, 20, 14, 16))
    canvas.paint(ellipse(18, 42, 17, 10.5), rounded(dress, (30, 100, 95), 18, 42, 17, 10.5))
    canvas.paint(rect(15, 24, 21, 33), SKIN_SHADOW)
    canvas.paint(ellipse(18, 33, 3.2, 1.6), SKIN_SHADOW)
    taper = Shape(lambda x, y: abs(x - 18) <= 9.6 * (1 - 0.28 * clamp((y - 17) / 11.5) ** 2),
                  (0, 0, 36, 36))
    face = ellipse(18, 17.2, 9.6, 11.6) & taper
    canvas.paint(face, rounded(SKIN, SKIN_SHADOW, 18, 16.5, 9.6, 11.6))
    # A side-swept fringe over the forehead.
    fringe = (ellipse(14.5, 8.2, 10.5, 5.0, -0.35) | ellipse(25.5, 9.0, 5.0, 5.5, 0.5)
              | ellipse(8.4, 13, 2.2, 6.5) | ellipse(27.8, 14, 2.0, 6.0))
    canvas.paint(fringe, rounded(hair_color, hair_dark, 16, 9, 12, 7))
    for p0, p1, p2 in (((9, 6), (15, 4), (23, 9.5)), ((12, 6.5), (19, 5), (26.5, 10.5))):
        canvas.paint(curve_stroke(p0, p1, p2, 0.7, 0.3, 8), (230, 170, 90), 0.8)
    for x0, x1 in ((10.9, 15.6), (25.1, 20.4)):
        canvas.paint(curve_stroke((x0, 13.8), ((x0 + x1) / 2, 12.3), (x1, 13.2), 0.8, 0.5, 6),
                     (120, 72, 36))
    face_eye(canvas, 13.5, 16.2, (70, 140, 90), lashes=True)
    face_eye(canvas, 22.5, 16.2, (70, 140, 90), lashes=True)
    canvas.paint(curve_stroke((18.4, 17.5), (17.6, 20.3), (17.9, 21.2), 0.7, 0.7, 6),
                 SKIN_SHADOW)
    for cx in (12.6, 23.4):
        canvas.paint(ellipse(cx, 21.2, 2.3, 1.5), (240, 130, 130), 0.45)
    # The smile: a crescent of lips with the corners up and teeth under the upper lip.
    def smile(depth):
        return lambda x: 23.4 + depth * (1 - ((x - 18) / 4.6) ** 2)

    upper, lower = smile(0.7), smile(2.9)
    lips = Shape(lambda x, y: abs(x - 18) < 4.6 and upper(x) - 0.4 <= y <= lower(x),
                 (13, 22, 23, 28))
    canvas.paint(lips, (205, 62, 84))
    teeth = Shape(lambda x, y: abs(x - 18) < 3.4 and upper(x) + 0.25 <= y <= upper(x) + 1.3,
                  (13, 22, 23, 28))
    canvas.paint(teeth, (252, 250, 245))
    for ex in (7.6, 28.4):
        canvas.paint(circle(ex, 23.0, 0.8), (250, 210, 60))
    return canvas


def woman_hit():
    canvas = woman(FIGURE_BACK)
    noise = Noise(61)
    cx, cy = 18.0, 18.5
    ragged = Shape(lambda x, y: math.hypot(x - cx, y - cy)
                   <= 7.0 + 1.4 * noise.value(math.atan2(y - cy, x - cx) * 2.5 + 5, 0.5),
                   (cx - 9, cy - 9, cx + 9, cy + 9))
    canvas.paint(ragged, BLOOD)
    canvas.paint(circle(cx, cy, 6.2), DARK_BLOOD)
    canvas.paint(circle(cx, cy, 5.3), FIGURE_BACK)
    for x, length in ((14.0, 6.0), (21.5, 8.0), (17.0, 4.5)):
        canvas.paint(segment(x, cy + 5.0, x + 0.2, cy + 5 + length, 0.9), BLOOD)
    return canvas


def mask(background):
    """A white ghost mask, tilted: long face, drooping eye holes, a wide open mouth."""
    canvas = Canvas(36, 36, background)
    tilt = -0.28
    c = (18, 18)
    head = ellipse(18, 17.5, 11.0, 16.0)
    jaw = ellipse(18, 26, 7.5, 8.5)
    outline = rotated(ellipse(18, 17.5, 11.8, 16.8) | ellipse(18, 26, 8.3, 9.3), tilt, *c)
    canvas.paint(outline, (150, 160, 175))

    def porcelain(x, y):
        # Light from the upper left: the right cheek and the chin turn grey.
        u = (x - 18) * math.cos(tilt) + (y - 18) * math.sin(tilt)
        v = -(x - 18) * math.sin(tilt) + (y - 18) * math.cos(tilt)
        return mix((252, 252, 250), (190, 196, 205), smoothstep(2, 11, u + 0.3 * v))

    canvas.paint(rotated(head | jaw, tilt, *c), porcelain)
    for cheek_x in (12.3, 23.7):
        canvas.paint(rotated(ellipse(cheek_x, 22.5, 2.4, 3.6), tilt, *c), (200, 205, 214), 0.6)
    for ex, angle in ((12.6, 0.35), (23.4, -0.35)):
        canvas.paint(rotated(ellipse(ex, 13.5, 2.6, 4.6, angle), tilt, *c), (8, 8, 10))
    mouth = ellipse(18, 26.0, 5.2, 6.0) | ellipse(18, 24.0, 6.2, 2.4)
    canvas.paint(rotated(mouth, tilt, *c), (8, 8, 10))
    canvas.paint(rotated(ellipse(17.0, 25.0, 2.2, 3.5), tilt, *c), (40, 30, 30), 0.6)
    return canvas


def mask_hit():
    canvas = mask(FIGURE_BACK)
    rng = random.Random(71)
    splashes = ((14.5, 9.5, 2.8, 2), (23.0, 19.5, 2.4, 1), (12.0, 24.5, 1.7, 1))
    for sx, sy, r, drips in splashes:
        blob = circle(sx, sy, r)
        for _ in range(6):
            a = rng.uniform(0, 2 * math.pi)
            d = rng.uniform(r * 0.9, r * 1.7)
            blob = blob | circle(sx + d * math.cos(a), sy + d * math.sin(a), rng.uniform(0.4, 0.9))
        canvas.paint(blob, BLOOD)
        canvas.paint(circle(sx - r * 0.2, sy - r * 0.15, r * 0.5), DARK_BLOOD, 0.5)
        # Blood runs straight down from each splash and gathers in a drop at the end.
        for i in range(drips):
            x = sx + (i - (drips - 1) / 2) * r * 0.9 + rng.uniform(-0.4, 0.4)
            end_y = min(34.0, sy + rng.uniform(7, 12))
            canvas.paint(segment(x, sy, x, end_y, 0.9), BLOOD)
            canvas.paint(circle(x, end_y, 0.75), BLOOD)
    return canvas


# --------------------------------------------------------------------------------------------
# The bonus bird and its hit picture (pictures 10 and 11), drawn pixel by pixel

BIRD = [  # # black, . transparent; flying right, the far wing up, the near wing down
    "......##..",
    ".....##...",
    ".....##...",
    "....##..#.",
    "#..######*",
    ".######...",
    "...##.....",
    "..##......",
    ".##.......",
    "..........",
]

SPLASH = [  # lower half of the hit bird: p pink, r red, R bright red, d dark red
    "..........",
    "..........",
    "..........",
    "..........",
    "..........",
    "p.rrdrrr.p",
    ".prRRRrrp.",
    "prRRRRrd..",
    "..prrdrp.p",
    ".p..p..p..",
]


def bird():
    palette = [BLACK, SKY]
    indices = [0 if ch in "#*" else 1 for row in BIRD for ch in row]
    return gif_bytes(10, 10, palette, indices, 1)


def bird_hit():
    palette = [BLACK, (128, 0, 0), (200, 0, 0), (255, 0, 0), (255, 128, 160), (240, 80, 120),
               (255, 190, 200), (160, 0, 30), SKY, (64, 64, 64), (128, 128, 128),
               (192, 192, 192), (255, 255, 255), (255, 255, 0), (0, 0, 128), (0, 128, 0)]
    code = {"#": 0, "*": 0, "p": 4, "r": 2, "R": 3, "d": 1, ".": 8}
    indices = []
    for y in range(10):
        for x in range(10):
            ch = BIRD[y][x] if y < 5 else SPLASH[y][x]
            indices.append(code[ch])
    return gif_bytes(10, 10, palette, indices, 8)


# --------------------------------------------------------------------------------------------
# The gun-sight mouse pointer and the window icon (pictures 12 and 13)

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def gun_sight():
    """Black one-pixel rings and cross; everything else transparent. The outer ring touches
    all four edges; the cross and the inner ring centre on the hotspot pixel (15, 15)."""
    opaque = [False] * 1024
    for y in range(32):
        for x in range(32):
            outer = math.hypot(x - 15.5, y - 15.5)
            inner = math.hypot(x - 15, y - 15)
            on = (14.6 <= outer < 15.9 or 6.5 <= inner < 7.5 or x == 15 or y == 15)
            opaque[y * 32 + x] = on
    image = icon_image_bytes(VGA16, [0] * 1024, opaque)
    return icon_file_bytes(2, [(32, 16, 4, image)], hotspot=(15, 15))


ICON_PALETTE = [BLACK, (255, 255, 255), (150, 150, 160), (96, 96, 104), (56, 56, 62),
                (110, 0, 0), (170, 12, 8), (225, 30, 18), (255, 70, 30), (255, 140, 40),
                (255, 214, 90), (20, 20, 40), (190, 180, 170), (130, 110, 100), (80, 40, 30),
                (255, 255, 200)]


def icon_indices():
    """A mushroom cloud over grey ground at night, as 32 x 32 indices into ICON_PALETTE. Drawn
    at 4x, averaged down, then each pixel takes the nearest of the sixteen palette colours."""
    k = 4
    big = Canvas(32 * k, 32 * k, BLACK)
    rng = random.Random(81)
    noise = Noise(82)
    def fire(x, y):
        n = noise.fractal(x / (3 * k), y / (3 * k))
        heat = clamp(n * 1.6 - 0.4)
        return mix((150, 10, 8), (255, 120, 40), heat)

    ground_top = 26 * k
    big.shade(lambda x, y, _o: mix((80, 80, 88), (150, 150, 160),
                                   noise.value(x / 10, y / 6) * 0.7 + (y - ground_top) / 40 * 0.3),
              (0, ground_top, 32 * k, 32 * k))
    stem = polygon([(13.2 * k, 12 * k), (18.8 * k, 12 * k), (19.6 * k, 24 * k), (23 * k, 27 * k),
                    (9 * k, 27 * k), (12.4 * k, 24 * k)])
    big.paint(stem, fire)
    big.paint(ellipse(16 * k, 26.6 * k, 10 * k, 2.2 * k), fire)
    big.paint(ellipse(16 * k, 17.5 * k, 6.5 * k, 1.6 * k), (200, 20, 12))
    cap = ellipse(16 * k, 10 * k, 11.5 * k, 5.5 * k) | ellipse(16 * k, 13 * k, 8.5 * k, 2.5 * k)
    for px, py, r in ((9.5, 8.5, 3.5), (16, 6.5, 4.5), (22.5, 8.5, 3.5), (12.5, 7, 3.5),
                      (19.5, 7, 3.5)):
        cap = cap | circle(px * k, py * k, r * k)
    big.paint(cap, lambda x, y: mix(fire(x, y), (120, 0, 0), smoothstep(9 * k, 14 * k, y)))
    big.paint(ellipse(16 * k, 10.5 * k, 5 * k, 2.5 * k), (255, 170, 60), 0.55)
    small = big.scaled_down(k)
    indices = []
    for y in range(32):
        for x in range(32):
            c = small.get(x, y)
            indices.append(min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in
                                                             zip(c, ICON_PALETTE[i]))))
    # Stars are single pixels, placed after the averaging so that they stay sharp.
    for _ in range(16):
        x, y = rng.randrange(32), rng.randrange(22)
        if indices[y * 32 + x] == 0:
            indices[y * 32 + x] = rng.choice((1, 1, 2))
    return indices


def icon():
    image = icon_image_bytes(ICON_PALETTE, icon_indices(), [True] * 1024)
    return icon_file_bytes(1, [(32, 16, 4, image)])


def icon_at(size):
    """The icon at another size, each pixel the picture's pixel under it: every other one at
    16, every one at 32, whole factors above; at 48 every pixel of the picture stays, half of
    them one and a half times as wide, since 48 is no whole multiple of 32. Never smoothed:
    larger art would be a different picture."""
    indices = icon_indices()
    return [indices[(y * 32 // size) * 32 + x * 32 // size]
            for y in range(size) for x in range(size)]


def icon_png(factor):
    """The window icon for the desktop's menus and the page's installed app, enlarged by a whole
    factor with every pixel a sharp square."""
    size = 32 * factor
    pixels = icon_at(size)
    return png_bytes(size, size, ICON_PALETTE,
                     (bytes(pixels[y * size:(y + 1) * size]) for y in range(size)))


def program_icon():
    """The .exe's icon, for Explorer, the taskbar and the window: 16, 32 and 48 pixels in the
    window icon's sixteen colours, and 256 for Explorer's large views as a PNG, which Windows
    takes only as 32-bit RGBA. The window's own icon (icon.ico) stays the 32 alone."""
    images = [(size, 16, 4, icon_image_bytes(ICON_PALETTE, icon_at(size), [True] * size * size,
                                             size))
              for size in (16, 32, 48)]
    big = icon_at(256)
    rows = (b"".join(bytes(ICON_PALETTE[i]) + b"\xff" for i in big[y * 256:(y + 1) * 256])
            for y in range(256))
    images.append((256, 0, 32, png_bytes(256, 256, None, rows)))
    return icon_file_bytes(1, images)


# --------------------------------------------------------------------------------------------
# Sounds: 8-bit unsigned mono at 11025 Hz; the sample counts are fixed by the game.

RATE = 11025


def envelope(points):
    """Piecewise-linear level over time from (seconds, level) pairs."""
    def level(t):
        for (t0, v0), (t1, v1) in zip(points, points[1:]):
            if t0 <= t <= t1:
                return v0 + (v1 - v0) * (t - t0) / (t1 - t0) if t1 > t0 else v1
        return points[-1][1] if t > points[-1][0] else points[0][1]
    return level


class Voice:
    """An oscillator that follows a changing pitch: sine plus chosen harmonics."""

    def __init__(self, harmonics=((1, 1.0),)):
        self.phase = 0.0
        self.harmonics = harmonics

    def next(self, freq):
        self.phase += 2 * math.pi * freq / RATE
        return sum(a * math.sin(self.phase * h) for h, a in self.harmonics)


class Filter:
    """One-pole low-pass; high-pass is the input minus it."""

    def __init__(self):
        self.state = 0.0

    def low(self, x, cutoff):
        a = 1 - math.exp(-2 * math.pi * cutoff / RATE)
        self.state += a * (x - self.state)
        return self.state


# Every sound's true peak, the highest level that the waveform reaches between its samples once
# it is played (reconstructed band-limited, or resampled for the device), stays at or below
# TRUE_PEAK_LIMIT dBTP; render aims a little lower, since rounding to bytes moves the peak.
# Full scale is 128 steps either side of the 8-bit midpoint. The level is measured with 8 x
# band-limited oversampling, with silence before and after the sound, as the player has it.
TRUE_PEAK_LIMIT = -1.0
TRUE_PEAK_TARGET = -1.2
OVERSAMPLING = 8
# And no sound starts further than this from silence (a first sample far from the midpoint
# is a click); a fade-in of FADE_IN seconds brings those that would down to it.
FIRST_SAMPLE_LIMIT = 0.1
FADE_IN = 0.0015


def fft(values, inverse=False):
    """A radix-2 FFT of a list of complex numbers whose length is a power of two, in place
    (no scaling either way)."""
    n = len(values)
    j = 0
    for i in range(1, n):
        bit = n >> 1
        while j & bit:
            j ^= bit
            bit >>= 1
        j |= bit
        if i < j:
            values[i], values[j] = values[j], values[i]
    sign = 1 if inverse else -1
    size = 2
    while size <= n:
        half = size // 2
        turns = [cmath.exp(sign * 2j * math.pi * k / size) for k in range(half)]
        for start in range(0, n, size):
            for k in range(half):
                u = values[start + k]
                v = values[start + k + half] * turns[k]
                values[start + k] = u + v
                values[start + k + half] = u - v
        size *= 2
    return values


def padded_length(count):
    """The FFT length for count samples with at least 256 samples of silence after them, so
    that the sound's end and start do not meet around the circle."""
    n = 1
    while n < count + 256:
        n *= 2
    return n


def oversampled(values, factor):
    """The band-limited waveform through the samples, factor points per sample (zero-padding
    of the spectrum), for the samples followed by silence: padded_length(len) * factor values."""
    n = padded_length(len(values))
    spectrum = fft([complex(v) for v in values] + [0j] * (n - len(values)))
    wide = [0j] * (n * factor)
    half = n // 2
    wide[:half] = spectrum[:half]
    wide[n * factor - half + 1:] = spectrum[half + 1:]
    wide[half] = wide[n * factor - half] = spectrum[half] / 2  # Nyquist, split between both
    return [v.real / n for v in fft(wide, inverse=True)]


def band_limited(values, count, top=1.0):
    """The inverse of oversampled: the count samples whose band-limited waveform is nearest to
    values (the spectrum's part below the original Nyquist frequency, or below top times it)."""
    wide = len(values)
    n = padded_length(count)
    spectrum = fft([complex(v) for v in values])
    half = n // 2
    narrow = spectrum[:half] + [spectrum[half] + spectrum[wide - half]] + spectrum[wide - half + 1:]
    keep = int(top * half)
    for k in range(keep + 1, n - keep):
        narrow[k] = 0j
    return [v.real / wide for v in fft(narrow, inverse=True)][:count]


def true_peak(values):
    """The highest level of the waveform through the samples (-1..1), with OVERSAMPLING x
    band-limited oversampling."""
    return max(abs(v) for v in oversampled(values, OVERSAMPLING))


def clip_between_samples(values, rounds=6, factor=4, level=0.8, top=0.9):
    """Clips a hard-driven sound where it is played, between the samples, rather than at them:
    a wave clipped sample by sample swings far past its clipping level in between (at worst
    by several dB). The sound first loses what lies above top times the Nyquist frequency
    (there a player's interpolation is least exact, and its peaks least certain). Each round
    then clips the oversampled waveform at level times the sample peak and takes back the
    part of what was cut off below that frequency, so that the peaks between the samples
    come down to about the peak at them and the sound stays as loud as it can."""
    limit = level * max(abs(v) for v in values)
    current = band_limited(oversampled(values, factor), len(values), top)
    for _ in range(rounds):
        wave = oversampled(current, factor)
        cut = [max(-limit, min(limit, v)) - v for v in wave]
        current = [a + b for a, b in zip(current, band_limited(cut, len(values), top))]
    return current


def render(count, sample, fade_in=False, clip=False):
    """Runs sample(t) for every sample time, clips between the samples if asked, fades in over
    FADE_IN if asked, scales the true peak to TRUE_PEAK_TARGET and converts to unsigned bytes
    around 128. Checks the limits on the bytes it returns."""
    raw = [sample(i / RATE) for i in range(count)]
    if clip:
        raw = clip_between_samples(raw)
    if fade_in:
        ramp = round(FADE_IN * RATE)
        for i in range(ramp):
            raw[i] *= 0.5 - 0.5 * math.cos(math.pi * i / ramp)
    gain = 10 ** (TRUE_PEAK_TARGET / 20) / (true_peak(raw) or 1.0)
    while True:
        samples = [max(0, min(255, int(round(128 + 128 * gain * v)))) for v in raw]
        peak = true_peak([(s - 128) / 128 for s in samples])
        if 20 * math.log10(peak) <= TRUE_PEAK_LIMIT:
            break
        gain *= 10 ** (-0.05 / 20)
    if abs(samples[0] - 128) > FIRST_SAMPLE_LIMIT * 128:
        raise ValueError(f"the sound starts with a click: first sample {samples[0]}")
    return samples


def whoosh(count, pitch, cutoff, seed):
    """Sounds 1 and 2: a low swell that peaks near 0.18 s and is gone by the end."""
    rng = random.Random(seed)
    voice = Voice(((1, 1.0), (2, 0.5), (3, 0.25)))
    first, second = Filter(), Filter()
    level = envelope([(0, 0), (0.06, 0.25), (0.17, 1.0), (0.19, 1.0), (0.27, 0.0), (1, 0)])

    def sample(t):
        noise = second.low(first.low(rng.uniform(-1, 1), cutoff), cutoff) * 6.0
        return level(t) * (0.7 * voice.next(pitch * (0.8 + 1.2 * t)) + noise)

    return render(count, sample)


def ricochet(count):
    """Sound 3: a bright whine, loudest at once, sliding down and dying away."""
    rng = random.Random(3)
    voice = Voice(((1, 1.0), (2, 0.35), (3, 0.2)))
    duration = count / RATE

    def sample(t):
        decay = math.exp(-3.5 * t) * (1 - t / duration)
        crack = rng.uniform(-1, 1) * math.exp(-60 * t)
        return decay * voice.next(2600 - 1500 * t / duration) + crack

    return render(count, sample, fade_in=True)


def fanfare(count):
    """Sound 4: a steady note for 0.2 s, then a brighter chord above it fading out by 0.5 s."""
    low, high, top = (Voice(((1, 1.0), (3, 0.3), (5, 0.1))),
                      Voice(((1, 1.0), (2, 0.4), (3, 0.35), (4, 0.2))),
                      Voice(((1, 1.0), (2, 0.3))))
    first = envelope([(0, 0), (0.01, 1), (0.19, 1), (0.205, 0)])
    second = envelope([(0, 0), (0.2, 0), (0.21, 1), (0.3, 0.8), (0.5, 0)])

    def sample(t):
        a = first(t) * low.next(523.25)
        b = second(t) * (high.next(783.99) + 0.7 * top.next(1046.5))
        return 1.4 * a + b

    return render(count, sample)


def rattle(count):
    """Sound 5: a bright mechanical rattle, uneven in level, then a short fade."""
    rng = random.Random(5)
    lp_noise, lp_level = Filter(), Filter()
    tail = envelope([(0, 1), (0.75, 1), (0.8, 0), (1, 0)])
    step = int(RATE * 0.028)
    targets = [rng.uniform(0.25, 1.0) for _ in range(count // step + 1)]

    def sample(t):
        i = int(t * RATE)
        noise = rng.uniform(-1, 1)
        bright = noise - lp_noise.low(noise, 1800)  # keep the hiss, lose the rumble
        click = 1.0 if i % step < 40 else 0.0
        level = lp_level.low(targets[i // step] * (0.6 + 0.4 * click), 90)
        return tail(t) * level * bright

    return render(count, sample)


def dings(count):
    """Sound 6: two bell strokes, 0 to 0.15 s and 0.25 to 0.35 s."""
    bell = Voice(((1, 1.0), (2.76, 0.45), (5.4, 0.2)))

    def stroke(t, start, end):
        if not start <= t < end:
            return 0.0
        local = t - start
        return math.exp(-14 * local) * min(1.0, (end - t) / 0.02) * min(1.0, local / 0.002)

    def sample(t):
        pitch = 1318.5 if t < 0.2 else 1760.0
        return (stroke(t, 0.0, 0.15) + stroke(t, 0.25, 0.35)) * bell.next(pitch)

    return render(count, sample)


def gunshot(count):
    """Sound 7: a blast at full level for 0.2 s, then a darkening tail over about a second.
    The blast is driven into clipping; render clips it once more between the samples, where a
    wave clipped at its samples alone overshoots by several dB, and fades it in so that its
    first sample does not click."""
    rng = random.Random(7)
    lp = Filter()
    thump = Voice(((1, 1.0),))

    def sample(t):
        noise = rng.uniform(-1, 1)
        if t < 0.2:
            cutoff, level = 3000, 1.0
        else:
            cutoff, level = 3000 * math.exp(-3 * (t - 0.2)) + 250, math.exp(-4.2 * (t - 0.2))
        body = lp.low(noise, cutoff) * 2.2 + 0.6 * thump.next(70 + 90 * math.exp(-12 * t))
        return level * max(-1.0, min(1.0, body * 1.6))

    return render(count, sample, fade_in=True, clip=True)


def rumble(count):
    """Sound 9: a loud, low roar for about a second, then a fade."""
    rng = random.Random(9)
    first, second = Filter(), Filter()
    voice = Voice(((1, 1.0), (2, 0.6), (3, 0.3)))
    level = envelope([(0, 0), (0.02, 1), (1.0, 0.85), (1.5, 0), (2, 0)])

    def sample(t):
        wobble = 1 + 0.25 * math.sin(2 * math.pi * 7 * t)
        roar = second.low(first.low(rng.uniform(-1, 1), 300), 300) * 9.0
        return level(t) * max(-1.0, min(1.0, 0.6 * voice.next(110 * wobble) + roar))

    return render(count, sample)


SOUNDS_BY_ID = {
    1: lambda: whoosh(3090, 95, 350, 1),
    2: lambda: whoosh(2900, 135, 500, 2),
    3: lambda: ricochet(5244),
    4: lambda: fanfare(7010),
    5: lambda: rattle(8852),
    6: lambda: dings(5762),
    7: lambda: gunshot(13400),
    9: lambda: rumble(16610),
}


# --------------------------------------------------------------------------------------------

FONT_SOURCE = Path("/usr/share/fonts/truetype/liberation2")
FONT_LICENSE = Path("/usr/share/doc/fonts-liberation2/copyright")
# Liberation Sans, cut down to the letters a Czech and English game shows, under a name of its
# own: the font licence reserves the original names for unmodified fonts. The cut keeps the
# program and the page small (a whole face is thirty times the size): ASCII, the Czech letters
# and the punctuation Czech and English text sets, with the kerning between them.
FONT_FILES = {
    "LiberationSans-Regular.ttf": ("VombrelSans-Regular.ttf", "Regular"),
    "LiberationSans-Bold.ttf": ("VombrelSans-Bold.ttf", "Bold"),
    "LiberationSans-BoldItalic.ttf": ("VombrelSans-BoldItalic.ttf", "Bold Italic"),
}
FONT_FAMILY = "Vombrel Sans"
FONT_TEXT = ("".join(map(chr, range(0x20, 0x7F)))
             + "ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽáčďéěíňóřšťúůýž"
             + "\u00a0«»°©–—‘’‚“”„…")


def make_fonts():
    """Cuts the fonts of the Debian package fonts-liberation2 down with fontTools (Debian's
    python3-fonttools). Where either is missing the committed fonts stay as they are."""
    try:
        from fontTools import subset
        from fontTools.ttLib import TTFont
    except ImportError:
        print("fonts not made: python3-fonttools is not installed", file=sys.stderr)
        return
    sources = [FONT_SOURCE / name for name in FONT_FILES] + [FONT_LICENSE]
    missing = [str(p) for p in sources if not p.is_file()]
    if missing:
        print("fonts not made, missing: " + ", ".join(missing), file=sys.stderr)
        return
    FONTS.mkdir(parents=True, exist_ok=True)
    for source, (target, style) in FONT_FILES.items():
        options = subset.Options()
        options.layout_features = ["kern"]
        # The names, and the licence (13, 14) that every copy of the font carries with it.
        options.name_IDs = [0, 1, 2, 3, 4, 5, 6, 13, 14]
        # The source's own date stays, so that a new run writes the same bytes.
        font = TTFont(FONT_SOURCE / source, recalcTimestamp=False)
        subsetter = subset.Subsetter(options)
        subsetter.populate(text=FONT_TEXT)
        subsetter.subset(font)
        full = f"{FONT_FAMILY} {style}".replace(" Regular", "")
        postscript = f"{FONT_FAMILY.replace(' ', '')}-{style.replace(' ', '')}"
        for record in font["name"].names:
            if record.nameID == 1:
                record.string = FONT_FAMILY
            elif record.nameID == 3:
                record.string = f"{postscript}: subset of Liberation Sans for Vombrel"
            elif record.nameID == 4:
                record.string = full
            elif record.nameID == 6:
                record.string = postscript
        font.save(FONTS / target)
    shutil.copyfile(FONT_LICENSE, FONTS / "LICENSE")


# --------------------------------------------------------------------------------------------
# The page's copies

# The pictures, sounds and fonts again, in formats the browser decodes itself, off its main
# thread, and smaller for the download: lossless WebP, FLAC and WOFF2 without hinting. They are
# made from the desktop's files above, so that they hold the same pixels, the same samples and
# the same outlines; the page's test decodes both in the browser and compares them. The birds,
# the sight and the icon are small GIF, cursor and icon files that the page takes as they are.
PAGE_PICTURES = ("landscape", "fence", "target_white", "figure1", "figure1_hit", "figure2",
                 "figure2_hit", "figure3", "figure3_hit")


def bmp_as_ppm(bmp):
    """A 24-bit bottom-up BMP (as bmp_bytes writes it) as a binary PPM, which cwebp reads."""
    start, width, height = struct.unpack_from("<I4xii", bmp, 10)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        bgr = bmp[start + y * stride:start + y * stride + width * 3]
        rgb = bytearray(bgr)
        rgb[0::3], rgb[2::3] = bgr[2::3], bgr[0::3]
        rows.append(bytes(rgb))
    return b"P6\n%d %d\n255\n" % (width, height) + b"".join(rows)


def wav_samples(wav):
    """The samples of a WAV image as wav_bytes writes it: its data chunk, without padding."""
    size = struct.unpack_from("<I", wav, 40)[0]
    return wav[44:44 + size]


def page_font(source, target):
    """The font as WOFF2 without its hinting, which changes no pixel the page's canvas draws."""
    from fontTools import subset
    from fontTools.ttLib import TTFont
    font = TTFont(source, recalcTimestamp=False)
    options = subset.Options()
    options.hinting = False
    options.layout_features = ["*"]
    options.name_IDs = ["*"]
    options.name_languages = ["*"]
    options.glyph_names = True
    options.notdef_glyph = options.notdef_outline = True
    options.legacy_kern = True
    subsetter = subset.Subsetter(options)
    subsetter.populate(glyphs=font.getGlyphOrder())
    subsetter.subset(font)
    font.flavor = "woff2"
    font.save(target)


def make_page_copies():
    """Writes assets/page from the desktop's files. Where a tool is missing, the committed
    copies stay as they are."""
    tools = {"cwebp": "webp", "flac": "flac"}
    missing = [package for tool, package in tools.items() if shutil.which(tool) is None]
    try:
        import brotli  # noqa: F401  (fontTools writes WOFF2 with it)
        import fontTools  # noqa: F401
    except ImportError:
        missing.append("python3-brotli and python3-fonttools")
    if missing:
        print("page copies not made, missing: " + ", ".join(missing), file=sys.stderr)
        return
    PAGE.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        ppm = Path(work) / "picture.ppm"
        for name in PAGE_PICTURES:
            ppm.write_bytes(bmp_as_ppm((PICTURES / f"{name}.bmp").read_bytes()))
            subprocess.run(["cwebp", "-quiet", "-lossless", "-exact", "-z", "9", "-metadata",
                            "none", str(ppm), "-o", str(PAGE / f"{name}.webp")], check=True)
    # FLAC's subset (LPC order 12 at most), which every decoder takes; verified as it is written.
    for sound_id in SOUNDS_BY_ID:
        samples = wav_samples((SOUNDS / f"{sound_id}.wav").read_bytes())
        subprocess.run(["flac", "--silent", "--force", "--verify", "--force-raw-format",
                        "--endian=little", "--sign=unsigned", "--channels=1", "--bps=8",
                        f"--sample-rate={RATE}", "-8", "-e", "-p", "-b", "1152", "--no-padding",
                        "--no-seektable", "-o", str(PAGE / f"{sound_id}.flac"), "-"],
                       input=samples, check=True)
    for name, _ in FONT_FILES.values():
        page_font(FONTS / name, PAGE / name.replace(".ttf", ".woff2"))


def main():
    PICTURES.mkdir(parents=True, exist_ok=True)
    SOUNDS.mkdir(parents=True, exist_ok=True)
    pictures = {
        "landscape.bmp": lambda: bmp_bytes(landscape()),
        "fence.bmp": lambda: bmp_bytes(fence()),
        "target_white.bmp": lambda: bmp_bytes(man(WHITE)),
        "figure1.bmp": lambda: bmp_bytes(mask(FIGURE_BACK)),
        "figure1_hit.bmp": lambda: bmp_bytes(mask_hit()),
        "figure2.bmp": lambda: bmp_bytes(woman(FIGURE_BACK)),
        "figure2_hit.bmp": lambda: bmp_bytes(woman_hit()),
        "figure3.bmp": lambda: bmp_bytes(man(FIGURE_BACK)),
        "figure3_hit.bmp": lambda: bmp_bytes(man_hit()),
        "bird.gif": bird,
        "bird_hit.gif": bird_hit,
        "gunsight.cur": gun_sight,
        "icon.ico": icon,
    }
    only = set(sys.argv[1:])  # optional file names, to redraw just those while working on them
    for name, make in pictures.items():
        if not only or name in only:
            (PICTURES / name).write_bytes(make())
    ICONS.mkdir(parents=True, exist_ok=True)
    # 32 to 128 for the desktop's menus, 192 and 512 for the page's manifest.
    for factor in (1, 2, 4, 6, 16):
        name = f"vombrel-{32 * factor}.png"
        if not only or name in only:
            (ICONS / name).write_bytes(icon_png(factor))
    if not only or "vombrel.ico" in only:
        (ICONS / "vombrel.ico").write_bytes(program_icon())
    for sound_id, make in SOUNDS_BY_ID.items():
        name = f"{sound_id}.wav"
        if not only or name in only:
            (SOUNDS / name).write_bytes(wav_bytes(make()))
    if not only:
        make_fonts()
        make_page_copies()


if __name__ == "__main__":
    main()
