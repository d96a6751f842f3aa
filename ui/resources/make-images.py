#!/usr/bin/env python3
"""Draws the program's icon, the provider's logo and the small button images of the main
window, and writes them as .ico/.png files next to this script (standard library only).

Run it after changing the artwork; the generated files are committed."""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = 4  # supersampling per axis


# ---- shapes in unit coordinates (0..1 on both axes, y downwards) ----

def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in, start_deg=0, end_deg=360):
    def inside(x, y):
        d2 = (x - cx) ** 2 + (y - cy) ** 2
        if not (r_in * r_in <= d2 <= r_out * r_out):
            return False
        a = math.degrees(math.atan2(y - cy, x - cx)) % 360
        s, e = start_deg % 360, end_deg % 360
        return s <= a <= e if s <= e else (a >= s or a <= e)
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def segment(x0, y0, x1, y1, width):
    def inside(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


def render(layers, width, height, aspect=1.0):
    """layers: list of (shape, (r, g, b, a)); returns rows of straight RGBA tuples."""
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / width
                    y = (py + (sy + 0.5) / SAMPLES) / height
                    x = (x - 0.5) * aspect + 0.5 if aspect != 1.0 else x
                    c = [0.0, 0.0, 0.0, 0.0]
                    for shape, (r, g, b, a) in layers:
                        if shape(x, y):
                            fa = a / 255.0
                            c = [r * fa + c[0] * (1 - fa), g * fa + c[1] * (1 - fa),
                                 b * fa + c[2] * (1 - fa), 255 * fa + c[3] * (1 - fa)]
                    for k in range(4):
                        acc[k] += c[k]
            n = SAMPLES * SAMPLES
            a = acc[3] / n
            if a <= 0.5:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(min(255, acc[k] / n * 255 / a))) for k in range(3))
                           + (int(round(a)),))
        rows.append(row)
    return rows


# ---- artwork ----

BLUE = (0x1F, 0x5F, 0xB4, 255)
DARK = (0x15, 0x3A, 0x6E, 255)
ORANGE = (0xF0, 0x8A, 0x1C, 255)
WHITE = (255, 255, 255, 255)


def program_icon():
    return [
        (rounded_rect(0.03, 0.03, 0.97, 0.97, 0.2), BLUE),
        (segment(0.26, 0.28, 0.5, 0.76, 0.17), WHITE),
        (segment(0.74, 0.28, 0.5, 0.76, 0.17), WHITE),
        (circle(0.78, 0.78, 0.16), ORANGE),
    ]


def square(colour, border):
    return [(rounded_rect(0.1, 0.1, 0.9, 0.9, 0.12), border),
            (rounded_rect(0.19, 0.19, 0.81, 0.81, 0.06), colour)]


def clear_sign():
    grey = (0x50, 0x50, 0x50, 255)
    body = [(0.04, 0.5), (0.34, 0.17), (0.96, 0.17), (0.96, 0.83), (0.34, 0.83)]
    inner = [(0.16, 0.5), (0.39, 0.26), (0.87, 0.26), (0.87, 0.74), (0.39, 0.74)]
    return [(polygon(body), grey), (polygon(inner), WHITE),
            (segment(0.47, 0.37, 0.74, 0.63, 0.11), (0xC0, 0x20, 0x20, 255)),
            (segment(0.74, 0.37, 0.47, 0.63, 0.11), (0xC0, 0x20, 0x20, 255))]


def refresh_sign():
    green = (0x1E, 0x8C, 0x3A, 255)
    return [(ring(0.5, 0.5, 0.42, 0.27, 200, 340), green),
            (polygon([(0.97, 0.36), (0.66, 0.38), (0.87, 0.62)]), green),
            (ring(0.5, 0.5, 0.42, 0.27, 20, 160), green),
            (polygon([(0.03, 0.64), (0.34, 0.62), (0.13, 0.38)]), green)]


