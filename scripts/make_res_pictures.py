#!/usr/bin/env python3
"""Draws the small pictures, icons and the animation of src/res.

They are plain placeholders a printer maker replaces with its own artwork:
a printer shape in a few colours. Run from the repository root; the files are
committed, so the build never needs Python.
"""
import struct

OUT = "src/res/"


def printer_pixels(w, h, paper, body, bg):
    """A printer seen from the front: a sheet on top of a box."""
    px = []
    for y in range(h):
        row = []
        for x in range(w):
            if h * 0.15 <= y < h * 0.45 and w * 0.3 <= x < w * 0.7:
                row.append(paper)
            elif h * 0.45 <= y < h * 0.85 and w * 0.1 <= x < w * 0.9:
                row.append(body)
            else:
                row.append(bg)
        px.append(row)
    return px


def bmp_8bit(w, h, pixels, palette):
    """A 256-colour bottom-up DIB with a full colour table."""
    stride = (w + 3) & ~3
    bits = b"".join(bytes(pixels[y]) + b"\0" * (stride - w) for y in reversed(range(h)))
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    table += b"\0" * (1024 - len(table))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(bits), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(table)
    head = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return head + info + table + bits, info + table + bits


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


def ico(w, h, pixels):
    """One 32-bit image with an all-opaque mask."""
    xor = b"".join(struct.pack("<BBBB", b, g, r, 255) for y in reversed(range(h)) for (r, g, b) in pixels[y])
    mask_stride = ((w + 31) // 32) * 4
    andmask = b"\0" * (mask_stride * h)
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    image = info + xor + andmask
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(image), 6 + 16)
    return head + entry + image


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


def main():
    white, grey, blue, green, bg = (255, 255, 255), (96, 96, 96), (40, 80, 200), (40, 160, 80), (212, 208, 200)
    palette = [(0, 0, 0), white, grey, blue, green, bg] + [(i, i, i) for i in range(6, 256)]
    idx = {c: palette.index(c) for c in (white, grey, blue, green, bg)}

    def indexed(px):
        return [[idx[c] for c in row] for row in px]

    with open(OUT + "kv_setup.ico", "wb") as f:
        f.write(ico(32, 32, printer_pixels(32, 32, white, blue, bg)))
    with open(OUT + "printer_port.ico", "wb") as f:
        f.write(ico(16, 16, printer_pixels(16, 16, white, grey, bg)))
    with open(OUT + "printer_network.ico", "wb") as f:
        f.write(ico(16, 16, printer_pixels(16, 16, white, green, bg)))
    with open(OUT + "header.bmp", "wb") as f:
        f.write(bmp_24bit(48, 48, printer_pixels(48, 48, white, blue, white)))
    for name, body in (("poweroff.bmp", grey), ("poweron.bmp", green)):
        with open(OUT + name, "wb") as f:
            f.write(bmp_8bit(96, 64, indexed(printer_pixels(96, 64, white, body, bg)), palette)[0])
    frames = [indexed(printer_pixels(16, 16, white, c, bg)) for c in (grey, green, blue, green)]
    with open(OUT + "poweron.avi", "wb") as f:
        f.write(avi(16, 16, frames, palette))


if __name__ == "__main__":
    main()
