#!/usr/bin/env python3
"""Makes the reference renderings in reference/ from the GIF files beside it.

Run once by hand (the build never runs it); needs Python 3 and Pillow
(Debian: python3-pil). Usage:

    make_reference.py [--png FOLDER]

Pillow serves only as an independent LZW and interlace decoder: every frame's
code stream is handed to it inside a one-frame GIF of its own, and the palette
indices come back. The rest is done here, following what web browsers show:

- the picture is the logical screen, or the first frame's size when the
  screen cannot hold the first frame (which is then put at 0, 0);
- the screen starts fully transparent (0, 0, 0, 0);
- each frame is drawn at its position, clipped to the screen; pixels of its
  transparent index leave the screen as it was, the others become opaque in
  their table colour (local table, else global table, else a grey ramp;
  entries past the table are black);
- after the frame has been shown, its disposal method is applied to its
  rectangle: 0, 1 (and 5 to 7) keep it, 2 clears it to transparent, 3 (and
  4, which some encoders write for it) restores what was there before.

Each output file `<name>.ref` holds a text line
`GIFREF <width> <height> <frames> <loop count> <delay,delay,...>` (delays in
milliseconds, loop count -1 without a loop extension), then one zlib stream of
the frames, each with rows top to bottom and 4 bytes per pixel (red, green,
blue, alpha). Every frame after the first is stored XORed with the frame
before it, which keeps long animations small.
With --png, every frame is also written as a PNG for looking at.
"""

import io
import os
import struct
import sys
import zlib

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))

# The files with a reference rendering: animations, and still pictures whose
# frame does not simply fill the screen, plus two plain stills.
FILES = [
    "dispose_none.gif",
    "dispose_bgnd.gif",
    "dispose_prev.gif",
    "different_transparency.gif",
    "missing_background.gif",
    "iss634.gif",
    "first_frame_transparency.gif",
    "test_extents.gif",
    "test_extents_transparency.gif",
    "decompression_bomb_extents.gif",
    "no_palette.gif",
    "no_palette_after_rgb.gif",
    "background_outside_palette.gif",
    "hopper.gif",
    "issue_2811.gif",
]


def sub_blocks(data, p):
    out = bytearray()
    while True:
        n = data[p]
        p += 1
        if n == 0:
            return bytes(out), p
        out += data[p:p + n]
        p += n


def parse(data):
    """The logical screen, the loop count and the frames of a GIF file."""
    assert data[:3] == b"GIF"
    width, height, packed = struct.unpack("<HHB", data[6:11])
    p = 13
    global_table = None
    if packed & 0x80:
        n = 1 << ((packed & 7) + 1)
        global_table = data[p:p + 3 * n]
        p += 3 * n
    frames = []
    loop = -1
    control = None
    while p < len(data):
        b = data[p]
        p += 1
        if b == 0x21:
            label = data[p]
            p += 1
            blocks = []
            while data[p] != 0:
                n = data[p]
                blocks.append(data[p + 1:p + 1 + n])
                p += 1 + n
            p += 1
            if label == 0xF9 and blocks and len(blocks[0]) >= 4:
                control = blocks[0]
            elif label == 0xFF and blocks and blocks[0] == b"NETSCAPE2.0":
                for block in blocks[1:]:
                    if len(block) >= 3 and block[0] == 1:
                        loop = block[1] | block[2] << 8
        elif b == 0x2C:
            left, top, w, h, fpacked = struct.unpack("<HHHHB", data[p:p + 9])
            p += 9
            table = global_table
            if fpacked & 0x80:
                n = 1 << ((fpacked & 7) + 1)
                table = data[p:p + 3 * n]
                p += 3 * n
            if table is None:
                table = bytes(v for i in range(256) for v in (i, i, i))
            code_size = data[p]
            p += 1
            lzw, p = sub_blocks(data, p)
            frames.append(dict(
                left=left, top=top, width=w, height=h,
                interlaced=bool(fpacked & 0x40), table=table,
                code_size=code_size, lzw=lzw,
                transparent=control[3] if control and control[0] & 1 else None,
                disposal=(control[0] >> 2) & 7 if control else 0,
                delay=(control[1] | control[2] << 8) * 10 if control else 0))
            control = None
        elif b == 0x3B:
            break
    return width, height, loop, frames


