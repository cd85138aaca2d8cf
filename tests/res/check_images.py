#!/usr/bin/env python3
"""Check the main window's images in res/.

usage: check_images.py RES_DIR

- logo.bmp 108x30, browser.bmp 30x30, csv.bmp 32x30: Windows BMP with
  BITMAPINFOHEADER, 24 bits, uncompressed, bottom-up, rows padded to 4
  bytes; the bottom-left pixel (the colour drawn transparent) is used as
  the background and the art is not trivial (enough distinct colours, a
  reasonable share of the image covered).
- quillo.ico: 32x32, 48x48 and 64x64 images, 16 colours (4 bpp) with an AND
  mask; masked pixels are black in the XOR image.
- quillo.png: 32x32 RGBA, the same picture as quillo.ico's 32x32 one,
  transparent exactly where the icon's mask is set.
- the same for denser screens, at 1.5 and 2 times the size: logo@1.5x.bmp
  162x45, quillo@2x.png 64x64 (the icon's 64x64 image) and so on.
- quillo@4x.png: 128x128 RGBA (not in quillo.ico).

Standard library only.  Exit status 0 when all checks pass, 1 otherwise.
"""

import os
import struct
import sys
import zlib

SCALES = ((1, ""), (1.5, "@1.5x"), (2, "@2x"))
BMPS = {"logo%s.bmp" % suffix: (round(108 * s), round(30 * s)) for s, suffix in SCALES}
BMPS.update({"browser%s.bmp" % suffix: (round(30 * s), round(30 * s)) for s, suffix in SCALES})
BMPS.update({"csv%s.bmp" % suffix: (round(32 * s), round(30 * s)) for s, suffix in SCALES})
ICONS = [(round(32 * s), "quillo%s.png" % suffix) for s, suffix in SCALES]
MIN_COLOURS = 12          # distinct colours besides the key colour
MIN_COVER, MAX_COVER = 0.25, 0.95

failures = []


def fail(name, msg):
    failures.append("%s: %s" % (name, msg))


def read(res, name):
    with open(os.path.join(res, name), "rb") as f:
        return f.read()


def check_bmp(name, data, want_w, want_h):
    if len(data) < 54 or data[:2] != b"BM":
        return fail(name, "not a BMP file")
    size, _, _, off = struct.unpack_from("<IHHI", data, 2)
    (hsize, w, h, planes, bpp, comp, img_size,
     _, _, _, _) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    if size != len(data):
        fail(name, "file size field %d, file has %d bytes" % (size, len(data)))
    if hsize != 40:
        return fail(name, "header size %d, want BITMAPINFOHEADER (40)" % hsize)
    if (w, h) != (want_w, want_h):
        fail(name, "size %dx%d, want %dx%d (bottom-up, so height > 0)" % (w, h, want_w, want_h))
    if planes != 1 or bpp != 24 or comp != 0:
        return fail(name, "planes %d, %d bpp, compression %d; want 1, 24, 0" % (planes, bpp, comp))
    if h <= 0 or w <= 0:
        return None
    stride = (w * 3 + 3) & ~3
    if off < 54 or off + stride * h > len(data):
        return fail(name, "pixel data (offset %d, %d bytes) outside the file" % (off, stride * h))
    if img_size not in (0, stride * h):
        fail(name, "image size field %d, want %d" % (img_size, stride * h))
    pixels = []          # top-down rows of (r, g, b)
    for row in range(h):
        base = off + (h - 1 - row) * stride
        pixels.append([tuple(reversed(data[base + 3 * i:base + 3 * i + 3])) for i in range(w)])
    key = pixels[h - 1][0]          # bottom-left pixel
    flat = [c for r in pixels for c in r]
    art = [c for c in flat if c != key]
    colours = set(art)
    cover = len(art) / float(len(flat))
    corners = [pixels[0][0], pixels[0][w - 1], pixels[h - 1][0], pixels[h - 1][w - 1]]
    if corners.count(key) < 3:
        fail(name, "key colour %r is not the background (corners %r)" % (key, corners))
    if len(colours) < MIN_COLOURS:
        fail(name, "only %d colours besides the key colour (want at least %d)"
             % (len(colours), MIN_COLOURS))
    if not MIN_COVER <= cover <= MAX_COVER:
        fail(name, "art covers %.0f%% of the image (want %.0f%% to %.0f%%)"
             % (100 * cover, 100 * MIN_COVER, 100 * MAX_COVER))
    print("%-12s %3dx%-3d 24 bpp, key %-15r %3d colours, %2.0f%% covered"
          % (name, w, h, key, len(colours), 100 * cover))
    return pixels


