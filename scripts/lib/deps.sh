# Installs the Debian packages the build, the tests and the demonstration
# need, when they are missing. Sourced by the scripts and bench/run.

# Wine's preloaders come in packages of their own, which Debian only
# suggests. Without one, Wine reserves the addresses every Windows process
# needs only after Linux has placed the loader's own mappings, and about one
# start in a few thousand finds the page of the shared user data taken: the
# program ends at once with status 1 and, under WINEDEBUG=-all, no word.
PACKAGES=(cmake ninja-build g++ git googletest libgtest-dev python3 python3-pefile
          clang-14 libclang-rt-14-dev llvm-14
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 wine64-preloader fonts-wine xvfb x11-utils
          imagemagick osslsigncode openssl locales)

# apt_reason APT-OUTPUT: why apt failed, in one line: the first dependency
# it calls not installable, with the package that needs it, and its first
# error.
apt_reason() {
    local reason
    reason=$(awk '/^ [^ ]+ : / { package = $1 }
                  /Depends: .*not installable/ {
                      sub(/^ *([^ ]+ : )?/, ""); gsub(/ +/, " "); printf "%s : %s; ", package, $0; exit }' <<<"$1")
    reason+=$(grep -m 1 '^E:' <<<"$1")
    [ -n "$reason" ] || reason=$(grep . <<<"$1" | tail -n 1)
    echo "${reason:-apt gave no reason}"
}

# Refreshes the package lists. A mirror in the middle of a sync fails one
# index or another; apt then keeps the lists it has, and so does this, with
# one line that says so.
apt_update() {
    local output
    if ! output=$(as_root apt-get update -qq 2>&1); then
        echo "apt-get update failed, going on with the package lists at hand: $(apt_reason "$output")" >&2
    fi
    return 0
}

# install_packages PACKAGE...: installs those that are missing. When apt
# cannot, returns 1 with INSTALL_FAILURE naming them and apt's reason.
install_packages() {
    local missing=() p output
    INSTALL_FAILURE=
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    apt_update
    if ! output=$(as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}" 2>&1); then
        INSTALL_FAILURE="apt-get cannot install ${missing[*]}: $(apt_reason "$output")"
        return 1
    fi
}

# ensure_packages [PACKAGE...]: the packages given, or all of the above;
# each one is needed, so a failure is reported here.
ensure_packages() {
    [ $# -gt 0 ] || set -- "${PACKAGES[@]}"
    install_packages "$@" || { echo "$INSTALL_FAILURE" >&2; return 1; }
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
# does (WOW64). It is optional: a kernel without 32-bit code cannot run it,
# and on a half-synced mirror the 32-bit packages may not match the 64-bit
# ones installed. Returns 1 with WINE32_MISSING saying why, when it cannot
# be had.
ensure_wine32() {
    WINE32_MISSING=
    if ! kernel_runs_i386; then
        WINE32_MISSING="this machine's kernel runs no 32-bit code (a static i386 program did not start)"
        return 1
    fi
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
    fi
    if ! install_packages wine32:i386 wine32-preloader:i386; then
        WINE32_MISSING=$INSTALL_FAILURE
        return 1
    fi
}
