#!/usr/bin/env bash
# scripts/release in two clones of this checkout's last commit, in folders
# of different depths and at different times: the two archives are the same
# bytes, named for the product's version and the commit, and hold the
# release's files alone, whose sums verify and whose RELEASE.txt names the
# commit, says the release is unsigned and gives each uninstaller's image
# checksum. With a throwaway key both uninstallers in the archive verify and
# carry the version the archive is named for; a missing or wrong key ends
# with a message, exit code 1 and no archive.
#   tests/release/release_test.sh
. "$(dirname "$0")/../support/shell_test.sh"

. "$root/scripts/lib/product.sh"
commit=$(git -C "$root" rev-parse HEAD)
version=$(product_version)
name=$(release_base)-$version-${commit:0:7}
[ -n "$version" ] || fail "no version in res/product.h"

# release FOLDER EXPECTED-EXIT MESSAGE ARGUMENT...: scripts/release in
# FOLDER; the exit code, the message in what it wrote, and after a failure
# no archive in its output folder.
release() {
    local folder=$1 expected=$2 message=$3 status=0
    shift 3
    (cd "$folder" && scripts/release "$@") >"$work/output" 2>&1 || status=$?
    if [ "$status" -ne "$expected" ] || ! grep -qF -- "$message" "$work/output"; then
        fail "scripts/release $* in $folder: exit code $status, wanted $expected and \"$message\":"
        tail -n 20 "$work/output" | sed 's/^/    /'
    fi
    if [ "$expected" -ne 0 ] && [ -n "$(find "$folder/${*: -1}" -type f 2>/dev/null)" ]; then
        fail "scripts/release $* left $(find "$folder/${*: -1}" -type f)"
    fi
}

# unpack ARCHIVE FOLDER: the archive's files in FOLDER, their sums verified,
# nothing beside the release's files.
unpack() {
    rm -rf "$2"
    mkdir -p "$2"
    (cd "$2" && python3 -m zipfile -e "$1" .)
    local files
    files=$(cd "$2" && find . -type f | sort | tr '\n' ' ')
    [ "$files" = "./$name/README.md ./$name/RELEASE.txt ./$name/SHA256SUMS ./$name/docs/install-log.md ./$name/i686/uninstall.exe ./$name/instlog.exe ./$name/x86_64/uninstall.exe " ] ||
        fail "$1 holds $files"
    (cd "$2/$name" && sha256sum --quiet -c SHA256SUMS) || fail "the sums of $1 do not verify"
    [ "$(cd "$2/$name" && find . -type f ! -name SHA256SUMS | wc -l)" = "$(wc -l <"$2/$name/SHA256SUMS")" ] ||
        fail "SHA256SUMS of $1 does not list every other file"
}

for clone in a elsewhere/deeper/b; do
    git clone -q --no-checkout "$root" "$work/$clone"
    git -C "$work/$clone" checkout -q --detach "$commit"
done

release "$work/a" 0 "released: $work/a/dist/$name.zip"
sleep 2
release "$work/elsewhere/deeper/b" 0 "released: $work/out/$name.zip" --out "$work/out"
cmp -s "$work/a/dist/$name.zip" "$work/out/$name.zip" || fail "two releases of $commit differ"

unpack "$work/out/$name.zip" "$work/unsigned"
notes=$work/unsigned/$name/RELEASE.txt
check=$work/a/build/win64/host/image_check
grep -qxF "Commit: $commit" "$notes" || fail "RELEASE.txt names no commit $commit: $(cat "$notes")"
grep -qxF "Signed: no, this release is unsigned" "$notes" || fail "the unsigned RELEASE.txt says: $(cat "$notes")"
for exe in i686/uninstall.exe x86_64/uninstall.exe; do
    sum=$("$check" --sum "$work/unsigned/$name/$exe" | cut -d' ' -f1)
    grep -qxF "  $exe $sum" "$notes" || fail "RELEASE.txt gives no image checksum $sum for $exe"
done
grep -q "^i686 build: i686-w64-mingw32-g++.*; GNU ld" "$notes" || fail "RELEASE.txt names no i686 compiler: $(cat "$notes")"

cd "$work"
for who in author other; do
    openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=$who" -days 2 -keyout "$who.pem" -out "$who.crt" 2>/dev/null
done
release "$work/a" 1 "other.pem is not the key of the certificate" --cert "$work/author.crt" --key "$work/other.pem" --out bad
release "$work/a" 1 "nowhere.pem does not exist" --cert "$work/author.crt" --key "$work/nowhere.pem" --out bad
release "$work/a" 0 "released: signed/$name.zip" --cert "$work/author.crt" --key "$work/author.pem" --out signed
unpack "$work/a/signed/$name.zip" "$work/signed"
grep -q "^Signed: yes" "$work/signed/$name/RELEASE.txt" || fail "the signed RELEASE.txt says: $(cat "$work/signed/$name/RELEASE.txt")"
for exe in i686/uninstall.exe x86_64/uninstall.exe; do
    osslsigncode verify -in "$work/signed/$name/$exe" -CAfile author.crt >verify.log 2>&1 ||
        fail "$exe in the signed release does not verify: $(tail -n 3 verify.log)"
    carried=$(/usr/bin/python3 - "$work/signed/$name/$exe" <<'PY'
import sys

import pefile

pe = pefile.PE(sys.argv[1])
texts = {}
for info in (i for infos in pe.FileInfo for i in infos):
    if info.Key == b'StringFileInfo':
        for table in info.StringTable:
            texts.update({k.decode(): v.decode() for k, v in table.entries.items()})
fixed = pe.VS_FIXEDFILEINFO[0]
print(texts.get('FileVersion'), texts.get('ProductVersion'),
      f'{fixed.FileVersionMS >> 16}.{fixed.FileVersionMS & 0xFFFF}')
PY
)
    [ "$carried" = "$version $version $version" ] || fail "$exe in the signed release carries $carried, not $version"
done

finish "release"
