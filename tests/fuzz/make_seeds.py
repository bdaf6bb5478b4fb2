#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/<target>/ (the layout each target's
input has is described at its LLVMFuzzerTestOneInput). Run again after changing a layout."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
seeds = {}


def seed(target, name, data):
    seeds.setdefault(target, {})[name] = data if isinstance(data, bytes) else data.encode()


def srec(kind, address, size, data):
    body = bytes([size + len(data) + 1]) + address.to_bytes(size, "big") + bytes(data)
    return "S%d%s%02X\r\n" % (kind, body.hex().upper(), (~sum(body)) & 0xFF)


def motorola(data, address=0):
    text = srec(0, 0, 2, b"HDR")
    for at in range(0, len(data), 32):
        text += srec(3, address + at, 4, data[at:at + 32])
    return text + srec(7, 0, 4, b"")


# Release files, made small: a language pack of one block, an image whose first byte asks for the
# zeros up to its product field, and sizes around the block count's edges.
block0 = bytearray(range(256)) * 4
block0[2:10] = b"RT47    "
seed("release_file", "lp_one_block", b"\0REL1" + bytes(block0) + b"\xff")
seed("release_file", "image_product_field", b"\1" + bytes(8) + b"RT47-SAMPLE".ljust(16, b"\0") +
     bytes(range(200)) + b"\xff")
for n in (0, 4, 5, 1028, 1029, 1030):
    seed("release_file", "size_%d" % n, b"\0" + (b"REL1" + b"\xff" * 2048)[:n])

# relconv: command file, NUL, S-records, NUL, the most blocks.
for name in ("IMAGE.CMD", "RT47_LP.CMD"):
    with open(os.path.join(HERE, "..", "..", "kit", name)) as f:
        command = f.read()
    data = bytes(block0[:96])
    seed("srecord", name.lower(), command + "\0" + motorola(data) + ("\0" "448" if "LP" in name else ""))
seed("srecord", "s1_s2_s5_s9", "kind = language-pack\nbase = 0x100\n\0" + srec(1, 0x100, 2, b"\1\2\3") +
     srec(2, 0x200, 3, b"\4\5") + srec(5, 2, 2, b"") + srec(9, 0x100, 2, b""))
seed("srecord", "s6_s8", "kind = image\nmin-blocks = 1\n\0" + srec(3, 0, 4, b"\xaa" * 16) +
     srec(6, 1, 3, b"") + srec(8, 0, 3, b""))

# Registry values: the buffer size (two bytes), the Length companion, NUL, the stored text.
seed("registry", "folder", b"\x7f\x03" + b"0012\0C:\\Firmware\\")
seed("registry", "flag_on", b"\x01\x00" + b"0001\x001")
seed("registry", "index_minus_one", b"\x02\x05" + b"0002\0-1")
seed("registry", "length_too_long", b"\x10\x00" + b"99999\0" + b"x" * 40)
seed("registry", "no_length", b"\x10\x00" + b"\0Development")

# Command lines: 1 = the window's, 0 = tervolo-cli's; arguments split at NUL.
for name, args in {
    "preset": ["/PLine 1"],
    "diagnostics_file": ["/D", "D:\\fw\\LPT47_pack.rel", "D:\\fw\\main.abs"],
    "file_then_preset": ["main.rel", "/PX"],
}.items():
    seed("command_lines", "window_" + name, b"\1" + "\0".join(args).encode())
for name, args in {
    "one_port": "download --port /dev/ttyUSB0 --model RT47 --image main.rel --lp lang.rel",
    "station": "download --station --count 3 --port COM3 --port COM4 --model RT47X --image m.rel "
               "--boot --gang --yes --json --log run.log --journal j.jsonl --baud 57600 --timeout 2.5",
    "help": "download --help",
    "version": "--version",
}.items():
    seed("command_lines", "cli_" + name, b"\0" + args.replace(" ", "\0").encode())

# The simulator: steps of control lines (a step byte with bit 0 clear, the line, LF) and reads
# (a step byte with bit 0 set, a count, the bytes).
def line(text):
    return b"\0" + text.encode() + b"\n"


def read(data, gap=0):
    out = b""
    for at in range(0, len(data), 255):
        piece = data[at:at + 255]
        out += bytes([gap << 1 | 1, len(piece)]) + piece
    return out


block = b"<w\x00\x01" + bytes(block0)
seed("sim", "download", read(b"<i") + read(b"<p04") + read(b"<e") + read(block) +
     read(b"<c\x12\x34\x56\x78") + line("STATS") + line("FLASH main") + line("TRANSCRIPT"))
seed("sim", "commands", b"".join(line(t) for t in (
    "SETSTR mobile_id RT47X", "SET product_id 52543437", "SETNUM main_blocks 3",
    "SETNUM split_gap_ms 10", "FAULT write_fail main 1 3", "FAULT garbage 2 3e45 always",
    "FAULT split 1 1,2 2", "FAULT stray_i", "MODE raw", "PACE on", "SEND 3e69", "STATUS", "HELP",
    "WAITFRAME w 1 10", "LINE", "UNPLUG", "ANSWERS", "RECEIVED", "bogus")))
seed("sim", "stale_frame", read(b"<w\x00\x00" + bytes(100)) + read(b"<i", 100) + line("UNPLUG") +
     read(b"<c\x00"))

# The journal: texts as libFuzzer's data provider takes them (each ends at a backslash that
# is not doubled), the numbers from the input's end.
texts = ["1.0", "line3-pc2", "RT47", "main", "lp", "image", "/srv/fw/ma\"in.rel", "ab" * 32,
         "/dev/ttyUSB0\x01\x7f", "RT47-SIM-\xff\xfe", "RT47X", "No answer\r\n\t\xe9t\xe9"]
seed("journal", "quotes_controls_codepage",
     "".join(t.replace("\\", "\\\\") + "\\ " for t in texts).encode("latin-1") +
     bytes(range(1, 40)))
seed("journal", "plain", b"1.0\\ host\\ RT47\\ " + bytes(24))

# Job files: the example of runner/job_file.h, a small one, and values at their edges.
seed("job_file", "example", '{"model": "RT47", "baud": 115200, "sections": ["main", "lp"], '
     '"image": "main.rel", "image_sha256": "' + "0123456789abcdef" * 4 + '", "lp": "lang.rel", '
     '"lp_sha256": "", "journal": "line3.jsonl", "ports": ["COM3", "COM4"], "yes": false, '
     '"station": true, "count": 0, "timeout": 30, "gang": false}')
seed("job_file", "small", '{"image": "m.rel", "sections": ["boot", "main"]}')
seed("job_file", "edges", '{"lp": "\\u00e9t\\u00e9.rel", "count": 4294967295, "station": true, '
     '"timeout": 0.5, "baud": 19200, "ports": []}')
seed("job_file", "regress_timeout_1e300", '{"model": "RT47", "image": "main.rel", "ports": ["COM3"], '
     '"timeout": 1e300}')
seed("job_file", "regress_nul_in_path", '{"image": "a.abs\\u0000.rel", "ports": ["COM3"]}')
seed("job_file", "regress_timeout_3e10", '{"image": "m.rel", "timeout": 3e10}')


def main():
    for target, files in seeds.items():
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    print("seeds:", ", ".join("%s %d" % (t, len(f)) for t, f in seeds.items()), file=sys.stderr)


if __name__ == "__main__":
    main()
