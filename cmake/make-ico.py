#!/usr/bin/env python3
"""make-ico.py OUT.ico IN.png...: packs PNG images into a Windows icon file
(PNG-compressed entries, as Windows Vista and later read them)."""
import struct
import sys


def main():
    out, pngs = sys.argv[1], sys.argv[2:]
    images = [open(p, "rb").read() for p in pngs]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for data in images:
        width, height = struct.unpack(">II", data[16:24])
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                               len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(header + entries + b"".join(images))


if __name__ == "__main__":
    main()
