#!/usr/bin/env python3
"""Writes the program's dialog templates, UNINSTDLG and RESTARTDLG, from
res/dialogs.json, their one description: the bytes of standard (not
extended) dialog templates for uninstall.rc, and res/dialogs.h, which gives
the program its item numbers and the tests the same templates as C++ tables.

A resource compiler's DIALOG statement cannot be trusted with them: it may
store a class name such as msctls_progress32 in upper case, or BUTTON and
STATIC as names instead of their atoms. Written here, every field is exactly
as the description gives it.

The description gives, for each dialog by its resource name: the file its
template goes to; its style (in hexadecimal), position and size in dialog
units; its title, with the name dialogs.h gives it ("title_name"); its font;
and its items in order, each with its class, text, style, position and size.
An item with a number ("value") has the name dialogs.h gives that number
("id"; "windows" marks one of Windows' own, such as IDOK, which dialogs.h
defines only where Windows' headers have not); an item without one has
0xFFFF. An item's "text_name" is the name dialogs.h gives its text.

Usage: tools/make_dialogs.py DIALOGS_JSON OUTPUT_DIR
       writes OUTPUT_DIR/uninstdlg.dlg, restartdlg.dlg and dialogs.h
"""
import json
import os
import struct
import sys

ATOMS = {'BUTTON': 0x0080, 'EDIT': 0x0081, 'STATIC': 0x0082}   # the predefined classes
NO_ID = 0xFFFF


def text(value):
    return value.encode('cp1252').decode('cp1252').encode('utf-16-le') + b'\0\0'


def class_field(name):
    if name in ATOMS:
        return struct.pack('<HH', 0xFFFF, ATOMS[name])
    return text(name)


def number(value):
    return int(value, 16) if isinstance(value, str) else value


def template(dialog):
    points, face = dialog['font']
    out = struct.pack('<IIHhhhh', number(dialog['style']), 0, len(dialog['items']),
                      dialog['x'], dialog['y'], dialog['cx'], dialog['cy'])
    out += b'\0\0'   # no menu
    out += b'\0\0'   # the default dialog class
    out += text(dialog['title']) + struct.pack('<H', points) + text(face)
    for item in dialog['items']:
        out += b'\0' * (-len(out) % 4)   # every item starts on a DWORD
        out += struct.pack('<IIhhhhH', number(item['style']), 0, item['x'], item['y'], item['cx'], item['cy'],
                           item.get('value', NO_ID))
        out += class_field(item['class']) + text(item['text'])
        out += b'\0\0'   # no creation data
    return out


def c_string(value):
    escaped = {'\\': '\\\\', '"': '\\"', '\n': '\\n', '\r': '\\r', '\t': '\\t'}
    out = ''
    for c in value:
        if c in escaped:
            out += escaped[c]
        elif ' ' <= c <= '~':
            out += c
        else:
            raise ValueError(f'{value!r}: only printable ASCII, line feeds and tabs are written')
    return '"' + out + '"'


def define(name, value):
    return f'#define {name} {value}'


def header(dialogs):
    lines = ['// Written by tools/make_dialogs.py from res/dialogs.json, with the dialog',
             '// templates it puts in uninstall.exe: change that file, not this one.',
             '#ifndef RES_DIALOGS_H',
             '#define RES_DIALOGS_H',
             '']
    for name, dialog in dialogs.items():
        lines.append(f'// {name}')
        lines.append(define(dialog['title_name'], c_string(dialog['title'])))
        for item in dialog['items']:
            if 'id' in item:
                if item.get('windows'):
                    lines += [f'#ifndef {item["id"]}', define(item['id'], item['value']), '#endif']
                else:
                    lines.append(define(item['id'], item['value']))
            if 'text_name' in item:
                lines.append(define(item['text_name'], c_string(item['text'])))
        lines.append('')

    lines += ['// The templates as the tests compare and simulate them: position and size in',
              '// dialog units, the classes by name and, for the predefined ones, by the atom',
              '// the template stores (0 for a class stored by name).',
              'namespace dialogs {',
              '',
              'struct Item {',
              '    unsigned short id;   // 0xFFFF: none',
              '    const char *className;',
              '    unsigned short classAtom;',
              '    const char *text;',
              '    unsigned long style;',
              '    short x, y, cx, cy;',
              '};',
              '',
              'struct Dialog {',
              '    const char *name;   // the resource name',
              '    unsigned long style;',
              '    short x, y, cx, cy;',
              '    const char *title;',
              '    unsigned short pointSize;',
              '    const char *font;',
              '    const Item *items;',
              '    unsigned itemCount;',
              '};',
              '']
    for name, dialog in dialogs.items():
        table = 'k' + name.capitalize() + 'Items'
        lines.append(f'inline constexpr Item {table}[] = {{')
        for item in dialog['items']:
            ident = item.get('id', '0xFFFF')
            words = item.get('text_name', c_string(item['text']))
            lines.append(f'    {{{ident}, {c_string(item["class"])}, 0x{ATOMS.get(item["class"], 0):04X}, {words}, '
                         f'{item["style"]}, {item["x"]}, {item["y"]}, {item["cx"]}, {item["cy"]}}},')
        lines.append('};')
        points, face = dialog['font']
        lines.append(f'inline constexpr Dialog k{name.capitalize()} = {{{c_string(name)}, {dialog["style"]}, '
                     f'{dialog["x"]}, {dialog["y"]}, {dialog["cx"]}, {dialog["cy"]}, {dialog["title_name"]}, '
                     f'{points}, {c_string(face)}, {table}, {len(dialog["items"])}}};')
        lines.append('')
    lines += ['}  // namespace dialogs', '', '#endif', '']
    return '\n'.join(lines)


def write(path, data):
    with open(path, 'wb') as f:
        f.write(data)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.rsplit('Usage: ', 1)[1])
    with open(sys.argv[1], encoding='utf-8') as f:
        dialogs = json.load(f)
    out_dir = sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    for dialog in dialogs.values():
        write(os.path.join(out_dir, dialog['file']), template(dialog))
    write(os.path.join(out_dir, 'dialogs.h'), header(dialogs).encode('ascii'))


if __name__ == '__main__':
    main()
