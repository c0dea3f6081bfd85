#!/usr/bin/env python3
"""Packs PNG icons into one Windows .ico file (PNG-compressed entries, as Windows Vista and later
read them): make-ico.py out.ico icon-16.png icon-32.png ..."""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit("not a PNG file")
    return struct.unpack(">II", data[16:24])


def main():
    out, pngs = sys.argv[1], sys.argv[2:]
    images = [open(path, "rb").read() for path in pngs]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    directory = b""
    for data in images:
        width, height = png_size(data)
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out, "wb") as ico:
        ico.write(header + directory + b"".join(images))


if __name__ == "__main__":
    main()
