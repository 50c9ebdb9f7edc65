"""Reads the resources of a PE file: the resource directory of its .rsrc
section, version blocks and the application manifest."""
import struct

RT_ICON, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 14, 16, 24


def _sections(data):
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    count = struct.unpack_from('<H', data, pe + 6)[0]
    optional_size = struct.unpack_from('<H', data, pe + 20)[0]
    table = pe + 24 + optional_size
    for i in range(count):
        name, vsize, rva, raw_size, raw_ptr = struct.unpack_from('<8sIIII', data, table + 40 * i)
        yield name.rstrip(b'\0').decode(), rva, vsize, raw_ptr, raw_size


def resources(path):
    """{(type, name): bytes} for every resource; names are ints or strings."""
    with open(path, 'rb') as f:
        data = f.read()
    rsrc = [s for s in _sections(data) if s[0] == '.rsrc']
    if not rsrc:
        return {}
    _, base_rva, _, raw_ptr, _ = rsrc[0]

    def name_of(entry_name):
        if entry_name & 0x80000000:
            at = raw_ptr + (entry_name & 0x7FFFFFFF)
            length = struct.unpack_from('<H', data, at)[0]
            return data[at + 2:at + 2 + 2 * length].decode('utf-16-le')
        return entry_name

    def entries(offset):
        named, ids = struct.unpack_from('<HH', data, raw_ptr + offset + 12)
        for i in range(named + ids):
            yield struct.unpack_from('<II', data, raw_ptr + offset + 16 + 8 * i)

    found = {}
    for type_name, type_off in entries(0):
        for res_name, name_off in entries(type_off & 0x7FFFFFFF):
            for _lang, leaf in entries(name_off & 0x7FFFFFFF):
                rva, size = struct.unpack_from('<II', data, raw_ptr + leaf)
                start = raw_ptr + rva - base_rva
                found[(name_of(type_name), name_of(res_name))] = data[start:start + size]
    return found


def _align(n):
    return (n + 3) & ~3


def version_block(data, offset=0):
    """(key, value bytes, is_text, children) of the version block at offset."""
    length, value_length, kind = struct.unpack_from('<HHH', data, offset)
    end = offset + length
    at = offset + 6
    key_end = at
    while data[key_end:key_end + 2] != b'\0\0':
        key_end += 2
    key = data[at:key_end].decode('utf-16-le')
    at = _align(key_end + 2)
    value_size = value_length * 2 if kind == 1 else value_length
    value = data[at:at + value_size]
    at = _align(at + value_size)
    children = []
    while at < end:
        child = version_block(data, at)
        children.append(child)
        at = _align(at + struct.unpack_from('<H', data, at)[0])
    return key, value, kind == 1, children


def version_strings(data):
    """The fixed file and product versions and the StringFileInfo texts."""
    key, fixed, _, children = version_block(data)
    if key != 'VS_VERSION_INFO':
        raise ValueError(f'version resource key {key!r}')
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from('<IIIIII', fixed)
    if signature != 0xFEEF04BD:
        raise ValueError('no fixed file information')
    texts = {}
    for child_key, _, _, tables in children:
        if child_key == 'StringFileInfo':
            for _, _, _, strings in tables:
                for name, value, _, _ in strings:
                    texts[name] = value.decode('utf-16-le').rstrip('\0')

    def dotted(ms, ls):
        return f'{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}'
    return dotted(file_ms, file_ls), dotted(product_ms, product_ls), texts
