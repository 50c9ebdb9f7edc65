#!/usr/bin/env bash
# scripts/sign on copies of the two built executables, with throwaway
# certificates: it signs with PEM files, an encrypted key or a PKCS#12 file,
# and the copies verify and pass the program's own check; every bad key,
# certificate, password or input ends with a message and a nonzero exit,
# leaving an earlier release in the output folder as it was. A signed copy
# and its unsigned build have the same image checksum, the one scripts/sign
# prints, and without its signature it is the build's bytes again.
#   tests/sign/sign_test.sh BUILD_ROOT   (holds win32/ and win64/)
. "$(dirname "$0")/../support/shell_test.sh"
builds=$(cd "${1:-$root/build}" && pwd)
cd "$work"

for arch in win32 win64; do
    mkdir -p "good/$arch" "damaged/$arch"
    cp "$builds/$arch/uninstall.exe" "good/$arch/"
    cp "$builds/$arch/uninstall.exe" "damaged/$arch/"
done
mkdir -p missing/win32
cp "$builds/win32/uninstall.exe" missing/win32/
# One byte of the x86_64 copy's last section changed: the i686 copy signs,
# then the run stops.
python3 - damaged/win64/uninstall.exe <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
data[-3] ^= 0xFF
open(path, 'wb').write(data)
PY

new_key() {  # new_key NAME: NAME.pem (key) and NAME.crt
    openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=$1" -days 2 -keyout "$1.pem" -out "$1.crt" 2>/dev/null
}
new_key author
new_key other
openssl pkey -in author.pem -aes256 -passout pass:secret -out encrypted.pem
openssl pkcs12 -export -in author.crt -inkey author.pem -passout pass:secret -out author.p12

# sign EXPECTED_EXIT MESSAGE [VARIABLE=VALUE...] -- ARGUMENT...
# Runs scripts/sign with a release in place, and checks the exit code, that
# MESSAGE appears in what it wrote, and, when it fails, that the release is
# untouched and nothing else was written.
sign() {
    local expected=$1 message=$2
    shift 2
    local environment=()
    while [ "$1" != "--" ]; do
        environment+=("$1")
        shift
    done
    shift
    local before
    before=$(cd release && find . -type f -exec md5sum {} + | sort)
    local status=0
    env -u MORVANE_SIGN_PASSWORD "${environment[@]}" "$root/scripts/sign" --out release "$@" >output 2>&1 ||
        status=$?
    if [ "$status" -ne "$expected" ]; then
        fail "exit code $status, not $expected, for [${environment[*]} $*]:"
        sed 's/^/    /' output
    elif ! grep -qF -- "$message" output; then
        fail "no \"$message\" for [${environment[*]} $*]:"
        sed 's/^/    /' output
    fi
    if [ "$expected" -ne 0 ] && [ "$(cd release && find . -type f -exec md5sum {} + | sort)" != "$before" ]; then
        fail "the release changed after [${environment[*]} $*]"
    fi
}

# Checks the release: both copies signed by the author, verified, and
# intact by the program's own check; nothing else beside them. Each copy's
# image checksum, as scripts/sign printed it and image_check --sum prints it,
# is the unsigned build's, as the stamper computes it; removing the
# signature gives back the build's bytes.
check_release() {
    local what=$1 arch wanted sums
    [ "$(cd release && find . -type f | sort | tr '\n' ' ')" = "./win32/uninstall.exe ./win64/uninstall.exe " ] ||
        fail "$what: the release holds $(cd release && find . -type f | tr '\n' ' ')"
    for arch in win32 win64; do
        osslsigncode verify -in "release/$arch/uninstall.exe" -CAfile author.crt >verify.log 2>&1 ||
            fail "$what: release/$arch/uninstall.exe does not verify: $(tail -n 3 verify.log)"
        "$check" "release/$arch/uninstall.exe" >/dev/null ||
            fail "$what: release/$arch/uninstall.exe fails the image check"
        wanted=$("$check" --sum "good/$arch/uninstall.exe" | cut -d' ' -f1)
        grep -qxF "signed and verified: release/$arch/uninstall.exe, image checksum $wanted" output ||
            fail "$what: scripts/sign printed no image checksum $wanted for $arch: $(grep -F "$arch/" output)"
        sums=$("$check" --sum "release/$arch/uninstall.exe" "good/$arch/uninstall.exe" | cut -d' ' -f1 | tr '\n' ' ') || true
        [ "$sums" = "$wanted $wanted " ] ||
            fail "$what: image_check --sum prints $sums for the signed copy and its build, not $wanted for both"
        osslsigncode remove-signature -in "release/$arch/uninstall.exe" -out unsigned.exe >/dev/null 2>&1 &&
            cmp -s unsigned.exe "good/$arch/uninstall.exe" ||
            fail "$what: without its signature, release/$arch/uninstall.exe is not its build"
        rm -f unsigned.exe
    done
}