def logo():
    # A round emblem with the "V", an orange swoosh around it, and three signal bars.
    return [
        (ring(0.42, 0.5, 0.46, 0.4, 120, 400), ORANGE),
        (circle(0.42, 0.5, 0.36), BLUE),
        (segment(0.26, 0.33, 0.42, 0.68, 0.11), WHITE),
        (segment(0.58, 0.33, 0.42, 0.68, 0.11), WHITE),
        (rounded_rect(0.84, 0.62, 0.9, 0.86, 0.02), DARK),
        (rounded_rect(0.92, 0.48, 0.98, 0.86, 0.02), DARK),
    ]


# ---- file formats ----

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def palette256():
    pal = list(VGA16)
    for r in range(6):
        for g in range(6):
            for b in range(6):
                pal.append((r * 51, g * 51, b * 51))
    while len(pal) < 256:
        v = (len(pal) - 232) * 10 + 8
        pal.append((v, v, v))
    return pal


def nearest(pal, c):
    return min(range(len(pal)), key=lambda i: sum((pal[i][k] - c[k]) ** 2 for k in range(3)))


def pad4(b):
    return b + b"\0" * ((4 - len(b) % 4) % 4)


def and_mask(rows, w):
    out = b""
    for row in reversed(rows):
        bits = bytearray((w + 7) // 8)
        for x, px in enumerate(row):
            if px[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += pad4(bytes(bits))
    return out


def ico_image(rows, bpp):
    h, w = len(rows), len(rows[0])
    if bpp == 32:
        pal = []
        xor = b"".join(bytes(v for px in row for v in (px[2], px[1], px[0], px[3]))
                       for row in reversed(rows))
    else:
        pal = VGA16 if bpp == 4 else palette256()
        xor = b""
        for row in reversed(rows):
            idx = [nearest(pal, px) if px[3] >= 128 else 0 for px in row]
            if bpp == 4:
                idx += [0] * (len(idx) % 2)
                data = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, len(idx), 2))
            else:
                data = bytes(idx)
            xor += pad4(data)
    mask = and_mask(rows, w)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, bpp, 0, len(xor) + len(mask), 0, 0,
                         len(pal), 0)
    palette = b"".join(struct.pack("BBBB", c[2], c[1], c[0], 0) for c in pal)
    return header + palette + xor + mask


def write_ico(name, images):
    """images: list of (rows, bpp)."""
    blobs = [ico_image(rows, bpp) for rows, bpp in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (rows, bpp), blob in zip(images, blobs):
        w, h = len(rows[0]), len(rows)
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 16 if bpp == 4 else 0, 0, 1, bpp,
                           len(blob), offset)
        offset += len(blob)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out + b"".join(blobs))


def write_png(name, rows):
    """An 8-bit RGBA PNG, compressed; the program decodes it with the system's imaging codecs."""
    h, w = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(png)


def main():
    icon16 = render(program_icon(), 16, 16)
    write_ico("Ostrada.ico", [(icon16, 4), (icon16, 8), (icon16, 32),
                              (render(program_icon(), 24, 24), 32),
                              (render(program_icon(), 32, 32), 32),
                              (render(program_icon(), 48, 48), 32)])
    small_sizes = (16, 20, 24, 32)
    for name, art in (("il32_grey.ico", square((0xA0, 0xA0, 0xA0, 255), (0x70, 0x70, 0x70, 255))),
                      ("il32_green.ico", square((0x2E, 0xC0, 0x3C, 255), (0x1B, 0x7A, 0x25, 255))),
                      ("il32_red.ico", square((0xE0, 0x30, 0x30, 255), (0x90, 0x18, 0x18, 255))),
                      ("il16_clear.ico", clear_sign()),
                      ("il16_2_refresh.ico", refresh_sign())):
        write_ico(name, [(render(art, s, s), 32) for s in small_sizes])
    for name, (w, h) in (("logo_96.png", (105, 93)), ("logo_144.png", (158, 140)),
                         ("logo_192.png", (210, 186))):
        write_png(name, render(logo(), w, h, aspect=w / h))


if __name__ == "__main__":
    main()
