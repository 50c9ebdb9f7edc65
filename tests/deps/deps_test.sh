#!/usr/bin/env bash
# The package step of scripts/lib/deps.sh against stand-in apt-get, dpkg and
# dpkg-query commands, without the network: a failed index update is one
# line and the run goes on; a package apt cannot install is named with apt's
# reason, and fails where it is needed; the 32-bit Wine is optional, and
# says why it is missing (a kernel without 32-bit code, a half-synced
# mirror). Then scripts/test itself on such a mirror, with stand-in cmake and
# ctest: a failing part does not stop the others, the i686 end-to-end run is
# skipped with apt's reason, and the end lists every part.
#   tests/deps/deps_test.sh
. "$(dirname "$0")/../support/shell_test.sh"

# The stand-ins keep the machine's state in $work/state: the installed
# packages, one per line, and the foreign architectures. APT_UPDATE_FAILS
# makes the update fail as a mirror in sync does; the packages in
# APT_BROKEN cannot be installed. Every call is noted in $work/calls.
mkdir -p "$work/bin" "$work/state"
cat >"$work/bin/apt-get" <<'SH'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STAND_IN/calls"
if [ "$1" = update ]; then
    [ -z "${APT_UPDATE_FAILS:-}" ] && exit 0
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
fi
shift
packages=()
for p; do [ "$p" = -y ] || packages+=("$p"); done
for p in "${packages[@]}"; do
    if [[ " ${APT_BROKEN:-} " == *" $p "* ]]; then
        echo "The following packages have unmet dependencies:"
        echo " $p : Depends: libwine   (= 8.0~repack-4) but it is not installable"
        echo "E: Unable to correct problems, you have held broken packages."
        exit 100
    fi
done
printf '%s\n' "${packages[@]}" >>"$STAND_IN/state/installed"
SH
cat >"$work/bin/dpkg-query" <<'SH'
#!/usr/bin/env bash
grep -qxF -- "${@: -1}" "$STAND_IN/state/installed" || exit 1
printf 'install ok installed'
SH
cat >"$work/bin/dpkg" <<'SH'
#!/usr/bin/env bash
echo "dpkg $*" >>"$STAND_IN/calls"
case "$1" in
    --print-foreign-architectures) cat "$STAND_IN/state/architectures" ;;
    --add-architecture) echo "$2" >>"$STAND_IN/state/architectures" ;;
esac
SH
# For scripts/test: a build that works, tests that fail for the host preset
# alone, the Japanese locale in place, and sudo that runs the stand-ins.
printf '#!/bin/sh\necho "cmake $*" >>"$STAND_IN/calls"\n' >"$work/bin/cmake"
printf '#!/bin/sh\necho "ctest $*" >>"$STAND_IN/calls"\n[ "$2" != host ]\n' >"$work/bin/ctest"
printf '#!/bin/sh\necho ja_JP.utf8\n' >"$work/bin/locale"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*
export STAND_IN=$work PATH="$work/bin:$PATH"

. "$root/scripts/lib/deps.sh"
machine_runs_i386=0
kernel_runs_i386 || machine_runs_i386=1
kernel_32=0
kernel_runs_i386() { return "$kernel_32"; }

# fresh_machine: every package of PACKAGES installed, nothing of i386's, and
# no calls yet.
fresh_machine() {
    printf '%s\n' "${PACKAGES[@]}" >"$work/state/installed"
    : >"$work/state/architectures"
    : >"$work/calls"
    unset APT_UPDATE_FAILS APT_BROKEN
}
expect_contains() {  # expect_contains WHAT TEXT EXPECTED
    [[ $2 == *"$3"* ]] || fail "$1 says [$2], not [$3]"
}

# A failed update is one line, and the install goes on with the lists at hand.
fresh_machine
sed -i '/^osslsigncode$/d' "$work/state/installed"
export APT_UPDATE_FAILS=1
status=0
output=$(ensure_packages xvfb osslsigncode 2>&1) || status=$?
[ "$status" -eq 0 ] || fail "ensure_packages after a failed update: exit code $status"
[ "$(grep -c 'apt-get update failed' <<<"$output")" -eq 1 ] || fail "the failed update is not one line: [$output]"
expect_contains "the failed update" "$output" \
    "going on with the package lists at hand: E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
