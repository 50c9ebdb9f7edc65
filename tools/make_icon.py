#!/usr/bin/env python3
"""Writes res/mainicon.ico: one picture as three 32x32 images with 2, 8 and 16
colours (1, 4 and 4 bits a pixel), the forms the program's icon comes in.

Usage: tools/make_icon.py OUTPUT.ico
"""
import struct
import sys

# A waste bin with an arrow leaving it. '.' is transparent.
PICTURE = """\
................................
..............kkkk..............
.............krrrrk.............
............krrrrrrk............
...........krrrrrrrrk...........
..........kkkkrrrrkkkk..........
.............krrrrk.............
.............krrrrk.............
.............kkkkkk.............
................................
.....kkkkkkkkkkkkkkkkkkkkkk.....
....kwwwwwwwwwwwwwwwwwwwwwwk....
....kddddddddddddddddddddddk....
.....kkkkkkkkkkkkkkkkkkkkkk.....
......kgggggggggggggggggggk.....
......kgwgggdggwgggdggwgggk.....
......kgwgggdggwgggdggwgggk.....
......kgwgggdggwgggdggwgggk.....
......kgwbggdgbwggbdggwbggk.....
......kgwbggdgbwggbdggwbggk.....
......kgwbggdgbwggbdggwbggk.....
......kgwbggdgbwggbdggwbggk.....
......kgwbggdgbwggbdggwbggk.....
......kgwgggdggwgggdggwgggk.....
......kgwgggdggwgggdggwgggk.....
......kgwgggdggwgggdggwgggk.....
.......kgggggggggggggggggk......
.......kddddddddddddddddk.......
........kkkkkkkkkkkkkkkk........
................................
................................
................................
"""

VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
EIGHT = [(0, 0, 0), (255, 255, 255), (128, 128, 128), (192, 192, 192), (0, 0, 128),
         (0, 0, 255), (255, 0, 0), (255, 255, 0)]
TWO = [(0, 0, 0), (255, 255, 255)]

# Palette index of each picture letter, per image.
INDEX_TWO = {'k': 0, 'r': 0, 'w': 1, 'g': 1, 'd': 0, 'b': 0}
INDEX_EIGHT = {'k': 0, 'w': 1, 'd': 2, 'g': 3, 'b': 5, 'r': 6}
INDEX_SIXTEEN = {'k': 0, 'w': 15, 'd': 8, 'g': 7, 'b': 12, 'r': 9}


def rows():
    lines = PICTURE.splitlines()
    assert len(lines) == 32 and all(len(line) == 32 for line in lines)
    return lines


def pack_bits(values, bits):
    """One bottom-up bitmap row, padded to four bytes."""
    out = bytearray()
    acc = 0
    count = 0
    for v in values:
        acc = (acc << bits) | v
        count += bits
        if count == 8:
            out.append(acc)
            acc = 0
            count = 0
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def image(palette, index, bits):
    lines = rows()
    xor = b''.join(pack_bits([index.get(c, 0) for c in line], bits) for line in reversed(lines))
    mask = b''.join(pack_bits([1 if c == '.' else 0 for c in line], 1) for line in reversed(lines))
    header = struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, bits, 0, len(xor) + len(mask), 0, 0,
                         len(palette), 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
    return header + colours + xor + mask


def main():
    images = [(image(TWO, INDEX_TWO, 1), 2, 1),
              (image(EIGHT, INDEX_EIGHT, 4), 8, 4),
              (image(VGA16, INDEX_SIXTEEN, 4), 16, 4)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for data, colours, bits in images:
        out += struct.pack('<BBBBHHII', 32, 32, colours % 256, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b''.join(data for data, _, _ in images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
