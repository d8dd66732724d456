#!/usr/bin/env python3
"""Check the icon files under src/resources/icons/.

Parses every file independently of the drawing code and checks:
  * file size and ICO header (reserved 0, type 1, image count);
  * each directory entry: width, height, colour count, planes, bit count,
    bytes in resource, offsets contiguous from the end of the directory
    to the end of the file;
  * each BITMAPINFOHEADER: biSize 40, width, biHeight = 2 x height,
    planes 1, bit count, BI_RGB, biSizeImage = colour bits + mask;
  * pixel data: palette reserved bytes are 0, transparent pixels (mask 1)
    have colour 0, and at 32 bpp the mask is 1 exactly where alpha is 0;
  * the button pictures at each scale (96-DPI file, then *-scaled.ico at
    150, 200 and 300 %): shown centred on the button grown by that scale,
    all their ink lies on the button, and it is the 96-DPI picture's: its
    bounding box, measured in 96-DPI pixels, is within one pixel of that
    of the 96-DPI picture;
  * that the files equal what tools/make_icons.py produces now.

Usage:
  python3 tools/check_icons.py               check the committed files
  python3 tools/check_icons.py --png DIR     also render each image, 8x
                                             enlarged, to DIR/*.png
  python3 tools/check_icons.py --selftest    corrupt copies of the files in
                                             memory and make sure each
                                             corruption is reported
"""

import argparse
import os
import struct
import sys
import zlib

TOOLS = os.path.dirname(os.path.abspath(__file__))
ICON_DIR = os.path.join(os.path.dirname(TOOLS), "src", "resources", "icons")

_TRAY = [(16, 4), (32, 4), (16, 8), (32, 8), (48, 8),
         (16, 32), (20, 32), (24, 32), (32, 32), (40, 32), (48, 32)]

# name: (file size, [(width, height, bits per pixel), ...] in directory order)
EXPECTED = {
    "tray.ico": (34526, [(s, s, b) for s, b in _TRAY]),
    "ticket.ico": (2446, [(60, 20, 8)]),
    "printer.ico": (2446, [(60, 20, 8)]),
    "mail.ico": (3374, [(90, 22, 8)]),
    "ticket-scaled.ico": (12166, [(90, 30, 4), (120, 40, 4), (180, 60, 4)]),
    "printer-scaled.ico": (12166, [(90, 30, 4), (120, 40, 4), (180, 60, 4)]),
    "mail-scaled.ico": (17306, [(120, 33, 4), (160, 44, 4), (240, 66, 4)]),
}

BUTTON_PICTURES = ("ticket", "printer", "mail")
SCALES = (150, 200, 300)      # percent, the images of each *-scaled.ico in order
BUTTON = (80, 35)             # the buttons' size at 96 DPI


