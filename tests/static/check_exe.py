#!/usr/bin/env python3
"""Checks the built uninstall.exe files without running them: the DLLs they
import (Windows' own only, COMCTL32 not among them: it is loaded at run time),
the GUI subsystem, the machine, a stamped checksum, the version resource and
the manifest; and prints their sizes.

Usage: tests/static/check_exe.py BUILD_ROOT   (holds win64/ and win32/)
"""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

import pe_resources

HERE = os.path.dirname(os.path.abspath(__file__))

ALLOWED = {'KERNEL32.DLL', 'USER32.DLL', 'ADVAPI32.DLL', 'MSVCRT.DLL'}
REQUIRED = {'KERNEL32.DLL', 'USER32.DLL', 'ADVAPI32.DLL'}
WANTED_VERSION = '1.30.0.0'
WANTED_TEXTS = {'FileDescription': 'Morvane Uninstall', 'FileVersion': '1.30', 'ProductVersion': '1.30',
                'ProductName': 'Morvane Setup', 'OriginalFilename': 'uninstall.exe'}
# Windows Vista, 7, 8, 8.1 and 10/11
WANTED_OS = {'{e2011457-1546-43c5-a5fe-008deee3d3f0}', '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}',
             '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}', '{1f676c76-80e1-4239-95bb-83d0f6d0da78}',
             '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'}

BUILDS = [('win64', 'x86_64-w64-mingw32-objdump', 'pei-x86-64'),
          ('win32', 'i686-w64-mingw32-objdump', 'pei-i386')]


def check_resources(exe):
    problems = []
    found = pe_resources.resources(exe)
    version = found.get((pe_resources.RT_VERSION, 1))
    if version is None:
        problems.append(f'{exe} has no version resource')
    else:
        file_version, product_version, texts = pe_resources.version_strings(version)
        if (file_version, product_version) != (WANTED_VERSION, WANTED_VERSION):
            problems.append(f'{exe} versions {file_version}/{product_version}, wanted {WANTED_VERSION}')
        for key, wanted in WANTED_TEXTS.items():
            if texts.get(key) != wanted:
                problems.append(f'{exe} version text {key} is {texts.get(key)!r}, wanted {wanted!r}')

    manifest = found.get((pe_resources.RT_MANIFEST, 1))
    if manifest is None:
        return problems + [f'{exe} has no manifest']
    root = ET.fromstring(manifest)
    levels = [e.get('level') for e in root.iter() if e.tag.endswith('}requestedExecutionLevel')]
    if levels != ['requireAdministrator']:
        problems.append(f'{exe} asks for execution levels {levels}, wanted requireAdministrator')
    systems = {e.get('Id') for e in root.iter() if e.tag.endswith('}supportedOS')}
    if systems != WANTED_OS:
        problems.append(f'{exe} declares supported systems {sorted(systems)}')
    aware = [e.text for e in root.iter() if e.tag.endswith('}dpiAware')]
    if aware != ['true']:
        problems.append(f'{exe} is not DPI-aware: {aware}')
    dependencies = [e.get('name') for e in root.iter() if e.tag.endswith('}assemblyIdentity')][1:]
    if dependencies:
        problems.append(f'{exe} depends on assemblies {dependencies}: the classic controls must stay')
    return problems


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
    # The build's stamper, image_check, judges the stamp as the program does.
    stamp = subprocess.run([os.path.join(build_root, preset, 'host', 'image_check'), exe], capture_output=True,
                           text=True)
    if stamp.returncode != 0:
        problems.append((stamp.stdout + stamp.stderr).strip())
    problems += check_resources(exe)
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
