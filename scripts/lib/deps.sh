# Installs the Debian packages the build, the tests and the demonstration
# need, when they are missing. Sourced by scripts/test, scripts/demo and
# scripts/sign.

PACKAGES=(cmake ninja-build g++ googletest libgtest-dev python3
          clang-14 libclang-rt-14-dev llvm-14
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 fonts-wine xvfb x11-utils imagemagick
          osslsigncode openssl)

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
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}
