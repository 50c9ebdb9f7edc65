# Installs the Debian packages the build, the tests and the demonstration
# need, when they are missing. Sourced by scripts/test, scripts/demo and
# scripts/sign.

# Wine's preloaders come in packages of their own, which Debian only
# suggests. Without one, Wine reserves the addresses every Windows process
# needs only after Linux has placed the loader's own mappings, and about one
# start in a few thousand finds the page of the shared user data taken: the
# program ends at once with status 1 and, under WINEDEBUG=-all, no word.
PACKAGES=(cmake ninja-build g++ git googletest libgtest-dev python3
          clang-14 libclang-rt-14-dev llvm-14
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 wine64-preloader fonts-wine xvfb x11-utils
          imagemagick osslsigncode openssl locales)

# ensure_packages [PACKAGE...]: the packages given, or all of the above.
ensure_packages() {
    local missing=()
    local p
    [ $# -gt 0 ] || set -- "${PACKAGES[@]}"
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# The Japanese locale, under which Wine gives its programs the double-byte
# code page 932 (one end-to-end test runs so).
ensure_japanese_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
    echo "Making the locale ja_JP.UTF-8"
    as_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

# as_root COMMAND...: runs it as root, through sudo unless this is root.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Whether this machine's kernel runs 32-bit x86 programs, which differs from
# machine to machine: a static i386 program of twelve bytes' code, written
# here, must start and end with exit code 42.
kernel_runs_i386() {
    local probe status=0
    probe=$(mktemp) || return 1
    python3 - "$probe" <<'PY'
import struct
import sys

code = bytes([0xB8, 1, 0, 0, 0,     # mov eax, 1 (exit)
              0xBB, 42, 0, 0, 0,    # mov ebx, 42
              0xCD, 0x80])          # int 0x80
base = 0x08048000
start = 52 + 32                     # after the ELF header and one program header
header = (b'\x7fELF\x01\x01\x01' + bytes(9) +
          struct.pack('<HHIIIIIHHHHHH', 2, 3, 1, base + start, 52, 0, 0, 52, 32, 1, 0, 0, 0))
segment = struct.pack('<8I', 1, 0, base, base, start + len(code), start + len(code), 5, 0x1000)
with open(sys.argv[1], 'wb') as f:
    f.write(header + segment + code)
PY
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    [ "$status" -eq 42 ]
}

# Debian's 32-bit Wine, with its preloader, beside the 64-bit one, so that
# Wine runs 32-bit Windows programs in a 64-bit prefix as 64-bit Windows
# does (WOW64). Call it only where kernel_runs_i386.
ensure_wine32() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
    fi
    ensure_packages wine32:i386 wine32-preloader:i386
}