check=$root/build/sign-tools/tools/image_check/image_check
mkdir release
sign 0 "signed and verified: release/win64/uninstall.exe" -- --cert author.crt --key author.pem --build good
check_release "PEM files"
sign 0 "signed and verified" MORVANE_SIGN_PASSWORD=secret -- --key encrypted.pem --cert author.crt --build good
check_release "an encrypted key"
sign 0 "signed and verified" MORVANE_SIGN_PASSWORD=secret -- --pkcs12 author.p12 --build good
check_release "a PKCS#12 file"

# Both builds, the shipping i686 one among them, judged by the program's own
# check in the copies the end-to-end tests run under Wine: signed, signed
# again, with a nested signature, or with the header CheckSum as before
# signing, a copy passes; with a byte changed or bytes after the signature,
# it fails, and --sum prints no checksum for it.
for arch in win32 win64; do
    "$root/tests/e2e/make_signed_copies.sh" "$builds/$arch/uninstall.exe" "copies-$arch" >/dev/null
    (cd "copies-$arch" && "$check" signed.exe resigned.exe nested.exe stale.exe >/dev/null) ||
        fail "$arch: a signed copy fails the check"
    python3 - "copies-$arch/signed.exe" <<'PY'
import sys

data = open(sys.argv[1], 'rb').read()
middle = len(data) // 3
open('flipped.exe', 'wb').write(data[:middle] + bytes([data[middle] ^ 0x01]) + data[middle + 1:])
open('appended.exe', 'wb').write(data + bytes(8))
PY
    for changed in flipped.exe appended.exe; do
        status=0
        "$check" "$changed" >/dev/null || status=$?
        [ "$status" -eq 1 ] || fail "$arch: the check gives $status, not 1, for $changed"
        status=0
        "$check" --sum "$changed" >sum.txt || status=$?
        [ "$status" -eq 1 ] && [ "$(cat sum.txt)" = "$changed: damaged: the program would refuse to run from it" ] ||
            fail "$arch: image_check --sum gives $status and \"$(cat sum.txt)\" for $changed"
    done
done

sign 2 "give --cert and --key, or --pkcs12" -- --build good
sign 2 "give --cert and --key, or --pkcs12" -- --cert author.crt --build good
sign 2 "give either --pkcs12 or --cert with --key, not both" -- --pkcs12 author.p12 --cert author.crt --build good
sign 2 "unknown argument \"--certs\"" -- --certs author.crt --key author.pem --build good
sign 2 "--timestamp needs a value" -- --cert author.crt --key author.pem --timestamp
sign 1 "nowhere.crt does not exist" -- --cert nowhere.crt --key author.pem --build good
sign 1 "author.pem is not a PEM certificate" -- --cert author.pem --key author.pem --build good
sign 1 "other.pem is not the key of the certificate in author.crt" -- --cert author.crt --key other.pem --build good
sign 1 "encrypted.pem cannot be read" -- --cert author.crt --key encrypted.pem --build good
sign 1 "encrypted.pem cannot be read" MORVANE_SIGN_PASSWORD=wrong -- --cert author.crt --key encrypted.pem --build good
sign 1 "author.p12 cannot be read" -- --pkcs12 author.p12 --build good
sign 1 "author.p12 cannot be read" MORVANE_SIGN_PASSWORD=wrong -- --pkcs12 author.p12 --build good
sign 1 "author.crt cannot be read" MORVANE_SIGN_PASSWORD=secret -- --pkcs12 author.crt --build good
sign 1 "missing/win64/uninstall.exe does not exist" -- --cert author.crt --key author.pem --build missing
sign 1 "damaged/win64/uninstall.exe is damaged" -- --cert author.crt --key author.pem --build damaged
# Nothing listens on port 9 of this machine.
sign 1 "signing good/win32/uninstall.exe failed" -- --cert author.crt --key author.pem --build good \
    --timestamp http://127.0.0.1:9/

finish "signing"
