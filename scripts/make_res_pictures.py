#!/usr/bin/env python3
"""Draws the pictures, icons and the animation of src/res.

The artwork a printer maker ships with the program, and replaces with its
own: a desktop printer with a sheet in its output tray, its USB cable and the
plug, drawn from shapes, smoothed (each pixel is the average of 4 x 4
samples) and stored in the formats the pages read:

- header.bmp: 48 x 48, 24 bits, on the white of the header band;
- poweroff.bmp / poweron.bmp: 256 colours, the background in palette entry
  46, which the power pages replace by the button face colour;
- poweron.avi: uncompressed 8-bit frames for the animation control;
- the icons: 32-bit images with an alpha channel.

Run from the repository root; the files are committed, so the build never
needs Python. Nothing but the standard library is used.
"""
import struct

OUT = "src/res/"
SS = 4  # samples per pixel side

# The page background: palette entry 46 of the power pictures takes the
# system's button face colour when a page draws them.
BACKGROUND_INDEX = 46
FACE = (212, 208, 200)
WHITE = (255, 255, 255)

BODY = (226, 229, 234)
BODY_SHADE = (182, 188, 198)
BODY_DARK = (120, 128, 142)
OUTLINE = (58, 64, 76)
SLOT = (44, 48, 56)
PANEL = (70, 110, 170)
PAPER = (255, 255, 255)
PAPER_EDGE = (150, 156, 166)
INK = (120, 150, 200)
CABLE = (60, 64, 72)
PLUG = (180, 184, 190)
PLUG_METAL = (210, 212, 216)
GREEN = (40, 190, 80)
GREEN_GLOW = (150, 235, 160)
RED = (210, 40, 40)
LAMP_OFF = (110, 116, 124)
PC = (200, 204, 212)
PC_DARK = (96, 102, 114)


