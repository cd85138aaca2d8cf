#!/usr/bin/env python3
"""Check the main window's images in res/.

usage: check_images.py RES_DIR

- logo.bmp 108x30, browser.bmp 30x30, csv.bmp 32x30: Windows BMP with
  BITMAPINFOHEADER, 24 bits, uncompressed, bottom-up, rows padded to 4
  bytes; the bottom-left pixel (the colour drawn transparent) is used as
  the background and the art is not trivial (enough distinct colours, a
  reasonable share of the image covered).
- quillo.ico: one 32x32 image, 16 colours (4 bpp) with an AND mask; masked
  pixels are black in the XOR image.
- quillo.png: 32x32 RGBA, the same picture as quillo.ico, transparent
  exactly where the icon's mask is set.

Standard library only.  Exit status 0 when all checks pass, 1 otherwise.
"""

import os
import struct
import sys
import zlib

BMPS = {"logo.bmp": (108, 30), "browser.bmp": (30, 30), "csv.bmp": (32, 30)}
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


def check_ico(name, data):
    """Return (rows of RGB, rows of mask bits) top-down, or None."""
    if len(data) < 22:
        return fail(name, "too short")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count != 1:
        return fail(name, "header %r, want reserved 0, type 1 (icon), 1 image" % ((reserved, kind, count),))
    w, h, ncol, res0, planes, bits, nbytes, off = struct.unpack_from("<BBBBHHII", data, 6)
    if (w, h) != (32, 32) or ncol != 16 or bits not in (0, 4) or planes not in (0, 1):
        fail(name, "directory entry %dx%d, %d colours, %d planes, %d bpp; want 32x32, 16 colours, 4 bpp"
             % (w, h, ncol, planes, bits))
    if off + nbytes > len(data):
        return fail(name, "image (offset %d, %d bytes) outside the file" % (off, nbytes))
    (hsize, bw, bh, bplanes, bbpp, comp, _, _, _, used, _) = struct.unpack_from("<IiiHHIIiiII", data, off)
    if (hsize, bw, bh, bplanes, bbpp, comp) != (40, 32, 64, 1, 4, 0):
        return fail(name, "bitmap header %r, want (40, 32, 64, 1, 4, 0)"
                    % ((hsize, bw, bh, bplanes, bbpp, comp),))
    ncolours = used or 16
    if ncolours != 16:
        return fail(name, "%d palette entries, want 16" % ncolours)
    pal_off = off + 40
    xor_off = pal_off + 4 * 16
    and_off = xor_off + 16 * 32
    if and_off + 4 * 32 != off + nbytes:
        fail(name, "image size %d, want %d" % (nbytes, and_off + 4 * 32 - off))
    pal = [(data[pal_off + 4 * i + 2], data[pal_off + 4 * i + 1], data[pal_off + 4 * i])
           for i in range(16)]
    rgb, mask = [], []
    for row in range(32):
        src = 31 - row
        xr = data[xor_off + 16 * src:xor_off + 16 * src + 16]
        ar = data[and_off + 4 * src:and_off + 4 * src + 4]
        idx = []
        for b in xr:
            idx += [b >> 4, b & 15]
        rgb.append([pal[i] for i in idx])
        mask.append([(ar[i // 8] >> (7 - i % 8)) & 1 for i in range(32)])
    n_trans = sum(map(sum, mask))
    for y in range(32):
        for x in range(32):
            if mask[y][x] and rgb[y][x] != (0, 0, 0):
                fail(name, "masked pixel (%d, %d) is not black in the XOR image" % (x, y))
                return None
    colours = set(c for y in range(32) for x in range(32) if not mask[y][x] for c in [rgb[y][x]])
    if not 0 < n_trans < 32 * 32 // 2:
        fail(name, "%d transparent pixels, want some but less than half" % n_trans)
    if len(colours) < 8:
        fail(name, "only %d colours used" % len(colours))
    print("%-12s 32x32   4 bpp, 16-colour palette, %d colours used, %d transparent pixels"
          % (name, len(colours), n_trans))
    return rgb, mask


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def check_png(name, data, icon):
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
    if (w, h, depth, ctype, interlace) != (32, 32, 8, 6, 0):
        return fail(name, "%dx%d depth %d colour type %d interlace %d; want 32x32 8-bit RGBA"
                    % (w, h, depth, ctype, interlace))
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
        for y in range(32):
            for x in range(32):
                r, g, b, a = rows[y][x]
                if mask[y][x]:
                    if a != 0:
                        return fail(name, "pixel (%d, %d) opaque where the icon is transparent" % (x, y))
                elif a != 255 or (r, g, b) != rgb[y][x]:
                    return fail(name, "pixel (%d, %d) is %r, icon has %r" % (x, y, rows[y][x], rgb[y][x]))
    print("%-12s 32x32   RGBA, matches quillo.ico" % name)


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
    icon = None
    try:
        icon = check_ico("quillo.ico", read(res, "quillo.ico"))
    except OSError as e:
        fail("quillo.ico", str(e))
    try:
        check_png("quillo.png", read(res, "quillo.png"), icon)
    except (OSError, zlib.error) as e:
        fail("quillo.png", str(e))
    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
