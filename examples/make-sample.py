#!/usr/bin/env python3
"""Writes the sample archive sample.cmb + sample.bin into this folder.

The index is Shift-JIS (CP932) with CR LF line ends, as Japanese Windows
writes it. Some names hold characters whose second byte is 0x5C (ソ, 表), so
a reader that splits paths on bytes would break them.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png(width, height):
    """A small RGB picture: a blue-to-orange gradient with a white diagonal."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # filter: none
        for x in range(width):
            if x == y or x == width - 1 - y:
                rows += bytes((255, 255, 255))
            else:
                rows += bytes((40 + 200 * x // width, 90, 220 - 180 * y // height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


ENTRIES = [
    ("はじめに.txt",
     "cmbViewer のサンプルアーカイブです。\r\n"
     "This is the sample archive of cmbViewer.\r\n".encode("cp932")),
    ("画像\\アイコン.png", png(32, 32)),
    ("ソフト\\表紙.txt",
     "フォルダ名にも「ソ」「表」(2 バイト目が 0x5C) が入っています。\r\n".encode("cp932")),
    ("docs\\readme.txt", b"Entries may live in sub-folders.\r\n"),
]


def main():
    data = bytearray()
    index = ["[BinaryCombineData]", "sample.bin", ""]
    for name, content in ENTRIES:
        index += ["[%s]" % name, str(len(data)), str(len(content)), ""]
        data += content
    with open(os.path.join(HERE, "sample.bin"), "wb") as f:
        f.write(data)
    with open(os.path.join(HERE, "sample.cmb"), "wb") as f:
        f.write("".join(line + "\r\n" for line in index).encode("cp932"))


if __name__ == "__main__":
    main()