class Canvas:
    """An RGB picture drawn at SS x SS samples per pixel."""

    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.W, self.H = w * SS, h * SS
        self.px = [[bg] * self.W for _ in range(self.H)]

    def _span(self, a, b, n):
        return max(0, int(a * SS)), min(n, int(b * SS + 0.999))

    def rect(self, x0, y0, x1, y1, c):
        ya, yb = self._span(y0, y1, self.H)
        xa, xb = self._span(x0, x1, self.W)
        for y in range(ya, yb):
            row = self.px[y]
            for x in range(xa, xb):
                row[x] = c

    def rrect(self, x0, y0, x1, y1, r, c):
        """A rectangle with rounded corners of radius r."""
        ya, yb = self._span(y0, y1, self.H)
        xa, xb = self._span(x0, x1, self.W)
        for y in range(ya, yb):
            fy = (y + 0.5) / SS
            row = self.px[y]
            for x in range(xa, xb):
                fx = (x + 0.5) / SS
                cx = min(max(fx, x0 + r), x1 - r)
                cy = min(max(fy, y0 + r), y1 - r)
                if (fx - cx) ** 2 + (fy - cy) ** 2 <= r * r:
                    row[x] = c

    def framed(self, x0, y0, x1, y1, r, fill, edge, width=1.0):
        self.rrect(x0, y0, x1, y1, r, edge)
        self.rrect(x0 + width, y0 + width, x1 - width, y1 - width, max(0.0, r - width), fill)

    def ellipse(self, cx, cy, rx, ry, c):
        ya, yb = self._span(cy - ry, cy + ry, self.H)
        xa, xb = self._span(cx - rx, cx + rx, self.W)
        for y in range(ya, yb):
            fy = ((y + 0.5) / SS - cy) / ry
            row = self.px[y]
            for x in range(xa, xb):
                fx = ((x + 0.5) / SS - cx) / rx
                if fx * fx + fy * fy <= 1.0:
                    row[x] = c

    def polygon(self, pts, c):
        ys = [p[1] for p in pts]
        xs = [p[0] for p in pts]
        ya, yb = self._span(min(ys), max(ys), self.H)
        xa, xb = self._span(min(xs), max(xs), self.W)
        n = len(pts)
        for y in range(ya, yb):
            fy = (y + 0.5) / SS
            cuts = []
            for i in range(n):
                (ax, ay), (bx, by) = pts[i], pts[(i + 1) % n]
                if (ay <= fy < by) or (by <= fy < ay):
                    cuts.append(ax + (fy - ay) * (bx - ax) / (by - ay))
            cuts.sort()
            row = self.px[y]
            for k in range(0, len(cuts) - 1, 2):
                s, e = self._span(cuts[k], cuts[k + 1], self.W)
                for x in range(max(s, xa), min(e, xb)):
                    row[x] = c

    def line(self, x0, y0, x1, y1, width, c):
        dx, dy = x1 - x0, y1 - y0
        length = (dx * dx + dy * dy) ** 0.5 or 1.0
        nx, ny = -dy / length * width / 2, dx / length * width / 2
        self.polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)], c)
        self.ellipse(x0, y0, width / 2, width / 2, c)
        self.ellipse(x1, y1, width / 2, width / 2, c)

    def curve(self, pts, width, c, steps=24):
        """A quadratic or cubic Bezier curve through its control points."""
        def at(t):
            p = list(pts)
            while len(p) > 1:
                p = [(a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t) for a, b in zip(p, p[1:])]
            return p[0]
        prev = at(0.0)
        for i in range(1, steps + 1):
            cur = at(i / steps)
            self.line(prev[0], prev[1], cur[0], cur[1], width, c)
            prev = cur

    def pixels(self):
        """The picture at its real size: each pixel the mean of its samples."""
        out = []
        n = SS * SS
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r = g = b = 0
                for sy in range(y * SS, y * SS + SS):
                    src = self.px[sy]
                    for sx in range(x * SS, x * SS + SS):
                        c = src[sx]
                        r += c[0]
                        g += c[1]
                        b += c[2]
                row.append((r // n, g // n, b // n))
            out.append(row)
        return out


# ---- The artwork ---------------------------------------------------------------------------

def printer(cv, x, y, s, lamp=None, sheet=True):
    """A desktop printer whose body is s wide, its top-left corner at x, y;
    the lamp on its panel is lit in the given colour, or dark."""
    h = s * 0.52
    # The sheet waiting in the input tray behind the body.
    if sheet:
        cv.polygon([(x + s * 0.24, y - s * 0.02), (x + s * 0.30, y - s * 0.26), (x + s * 0.74, y - s * 0.26),
                    (x + s * 0.78, y - s * 0.02)], PAPER_EDGE)
        cv.polygon([(x + s * 0.255, y - s * 0.02), (x + s * 0.31, y - s * 0.245), (x + s * 0.73, y - s * 0.245),
                    (x + s * 0.765, y - s * 0.02)], PAPER)
    # The body: a rounded box, lighter at the top, with a darker base.
    edge = max(0.6, s / 70)
    cv.framed(x, y, x + s, y + h, s * 0.07, BODY, OUTLINE, edge)
    cv.rrect(x + edge, y + h * 0.62, x + s - edge, y + h - edge, s * 0.05, BODY_SHADE)
    cv.rect(x + edge, y + h * 0.60, x + s - edge, y + h * 0.64, BODY_DARK)
    # The output slot and the printed sheet coming out of it.
    cv.rrect(x + s * 0.18, y + h * 0.66, x + s * 0.82, y + h * 0.76, s * 0.015, SLOT)
    cv.polygon([(x + s * 0.22, y + h * 0.72), (x + s * 0.78, y + h * 0.72), (x + s * 0.84, y + h * 1.12),
                (x + s * 0.16, y + h * 1.12)], PAPER_EDGE)
    cv.polygon([(x + s * 0.23, y + h * 0.735), (x + s * 0.77, y + h * 0.735), (x + s * 0.825, y + h * 1.10),
                (x + s * 0.175, y + h * 1.10)], PAPER)
    if s >= 24:
        for k in range(3):
            yy = y + h * (0.84 + 0.08 * k)
            cv.rect(x + s * (0.28 + 0.005 * k), yy, x + s * (0.62 if k == 2 else 0.72), yy + max(0.5, s / 110), INK)
    # The control panel with its lamp.
    cv.rrect(x + s * 0.62, y + h * 0.16, x + s * 0.90, y + h * 0.42, s * 0.03, PANEL)
    lamp_colour = lamp or LAMP_OFF
    if lamp:
        cv.ellipse(x + s * 0.82, y + h * 0.29, s * 0.05, s * 0.05, GREEN_GLOW)
    cv.ellipse(x + s * 0.82, y + h * 0.29, s * 0.032, s * 0.032, lamp_colour)
    cv.rect(x + s * 0.66, y + h * 0.26, x + s * 0.74, y + h * 0.32, (200, 215, 235))


def usb_plug(cv, x, y, s, facing_right=True):
    """A USB-A plug of length s, its cable end at x, y (vertical centre)."""
    d = 1 if facing_right else -1
    grip = s * 0.55
    metal = s * 0.45
    x_grip_end = x + d * grip
    cv.framed(min(x, x_grip_end), y - s * 0.22, max(x, x_grip_end), y + s * 0.22, s * 0.06, PLUG, OUTLINE, 1.0)
    for k in range(3):
        gx = x + d * grip * (0.3 + 0.18 * k)
        cv.rect(gx - 0.6, y - s * 0.14, gx + 0.6, y + s * 0.14, BODY_DARK)
    x_metal_end = x_grip_end + d * metal
    cv.framed(min(x_grip_end, x_metal_end), y - s * 0.16, max(x_grip_end, x_metal_end), y + s * 0.16, 0.5,
              PLUG_METAL, OUTLINE, 1.0)
    cv.rect(min(x_grip_end, x_metal_end) + metal * 0.25, y - s * 0.06, max(x_grip_end, x_metal_end) - metal * 0.25,
            y + s * 0.02, OUTLINE)


def computer(cv, x, y, w, h, port_y):
    """The side of a computer case with a USB port at port_y."""
    cv.framed(x, y, x + w, y + h, 3, PC, OUTLINE, 1.2)
    for k in range(4):
        cv.rect(x + w * 0.2, y + 8 + k * 5, x + w * 0.8, y + 9.5 + k * 5, PC_DARK)
    cv.ellipse(x + w * 0.5, y + h - 12, 3.2, 3.2, PC_DARK)
    cv.rect(x - 1, port_y - 5, x + 5, port_y + 5, SLOT)


def power_off_picture():
    """The printer with its cable pulled out of the computer and its lamp
    dark: what the page asks for before the driver is installed."""
    w, h = 256, 128
    cv = Canvas(w, h, FACE)
    cv.rrect(6, 110, 160, 118, 4, (196, 192, 184))  # the printer's shadow on the desk
    printer(cv, 14, 44, 140, lamp=None)
    computer(cv, 222, 18, 30, 100, 78)
    # The cable leaves the printer's back, the plug lies apart from the port.
    cv.curve([(150, 92), (170, 100), (164, 78), (180, 78)], 3.6, CABLE)
    usb_plug(cv, 180, 78, 20)
    # A red cross between the plug and the port.
    cv.line(208, 58, 216, 66, 3.0, RED)
    cv.line(216, 58, 208, 66, 3.0, RED)
    return cv.pixels()


def power_on_picture():
    """The printer plugged into the computer, its lamp lit."""
    w, h = 132, 80
    cv = Canvas(w, h, FACE)
    cv.rrect(2, 70, 86, 76, 3, (196, 192, 184))
    printer(cv, 6, 30, 76, lamp=GREEN)
    computer(cv, 108, 8, 22, 66, 48)
    cv.curve([(80, 56), (92, 60), (88, 48), (96, 48)], 2.2, CABLE)
    usb_plug(cv, 96, 48, 10)
    return cv.pixels()


def header_picture():
    w = 48
    cv = Canvas(w, w, WHITE)
    printer(cv, 3, 19, 42, lamp=GREEN)
    return cv.pixels()


def icon_picture(size, lamp, transparent=(0, 0, 0)):
    cv = Canvas(size, size, transparent)
    printer(cv, size * 0.06, size * 0.36, size * 0.88, lamp=lamp)
    return cv


def animation_frames():
    """The lamp of a small printer blinking while the page waits."""
    frames = []
    for lit in (False, True, True, False):
        cv = Canvas(32, 32, FACE)
        printer(cv, 2, 12, 28, lamp=GREEN if lit else None)
        frames.append(cv.pixels())
    return frames


# ---- Colours and files ---------------------------------------------------------------------

def make_palette(pictures, reserved):
    """At most 256 colours for the pictures, the reserved colours at their
    fixed entries: the most frequent colours at 4 bits a channel first."""
    count = {}
    for px in pictures:
        for row in px:
            for c in row:
                q = (c[0] >> 3, c[1] >> 3, c[2] >> 3)
                count[q] = count.get(q, 0) + 1
    free = 256 - len(reserved)
    chosen = sorted(count, key=lambda q: -count[q])[:free]
    colours = [(q[0] * 8 + 4, q[1] * 8 + 4, q[2] * 8 + 4) for q in chosen]
    palette = []
    for i in range(256):
        if i in reserved:
            palette.append(reserved[i])
        elif colours:
            palette.append(colours.pop(0))
        else:
            palette.append((0, 0, 0))
    return palette


def index_pixels(px, palette, exact):
    """Each pixel as the entry of its nearest palette colour; a colour in
    `exact` keeps its own entry."""
    cache = dict(exact)
    out = []
    for row in px:
        line = []
        for c in row:
            i = cache.get(c)
            if i is None:
                i = min(range(256), key=lambda k: (palette[k][0] - c[0]) ** 2 + (palette[k][1] - c[1]) ** 2 +
                        (palette[k][2] - c[2]) ** 2 + (1 << 30 if k in exact.values() else 0))
                cache[c] = i
            line.append(i)
        out.append(line)
    return out


def bmp_8bit(w, h, pixels, palette):
    """A 256-colour bottom-up DIB with a full colour table."""
    stride = (w + 3) & ~3
    bits = b"".join(bytes(pixels[y]) + b"\0" * (stride - w) for y in reversed(range(h)))
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    table += b"\0" * (1024 - len(table))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(bits), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(table)
    head = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return head + info + table + bits


def bmp_24bit(w, h, pixels):
    stride = (w * 3 + 3) & ~3
    rows = []
    for y in reversed(range(h)):
        row = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in pixels[y])
        rows.append(row + b"\0" * (stride - len(row)))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(bits), 0, 0, 54)
    return head + info + bits


