#!/usr/bin/env python3
"""Stamps the value that the program checks at start-up, and the header
CheckSum.

The value is the checksum of the image (every byte up to the end of the last
section) with the header CheckSum, the certificate table's directory entry
and the value itself counting as zero: the bytes an Authenticode signature
covers, so signing leaves it true. It lives in the first four bytes of the
section .imgsum, which no signing tool writes. The header CheckSum, over the
whole file, is stamped as well, for the tools that look at it.

Usage: tools/pe_stamp.py FILE.exe         stamp both in place
       tools/pe_stamp.py --check FILE.exe exit 1 unless both are right
"""
import struct
import sys

SUM_SECTION = b'.imgsum\0'
SECURITY_DIRECTORY = 4


def layout(data):
    """The offsets of the header CheckSum, the certificate-table entry and the
    stamp, and where the image ends."""
    if data[:2] != b'MZ':
        raise ValueError('not an MZ executable')
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        raise ValueError('no PE header')
    count, = struct.unpack_from('<H', data, pe + 6)
    optional_size, = struct.unpack_from('<H', data, pe + 20)
    optional = pe + 24
    magic, = struct.unpack_from('<H', data, optional)
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    stamp = None
    image_end = 0
    for i in range(count):
        header = optional + optional_size + 40 * i
        raw_size, raw_at = struct.unpack_from('<II', data, header + 16)
        if raw_size:
            image_end = max(image_end, raw_at + raw_size)
        if stamp is None and raw_size >= 4 and data[header:header + 8] == SUM_SECTION:
            stamp = raw_at
    if stamp is None:
        raise ValueError('no section .imgsum to hold the stamp')
    return optional + 64, directories + 8 * SECURITY_DIRECTORY, stamp, image_end


def word_sum(data):
    """The 16-bit words of data added with end-around carry."""
    if len(data) % 2:
        data = data + b'\0'
    total = 0
    for (word,) in struct.iter_unpack('<H', data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total & 0xFFFF) + (total >> 16)


def zeroed(data, fields):
    body = bytearray(data)
    for at, size in fields:
        body[at:at + size] = bytes(size)
    return body


def image_sum(data):
    checksum_at, security_at, stamp_at, image_end = layout(data)
    image = zeroed(data[:image_end], [(checksum_at, 4), (security_at, 8), (stamp_at, 4)])
    return (word_sum(bytes(image)) + image_end) & 0xFFFFFFFF


def header_checksum(data):
    checksum_at = layout(data)[0]
    return (word_sum(bytes(zeroed(data, [(checksum_at, 4)]))) + len(data)) & 0xFFFFFFFF


def main(argv):
    check = argv[1:2] == ['--check']
    path = argv[2] if check else argv[1]
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    checksum_at, _, stamp_at, image_end = layout(data)
    wanted_stamp = image_sum(data)
    if check:
        stamp, = struct.unpack_from('<I', data, stamp_at)
        header, = struct.unpack_from('<I', data, checksum_at)
        wanted_header = header_checksum(data)
        if stamp != wanted_stamp or header != wanted_header:
            print(f'{path}: stamp {stamp:#010x}, should be {wanted_stamp:#010x}; '
                  f'header CheckSum {header:#010x}, should be {wanted_header:#010x}')
            return 1
        print(f'{path}: stamp {stamp:#010x} and header CheckSum {header:#010x} right')
        return 0
    if len(data) != image_end:
        print(f'{path}: {len(data) - image_end} bytes follow the image; stamp it before signing')
        return 1
    struct.pack_into('<I', data, stamp_at, wanted_stamp)
    struct.pack_into('<I', data, checksum_at, header_checksum(data))
    with open(path, 'wb') as f:
        f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