def check_ico(name, data, entry, n):
    """Image number entry, n x n: return (rows of RGB, rows of mask bits)
    top-down, or None."""
    if len(data) < 6 + 16 * len(ICONS):
        return fail(name, "too short")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count != len(ICONS):
        return fail(name, "header %r, want reserved 0, type 1 (icon), %d images"
                    % ((reserved, kind, count), len(ICONS)))
    w, h, ncol, res0, planes, bits, nbytes, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * entry)
    if (w, h) != (n, n) or ncol != 16 or bits not in (0, 4) or planes not in (0, 1):
        fail(name, "directory entry %dx%d, %d colours, %d planes, %d bpp; want %dx%d, 16 colours, 4 bpp"
             % (w, h, ncol, planes, bits, n, n))
    if off + nbytes > len(data):
        return fail(name, "image (offset %d, %d bytes) outside the file" % (off, nbytes))
    (hsize, bw, bh, bplanes, bbpp, comp, _, _, _, used, _) = struct.unpack_from("<IiiHHIIiiII", data, off)
    if (hsize, bw, bh, bplanes, bbpp, comp) != (40, n, 2 * n, 1, 4, 0):
        return fail(name, "bitmap header %r, want (40, %d, %d, 1, 4, 0)"
                    % ((hsize, bw, bh, bplanes, bbpp, comp), n, 2 * n))
    ncolours = used or 16
    if ncolours != 16:
        return fail(name, "%d palette entries, want 16" % ncolours)
    pal_off = off + 40
    xor_off = pal_off + 4 * 16
    xor_stride = (n // 2 + 3) & ~3
    and_stride = (n + 31) // 32 * 4
    and_off = xor_off + xor_stride * n
    if and_off + and_stride * n != off + nbytes:
        fail(name, "image size %d, want %d" % (nbytes, and_off + and_stride * n - off))
    pal = [(data[pal_off + 4 * i + 2], data[pal_off + 4 * i + 1], data[pal_off + 4 * i])
           for i in range(16)]
    rgb, mask = [], []
    for row in range(n):
        src = n - 1 - row
        xr = data[xor_off + xor_stride * src:xor_off + xor_stride * src + n // 2]
        ar = data[and_off + and_stride * src:and_off + and_stride * (src + 1)]
        idx = []
        for b in xr:
            idx += [b >> 4, b & 15]
        rgb.append([pal[i] for i in idx])
        mask.append([(ar[i // 8] >> (7 - i % 8)) & 1 for i in range(n)])
    n_trans = sum(map(sum, mask))
    for y in range(n):
        for x in range(n):
            if mask[y][x] and rgb[y][x] != (0, 0, 0):
                fail(name, "masked pixel (%d, %d) is not black in the XOR image" % (x, y))
                return None
    colours = set(c for y in range(n) for x in range(n) if not mask[y][x] for c in [rgb[y][x]])
    if not 0 < n_trans < n * n // 2:
        fail(name, "%d transparent pixels, want some but less than half" % n_trans)
    if len(colours) < 8:
        fail(name, "only %d colours used" % len(colours))
    print("%-12s %dx%d   4 bpp, 16-colour palette, %d colours used, %d transparent pixels"
          % (name, n, n, len(colours), n_trans))
    return rgb, mask


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def check_png(name, data, icon, size):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return fail(name, "not a PNG file")
    pos, idat, ihdr = 8, b"", None
    while pos + 12 <= len(data):
        n, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + n]
        (crc,) = struct.unpack_from(">I", data, pos + 8 + n)
        if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
            return fail(name, "bad CRC in chunk %r" % kind)
        if kind == b"IHDR":
            ihdr = body
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
        if kind == b"IEND":
            break
    if ihdr is None:
        return fail(name, "no IHDR chunk")
    w, h, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", ihdr)
    if (w, h, depth, ctype, interlace) != (size, size, 8, 6, 0):
        return fail(name, "%dx%d depth %d colour type %d interlace %d; want %dx%d 8-bit RGBA"
                    % (w, h, depth, ctype, interlace, size, size))
    raw = zlib.decompress(idat)
    stride = 4 * w
    rows, prev = [], bytearray(stride)
    for y in range(h):
        ft = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            line[i] = (line[i] + (0, a, b, (a + b) // 2, paeth(a, b, c))[ft]) & 255
        rows.append([tuple(line[4 * x:4 * x + 4]) for x in range(w)])
        prev = line
    if icon:
        rgb, mask = icon
        for y in range(size):
            for x in range(size):
                r, g, b, a = rows[y][x]
                if mask[y][x]:
                    if a != 0:
                        return fail(name, "pixel (%d, %d) opaque where the icon is transparent" % (x, y))
                elif a != 255 or (r, g, b) != rgb[y][x]:
                    return fail(name, "pixel (%d, %d) is %r, icon has %r" % (x, y, rows[y][x], rgb[y][x]))
    print("%-12s %dx%d   RGBA%s" % (name, size, size, ", matches quillo.ico" if icon else ""))


def main(argv):
    if len(argv) != 1:
        print(__doc__)
        return 2
    res = argv[0]
    for name, (w, h) in sorted(BMPS.items()):
        try:
            check_bmp(name, read(res, name), w, h)
        except OSError as e:
            fail(name, str(e))
    for entry, (n, png) in enumerate(ICONS):
        icon = None
        try:
            icon = check_ico("quillo.ico", read(res, "quillo.ico"), entry, n)
        except OSError as e:
            fail("quillo.ico", str(e))
        try:
            check_png(png, read(res, png), icon, n)
        except (OSError, zlib.error) as e:
            fail(png, str(e))
    try:
        check_png("quillo@4x.png", read(res, "quillo@4x.png"), None, 128)
    except (OSError, zlib.error) as e:
        fail("quillo@4x.png", str(e))
    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