def ico(images):
    """Icon images of 32 bits with alpha, each (size, canvas drawn on black,
    canvas drawn on white): the alpha comes from the difference of the two."""
    entries = []
    blobs = []
    offset = 6 + 16 * len(images)
    for size, on_black, on_white in images:
        black, white = on_black.pixels(), on_white.pixels()
        xor = b""
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray(mask_stride * size)
        for y in reversed(range(size)):
            for x in range(size):
                b0, w0 = black[y][x], white[y][x]
                alpha = 255 - min(255, max(0, round(sum(w0[k] - b0[k] for k in range(3)) / 3)))
                if alpha:
                    colour = tuple(min(255, round(b0[k] * 255 / alpha)) for k in range(3))
                else:
                    colour = (0, 0, 0)
                    mask[(size - 1 - y) * mask_stride + x // 8] |= 0x80 >> (x % 8)
                xor += struct.pack("<BBBB", colour[2], colour[1], colour[0], alpha)
        # The AND mask rows run bottom-up, as the colour rows do.
        rows = [bytes(mask[r * mask_stride:(r + 1) * mask_stride]) for r in range(size)]
        andmask = b"".join(reversed(rows))
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
        blob = info + xor + andmask
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


def avi(w, h, frames, palette):
    """An uncompressed 8-bit AVI: what the animation control plays without a codec."""
    stride = (w + 3) & ~3
    frame_bytes = [b"".join(bytes(f[y]) + b"\0" * (stride - w) for y in reversed(range(h))) for f in frames]
    size = len(frame_bytes[0])

    def chunk(fourcc, data):
        pad = b"\0" if len(data) % 2 else b""
        return fourcc + struct.pack("<I", len(data)) + data + pad

    def lst(kind, data):
        return b"LIST" + struct.pack("<I", len(data) + 4) + kind + data

    avih = struct.pack("<IIIIIIIIII4I", 250000, size * 4, 0, 0x10, len(frames), 0, 1, size, w, h, 0, 0, 0, 0)
    strh = struct.pack("<4s4sIHHIIIIIIIIhhhh", b"vids", b"DIB ", 0, 0, 0, 0, 1, 4, 0, len(frames),
                       size, 0xFFFFFFFF, 0, 0, 0, w, h)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette) + b"\0" * (1024 - 4 * len(palette))
    strf = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, size, 0, 0, 256, 0) + table
    hdrl = lst(b"hdrl", chunk(b"avih", avih) + lst(b"strl", chunk(b"strh", strh) + chunk(b"strf", strf)))
    movi_data = b"".join(chunk(b"00db", fb) for fb in frame_bytes)
    movi = lst(b"movi", movi_data)
    idx = b""
    offset = 4
    for fb in frame_bytes:
        idx += struct.pack("<4sIII", b"00db", 0x10, offset, len(fb))
        offset += 8 + len(fb) + (len(fb) % 2)
    body = b"AVI " + hdrl + movi + chunk(b"idx1", idx)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def write_power_picture(name, px):
    h, w = len(px), len(px[0])
    reserved = {0: (0, 0, 0), 255: WHITE, BACKGROUND_INDEX: FACE}
    palette = make_palette([px], reserved)
    indexed = index_pixels(px, palette, {FACE: BACKGROUND_INDEX, (0, 0, 0): 0, WHITE: 255})
    with open(OUT + name, "wb") as f:
        f.write(bmp_8bit(w, h, indexed, palette))


def main():
    with open(OUT + "header.bmp", "wb") as f:
        f.write(bmp_24bit(48, 48, header_picture()))
    write_power_picture("poweroff.bmp", power_off_picture())
    write_power_picture("poweron.bmp", power_on_picture())

    frames = animation_frames()
    reserved = {0: (0, 0, 0), 255: WHITE, BACKGROUND_INDEX: FACE}
    palette = make_palette(frames, reserved)
    exact = {FACE: BACKGROUND_INDEX, (0, 0, 0): 0, WHITE: 255}
    with open(OUT + "poweron.avi", "wb") as f:
        f.write(avi(32, 32, [index_pixels(px, palette, exact) for px in frames], palette))

    def icon(sizes, lamp):
        return ico([(s, icon_picture(s, lamp, (0, 0, 0)), icon_picture(s, lamp, WHITE)) for s in sizes])

    with open(OUT + "kv_setup.ico", "wb") as f:
        f.write(icon((32, 16), GREEN))
    with open(OUT + "printer_port.ico", "wb") as f:
        f.write(icon((16,), None))
    with open(OUT + "printer_network.ico", "wb") as f:
        f.write(icon((16,), (60, 140, 230)))


if __name__ == "__main__":
    main()
