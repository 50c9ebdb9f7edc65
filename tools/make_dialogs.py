#!/usr/bin/env python3
"""Writes the program's dialog templates, UNINSTDLG and RESTARTDLG, as the
bytes of standard (not extended) dialog templates.

A resource compiler's DIALOG statement cannot be trusted with them: it may
store a class name such as msctls_progress32 in upper case, or BUTTON and
STATIC as names instead of their atoms. Written here, every field is exactly
as given below.

Usage: tools/make_dialogs.py OUTPUT_DIR    writes uninstdlg.dlg and restartdlg.dlg
"""
import os
import struct
import sys

BUTTON = 0x0080   # the predefined window classes' atoms
STATIC = 0x0082
NO_ID = 0xFFFF

UNINSTDLG = {
    'style': 0x80CF0044, 'x': 86, 'y': 65, 'cx': 202, 'cy': 87,
    'title': 'Removing application', 'font': (8, 'MS Sans Serif'),
    'items': [
        # id, class, text, style, x, y, cx, cy
        (1003, BUTTON, '&Cancel', 0x50010000, 76, 69, 50, 14),
        (101, STATIC, 'Text', 0x50020000, 39, 6, 152, 8),
        (102, STATIC, 'Text', 0x50020000, 39, 21, 152, 8),
        (131, 'msctls_progress32', 'Progress', 0x50800000, 8, 46, 186, 14),
        (NO_ID, STATIC, 'MAINICON', 0x50000003, 8, 6, 21, 20),
    ],
}

RESTART_MESSAGE = ('Some files could not be removed while running this uninstall. Your system has to be '
                   'restarted to remove these locked system files.\n\nDo you want to restart now ?')

RESTARTDLG = {
    'style': 0x90C800C4, 'x': 26, 'y': 43, 'cx': 220, 'cy': 92,
    'title': 'Restart', 'font': (8, 'MS Sans Serif'),
    'items': [
        (1, BUTTON, '&Yes', 0x50010001, 55, 73, 50, 14),
        (2, BUTTON, '&No', 0x50010000, 115, 73, 50, 14),
        (101, BUTTON, '', 0x50000007, 34, 9, 177, 57),
        (NO_ID, STATIC, RESTART_MESSAGE, 0x50020001, 44, 18, 162, 45),
        (NO_ID, STATIC, 'MAINICON', 0x50000003, 9, 14, 18, 20),
    ],
}


def text(value):
    return value.encode('cp1252').decode('cp1252').encode('utf-16-le') + b'\0\0'


def name_or_atom(value):
    if isinstance(value, int):
        return struct.pack('<HH', 0xFFFF, value)
    return text(value)


def template(dialog):
    points, face = dialog['font']
    out = struct.pack('<IIHhhhh', dialog['style'], 0, len(dialog['items']),
                      dialog['x'], dialog['y'], dialog['cx'], dialog['cy'])
    out += b'\0\0'   # no menu
    out += b'\0\0'   # the default dialog class
    out += text(dialog['title']) + struct.pack('<H', points) + text(face)
    for ident, cls, caption, style, x, y, cx, cy in dialog['items']:
        out += b'\0' * (-len(out) % 4)   # every item starts on a DWORD
        out += struct.pack('<IIhhhhH', style, 0, x, y, cx, cy, ident)
        out += name_or_atom(cls) + name_or_atom(caption)
        out += b'\0\0'   # no creation data
    return out


def main():
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for name, dialog in (('uninstdlg.dlg', UNINSTDLG), ('restartdlg.dlg', RESTARTDLG)):
        with open(os.path.join(out_dir, name), 'wb') as f:
            f.write(template(dialog))


if __name__ == '__main__':
    main()
