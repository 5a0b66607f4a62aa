#!/usr/bin/env python3
"""Draws the program's pictures as XPM files (run once; the XPM files are kept in the tree)."""
import math
import os
import string

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = 4  # supersampling per axis for smooth edges
CHARS = [c for c in string.ascii_letters + string.digits + "#$%&*+-./:;<=>?@^_`|~[]{}()!,'" if c != '"']


def clamp(v):
    return max(0, min(255, int(round(v))))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def render(width, height, shade, transparent=True, levels=32):
    """shade(x, y) gives an (r, g, b) colour or None (outside); averaged over sub-samples."""
    pixels = []
    step = 1.0 / SAMPLES
    for y in range(height):
        row = []
        for x in range(width):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = shade(x + (sx + 0.5) * step, y + (sy + 0.5) * step)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if transparent and hits * 2 < SAMPLES * SAMPLES:
                row.append(None)
            else:
                n = max(hits, 1)
                q = 256 // levels
                row.append(tuple(min(255, clamp(acc[i] / n) // q * q + q // 2) for i in range(3)))
        pixels.append(row)
    return pixels


def write_xpm(name, pixels):
    colours = sorted({p for row in pixels for p in row if p is not None})
    entries = ([None] if any(p is None for row in pixels for p in row) else []) + colours
    cpp = 1
    while len(CHARS) ** cpp < len(entries):
        cpp += 1
    codes = {}
    for i, colour in enumerate(entries):
        code, n = "", i
        for _ in range(cpp):
            code = CHARS[n % len(CHARS)] + code
            n //= len(CHARS)
        codes[colour] = code
    height, width = len(pixels), len(pixels[0])
    lines = ['"%d %d %d %d"' % (width, height, len(entries), cpp)]
    for colour in entries:
        value = "None" if colour is None else "#%02X%02X%02X" % colour
        lines.append('"%s c %s"' % (codes[colour], value))
    for row in pixels:
        lines.append('"' + "".join(codes[p] for p in row) + '"')
    with open(os.path.join(HERE, name + ".xpm"), "w") as out:
        out.write("/* XPM */\nstatic const char* const %s_xpm[] = {\n" % name)
        out.write(",\n".join(lines))
        out.write("};\n")


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def disc_shader(centre, radius, light, dark, symbol):
    def shade(x, y):
        d = math.hypot(x - centre, y - centre)
        if d > radius:
            return None
        if symbol(x, y):
            return (255, 255, 255)
        return mix(light, dark, min(1.0, (y - centre + radius) / (2 * radius)))
    return shade


def near_segment(x, y, a, b, width):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy) <= width / 2


def ok_picture():
    tick = lambda x, y: near_segment(x, y, (8.5, 16.5), (14, 22), 4) or near_segment(x, y, (14, 22), (24, 10), 4)
    return render(32, 32, disc_shader(16, 15, (110, 220, 90), (20, 130, 30), tick))


def error_picture():
    cross = lambda x, y: near_segment(x, y, (10, 10), (22, 22), 4) or near_segment(x, y, (22, 10), (10, 22), 4)
    return render(32, 32, disc_shader(16, 15, (250, 110, 100), (170, 20, 20), cross))


def reload_picture():
    def shade(x, y):
        d = math.hypot(x - 16, y - 16)
        angle = math.degrees(math.atan2(y - 16, x - 16)) % 360
        ring = 8.5 <= d <= 13 and not (300 <= angle <= 350)
        # arrow head at the gap's upper end
        head = (x >= 20 and y <= 14 and (x - 20) + (14 - y) <= 9 and y >= 5 and x <= 30)
        if not (ring or head):
            return None
        return mix((120, 180, 255), (20, 60, 170), y / 32)
    return render(32, 32, shade)


def card_picture():
    def shade(x, y):
        if not rounded_rect(x, y, 0.5, 1.5, 30.5, 20.5, 3):
            return None
        if rounded_rect(x, y, 4, 7, 11, 14, 1.2):
            return (250, 215, 90) if int(y) != 10 and int(x) != 7 else (190, 150, 40)
        if 14 <= x <= 27 and (9 <= y <= 10 or 13 <= y <= 14):
            return (255, 235, 200)
        return mix((240, 150, 50), (140, 80, 30), y / 22)
    return render(31, 22, shade)


def icon_picture():
    def shade(x, y):
        if not rounded_rect(x, y, 2, 7, 30, 25, 3):
            return None
        if rounded_rect(x, y, 6, 12, 13, 19, 1.2):
            return (230, 230, 230)
        return mix((170, 170, 170), (90, 90, 90), y / 32)
    return render(32, 32, shade, levels=8)


# A 5x7 pixel font for the banner's lettering.
FONT = {
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    " ": ["00000"] * 7,
}


def text_hit(x, y, text, left, top, scale):
    col = int((x - left) // scale)
    row = int((y - top) // scale)
    if row < 0 or row >= 7 or col < 0:
        return False
    index, inner = divmod(col, 6)
    if index >= len(text) or inner == 5:
        return False
    return FONT[text[index]][row][inner] == "1"


def banner_picture():
    text = "QUENDRY CARDS"
    scale = 7
    left = 769 - 40 - len(text) * 6 * scale
    top = 85 - 3.5 * scale

    def shade(x, y):
        base = mix((30, 70, 150), (120, 180, 235), x / 769)
        base = mix(base, (10, 30, 80), y / 340)
        wave = 120 + 25 * math.sin(x / 60.0)
        if y > wave:
            base = mix(base, (240, 150, 50), 0.35)
        if rounded_rect(x, y, 40, 35, 190, 135, 12):
            base = mix((240, 150, 50), (140, 80, 30), (y - 35) / 100)
            if rounded_rect(x, y, 60, 65, 100, 105, 6):
                base = (250, 215, 90)
        if text_hit(x, y, text, left, top, scale):
            base = (255, 255, 255)
        elif text_hit(x - 3, y - 3, text, left, top, scale):
            base = mix(base, (0, 0, 0), 0.5)
        return base
    return render(769, 170, shade, transparent=False, levels=64)


if __name__ == "__main__":
    write_xpm("ok", ok_picture())
    write_xpm("error", error_picture())
    write_xpm("reload", reload_picture())
    write_xpm("card", card_picture())
    write_xpm("icon", icon_picture())
    SAMPLES = 2
    write_xpm("banner", banner_picture())
