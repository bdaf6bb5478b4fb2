#!/usr/bin/env python3
"""Writes sample release files that fit the simulator's default handset (mobile id "RT47 ").

A release file is a 4-byte header, then 1024-byte blocks, then at least one trailing byte.
The image carries its model code in the product field at 0x10024 (block 64, bytes 32..47);
the language pack carries its model field at offset 6 (block 0, bytes 2..9).
"""
import os
import random
import sys

BLOCK = 1024
HEADER = b"REL1"


def release_file(blocks, trailer=b"\x00"):
    return HEADER + b"".join(blocks) + trailer


def data_block(rng):
    return bytes(rng.getrandbits(8) for _ in range(BLOCK))


def blank_block():
    return b"\xff" * BLOCK


def image(block_count, model, rng):
    blocks = []
    for n in range(block_count):
        # A few erased (all 0xFF) blocks, as real images have, which are never sent.
        blocks.append(blank_block() if n % 17 == 5 else data_block(rng))
    product = (model + "-SAMPLE").encode().ljust(16, b"\x00")
    block64 = bytearray(blocks[64])
    block64[32:48] = product
    blocks[64] = bytes(block64)
    return release_file(blocks)


def language_pack(block_count, model, rng):
    blocks = [data_block(rng) for _ in range(block_count)]
    block0 = bytearray(blocks[0])
    block0[2:10] = model.encode().ljust(8, b" ")
    blocks[0] = bytes(block0)
    return release_file(blocks)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "samples"
    os.makedirs(out, exist_ok=True)
    rng = random.Random(1234)
    files = {
        "RT47_image.rel": image(200, "RT47", rng),
        "LPT47_language_pack.rel": language_pack(48, "RT47 ", rng),
    }
    for name, content in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(content)
        print(os.path.join(out, name), len(content), "bytes")


if __name__ == "__main__":
    main()
