#!/usr/bin/python3
"""Checks the built uninstall.exe files without running them: the DLLs they
import (Windows' own only, COMCTL32 not among them: it is loaded at run time),
the GUI subsystem, the machine, a stamped checksum, the version resource and
the manifest; and prints their sizes.

Usage: tests/static/check_exe.py BUILD_ROOT   (holds win64/ and win32/)

Debian's python3-pefile reads the images, so this runs on Debian's own
interpreter, the one that package serves.
"""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

import pefile

ALLOWED = {'KERNEL32.DLL', 'USER32.DLL', 'ADVAPI32.DLL', 'MSVCRT.DLL'}
REQUIRED = {'KERNEL32.DLL', 'USER32.DLL', 'ADVAPI32.DLL'}


def product_fields():
    """The name and version as res/product.h, their one place, writes them."""
    fields = {}
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'res', 'product.h')
    for line in open(path, encoding='ascii'):
        match = re.match(r'#define (PRODUCT_[A-Z_]+) (?:"([^"]*)"|([0-9]+))$', line.rstrip('\n'))
        if match:
            fields[match[1]] = match[2] if match[2] is not None else match[3]
    return fields


PRODUCT = product_fields()
VERSION = f"{PRODUCT['PRODUCT_VERSION_MAJOR']}.{PRODUCT['PRODUCT_VERSION_MINOR']}"
WANTED_VERSION = f'{VERSION}.0.0'
WANTED_TEXTS = {'FileDescription': PRODUCT['PRODUCT_NAME'], 'FileVersion': VERSION, 'ProductVersion': VERSION,
                'CompanyName': PRODUCT['PRODUCT_COMPANY'], 'ProductName': PRODUCT['PRODUCT_SUITE'],
                'OriginalFilename': 'uninstall.exe'}
# Windows Vista, 7, 8, 8.1 and 10/11
WANTED_OS = {'{e2011457-1546-43c5-a5fe-008deee3d3f0}', '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}',
             '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}', '{1f676c76-80e1-4239-95bb-83d0f6d0da78}',
             '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'}

# preset, machine, optional header
BUILDS = [('win64', 'IMAGE_FILE_MACHINE_AMD64', pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS),
          ('win32', 'IMAGE_FILE_MACHINE_I386', pefile.OPTIONAL_HEADER_MAGIC_PE)]


def dotted(ms, ls):
    return f'{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}'


def check_version(exe, pe):
    if not getattr(pe, 'VS_FIXEDFILEINFO', None):
        return [f'{exe} has no version resource']
    problems = []
    fixed = pe.VS_FIXEDFILEINFO[0]
    versions = (dotted(fixed.FileVersionMS, fixed.FileVersionLS), dotted(fixed.ProductVersionMS, fixed.ProductVersionLS))
    if versions != (WANTED_VERSION, WANTED_VERSION):
        problems.append(f'{exe} versions {versions[0]}/{versions[1]}, wanted {WANTED_VERSION}')
    texts = {}
    for info in (i for infos in pe.FileInfo for i in infos):
        if info.Key == b'StringFileInfo':
            for table in info.StringTable:
                texts.update({k.decode(): v.decode() for k, v in table.entries.items()})
    for key, wanted in WANTED_TEXTS.items():
        if texts.get(key) != wanted:
            problems.append(f'{exe} version text {key} is {texts.get(key)!r}, wanted {wanted!r}')
    return problems


def manifest_of(pe):
    resources = getattr(pe, 'DIRECTORY_ENTRY_RESOURCE', None)
    for kind in resources.entries if resources else []:
        if kind.id != pefile.RESOURCE_TYPE['RT_MANIFEST']:
            continue
        for name in kind.directory.entries:
            if name.id == 1:
                data = name.directory.entries[0].data.struct
                return pe.get_data(data.OffsetToData, data.Size)
    return None


def check_manifest(exe, pe):
    manifest = manifest_of(pe)
    if manifest is None:
        return [f'{exe} has no manifest']
    problems = []
    root = ET.fromstring(manifest)
    levels = [e.get('level') for e in root.iter() if e.tag.endswith('}requestedExecutionLevel')]
    if levels != ['requireAdministrator']:
        problems.append(f'{exe} asks for execution levels {levels}, wanted requireAdministrator')
    identity = [(e.get('version'), e.get('name')) for e in root.iter() if e.tag.endswith('}assemblyIdentity')]
    description = [e.text for e in root.iter() if e.tag.endswith('}description')]
    if identity != [(WANTED_VERSION, 'Morvane.Setup.Uninstall')] or description != [PRODUCT['PRODUCT_NAME']]:
        problems.append(f'{exe} manifest names {identity} and {description}, wanted {WANTED_VERSION} and '
                        f"{PRODUCT['PRODUCT_NAME']!r}")
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


def check(build_root, preset, machine, magic):
    exe = os.path.join(build_root, preset, 'uninstall.exe')
    if not os.path.isfile(exe):
        return [f'{exe} is missing']
    problems = []
    pe = pefile.PE(exe)
    dlls = {entry.dll.decode().upper() for entry in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', [])}
    if not dlls <= ALLOWED:
        problems.append(f'{exe} imports {sorted(dlls - ALLOWED)}, beyond Windows\' own DLLs')
    if not REQUIRED <= dlls:
        problems.append(f'{exe} lacks imports of {sorted(REQUIRED - dlls)}')
    subsystem = pe.OPTIONAL_HEADER.Subsystem
    if subsystem != pefile.SUBSYSTEM_TYPE['IMAGE_SUBSYSTEM_WINDOWS_GUI']:
        problems.append(f'{exe} is not a GUI program (subsystem {subsystem})')
    if pe.FILE_HEADER.Machine != pefile.MACHINE_TYPE[machine] or pe.OPTIONAL_HEADER.Magic != magic:
        problems.append(f'{exe} is not {machine} with optional header {magic:#x}')
    # The build's stamper, image_check, judges the stamp as the program does.
    stamp = subprocess.run([os.path.join(build_root, preset, 'host', 'image_check'), exe], capture_output=True,
                           text=True)
    if stamp.returncode != 0:
        problems.append((stamp.stdout + stamp.stderr).strip())
    problems += check_version(exe, pe) + check_manifest(exe, pe)
    print(f'{preset}: {exe}: {os.path.getsize(exe)} bytes, imports {", ".join(sorted(dlls))}')
    return problems


def main():
    build_root = sys.argv[1] if len(sys.argv) > 1 else 'build'
    problems = []
    for build in BUILDS:
        problems += check(build_root, *build)
    for p in problems:
        print('FAIL:', p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
