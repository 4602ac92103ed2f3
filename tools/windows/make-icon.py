#!/usr/bin/env python3
"""Packs the PNG icons into the Windows icon src/app/windows/quillmark.ico (PNG entries, which
Windows Vista and later read). Run it after data/icons/render-pngs.sh and commit the result."""
import pathlib
import struct

root = pathlib.Path(__file__).resolve().parents[2]
sizes = [16, 32, 48, 64, 128, 256]
images = [(root / f"data/icons/hicolor/{n}x{n}/apps/org.quillmark.Quillmark.png").read_bytes()
          for n in sizes]

header = struct.pack("<HHH", 0, 1, len(images))
offset = len(header) + 16 * len(images)
entries = b""
for size, data in zip(sizes, images):
    side = size % 256  # 0 stands for 256
    entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
(root / "src/app/windows/quillmark.ico").write_bytes(header + entries + b"".join(images))
