"""Seeds for fuzz_gif_lzw: the first frame's compressed data of each test GIF, in the target's
input form (minimum code size, piece length, data).

Usage: python3 fuzz/gif_lzw_seeds.py tests/data/corpus OUT_DIR
"""
import glob
import os
import sys


def first_frame(b):
    if b[:3] != b"GIF" or len(b) < 13:
        return None
    p = 13 + (3 * (2 << (b[10] & 7)) if b[10] & 0x80 else 0)
    while p < len(b):
        kind = b[p]
        p += 1
        if kind == 0x21:  # extension: label, then sub-blocks
            p += 1
            while p < len(b) and b[p]:
                p += b[p] + 1
            p += 1
        elif kind == 0x2C:
            flags = b[p + 8]
            p += 9 + (3 * (2 << (flags & 7)) if flags & 0x80 else 0)
            size, data = b[p], bytearray()
            p += 1
            while p < len(b) and b[p]:
                data += b[p + 1:p + 1 + b[p]]
                p += b[p] + 1
            return bytes([size, 254]) + bytes(data[:20000])
        else:
            return None
    return None


def main():
    os.makedirs(sys.argv[2], exist_ok=True)
    n = 0
    for path in sorted(glob.glob(os.path.join(sys.argv[1], "**", "*.gif"), recursive=True)):
        try:
            seed = first_frame(open(path, "rb").read())
        except IndexError:
            seed = None
        if seed:
            open(os.path.join(sys.argv[2], "seed%03d" % n), "wb").write(seed)
            n += 1
    print(n, "seeds")


if __name__ == "__main__":
    main()
