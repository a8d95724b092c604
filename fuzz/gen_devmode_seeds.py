#!/usr/bin/env python3
"""Writes the DEVMODE seed images of fuzz_devmode into corpus/devmode.

Each image is a public part of dmSize bytes (dmSize at byte 68, dmDriverExtra at 70,
both little-endian) followed by a private part of dmDriverExtra bytes holding the model
tag at its start and the private version 137 bytes in."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def image(public, extra, version, tag=b"TV00"):
    b = bytearray(public + extra)
    struct.pack_into("<HH", b, 68, public, extra)
    name = "KV Test".encode("utf-16-le")
    b[0:len(name)] = name
    if extra >= 4:
        b[public:public + 4] = tag
    if extra >= 141:
        struct.pack_into("<I", b, public + 137, version)
    return bytes(b)


SEEDS = {
    "current_220_1016.bin": image(220, 1016, 314),
    "older_220_1016.bin": image(220, 1016, 311),
    "old_major_220_1016.bin": image(220, 1016, 250),
    "short_public_148_1024.bin": image(148, 1024, 300),
    "no_version_220_140.bin": image(220, 140, 314),
    "no_private_220_0.bin": image(220, 0, 0),
    "huge_public_1200_40.bin": image(1200, 40, 0),
}

if __name__ == "__main__":
    out = os.path.join(HERE, "corpus", "devmode")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
