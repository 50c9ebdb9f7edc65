#!/usr/bin/env python3
"""Stamps a PE file's header checksum, which the program checks at start-up.

Usage: tools/pe_stamp.py FILE.exe         stamp the checksum in place
       tools/pe_stamp.py --check FILE.exe exit 1 unless the stamp is right
"""
import struct
import sys


def checksum_offset(data):
    if data[:2] != b'MZ':
        raise ValueError('not an MZ executable')
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        raise ValueError('no PE header')
    return pe + 24 + 64


def pe_checksum(data, offset):
    body = bytearray(data)
    body[offset:offset + 4] = b'\0\0\0\0'
    if len(body) % 2:
        body.append(0)
    total = 0
    for (word,) in struct.iter_unpack('<H', body):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main(argv):
    check = argv[1:2] == ['--check']
    path = argv[2] if check else argv[1]
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    offset = checksum_offset(data)
    wanted = pe_checksum(data, offset)
    stored = struct.unpack_from('<I', data, offset)[0]
    if check:
        if stored != wanted:
            print(f'{path}: checksum {stored:#010x}, should be {wanted:#010x}')
            return 1
        print(f'{path}: checksum {stored:#010x} stamped')
        return 0
    struct.pack_into('<I', data, offset, wanted)
    with open(path, 'wb') as f:
        f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
