#!/usr/bin/env bash
# Makes the signed copies of uninstall.exe that the integrity tests run,
# with a throwaway certificate: signed once, signed again over that
# signature, with a nested second signature, and signed with the header
# CheckSum put back as it was before signing, as some signing tools leave it.
#   make_signed_copies.sh EXE FOLDER
set -euo pipefail
exe=$1
out=$2
. "$(dirname "$0")/../../scripts/lib/signing.sh"

rm -rf "$out"
mkdir -p "$out"
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Morvane E2E" -days 2 \
    -keyout "$out/key.pem" -out "$out/cert.pem" 2>"$out/openssl.log"
credentials=(-certs "$out/cert.pem" -key "$out/key.pem")
sign_exe "$exe" "$out/signed.exe" "${credentials[@]}" >/dev/null
sign_exe "$out/signed.exe" "$out/resigned.exe" "${credentials[@]}" >/dev/null
sign_exe "$out/signed.exe" "$out/nested.exe" -nest "${credentials[@]}" >/dev/null
python3 - "$exe" "$out/signed.exe" "$out/stale.exe" <<'PY'
import struct
import sys

unsigned, signed, stale = sys.argv[1:]
before = open(unsigned, 'rb').read()
data = bytearray(open(signed, 'rb').read())
at = struct.unpack_from('<I', data, 0x3C)[0] + 24 + 64
data[at:at + 4] = before[at:at + 4]
open(stale, 'wb').write(data)
PY
for copy in signed resigned nested; do
    osslsigncode verify -in "$out/$copy.exe" -CAfile "$out/cert.pem" >"$out/$copy-verify.log" 2>&1 ||
        { cat "$out/$copy-verify.log"; echo "$copy.exe does not verify" >&2; exit 1; }
done
echo "signed copies of $exe in $out"
