#!/usr/bin/env python3
"""Generate the main window's button images and the application icon.

Writes, into the directory of this script (or --out-dir):

  logo.bmp     108 x 30, 24-bit: the listings site's "quillo lite" wordmark
  browser.bmp   30 x 30, 24-bit: a globe (web-browser icon)
  csv.bmp       32 x 30, 24-bit: a CSV document with a download arrow
  quillo.ico    32 x 32, 16 colours (4 bpp) with AND mask, and the same at
                48 x 48 and 64 x 64
  quillo.png    32 x 32 RGBA, the same picture as quillo.ico
  quillo@4x.png 128 x 128 RGBA in true colour, for the desktop's larger
                icon sizes (the Linux package installs it with the others)

and each picture again for denser screens, drawn at 1.5 and 2 times the
size (not enlarged pixels): logo@1.5x.bmp, logo@2x.bmp and so on.

In each BMP the background, including the bottom-left pixel, is the key
colour KEY, which the window draws transparent; the art never uses it.

Standard library only (struct, zlib) and fully deterministic: running the
script twice gives identical files.  `--check` regenerates in memory and
compares with the files on disk (PNG by decoded pixels, so that a different
zlib build does not count as a change); it exits 1 on any difference.
"""

import argparse
import math
import os
import struct
import sys
import zlib

KEY = (255, 0, 255)          # transparent key colour of the BMPs
MATTE = (236, 236, 236)      # button face colour that edge pixels fade into
SS = 6                       # supersampling factor per axis


# --------------------------------------------------------------------------
# A tiny supersampling rasteriser
# --------------------------------------------------------------------------

def _lerp(a, b, t):
    return a + (b - a) * t


def mix(c0, c1, t):
    """Blend two RGB colours; t = 0 gives c0, t = 1 gives c1."""
    t = 0.0 if t < 0 else 1.0 if t > 1 else t
    return tuple(_lerp(c0[i], c1[i], t) for i in range(3))


def linear(c0, c1, p0, p1):
    """Linear gradient from c0 at point p0 to c1 at point p1."""
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    den = dx * dx + dy * dy

    def f(x, y):
        return mix(c0, c1, ((x - p0[0]) * dx + (y - p0[1]) * dy) / den)
    return f


class Shape:
    """A point-in-shape test plus a bounding box (x0, y0, x1, y1)."""

    def __init__(self, inside, bbox):
        self.inside = inside
        self.bbox = bbox

    def __and__(self, other):
        a, b = self.inside, other.inside
        box = (max(self.bbox[0], other.bbox[0]), max(self.bbox[1], other.bbox[1]),
               min(self.bbox[2], other.bbox[2]), min(self.bbox[3], other.bbox[3]))
        return Shape(lambda x, y: a(x, y) and b(x, y), box)

    def __or__(self, other):
        a, b = self.inside, other.inside
        box = (min(self.bbox[0], other.bbox[0]), min(self.bbox[1], other.bbox[1]),
               max(self.bbox[2], other.bbox[2]), max(self.bbox[3], other.bbox[3]))
        return Shape(lambda x, y: a(x, y) or b(x, y), box)

    def __sub__(self, other):
        a, b = self.inside, other.inside
        return Shape(lambda x, y: a(x, y) and not b(x, y), self.bbox)


def rect(x0, y0, x1, y1):
    return Shape(lambda x, y: x0 <= x < x1 and y0 <= y < y1, (x0, y0, x1, y1))


def rrect(x0, y0, x1, y1, r):
    """Rounded rectangle with corner radius r."""
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return Shape(inside, (x0, y0, x1, y1))


def ellipse(cx, cy, rx, ry=None):
    ry = rx if ry is None else ry
    return Shape(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0,
                 (cx - rx, cy - ry, cx + rx, cy + ry))


def polygon(points):
    """Even-odd filled polygon."""
    n = len(points)

    def inside(x, y):
        c = False
        j = n - 1
        for i in range(n):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                c = not c
            j = i
        return c
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return Shape(inside, (min(xs), min(ys), max(xs), max(ys)))


