#!/usr/bin/env python3
"""Checks the built uninstall.exe files without running them: the DLLs they
import (Windows' own only, COMCTL32 not among them: it is loaded at run time),
the GUI subsystem, the machine, a stamped checksum; and prints their sizes.

Usage: tests/static/check_exe.py BUILD_ROOT   (holds win64/ and win32/)
"""
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
STAMP = os.path.join(HERE, '..', '..', 'tools', 'pe_stamp.py')

ALLOWED = {'KERNEL32.DLL', 'USER32.DLL', 'ADVAPI32.DLL', 'MSVCRT.DLL'}
REQUIRED = {'KERNEL32.DLL', 'USER32.DLL', 'ADVAPI32.DLL'}
BUILDS = [('win64', 'x86_64-w64-mingw32-objdump', 'pei-x86-64'),
          ('win32', 'i686-w64-mingw32-objdump', 'pei-i386')]


def check(build_root, preset, objdump, fmt):
    exe = os.path.join(build_root, preset, 'uninstall.exe')
    problems = []
    if not os.path.isfile(exe):
        return [f'{exe} is missing']
    dump = subprocess.run([objdump, '-p', exe], capture_output=True, text=True, check=True).stdout
    dlls = {name.upper() for name in re.findall(r'DLL Name: (\S+)', dump)}
    if not dlls <= ALLOWED:
        problems.append(f'{exe} imports {sorted(dlls - ALLOWED)}, beyond Windows\' own DLLs')
    if not REQUIRED <= dlls:
        problems.append(f'{exe} lacks imports of {sorted(REQUIRED - dlls)}')
    subsystem = re.search(r'^Subsystem\s+(\S+)', dump, re.M)
    if not subsystem or int(subsystem.group(1), 16) != 2:
        problems.append(f'{exe} is not a GUI program (subsystem {subsystem and subsystem.group(1)})')
    if f'file format {fmt}' not in dump:
        problems.append(f'{exe} is not {fmt}')
    stamp = subprocess.run([sys.executable, STAMP, '--check', exe], capture_output=True, text=True)
    if stamp.returncode != 0:
        problems.append(stamp.stdout.strip())
    print(f'{preset}: {exe}: {os.path.getsize(exe)} bytes, imports {", ".join(sorted(dlls))}')
    return problems


def main():
    build_root = sys.argv[1] if len(sys.argv) > 1 else 'build'
    problems = []
    for preset, objdump, fmt in BUILDS:
        problems += check(build_root, preset, objdump, fmt)
    for p in problems:
        print('FAIL:', p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