grep -qx osslsigncode "$work/state/installed" || fail "osslsigncode was not installed after the failed update"
grep -q 'install -y osslsigncode$' "$work/calls" || fail "not only the missing package was installed: $(cat "$work/calls")"

# A needed package apt cannot install fails, named with apt's reason.
fresh_machine
sed -i '/^wine64$/d' "$work/state/installed"
export APT_BROKEN=wine64
status=0
output=$(ensure_packages 2>&1) || status=$?
[ "$status" -ne 0 ] || fail "ensure_packages succeeded without wine64"
expect_contains "the missing wine64" "$output" \
    "apt-get cannot install wine64: wine64 : Depends: libwine (= 8.0~repack-4) but it is not installable"

# The 32-bit Wine, where the kernel runs no 32-bit code: missing, with the
# reason, and nothing asked of apt or dpkg.
fresh_machine
kernel_32=1
status=0
ensure_wine32 >/dev/null 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "ensure_wine32 succeeded on a kernel without 32-bit code"
expect_contains "the 32-bit Wine on a 64-bit-only kernel" "$WINE32_MISSING" "kernel runs no 32-bit code"
[ ! -s "$work/calls" ] || fail "a 64-bit-only kernel still called: $(cat "$work/calls")"
kernel_32=0

# On a half-synced mirror: the architecture is added, the update fails, the
# 32-bit packages cannot be installed, and the reason names them.
fresh_machine
export APT_UPDATE_FAILS=1 APT_BROKEN=wine32:i386
status=0
ensure_wine32 >/dev/null 2>&1 || status=$?
[ "$status" -ne 0 ] || fail "ensure_wine32 succeeded on a broken 32-bit index"
expect_contains "the 32-bit Wine on a broken index" "$WINE32_MISSING" \
    "apt-get cannot install wine32:i386 wine32-preloader:i386: wine32:i386 : Depends: libwine (= 8.0~repack-4) but it is not installable"
grep -qx i386 "$work/state/architectures" || fail "the i386 architecture was not added"

# Where the mirror is whole it is installed, and once installed apt is not
# asked again.
fresh_machine
status=0
ensure_wine32 >/dev/null 2>&1 || status=$?
[ "$status" -eq 0 ] && [ -z "$WINE32_MISSING" ] || fail "ensure_wine32 on a whole mirror: exit code $status, [$WINE32_MISSING]"
grep -qx 'wine32-preloader:i386' "$work/state/installed" || fail "wine32-preloader:i386 was not installed"
: >"$work/calls"
ensure_wine32 >/dev/null 2>&1 || fail "ensure_wine32 failed with the 32-bit Wine installed"
! grep -q '^apt-get' "$work/calls" || fail "apt-get was called with the 32-bit Wine installed: $(cat "$work/calls")"

# scripts/test on a half-synced mirror, its host tests failing: the
# end-to-end run still goes on, its i686 half is skipped with the reason, and
# the end says how each part ended. The kernel is this machine's own.
fresh_machine
export APT_UPDATE_FAILS=1 APT_BROKEN=wine32:i386
status=0
output=$("$root/scripts/test" host e2e 2>&1) || status=$?
[ "$status" -ne 0 ] || fail "scripts/test passed with failing host tests"
summary=$(sed -n '/^$/,$p' <<<"$output" | sed 1d)
expected_start=$'host: failed (exit code 1)\ne2e x86_64: passed\ne2e i686: skipped, '
if [[ $summary != "$expected_start"* ]] || [ "$(wc -l <<<"$summary")" -ne 3 ]; then
    fail "scripts/test ended with [$summary]"
fi
skip_reason=$(tail -n 1 <<<"$summary")
if [ "$machine_runs_i386" -ne 0 ]; then
    expect_contains "the skipped i686 run" "$skip_reason" "kernel runs no 32-bit code"
elif [[ $skip_reason != *"apt-get cannot install wine32:i386 wine32-preloader:i386: wine32:i386 : Depends: libwine "* ]]; then
    fail "the skipped i686 run says [$skip_reason]"
fi
grep -q 'ctest --preset win64' "$work/calls" || fail "the end-to-end tests did not run after the host tests failed"

finish "package step"