def capsule(p0, p1, width):
    """Thick line segment with round ends."""
    (ax, ay), (bx, by) = p0, p1
    dx, dy = bx - ax, by - ay
    den = dx * dx + dy * dy or 1.0
    r2 = (width / 2.0) ** 2

    def inside(x, y):
        t = ((x - ax) * dx + (y - ay) * dy) / den
        t = 0.0 if t < 0 else 1.0 if t > 1 else t
        return (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= r2
    h = width / 2.0
    return Shape(inside, (min(ax, bx) - h, min(ay, by) - h, max(ax, bx) + h, max(ay, by) + h))


def bitmap(rows, x0, y0, scale=1):
    """Pixel-font glyphs or any small bitmap: '#' (or any non-space, non-dot)
    marks a filled pixel; each pixel is a scale x scale square at x0, y0."""
    cells = set()
    for j, row in enumerate(rows):
        for i, ch in enumerate(row):
            if ch not in ' .':
                cells.add((i, j))
    w = max(len(r) for r in rows)

    def inside(x, y):
        return (math.floor((x - x0) / scale), math.floor((y - y0) / scale)) in cells
    return Shape(inside, (x0, y0, x0 + w * scale, y0 + len(rows) * scale))


# The densities the art is drawn for, with the suffix of their file names.
SCALES = ((1, ""), (1.5, "@1.5x"), (2, "@2x"))


class Canvas:
    """Supersampled canvas; each sample is an RGB triple or None (empty).
    Shapes are given in pixels of the picture at 1x; scale draws it that many
    times larger, w * scale by h * scale pixels."""

    def __init__(self, w, h, scale=1):
        self.w, self.h = int(round(w * scale)), int(round(h * scale))
        self.unit = SS * scale           # samples per 1x pixel
        self.sw, self.sh = self.w * SS, self.h * SS
        self.buf = [None] * (self.sw * self.sh)

    def _samples(self, shape):
        x0, y0, x1, y1 = shape.bbox
        u = self.unit
        sx0 = max(0, int(math.floor(x0 * u)))
        sy0 = max(0, int(math.floor(y0 * u)))
        sx1 = min(self.sw, int(math.ceil(x1 * u)))
        sy1 = min(self.sh, int(math.ceil(y1 * u)))
        inside = shape.inside
        for sy in range(sy0, sy1):
            y = (sy + 0.5) / u
            row = sy * self.sw
            for sx in range(sx0, sx1):
                x = (sx + 0.5) / u
                if inside(x, y):
                    yield row + sx, x, y

    def fill(self, shape, colour, alpha=1.0):
        """Paint colour (an RGB triple or a function of x, y) into shape.
        With alpha < 1 the paint is translucent and only lands on samples
        that are already painted (highlights and shadows)."""
        buf = self.buf
        for idx, x, y in list(self._samples(shape)):
            c = colour(x, y) if callable(colour) else colour
            if alpha >= 1.0:
                buf[idx] = c
            elif buf[idx] is not None:
                buf[idx] = mix(buf[idx], c, alpha)

    def outlined(self, outer, inner, outline, colour):
        """Fill outer with the outline colour, then inner with colour."""
        self.fill(outer, outline)
        self.fill(inner, colour)

    def resolve(self, background=None):
        """Down-sample to a w x h list of rows of RGB (int) or None.
        A pixel fully covered gets the mean of its samples; a partly covered
        pixel is faded into MATTE by its coverage (antialiasing against the
        button face) or left empty when coverage is below 30%."""
        n = SS * SS
        out = []
        for py in range(self.h):
            row = []
            for px in range(self.w):
                acc = [0.0, 0.0, 0.0]
                k = 0
                for sy in range(py * SS, py * SS + SS):
                    base = sy * self.sw
                    for sx in range(px * SS, px * SS + SS):
                        c = self.buf[base + sx]
                        if c is not None:
                            acc[0] += c[0]
                            acc[1] += c[1]
                            acc[2] += c[2]
                            k += 1
                if k == 0 or k * 10 < n * 3:
                    row.append(background)
                    continue
                mean = (acc[0] / k, acc[1] / k, acc[2] / k)
                cov = k / n
                if cov < 1.0:
                    # full colour from 75% coverage up, fading below
                    mean = mix(MATTE, mean, min(1.0, (cov - 0.3) / 0.45 * 0.6 + 0.4))
                row.append(tuple(int(round(v)) for v in mean))
            out.append(row)
        return out


def keyed(pixels):
    """Replace empty pixels by KEY; nudge any art pixel that equals KEY."""
    out = []
    for row in pixels:
        r = []
        for c in row:
            if c is None:
                r.append(KEY)
            elif c == KEY:
                r.append((254, 1, 254))
            else:
                r.append(c)
        out.append(r)
    return out


# --------------------------------------------------------------------------
# Pixel fonts
# --------------------------------------------------------------------------

# 3 x 5 capitals for small labels.
FONT3 = {
    'A': ["###", "#.#", "###", "#.#", "#.#"],
    'C': ["###", "#..", "#..", "#..", "###"],
    'E': ["###", "#..", "##.", "#..", "###"],
    'G': ["###", "#..", "#.#", "#.#", "###"],
    'H': ["#.#", "#.#", "###", "#.#", "#.#"],
    'I': ["###", ".#.", ".#.", ".#.", "###"],
    'L': ["#..", "#..", "#..", "#..", "###"],
    'N': ["##.", "#.#", "#.#", "#.#", "#.#"],
    'R': ["##.", "#.#", "##.", "#.#", "#.#"],
    'S': ["###", "#..", "###", "..#", "###"],
    'T': ["###", ".#.", ".#.", ".#.", ".#."],
    ' ': ["...", "...", "...", "...", "..."],
}

# Bold 4 x 6 capitals for the CSV label.
FONT4 = {
    'C': [".###", "##..", "##..", "##..", "##..", ".###"],
    'S': [".###", "##..", ".##.", "..##", "..##", "###."],
    'V': ["##.##", "##.##", "##.##", "##.##", ".###.", "..#.."],
}


def text_rows(font, text, gap=1):
    h = len(next(iter(font.values())))
    rows = [""] * h
    for n, ch in enumerate(text):
        g = font[ch]
        for j in range(h):
            rows[j] += ("." * gap if n else "") + g[j]
    return rows


# --------------------------------------------------------------------------
# Shared motif: the quill on an orange tile
# --------------------------------------------------------------------------

ORANGE_HI = (255, 190, 92)
ORANGE = (246, 128, 30)
ORANGE_LO = (206, 78, 12)
ORANGE_EDGE = (138, 50, 8)


def quill(cv, ox, oy, size, edge, shaft):
    """A feather quill pointing from the top-right down to a nib at the
    bottom-left, drawn in a size x size box at (ox, oy).  The two halves of
    the vane are shaded differently and the lower one has two notches."""
    s = size / 24.0
    tx, ty = ox + 22.5 * s, oy + 1.2 * s          # tip of the feather
    bx, by = ox + 7.6 * s, oy + 16.4 * s          # where the vane ends
    nx, ny = ox + 2.4 * s, oy + 21.8 * s          # the nib
    ax, ay = bx - tx, by - ty
    length = math.hypot(ax, ay)
    ux, uy = ax / length, ay / length             # along the axis
    vx, vy = -uy, ux                              # across the axis
    width = 4.6 * s
    bend = -2.2 * s                               # the feather bows upwards

    def frame(x, y):
        px, py = x - tx, y - ty
        t = (px * ux + py * uy) / length
        tt = min(max(t, 0.0), 1.0)
        return t, tt, px * vx + py * vy - bend * 4.0 * tt * (1.0 - tt)

    def half(tt):
        return width * math.sin(math.pi * min(tt ** 0.75, 1.0)) ** 0.6 * (1.0 - 0.3 * tt)

    def vane_at(x, y, grow=0.0):
        t, tt, dv = frame(x, y)
        if t < -grow / length or t > 1.0 + grow / length:
            return False
        if dv > 0.3 * s:
            for n0 in (0.40, 0.62):
                if abs(tt - n0 - dv / length * 1.1) < 0.028:
                    return False
        return abs(dv) <= half(tt) + grow

    def side(sign):
        return lambda x, y: vane_at(x, y) and frame(x, y)[2] * sign >= 0

    box = (ox, oy, ox + size, oy + size)
    cv.fill(Shape(lambda x, y: vane_at(x, y, 0.85 * s), box), edge)
    cv.fill(Shape(side(-1), box), linear((255, 255, 255), (236, 238, 244), (tx, ty), (bx, by)))
    cv.fill(Shape(side(1), box), linear((236, 240, 248), (196, 202, 216), (tx, ty), (bx, by)))
    # the shaft: a thin rachis through the vane, then a thicker quill to the nib
    pts = []
    for k in range(9):
        tt = k / 8.0
        off = bend * 4.0 * tt * (1.0 - tt)
        pts.append((tx + ax * tt + vx * off, ty + ay * tt + vy * off))
    for p0, p1 in zip(pts[1:], pts[2:]):
        cv.fill(capsule(p0, p1, 0.7 * s), shaft)
    cv.fill(capsule((bx, by), (nx, ny), 1.9 * s), edge)
    cv.fill(capsule((bx, by), (nx + 0.4 * s, ny - 0.4 * s), 0.8 * s), shaft)


def tile(cv, x0, y0, x1, y1, r):
    """The orange rounded tile with outline, gradient and a gloss."""
    cv.outlined(rrect(x0, y0, x1, y1, r), rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1),
                ORANGE_EDGE, linear(ORANGE_HI, ORANGE_LO, (x0, y0), (x0 + 2, y1)))
    gloss = rrect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r - 1) & \
        ellipse((x0 + x1) / 2.0, y0 - (y1 - y0) * 0.35, (x1 - x0) * 0.85, (y1 - y0) * 0.75)
    cv.fill(gloss, (255, 255, 255), alpha=0.22)


