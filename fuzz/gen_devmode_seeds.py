#!/usr/bin/env python3
"""Writes the DEVMODE seed images of fuzz_devmode into corpus/devmode.

Each image is a public part of dmSize bytes (dmSize at byte 68, dmDriverExtra at 70,
both little-endian) followed by a private part of dmDriverExtra bytes holding the model
tag at its start and the private version 137 bytes in. The driver_* images also carry the
rest of the private header (signature "priv", private size, block offsets), the machine id
and the driver type, so they pass the format checks before mutation."""
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


def driver_image(public, extra, spec=0x401, driver_version=0x0141):
    b = bytearray(image(public, extra, 314))
    struct.pack_into("<HH", b, 64, spec, driver_version)
    p = public
    if extra >= 149:
        b[p + 129:p + 133] = b"priv"
        struct.pack_into("<IIHHH", b, p + 133, 1016, 314, 0, 1236, 2256)
        b[p + 148] = 0xC0  # machine id
    if extra >= 592:
        b[p + 591] = 1  # driver type
    return bytes(b)


SEEDS = {
    "current_220_1016.bin": image(220, 1016, 314),
    "older_220_1016.bin": image(220, 1016, 311),
    "old_major_220_1016.bin": image(220, 1016, 250),
    "short_public_148_1024.bin": image(148, 1024, 300),
    "no_version_220_140.bin": image(220, 140, 314),
    "no_private_220_0.bin": image(220, 0, 0),
    "huge_public_1200_40.bin": image(1200, 40, 0),
    "driver_220_1016.bin": driver_image(220, 1016),
    "driver_212_1016.bin": driver_image(212, 1016, 0x400),
    "driver_188_1016.bin": driver_image(188, 1016, 0x320, 0x350),
    "driver_220_600.bin": driver_image(220, 600),
}

if __name__ == "__main__":
    out = os.path.join(HERE, "corpus", "devmode")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
