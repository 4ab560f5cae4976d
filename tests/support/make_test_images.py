#!/usr/bin/env python3
"""Writes the image fixtures of the decoder tests into a directory.

Every picture is encoded here (Python's zlib and struct) or by ImageMagick,
never by the program under test. Next to each decodable picture NAME.EXT a
file NAME.rgba holds what a decoder must deliver: width and height as
little-endian 32-bit numbers, then RGBA bytes, top row first.

Usage: make_test_images.py OUTPUT_DIR
"""

import os
import struct
import subprocess
import sys
import zlib

IMAGEMAGICK = "/usr/bin/convert-im6.q16"


def pattern(w, h, alpha=True):
    """RGBA rows, top first: every channel varies along both axes."""
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            a = (x * 91 + y * 3 + 50) & 255 if alpha else 255
            row.append(((x * 37 + y * 11) & 255, (x * 13 + y * 71) & 255, (x * 5 + y * 29 + 7) & 255, a))
        rows.append(row)
    return rows


def smooth(w, h):
    """Slow gradients that survive JPEG compression closely."""
    return [[(x * 255 // (w - 1), y * 255 // (h - 1), 128, 255) for x in range(w)] for y in range(h)]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def write_expected(out, name, rows):
    h = len(rows)
    w = len(rows[0]) if h else 0
    data = bytearray(struct.pack("<II", w, h))
    for row in rows:
        for p in row:
            data += bytes(p)
    write(os.path.join(out, name + ".rgba"), data)


# ------------------------------------------------------------------ PNG

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def filter_row(kind, raw, prev, bpp):
    out = bytearray()
    for i, x in enumerate(raw):
        a = raw[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        if kind == 0:
            pred = 0
        elif kind == 1:
            pred = a
        elif kind == 2:
            pred = b
        elif kind == 3:
            pred = (a + b) // 2
        else:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
        out.append((x - pred) & 255)
    return bytes(out)


def scanlines(samples, bpp, first_filter=0):
    """Filtered scanlines of one (sub)image; filters cycle through all five."""
    data = bytearray()
    prev = bytes(len(samples[0])) if samples else b""
    for r, raw in enumerate(samples):
        kind = (first_filter + r) % 5
        data.append(kind)
        data += filter_row(kind, raw, prev, bpp)
        prev = raw
    return bytes(data)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png_bytes(w, h, colour_type, samples_of, interlace=False, extra=b"", compress=None, depth=8):
    """samples_of(x, y) gives the channel bytes of one pixel."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    bpp = max(1, channels * depth // 8)
    if interlace:
        raw = bytearray()
        for n, (x0, y0, dx, dy) in enumerate(ADAM7):
            xs = list(range(x0, w, dx))
            ys = list(range(y0, h, dy))
            if not xs or not ys:
                continue
            rows = [b"".join(samples_of(x, y) for x in xs) for y in ys]
            raw += scanlines(rows, bpp, n)
    else:
        rows = [b"".join(samples_of(x, y) for x in range(w)) for y in range(h)]
        raw = scanlines(rows, bpp)
    data = compress(bytes(raw)) if compress else zlib.compress(bytes(raw), 9)
    ihdr = struct.pack(">IIBBBBB", w, h, depth, colour_type, 0, 0, 1 if interlace else 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", data) + chunk(b"IEND", b"")


def fixed_huffman(data):
    c = zlib.compressobj(9, zlib.DEFLATED, 15, 9, zlib.Z_FIXED)
    return c.compress(data) + c.flush()


def small_window(data):
    c = zlib.compressobj(9, zlib.DEFLATED, 9)  # CINFO 1: a 512-byte window
    return c.compress(data) + c.flush()


def stored(data):
    return zlib.compress(data, 0)


def make_pngs(out):
    w, h = 13, 11
    rgba = pattern(w, h)
    opaque = pattern(w, h, alpha=False)

    def px(rows, n):
        return lambda x, y: bytes(rows[y][x][:n])

    write(os.path.join(out, "rgba8.png"), png_bytes(w, h, 6, px(rgba, 4)))
    write_expected(out, "rgba8", rgba)

    write(os.path.join(out, "rgb8.png"), png_bytes(w, h, 2, px(opaque, 3)))
    write_expected(out, "rgb8", opaque)

    grey = [[(p[0], p[0], p[0], 255) for p in row] for row in rgba]
    write(os.path.join(out, "grey8.png"), png_bytes(w, h, 0, lambda x, y: bytes([rgba[y][x][0]])))
    write_expected(out, "grey8", grey)

    grey_alpha = [[(p[0], p[0], p[0], p[3]) for p in row] for row in rgba]
    write(os.path.join(out, "greyalpha8.png"),
          png_bytes(w, h, 4, lambda x, y: bytes([rgba[y][x][0], rgba[y][x][3]])))
    write_expected(out, "greyalpha8", grey_alpha)

    # Grey and RGB colour keys: matching pixels become transparent.
    key = rgba[2][3][0]
    keyed = [[(p[0], p[0], p[0], 0 if p[0] == key else 255) for p in row] for row in rgba]
    write(os.path.join(out, "grey8_trns.png"),
          png_bytes(w, h, 0, lambda x, y: bytes([rgba[y][x][0]]), extra=chunk(b"tRNS", struct.pack(">H", key))))
    write_expected(out, "grey8_trns", keyed)

    rkey = opaque[4][5][:3]
    rgb_keyed = [[p[:3] + ((0,) if p[:3] == rkey else (255,)) for p in row] for row in opaque]
    write(os.path.join(out, "rgb8_trns.png"),
          png_bytes(w, h, 2, px(opaque, 3), extra=chunk(b"tRNS", struct.pack(">HHH", *rkey))))
    write_expected(out, "rgb8_trns", rgb_keyed)

    # Palette of 20 colours, alpha given for the first 7 only.
    palette = [((i * 53) & 255, (i * 97 + 30) & 255, (i * 11 + 200) & 255) for i in range(20)]
    alphas = [i * 30 for i in range(7)]
    index = [[(x * 3 + y * 7) % 20 for x in range(w)] for y in range(h)]
    plte = chunk(b"PLTE", b"".join(bytes(c) for c in palette)) + chunk(b"tRNS", bytes(alphas))
    pal_rows = [[palette[i] + ((alphas[i],) if i < 7 else (255,)) for i in row] for row in index]
    write(os.path.join(out, "palette8.png"), png_bytes(w, h, 3, lambda x, y: bytes([index[y][x]]), extra=plte))
    write_expected(out, "palette8", pal_rows)

    # Indices 4 and 5 lie past a four-colour palette: those pixels stay 0.
    short = [((i * 60) & 255, 10, 20) for i in range(4)]
    sidx = [[(x + y) % 6 for x in range(5)] for y in range(3)]
    write(os.path.join(out, "palette_short.png"),
          png_bytes(5, 3, 3, lambda x, y: bytes([sidx[y][x]]), extra=chunk(b"PLTE", b"".join(bytes(c) for c in short))))
    write_expected(out, "palette_short", [[short[i] + (255,) if i < 4 else (0, 0, 0, 0) for i in row] for row in sidx])

    # Adam7, including sizes where some passes have no pixels at all.
    for (iw, ih) in [(13, 11), (1, 1), (3, 2), (9, 1)]:
        rows = pattern(iw, ih)
        name = "interlaced_%dx%d" % (iw, ih)
        write(os.path.join(out, name + ".png"), png_bytes(iw, ih, 6, px(rows, 4), interlace=True))
        write_expected(out, name, rows)

    # Same picture, three kinds of deflate block, and a small window.
    big = pattern(200, 90)  # 72090 bytes of scanlines: more than one stored block
    for name, fn in [("stored", stored), ("fixed", fixed_huffman), ("dynamic", None), ("window512", small_window)]:
        write(os.path.join(out, "blocks_%s.png" % name), png_bytes(200, 90, 6, px(big, 4), compress=fn))
        write_expected(out, "blocks_" + name, big)

    # Unsupported bit depths: 16-bit RGB and RGBA, 4-bit palette, 1-bit grey.
    write(os.path.join(out, "rgb16.png"), png_bytes(4, 4, 2, lambda x, y: bytes(6), depth=16))
    write(os.path.join(out, "rgba16.png"), png_bytes(4, 4, 6, lambda x, y: bytes(8), depth=16))
    four_bit = png_bytes(4, 4, 3, lambda x, y: b"", depth=4, extra=chunk(b"PLTE", bytes(6)),
                         compress=lambda d: zlib.compress(b"\x00\x00\x00" * 4))
    write(os.path.join(out, "palette4.png"), four_bit)
    write(os.path.join(out, "grey1.png"), png_bytes(8, 2, 0, lambda x, y: b"", depth=1,
                                                    compress=lambda d: zlib.compress(b"\x00\x00" * 2)))

    make_corrupt_pngs(out)


class BitWriter:
    def __init__(self):
        self.bits = []

    def put(self, value, n):  # least significant bit first
        self.bits += [(value >> i) & 1 for i in range(n)]

    def code(self, value, n):  # Huffman codes: most significant bit first
        self.bits += [(value >> (n - 1 - i)) & 1 for i in range(n)]

    def data(self):
        out = bytearray()
        for i in range(0, len(self.bits), 8):
            out.append(sum(b << j for j, b in enumerate(self.bits[i:i + 8])))
        return bytes(out)


def fixed_literal(bw, value):
    if value < 144:
        bw.code(0x30 + value, 8)
    elif value < 256:
        bw.code(0x190 + value - 144, 9)
    elif value < 280:
        bw.code(value - 256, 7)
    else:
        bw.code(0xC0 + value - 280, 8)


def make_corrupt_pngs(out):
    good = open(os.path.join(out, "rgb8.png"), "rb").read()
    ihdr = chunk(b"IHDR", struct.pack(">IIBBBBB", 4, 2, 8, 2, 0, 0, 0))
    sig = b"\x89PNG\r\n\x1a\n"

    write(os.path.join(out, "bad_signature.png"), b"\x89PNX\r\n\x1a\n" + good[8:])
    write(os.path.join(out, "short.png"), sig[:5])
    write(os.path.join(out, "no_ihdr.png"), sig + chunk(b"IDAT", zlib.compress(b"\x00" * 13)) + chunk(b"IEND", b""))
    write(os.path.join(out, "bad_plte.png"), sig + ihdr + chunk(b"PLTE", bytes(7)) + chunk(b"IEND", b""))
    write(os.path.join(out, "huge.png"), sig + chunk(b"IHDR", struct.pack(">IIBBBBB", 100000, 100000, 8, 6, 0, 0, 0))
          + chunk(b"IDAT", zlib.compress(b"\x00" * 100)) + chunk(b"IEND", b""))
    write(os.path.join(out, "long_side.png"), sig + chunk(b"IHDR", struct.pack(">IIBBBBB", 70000, 1, 8, 0, 0, 0, 0))
          + chunk(b"IDAT", zlib.compress(bytes(70001))) + chunk(b"IEND", b""))
    write(os.path.join(out, "wide.png"), sig + chunk(b"IHDR", struct.pack(">IIBBBBB", 0xFFFFFFF0, 1, 8, 6, 0, 0, 0))
          + chunk(b"IDAT", zlib.compress(b"\x00" * 100)) + chunk(b"IEND", b""))

    # An IDAT whose length runs far past the end of the file.
    pos = good.index(b"IDAT") - 4
    write(os.path.join(out, "idat_past_end.png"), good[:pos] + struct.pack(">I", 0x7FFFFFF0) + good[pos + 4:])
    # Cut in the middle of the IDAT data.
    write(os.path.join(out, "truncated_idat.png"), good[:pos + 8 + 20])

    # A fixed block whose first match copies from 7 bytes before the start.
    bw = BitWriter()
    bw.put(1, 1)
    bw.put(1, 2)
    fixed_literal(bw, 0)
    fixed_literal(bw, 257)  # length 3
    bw.code(5, 5)           # distance 7..8, one extra bit
    bw.put(0, 1)
    fixed_literal(bw, 256)
    write(os.path.join(out, "backref_before_start.png"),
          sig + ihdr + chunk(b"IDAT", b"\x78\x01" + bw.data()) + chunk(b"IEND", b""))

    # Block type 3 does not exist.
    write(os.path.join(out, "reserved_block.png"), sig + ihdr + chunk(b"IDAT", b"\x78\x01\x07\x00") + chunk(b"IEND", b""))

    # A dynamic block whose code-length code is over-subscribed (all 1 bit).
    bw = BitWriter()
    bw.put(1, 1)
    bw.put(2, 2)
    bw.put(0, 5)
    bw.put(0, 5)
    bw.put(15, 4)
    for _ in range(19):
        bw.put(1, 3)
    write(os.path.join(out, "oversubscribed.png"),
          sig + ihdr + chunk(b"IDAT", b"\x78\x01" + bw.data() + bytes(8)) + chunk(b"IEND", b""))

    # Scanline filter type 7.
    write(os.path.join(out, "bad_filter.png"),
          sig + ihdr + chunk(b"IDAT", zlib.compress(b"\x07" + bytes(12) + b"\x00" + bytes(12))) + chunk(b"IEND", b""))

    # Preset dictionary flag: nothing is inflated, the picture stays empty.
    write(os.path.join(out, "dictionary.png"),
          sig + ihdr + chunk(b"IDAT", b"\x78\x20" + zlib.compress(b"\x00" + b"\xff" * 12)[2:]) + chunk(b"IEND", b""))

    # Only the first row's worth of data: the rest stays transparent black.
    rows = pattern(4, 2, alpha=False)
    first = b"\x00" + b"".join(bytes(p[:3]) for p in rows[0])
    c = zlib.compressobj(9)
    partial = c.compress(first) + c.flush(zlib.Z_SYNC_FLUSH)
    write(os.path.join(out, "partial.png"), sig + ihdr + chunk(b"IDAT", partial) + chunk(b"IEND", b""))
    write_expected(out, "partial", [rows[0], [(0, 0, 0, 0)] * 4])


# ------------------------------------------------------------------ TGA

def tga_pixel(p, bits):
    return bytes([p[2], p[1], p[0]] + ([p[3]] if bits == 32 else []))


def tga_rle(pixels, bits):
    """Runs and raw packets, freely crossing row ends."""
    out = bytearray()
    i = 0
    while i < len(pixels):
        run = 1
        while i + run < len(pixels) and run < 128 and pixels[i + run] == pixels[i]:
            run += 1
        if run >= 2:
            out.append(127 + run)
            out += tga_pixel(pixels[i], bits)
            i += run
            continue
        raw = 1
        while i + raw < len(pixels) and raw < 128 and (i + raw + 1 >= len(pixels) or pixels[i + raw] != pixels[i + raw + 1]):
            raw += 1
        out.append(raw - 1)
        for p in pixels[i:i + raw]:
            out += tga_pixel(p, bits)
        i += raw
    return bytes(out)


def make_tgas(out):
    w, h = 7, 5
    for bits in (24, 32):
        rows = pattern(w, h, alpha=bits == 32)
        # File order is bottom row first; repeat some pixels so RLE has runs.
        for y in range(h):
            for x in range(2, 6):
                rows[y][x] = rows[y][2] if y % 2 else rows[y][x]
        rows[1] = list(rows[2])  # a run that crosses a row end
        bottom_up = [p for row in reversed(rows) for p in row]
        head = struct.pack("<HHBB", w, h, bits, 0)
        plain = bytes([0, 0, 2] + [0] * 9) + head + b"".join(tga_pixel(p, bits) for p in bottom_up)
        rle = bytes([0, 0, 10] + [0] * 9) + head + tga_rle(bottom_up, bits)
        expected = rows if bits == 32 else [[p[:3] + (255,) for p in row] for row in rows]
        for name, data in (("tga%d_plain" % bits, plain), ("tga%d_rle" % bits, rle)):
            write(os.path.join(out, name + ".tga"), data)
            write_expected(out, name, expected)

    # Corrupt files.
    plain = open(os.path.join(out, "tga24_plain.tga"), "rb").read()
    rle = open(os.path.join(out, "tga24_rle.tga"), "rb").read()
    write(os.path.join(out, "tga_short_header.tga"), plain[:7])
    write(os.path.join(out, "tga_type3.tga"), plain[:2] + b"\x03" + plain[3:])
    write(os.path.join(out, "tga_image_id.tga"), b"\x04" + plain[1:])
    write(os.path.join(out, "tga_short_info.tga"), plain[:15])
    write(os.path.join(out, "tga_16bit.tga"), plain[:16] + b"\x10" + plain[17:])
    write(os.path.join(out, "tga_zero_width.tga"), plain[:12] + b"\x00\x00" + plain[14:])
    write(os.path.join(out, "tga_truncated.tga"), plain[:-5])
    huge = struct.pack("<HHBB", 65535, 65535, 32, 0)
    write(os.path.join(out, "tga_huge.tga"), plain[:12] + huge + plain[18:])
    write(os.path.join(out, "tga_huge_rle.tga"), rle[:12] + huge + b"\xff" + bytes(4) * 1 + b"\x00" + bytes(4))
    write(os.path.join(out, "tga_rle_no_header.tga"), rle[:18] + b"\x81" + bytes(3))
    write(os.path.join(out, "tga_rle_short_run.tga"), rle[:18] + b"\x81" + bytes(2))
    write(os.path.join(out, "tga_rle_short_raw.tga"), rle[:18] + b"\x02" + bytes(7))
    small = struct.pack("<HHBB", 2, 2, 24, 0)
    write(os.path.join(out, "tga_rle_too_many.tga"), rle[:12] + small + b"\x82" + bytes(3) + b"\x81" + bytes(3))


# ------------------------------------------------------------------ BMP

def bmp_bytes(w, h, rows, bits=24, compression=0, image_size=None, colours=(0, 0), height_field=None):
    pad = (4 - (w * 3) % 4) % 4
    pixels = bytearray()
    for row in reversed(rows):
        for p in row:
            pixels += bytes([p[2], p[1], p[0]])
        pixels += bytes(pad)
    if image_size is None:
        image_size = len(pixels)
    info = struct.pack("<IiiHHIIiiII", 40, w, h if height_field is None else height_field, 1, bits, compression,
                       image_size, 2835, 2835, colours[0], colours[1])
    head = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    return head + info + bytes(pixels)


def make_bmps(out):
    w, h = 5, 3  # 15 bytes a row, one byte of padding
    rows = pattern(w, h, alpha=False)
    write(os.path.join(out, "bmp24.bmp"), bmp_bytes(w, h, rows))
    write_expected(out, "bmp24", rows)
    write(os.path.join(out, "bmp_8bit.bmp"), bmp_bytes(w, h, rows, bits=8))
    write(os.path.join(out, "bmp_rle.bmp"), bmp_bytes(w, h, rows, compression=1))
    write(os.path.join(out, "bmp_palette_counts.bmp"), bmp_bytes(w, h, rows, colours=(2, 2)))
    write(os.path.join(out, "bmp_top_down.bmp"), bmp_bytes(w, h, rows, height_field=-h))
    write(os.path.join(out, "bmp_size_zero.bmp"), bmp_bytes(w, h, rows, image_size=0))
    write(os.path.join(out, "bmp_absurd_skip.bmp"), bmp_bytes(w, h, rows, image_size=0xFFFFFF00))
    write(os.path.join(out, "bmp_zero_height.bmp"), bmp_bytes(w, h, rows, height_field=0))
    write(os.path.join(out, "bmp_huge.bmp"), bmp_bytes(w, h, rows, height_field=0x7FFFFFFF))
    good = open(os.path.join(out, "bmp24.bmp"), "rb").read()
    write(os.path.join(out, "bmp_truncated.bmp"), good[:-10])
    write(os.path.join(out, "bmp_short_header.bmp"), good[:10])
    write(os.path.join(out, "bmp_short_info.bmp"), good[:30])


# ------------------------------------------------------------------ ImageMagick

def write_pam(path, rows, alpha):
    h, w = len(rows), len(rows[0])
    depth = 4 if alpha else 3
    tupl = "RGB_ALPHA" if alpha else "RGB"
    head = "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n" % (w, h, depth, tupl)
    body = bytearray()
    for row in rows:
        for p in row:
            body += bytes(p[:depth])
    write(path, head.encode() + bytes(body))


def imagemagick(args):
    subprocess.run([IMAGEMAGICK] + args, check=True)


def make_imagemagick(out):
    rows = pattern(6, 5, alpha=False)
    src = os.path.join(out, "im_source.pam")
    write_pam(src, rows, False)
    imagemagick([src, "-type", "TrueColor", "BMP3:" + os.path.join(out, "im_bmp24.bmp")])
    write_expected(out, "im_bmp24", rows)
    # ImageMagick 6 writes TGA rows top row first while marking the origin as
    # lower left; -flip makes the rows really start at the bottom.
    imagemagick([src, "-flip", "-type", "TrueColor", os.path.join(out, "im_tga24.tga")])
    write_expected(out, "im_tga24", rows)

    alpha_rows = pattern(6, 5)
    asrc = os.path.join(out, "im_source_alpha.pam")
    write_pam(asrc, alpha_rows, True)
    imagemagick([asrc, "-flip", "-compress", "RLE", "-type", "TrueColorAlpha", os.path.join(out, "im_tga32_rle.tga")])
    write_expected(out, "im_tga32_rle", alpha_rows)
    imagemagick([asrc, "-interlace", "PNG", "-define", "png:color-type=6", "PNG32:" + os.path.join(out, "im_interlaced.png")])
    write_expected(out, "im_interlaced", alpha_rows)

    jrows = smooth(32, 24)
    jsrc = os.path.join(out, "im_jpeg_source.pam")
    write_pam(jsrc, jrows, False)
    imagemagick([jsrc, "-quality", "100", "-sampling-factor", "1x1", os.path.join(out, "photo.jpg")])
    imagemagick([jsrc, "-quality", "100", "-sampling-factor", "1x1", os.path.join(out, "photo.jpeg")])
    write_expected(out, "photo", jrows)
    good = open(os.path.join(out, "photo.jpg"), "rb").read()
    write(os.path.join(out, "not_a_jpeg.jpg"), b"GIF89a" + good[6:])
    write(os.path.join(out, "truncated.jpg"), good[:len(good) // 2])
    for path in (src, asrc, jsrc):
        os.remove(path)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    make_pngs(out)
    make_tgas(out)
    make_bmps(out)
    make_imagemagick(out)


if __name__ == "__main__":
    main()