# --------------------------------------------------------------------------
# The images
# --------------------------------------------------------------------------

def draw_logo(scale=1):
    """108 x 30: orange quill tile, the wordmark "quillo", a red "LITE" badge
    and the tag line "LISTING SEARCH"."""
    cv = Canvas(108, 30, scale)
    tile(cv, 1, 2, 27, 28, 5)
    quill(cv, 2, 3, 24, (112, 52, 18), (226, 150, 96))

    # wordmark, built from geometric strokes so that it is antialiased
    ink_top, ink_bot = (58, 86, 140), (18, 34, 74)
    ink = linear(ink_top, ink_bot, (0, 6), (0, 20))
    base = 20.0          # baseline
    xh = 11.0            # x-height
    sw = 2.6             # stroke width
    top = base - xh
    x = 31.0

    def bowl(cx):
        rx, ry = 5.3, xh / 2.0
        cy = top + ry
        return ellipse(cx, cy, rx, ry) - ellipse(cx, cy, rx - sw, ry - sw + 0.2)

    # q
    glyphs = bowl(x + 5.3) | rect(x + 10.6 - sw, top, x + 10.6, base + 5.0)
    x += 10.6 + 2.0
    # u
    u_bot = ellipse(x + 5.0, base - 5.0, 5.0, 5.0) - ellipse(x + 5.0, base - 5.0, 5.0 - sw, 5.0 - sw + 0.2)
    glyphs = glyphs | rect(x, top, x + sw, base - 5.0) | (u_bot & rect(x, base - 5.0, x + 10, base)) \
        | rect(x + 10.0 - sw, top, x + 10.0, base)
    x += 10.0 + 2.2
    # i
    glyphs = glyphs | rect(x, top, x + sw, base) | ellipse(x + sw / 2, top - 2.6, 1.45)
    x += sw + 2.2
    # l l
    for _ in range(2):
        glyphs = glyphs | rrect(x, top - 5.0, x + sw, base, 0.6)
        x += sw + 2.2
    # o
    glyphs = glyphs | bowl(x + 5.3)
    x += 10.6
    word_end = x
    # soft shadow, then the letters
    shadow = Shape(lambda px, py: glyphs.inside(px - 0.8, py - 0.8),
                   (glyphs.bbox[0], glyphs.bbox[1], glyphs.bbox[2] + 1, glyphs.bbox[3] + 1))
    cv.fill(shadow, (178, 186, 204))
    cv.fill(glyphs, ink)
    # the "o" gets the brand orange
    o_only = bowl(word_end - 5.3)
    cv.fill(o_only, linear(ORANGE, ORANGE_LO, (0, top), (0, base)))

    # "LITE" badge, superscript after the wordmark
    bx0, by0 = int(word_end) + 3, 4
    label = text_rows(FONT3, "LITE")
    bw = len(label[0]) + 5
    cv.outlined(rrect(bx0, by0, bx0 + bw, by0 + 9, 2.5),
                rrect(bx0 + 1, by0 + 1, bx0 + bw - 1, by0 + 8, 1.5),
                (150, 20, 28), linear((236, 70, 70), (192, 28, 36), (0, by0), (0, by0 + 9)))
    cv.fill(bitmap(label, bx0 + 3, by0 + 2), (255, 255, 255))

    # tag line under the wordmark
    tag = text_rows(FONT3, "LISTING SEARCH")
    cv.fill(bitmap(tag, 106 - len(tag[0]), 23), (112, 120, 136))
    return keyed(cv.resolve())