def _stride(width, bpp):
    return ((width * bpp + 31) // 32) * 4


class Image:
    """One decoded directory entry; pixels are top-down (r, g, b, a), a in 0..255."""

    def __init__(self, width, height, bpp, pixels):
        self.width, self.height, self.bpp, self.pixels = width, height, bpp, pixels


def parse(name, data, expected):
    """Return (errors, images). Stops at the first structural error of an entry."""
    errors, images = [], []
    size, entries = expected
    if len(data) != size:
        errors.append("%s: file is %d bytes, expected %d" % (name, len(data), size))
    if len(data) < 6:
        return errors + ["%s: too short for a header" % name], images
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0:
        errors.append("%s: header reserved field is %d" % (name, reserved))
    if kind != 1:
        errors.append("%s: header type is %d, expected 1 (icon)" % (name, kind))
    if count != len(entries):
        errors.append("%s: %d images, expected %d" % (name, count, len(entries)))
        return errors, images
    if len(data) < 6 + 16 * count:
        return errors + ["%s: directory is truncated" % name], images
    next_offset = 6 + 16 * count
    for i, (w, h, bpp) in enumerate(entries):
        tag = "%s image %d (%dx%d %dbpp)" % (name, i, w, h, bpp)
        bw, bh, colours, res, planes, bits, nbytes, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        palette_len = {4: 16, 8: 256, 32: 0}[bpp]
        mask_len = _stride(w, 1) * h
        colour_len = _stride(w, bpp) * h
        want_bytes = 40 + 4 * palette_len + colour_len + mask_len
        if (bw or 256, bh or 256) != (w, h):
            errors.append("%s: directory says %dx%d" % (tag, bw or 256, bh or 256))
        if colours != (16 if bpp == 4 else 0):
            errors.append("%s: directory colour count %d" % (tag, colours))
        if res != 0:
            errors.append("%s: directory reserved byte %d" % (tag, res))
        if planes != 1:
            errors.append("%s: directory planes %d" % (tag, planes))
        if bits != bpp:
            errors.append("%s: directory bit count %d" % (tag, bits))
        if nbytes != want_bytes:
            errors.append("%s: directory says %d bytes, an uncompressed entry is %d" % (tag, nbytes, want_bytes))
        if offset != next_offset:
            errors.append("%s: offset %d, expected %d (entries must be contiguous)" % (tag, offset, next_offset))
        next_offset += want_bytes
        if offset + want_bytes > len(data):
            errors.append("%s: runs past the end of the file" % tag)
            continue
        bi = struct.unpack_from("<IiiHHIIiiII", data, offset)
        (bi_size, bi_w, bi_h, bi_planes, bi_bits, bi_comp, bi_image, _, _, bi_used, bi_important) = bi
        if bi_size != 40:
            errors.append("%s: biSize %d" % (tag, bi_size))
        if bi_w != w:
            errors.append("%s: biWidth %d" % (tag, bi_w))
        if bi_h != 2 * h:
            errors.append("%s: biHeight %d, expected %d (colour + mask)" % (tag, bi_h, 2 * h))
        if bi_planes != 1:
            errors.append("%s: biPlanes %d" % (tag, bi_planes))
        if bi_bits != bpp:
            errors.append("%s: biBitCount %d" % (tag, bi_bits))
        if bi_comp != 0:
            errors.append("%s: biCompression %d, expected 0 (BI_RGB)" % (tag, bi_comp))
        if bi_image != colour_len + mask_len:
            errors.append("%s: biSizeImage %d, expected %d" % (tag, bi_image, colour_len + mask_len))
        if bi_used not in (0, palette_len) or bi_important != 0:
            errors.append("%s: biClrUsed/biClrImportant %d/%d" % (tag, bi_used, bi_important))
        if bi_size != 40 or bi_w != w or bi_h != 2 * h or bi_bits != bpp or bi_comp != 0:
            continue
        image, pixel_errors = _decode(tag, data, offset + 40, w, h, bpp, palette_len)
        errors += pixel_errors
        images.append(image)
    if next_offset != len(data):
        errors.append("%s: images end at %d but the file has %d bytes" % (name, next_offset, len(data)))
    return errors, images


def _decode(tag, data, at, w, h, bpp, palette_len):
    errors = []
    palette = []
    for k in range(palette_len):
        b, g, r, x = data[at + 4 * k: at + 4 * k + 4]
        if x:
            errors.append("%s: palette entry %d has reserved byte %d" % (tag, k, x))
            break
        palette.append((r, g, b))
    at += 4 * palette_len
    colour_stride, mask_stride = _stride(w, bpp), _stride(w, 1)
    mask_at = at + colour_stride * h
    pixels = [None] * h
    bad_transparent = bad_alpha = 0
    for row in range(h):                       # file rows are bottom-up
        y = h - 1 - row
        crow = data[at + row * colour_stride: at + (row + 1) * colour_stride]
        mrow = data[mask_at + row * mask_stride: mask_at + (row + 1) * mask_stride]
        line = []
        for x in range(w):
            transparent = (mrow[x // 8] >> (7 - x % 8)) & 1
            if bpp == 32:
                b, g, r, a = crow[4 * x: 4 * x + 4]
                if transparent != (a == 0):
                    bad_alpha += 1
                if a == 0 and (r, g, b) != (0, 0, 0):
                    bad_transparent += 1
                line.append((r, g, b, a))
            else:
                per = 8 // bpp
                v = (crow[x // per] >> (8 - bpp * (x % per + 1))) & ((1 << bpp) - 1)
                if transparent and v != 0:
                    bad_transparent += 1
                r, g, b = palette[v] if v < len(palette) else (255, 0, 255)
                line.append((r, g, b, 0 if transparent else 255))
        pixels[y] = line
    if bad_alpha:
        errors.append("%s: %d pixels where the AND mask disagrees with alpha" % (tag, bad_alpha))
    if bad_transparent:
        errors.append("%s: %d transparent pixels with a non-zero colour" % (tag, bad_transparent))
    if all(p[3] == 0 for line in pixels for p in line):
        errors.append("%s: image is entirely transparent" % tag)
    return Image(w, h, bpp, pixels), errors


def ink_box(image):
    """(left, top, right, bottom) of the opaque pixels, right and bottom exclusive."""
    xs = [x for line in image.pixels for x, p in enumerate(line) if p[3]]
    ys = [y for y, line in enumerate(image.pixels) if any(p[3] for p in line)]
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1) if xs else None


def check_button_pictures(images):
    """images: {name: [Image, ...]} as parsed. Every scale of a button picture on its button."""
    errors = []
    for name in BUTTON_PICTURES:
        if len(images.get(name + ".ico", [])) != 1 or len(images.get(name + "-scaled.ico", [])) != len(SCALES):
            continue                                  # already reported
        base = images[name + ".ico"][0]
        base_box = ink_box(base)
        for percent, image in zip((100,) + SCALES, [base] + images[name + "-scaled.ico"]):
            tag = "%s at %d %%" % (name, percent)
            box = ink_box(image)
            if box is None or base_box is None:
                continue                              # reported as entirely transparent
            # Centred on the button: twice the offset is the difference of the sizes.
            button_w, button_h = (BUTTON[0] * percent // 100, BUTTON[1] * percent // 100)
            dx2, dy2 = button_w - image.width, button_h - image.height
            if (2 * box[0] + dx2 < 0 or 2 * box[1] + dy2 < 0 or
                    2 * box[2] + dx2 > 2 * button_w or 2 * box[3] + dy2 > 2 * button_h):
                errors.append("%s: ink %r of the %dx%d image reaches past its %dx%d button" % (
                    tag, box, image.width, image.height, button_w, button_h))
            # The same drawing: in 96-DPI pixels, about where the 96-DPI picture has it. A
            # picture drawn narrower than the 96-DPI one leaves out equal margins.
            crop = (base.width - image.width * 100 / percent) / 2
            design = [box[0] * 100 / percent + crop, box[1] * 100 / percent,
                      box[2] * 100 / percent + crop, box[3] * 100 / percent]
            if any(abs(d - b) > 1 for d, b in zip(design, base_box)):
                errors.append("%s: ink box %r is not that of the 96-DPI picture %r grown" % (tag, box, base_box))
    return errors


_FRESH = []


def _fresh_drawing():
    """What make_icons.py draws now, drawn once per run (the self-test checks many times)."""
    if not _FRESH:
        sys.dont_write_bytecode = True      # keep tools/ free of __pycache__
        if TOOLS not in sys.path:
            sys.path.insert(0, TOOLS)
        import make_icons
        _FRESH.append(make_icons.build_all())
    return _FRESH[0]


def check_files(files):
    """files: {name: bytes}. Returns a list of error strings (empty when all is well)."""
    errors = []
    images = {}
    for name, expected in EXPECTED.items():
        if name not in files:
            errors.append("%s: missing" % name)
            continue
        file_errors, images[name] = parse(name, files[name], expected)
        errors += file_errors
    errors += check_button_pictures(images)
    fresh = _fresh_drawing()
    for name in EXPECTED:
        if name in files and files[name] != fresh[name]:
            errors.append("%s: differs from what make_icons.py draws now (regenerate it)" % name)
    return errors


# ---------------------------------------------------------------------------
# PNG output for looking at the images.
# ---------------------------------------------------------------------------

def write_png(path, width, height, rgb_rows):
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rgb_rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


BUTTON_FACE = (240, 240, 240)


def render_png(path, image, scale=8, background=BUTTON_FACE):
    """Composite over a button-face grey and enlarge by nearest neighbour."""
    rows = []
    for line in image.pixels:
        out = []
        for (r, g, b, a) in line:
            px = tuple((c * a + bg * (255 - a) + 127) // 255 for c, bg in zip((r, g, b), background))
            out.extend([px] * scale)
        rows.extend([out] * scale)
    write_png(path, image.width * scale, image.height * scale, rows)


# ---------------------------------------------------------------------------
# Self-test: every check above must fire on the fault it exists for.
# ---------------------------------------------------------------------------

def _u16(data, at, v):
    data[at:at + 2] = struct.pack("<H", v)


def _u32(data, at, v):
    data[at:at + 4] = struct.pack("<I", v)


def _first_image(data):
    return struct.unpack_from("<I", data, 6 + 12)[0]


def _first_transparent_32(data):
    """Byte position of the BGRA of the first fully transparent pixel of tray.ico's 16x16 32bpp image."""
    offset = struct.unpack_from("<I", data, 6 + 16 * 5 + 12)[0] + 40
    for k in range(16 * 16):
        if data[offset + 4 * k + 3] == 0:
            return offset + 4 * k
    raise AssertionError("no transparent pixel")


def _first_opaque_32_mask(data):
    """(byte, bit) of the mask for the first opaque pixel of the 16x16 32bpp image."""
    offset = struct.unpack_from("<I", data, 6 + 16 * 5 + 12)[0] + 40
    for k in range(16 * 16):
        if data[offset + 4 * k + 3] == 255:
            row, x = divmod(k, 16)
            return offset + 16 * 16 * 4 + row * 4 + x // 8, 7 - x % 8
    raise AssertionError("no opaque pixel")


def _set_mask_bit(data):
    at, bit = _first_opaque_32_mask(data)
    data[at] |= 1 << bit


def _colour_under_mask_8(data):
    """Give the first transparent pixel of ticket.ico a non-zero palette index."""
    offset = _first_image(data) + 40 + 1024
    mask = offset + 60 * 20
    for row in range(20):
        for x in range(60):
            if (data[mask + row * 8 + x // 8] >> (7 - x % 8)) & 1:
                data[offset + row * 60 + x] = 7
                return
    raise AssertionError("no transparent pixel")


def _make_opaque(entry, x, y):
    """A mutation: pixel (x, y) of image number entry made opaque (its colour stays index 0)."""
    def mutate(data):
        offset = struct.unpack_from("<I", data, 6 + 16 * entry + 12)[0]
        _, w, h2, _, bpp = struct.unpack_from("<IiiHH", data, offset)
        h = h2 // 2
        mask = offset + 40 + 4 * {4: 16, 8: 256, 32: 0}[bpp] + _stride(w, bpp) * h
        data[mask + (h - 1 - y) * _stride(w, 1) + x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
    return mutate


SELFTEST = [
    ("mail.ico", "ink beyond the button", _make_opaque(0, 0, 0), "reaches past its 80x35 button"),
    ("ticket-scaled.ico", "300 % ink not the picture's", _make_opaque(2, 179, 59), "is not that of the 96-DPI picture"),
    ("mail-scaled.ico", "entry height", lambda d: d.__setitem__(6 + 16 * 1 + 1, 40), "directory says 160x40"),
    # (file, what is broken, mutation, text the report must contain)
    ("ticket.ico", "file truncated", lambda d: d.__delitem__(slice(-1, None)), "file is 2445 bytes"),
    ("ticket.ico", "header reserved", lambda d: _u16(d, 0, 1), "header reserved"),
    ("ticket.ico", "cursor type", lambda d: _u16(d, 2, 2), "header type is 2"),
    ("tray.ico", "image count", lambda d: _u16(d, 4, 10), "10 images, expected 11"),
    ("tray.ico", "entry width", lambda d: d.__setitem__(6 + 16 * 1, 24), "directory says 24x32"),
    ("tray.ico", "4bpp colour count", lambda d: d.__setitem__(6 + 2, 0), "directory colour count 0"),
    ("tray.ico", "8bpp colour count", lambda d: d.__setitem__(6 + 16 * 2 + 2, 255), "directory colour count 255"),
    ("tray.ico", "entry bit count", lambda d: _u16(d, 6 + 16 * 3 + 6, 4), "directory bit count 4"),
    ("tray.ico", "entry byte count", lambda d: _u32(d, 6 + 16 * 6 + 8, 1000), "directory says 1000 bytes"),
    ("tray.ico", "entries not contiguous", lambda d: _u32(d, 6 + 16 * 4 + 12, struct.unpack_from("<I", d, 6 + 16 * 4 + 12)[0] + 4), "entries must be contiguous"),
    ("mail.ico", "biSize", lambda d: _u32(d, _first_image(d), 108), "biSize 108"),
    ("mail.ico", "biWidth", lambda d: _u32(d, _first_image(d) + 4, 80), "biWidth 80"),
    ("mail.ico", "biHeight not doubled", lambda d: _u32(d, _first_image(d) + 8, 22), "biHeight 22"),
    ("mail.ico", "biBitCount", lambda d: _u16(d, _first_image(d) + 14, 4), "biBitCount 4"),
    ("mail.ico", "compressed", lambda d: _u32(d, _first_image(d) + 16, 1), "biCompression 1"),
    ("mail.ico", "biSizeImage", lambda d: _u32(d, _first_image(d) + 20, 0), "biSizeImage 0"),
    ("printer.ico", "palette reserved byte", lambda d: d.__setitem__(_first_image(d) + 40 + 3, 255), "reserved byte 255"),
    ("ticket.ico", "colour under transparent pixel", _colour_under_mask_8, "transparent pixels with a non-zero colour"),
    ("tray.ico", "32bpp transparent pixel has colour", lambda d: d.__setitem__(_first_transparent_32(d), 9), "transparent pixels with a non-zero colour"),
    ("tray.ico", "mask set over opaque pixel", _set_mask_bit, "AND mask disagrees with alpha"),
    ("printer.ico", "stale pixel", lambda d: d.__setitem__(len(d) - 200, d[len(d) - 200] ^ 0xFF), "differs from what make_icons.py draws now"),
]


def selftest(files):
    if check_files(files):
        print("selftest: the committed files themselves fail the check; fix them first")
        return 1
    failures = 0
    for name, what, mutate, needle in SELFTEST:
        broken = dict(files)
        data = bytearray(files[name])
        mutate(data)
        broken[name] = bytes(data)
        report = check_files(broken)
        if not any(needle in line for line in report):
            failures += 1
            print("selftest FAIL: %s (%s) not reported; got %r" % (what, name, report))
        else:
            print("selftest ok:   %s (%s)" % (what, name))
    print("selftest: %d of %d faults caught" % (len(SELFTEST) - failures, len(SELFTEST)))
    return 1 if failures else 0


def load(directory):
    files = {}
    for name in EXPECTED:
        path = os.path.join(directory, name)
        if os.path.exists(path):
            with open(path, "rb") as f:
                files[name] = f.read()
    return files


def main(argv=None):
    ap = argparse.ArgumentParser(description="Check the icon files.")
    ap.add_argument("--dir", default=ICON_DIR, help="icon directory (default: %(default)s)")
    ap.add_argument("--png", metavar="DIR", help="render every image to DIR as an 8x PNG")
    ap.add_argument("--selftest", action="store_true", help="check that every fault is reported")
    args = ap.parse_args(argv)
    files = load(args.dir)
    if args.selftest:
        return selftest(files)
    errors = check_files(files)
    for line in errors:
        print("FAIL " + line)
    if args.png:
        os.makedirs(args.png, exist_ok=True)
        for name in EXPECTED:
            if name not in files:
                continue
            for i, image in enumerate(parse(name, files[name], EXPECTED[name])[1]):
                path = os.path.join(args.png, "%s-%d-%dx%d-%dbpp.png" % (
                    name[:-4], i, image.width, image.height, image.bpp))
                render_png(path, image)
                print("wrote " + path)
    if not errors:
        print("ok: %d icon files, %d images" % (len(files), sum(len(e[1]) for e in EXPECTED.values())))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