def indices_of(frame):
    """The frame's palette indices, decoded by Pillow from a GIF of its own."""
    # A made-up palette that is not grey, so that Pillow keeps palette mode
    # and hands back the indices themselves.
    palette = bytes(v for i in range(256) for v in (i, 255 - i, 7))
    single = bytearray(b"GIF89a")
    single += struct.pack("<HHBBB", frame["width"], frame["height"], 0x87, 0, 0)
    single += palette
    single += b"\x2C" + struct.pack("<HHHHB", 0, 0, frame["width"], frame["height"],
                                    0x40 if frame["interlaced"] else 0)
    single.append(frame["code_size"])
    for i in range(0, len(frame["lzw"]), 255):
        chunk = frame["lzw"][i:i + 255]
        single.append(len(chunk))
        single += chunk
    single += b"\x00\x3B"
    image = Image.open(io.BytesIO(bytes(single)))
    image.load()
    assert image.mode == "P", image.mode
    return list(image.getdata())


def render(data):
    width, height, loop, frames = parse(data)
    first = frames[0]
    if width < first["width"] or height < first["height"]:
        width, height = first["width"], first["height"]
        first["left"] = first["top"] = 0
    canvas = bytearray(width * height * 4)
    pictures = []
    for frame in frames:
        x0 = min(max(frame["left"], 0), width)
        y0 = min(max(frame["top"], 0), height)
        x1 = min(max(frame["left"] + frame["width"], x0), width)
        y1 = min(max(frame["top"] + frame["height"], y0), height)
        saved = bytes(canvas)
        indices = indices_of(frame)
        table = frame["table"]
        for y in range(y0, y1):
            for x in range(x0, x1):
                index = indices[(y - frame["top"]) * frame["width"] + (x - frame["left"])]
                if index == frame["transparent"]:
                    continue
                rgb = table[3 * index:3 * index + 3] if 3 * index + 3 <= len(table) else b"\0\0\0"
                o = (y * width + x) * 4
                canvas[o:o + 4] = rgb + b"\xff"
        pictures.append(bytes(canvas))
        for y in range(y0, y1):
            row = slice((y * width + x0) * 4, (y * width + x1) * 4)
            if frame["disposal"] == 2:
                canvas[row] = bytes(len(canvas[row]))
            elif frame["disposal"] in (3, 4):
                canvas[row] = saved[row]
    return width, height, loop, [f["delay"] for f in frames], pictures


def main():
    png_folder = None
    if len(sys.argv) == 3 and sys.argv[1] == "--png":
        png_folder = sys.argv[2]
        os.makedirs(png_folder, exist_ok=True)
    os.makedirs(os.path.join(HERE, "reference"), exist_ok=True)
    for name in FILES:
        with open(os.path.join(HERE, name), "rb") as f:
            width, height, loop, delays, pictures = render(f.read())
        head = "GIFREF %d %d %d %d %s\n" % (width, height, len(pictures), loop,
                                             ",".join(str(d) for d in delays))
        stem = os.path.splitext(name)[0]
        with open(os.path.join(HERE, "reference", stem + ".ref"), "wb") as f:
            f.write(head.encode("ascii"))
            deltas = [pictures[0]] + [bytes(a ^ b for a, b in zip(now, before))
                                      for before, now in zip(pictures, pictures[1:])]
            f.write(zlib.compress(b"".join(deltas), 9))
        if png_folder:
            for i, picture in enumerate(pictures):
                Image.frombytes("RGBA", (width, height), picture).save(
                    os.path.join(png_folder, "%s-%02d.png" % (stem, i)))
        print(name, head.strip()[:70])


if __name__ == "__main__":
    main()