def draw_browser(scale=1):
    """30 x 30: a lit, slightly tilted globe with meridians, parallels and
    green land."""
    cv = Canvas(30, 30, scale)
    cx, cy, r = 14.5, 14.5, 13.0
    ri = r - 1.0
    tilt = math.radians(22.0)
    spin = math.radians(-18.0)
    light = (-0.55, -0.62, 0.56)
    ln = math.sqrt(sum(c * c for c in light))
    light = tuple(c / ln for c in light)

    def sphere(x, y):
        """Surface point under (x, y): (latitude, longitude, lambert)."""
        nx, ny = (x - cx) / ri, (y - cy) / ri
        d = nx * nx + ny * ny
        if d > 1.0:
            return None
        nz = math.sqrt(1.0 - d)
        lam = max(0.0, nx * light[0] + ny * light[1] + nz * light[2])
        # rotate about the x axis (tilt the north pole towards the viewer)
        y2 = ny * math.cos(tilt) - nz * math.sin(tilt)
        z2 = ny * math.sin(tilt) + nz * math.cos(tilt)
        lat = math.asin(max(-1.0, min(1.0, -y2)))
        lon = math.atan2(nx, z2) + spin
        return lat, lon, lam

    def shade(dark, lit):
        def f(x, y):
            p = sphere(x, y)
            return mix(dark, lit, 0.15 + 0.85 * p[2]) if p else dark
        return f

    globe = ellipse(cx, cy, ri)
    cv.outlined(ellipse(cx, cy, r), globe, (14, 46, 112), shade((20, 70, 160), (150, 212, 255)))

    # land: blobs in latitude / longitude
    blobs = [(42, -75, 20, 34), (18, -62, 12, 14), (-14, -50, 22, 14),
             (45, 30, 16, 40), (8, 18, 22, 16), (-18, 22, 14, 12)]

    def land(x, y):
        p = sphere(x, y)
        if not p:
            return False
        lat, lon = math.degrees(p[0]), math.degrees(p[1])
        for la, lo, rla, rlo in blobs:
            dlo = (lon - lo + 180.0) % 360.0 - 180.0
            wob = 1.0 + 0.18 * math.sin(lat * 0.21 + lon * 0.13)
            if ((lat - la) / rla) ** 2 + (dlo / rlo) ** 2 <= wob:
                return True
        return False
    cv.fill(Shape(land, globe.bbox), shade((30, 102, 30), (160, 228, 112)))

    # graticule every 30 degrees, about 0.9 px wide on screen
    step = math.radians(30.0)
    half = 0.45 / ri

    def grid(x, y):
        p = sphere(x, y)
        if not p:
            return False
        lat, lon = p[0], p[1]
        dlat = abs((lat + step / 2) % step - step / 2)
        dlon = abs((lon + step / 2) % step - step / 2) * math.cos(lat)
        return dlat < half or (dlon < half and abs(lat) < math.radians(80))
    cv.fill(Shape(grid, globe.bbox), (240, 248, 255), alpha=0.7)

    # a gloss at the upper left
    cv.fill(ellipse(10.2, 8.6, 5.6, 3.6), (255, 255, 255), alpha=0.35)
    return keyed(cv.resolve())


def draw_csv(scale=1):
    """32 x 30: a table document with a folded corner, a green "CSV" band and
    a blue download arrow."""
    cv = Canvas(32, 30, scale)
    edge = (96, 104, 118)
    px0, py0, px1, py1, fold = 5, 1, 25, 29, 6
    page = polygon([(px0, py0), (px1 - fold, py0), (px1, py0 + fold), (px1, py1), (px0, py1)])
    inner = polygon([(px0 + 1, py0 + 1), (px1 - fold - 0.4, py0 + 1), (px1 - 1, py0 + fold + 0.4),
                     (px1 - 1, py1 - 1), (px0 + 1, py1 - 1)])
    cv.outlined(page, inner, edge, linear((255, 255, 255), (222, 228, 236), (px0, py0), (px1, py1)))
    # the folded corner
    flap = polygon([(px1 - fold, py0), (px1 - fold, py0 + fold), (px1, py0 + fold)])
    cv.fill(flap, edge)
    cv.fill(polygon([(px1 - fold + 1, py0 + 2), (px1 - fold + 1, py0 + fold - 1),
                     (px1 - 2, py0 + fold - 1)]),
            linear((246, 248, 252), (196, 204, 216), (px1 - fold, py0), (px1, py0 + fold)))
    # table grid below the band
    grid = (150, 182, 222)
    for gy in (19, 22, 25):
        cv.fill(rect(px0 + 3, gy, px1 - 3, gy + 1), grid)
    for gx in (px0 + 3, 12, 18, px1 - 4):
        cv.fill(rect(gx, 19, gx + 1, 26), grid)
    cv.fill(rect(px0 + 4, 20, px1 - 4, 22), (226, 236, 250))   # header row
    # top lines of text
    for gy, x1 in ((4, 16), (7, 18)):
        cv.fill(rect(px0 + 3, gy, x1, gy + 1), (176, 184, 196))

    # the green band with "CSV", sticking out on the left
    bx0, by0, bx1, by1 = 1, 9, 21, 18
    cv.outlined(rrect(bx0, by0, bx1, by1, 1.5), rrect(bx0 + 1, by0 + 1, bx1 - 1, by1 - 1, 1),
                (18, 98, 44), linear((86, 190, 104), (28, 132, 58), (0, by0), (0, by1)))
    cv.fill(rect(bx0 + 1, by0 + 1, bx1 - 1, by0 + 2), (255, 255, 255), alpha=0.3)
    label = text_rows(FONT4, "CSV")
    lw = len(label[0])
    cv.fill(bitmap(label, bx0 + (bx1 - bx0 - lw) // 2 + 1, by0 + 2 + 1), (14, 80, 34))
    cv.fill(bitmap(label, bx0 + (bx1 - bx0 - lw) // 2, by0 + 2), (255, 255, 255))

    # download arrow at the lower right
    arrow = polygon([(23.5, 16), (28.5, 16), (28.5, 21.5), (31.5, 21.5), (26, 28.6), (20.5, 21.5),
                     (23.5, 21.5)])
    arrow_in = polygon([(24.5, 17), (27.5, 17), (27.5, 22.5), (29.4, 22.5), (26, 27), (22.6, 22.5),
                        (24.5, 22.5)])
    cv.outlined(arrow, arrow_in, (20, 60, 140), linear((110, 170, 250), (28, 92, 210), (0, 16), (0, 28)))
    return keyed(cv.resolve())


def draw_icon(scale=1):
    """32 x 32 application icon in true colour with a transparency mask:
    the quill tile with three listing lines written by the quill."""
    cv = Canvas(32, 32, scale)
    tile(cv, 0, 0, 32, 32, 6)
    # listing lines at the lower right that the quill has written
    for gy, x0 in ((19.0, 17.0), (23.0, 14.0), (27.0, 11.0)):
        cv.fill(rrect(x0, gy, 28.0, gy + 2.0, 1.0), (255, 236, 200))
        cv.fill(ellipse(x0 - 2.2, gy + 1.0, 1.1), (255, 255, 255))
    quill(cv, 1, 0, 28, (112, 52, 18), (226, 150, 96))
    return cv.resolve()


# --------------------------------------------------------------------------
# Palette reduction for the 16-colour icon
# --------------------------------------------------------------------------

def _dist2(a, b):
    return (a[0] - b[0]) ** 2 + (a[1] - b[1]) ** 2 + (a[2] - b[2]) ** 2


def reduce_palette(colours, count):
    """Deterministic median cut followed by a few k-means rounds.
    colours: dict colour -> pixel count.  Returns a list of colours."""
    boxes = [sorted(colours.items())]
    while len(boxes) < count:
        # split the box with the widest channel range (ties by size)
        best, best_key = None, None
        for i, b in enumerate(boxes):
            if len(b) < 2:
                continue
            ranges = [max(c[0][ch] for c in b) - min(c[0][ch] for c in b) for ch in range(3)]
            key = (max(ranges), sum(n for _, n in b))
            if best_key is None or key > best_key:
                best, best_key = i, key
        if best is None:
            break
        b = boxes.pop(best)
        ranges = [max(c[0][ch] for c in b) - min(c[0][ch] for c in b) for ch in range(3)]
        ch = ranges.index(max(ranges))
        b.sort(key=lambda item: (item[0][ch], item[0]))
        total = sum(n for _, n in b)
        acc, cut = 0, 1
        for i, (_, n) in enumerate(b):
            acc += n
            if acc * 2 >= total:
                cut = min(max(i + 1, 1), len(b) - 1)
                break
        boxes[best:best] = [b[:cut], b[cut:]]

    def centre(items):
        t = sum(n for _, n in items)
        return tuple(sum(c[ch] * n for c, n in items) / t for ch in range(3))

    pal = [centre(b) for b in boxes]
    for _ in range(8):
        groups = [[] for _ in pal]
        for c, n in sorted(colours.items()):
            i = min(range(len(pal)), key=lambda k: (_dist2(c, pal[k]), k))
            groups[i].append((c, n))
        pal = [centre(g) if g else pal[i] for i, g in enumerate(groups)]
    return [tuple(int(round(v)) for v in p) for p in pal]


def icon_indexed(pixels):
    """Return (palette of 16 RGB, rows of indices, rows of mask bits);
    mask bit 1 means transparent.  Index 0 is black, used for the
    transparent pixels so that the XOR image leaves the screen alone."""
    counts = {}
    for row in pixels:
        for c in row:
            if c is not None:
                counts[c] = counts.get(c, 0) + 1
    pal = [(0, 0, 0)] + sorted(reduce_palette(counts, 15))
    while len(pal) < 16:
        pal.append((0, 0, 0))
    idx, mask = [], []
    for row in pixels:
        ir, mr = [], []
        for c in row:
            if c is None:
                ir.append(0)
                mr.append(1)
            else:
                ir.append(min(range(1, 16), key=lambda k: (_dist2(c, pal[k]), k)))
                mr.append(0)
        idx.append(ir)
        mask.append(mr)
    return pal, idx, mask


# --------------------------------------------------------------------------
# File formats
# --------------------------------------------------------------------------

def bmp24(pixels):
    """Windows 24-bit BMP: BITMAPINFOHEADER, bottom-up, BI_RGB, rows padded
    to 4 bytes, 96 dpi."""
    h, w = len(pixels), len(pixels[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        for r, g, b in row:
            data += bytes((b, g, r))
        data += b"\0" * (stride - w * 3)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return head + info + bytes(data)


def ico_image(pal, idx, mask):
    """One 4 bpp image of an ICO file: header, palette, XOR bitmap, AND mask."""
    h, w = len(idx), len(idx[0])
    xor = bytearray()
    for row in reversed(idx):
        line = bytearray()
        for i in range(0, w, 2):
            line.append((row[i] << 4) | row[i + 1])
        line += b"\0" * (((w + 7) // 8 * 4) - len(line))   # pad to 4 bytes
        xor += line
    andm = bytearray()
    for row in reversed(mask):
        line = bytearray()
        for i in range(0, w, 8):
            v = 0
            for b in range(8):
                v = (v << 1) | row[i + b]
            line.append(v)
        line += b"\0" * (((w + 31) // 32 * 4) - len(line))
        andm += line
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in pal)
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(xor) + len(andm), 0, 0, 16, 0)
    return info + palette + bytes(xor) + bytes(andm)


def ico16(images):
    """ICO of 16-colour images, each (pal, idx, mask), smallest first."""
    head = struct.pack("<HHH", 0, 1, len(images))
    entries, data = b"", b""
    offset = 6 + 16 * len(images)
    for pal, idx, mask in images:
        image = ico_image(pal, idx, mask)
        entries += struct.pack("<BBBBHHII", len(idx[0]), len(idx), 16, 0, 1, 4, len(image),
                               offset + len(data))
        data += image
    return head + entries + data


def png_rgba(rows_rgba):
    """32-bit RGBA PNG, filter type 0 on every row."""
    h, w = len(rows_rgba), len(rows_rgba[0])
    raw = bytearray()
    for row in rows_rgba:
        raw.append(0)
        for px in row:
            raw += bytes(px)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    ihdr = struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def png_pixels(data):
    """Decode the PNGs this script writes (RGBA 8-bit, filter 0) for --check."""
    pos, idat, ihdr = 8, b"", None
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            ihdr = body
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    return ihdr, zlib.decompress(idat)


# --------------------------------------------------------------------------

def build():
    files = {}
    icons = []
    for scale, suffix in SCALES:
        files["logo%s.bmp" % suffix] = bmp24(draw_logo(scale))
        files["browser%s.bmp" % suffix] = bmp24(draw_browser(scale))
        files["csv%s.bmp" % suffix] = bmp24(draw_csv(scale))
        pal, idx, mask = icon_indexed(draw_icon(scale))
        icons.append((pal, idx, mask))
        rgba = [[pal[i] + ((0,) if m else (255,)) for i, m in zip(ir, mr)]
                for ir, mr in zip(idx, mask)]
        rgba = [[(0, 0, 0, 0) if p[3] == 0 else p for p in row] for row in rgba]
        files["quillo%s.png" % suffix] = png_rgba(rgba)
    files["quillo.ico"] = ico16(icons)
    files["quillo@4x.png"] = png_rgba([[(0, 0, 0, 0) if c is None else c + (255,) for c in row]
                                       for row in draw_icon(4)])
    return files


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out-dir", default=os.path.dirname(os.path.abspath(__file__)))
    ap.add_argument("--check", action="store_true",
                    help="compare with the files in --out-dir instead of writing")
    args = ap.parse_args(argv)
    files = build()
    if args.check:
        bad = 0
        for name, data in sorted(files.items()):
            path = os.path.join(args.out_dir, name)
            try:
                with open(path, "rb") as f:
                    old = f.read()
            except OSError as e:
                print("missing %s: %s" % (name, e))
                bad += 1
                continue
            same = old == data or (name.endswith(".png") and png_pixels(old) == png_pixels(data))
            if not same:
                print("out of date: %s (run make_art.py)" % name)
                bad += 1
        print("%d file(s) differ" % bad if bad else "all %d files up to date" % len(files))
        return 1 if bad else 0
    for name, data in sorted(files.items()):
        with open(os.path.join(args.out_dir, name), "wb") as f:
            f.write(data)
        print("wrote %s (%d bytes)" % (name, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
