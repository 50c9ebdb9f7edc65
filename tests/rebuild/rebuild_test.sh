#!/usr/bin/env bash
# A release can be rebuilt: this checkout's last commit, built again in a
# clone in another folder, later, gives uninstall.exe and instlog.exe of both
# Windows builds byte for byte as in BUILD_ROOT. Their link time stamp is the
# commit's time, or SOURCE_DATE_EPOCH when the build's environment sets it,
# and a commit made after configuring stamps its own time at the next build.
# A source archive made by git archive carries the commit's time; a copy
# that is neither a checkout nor such an archive asks for SOURCE_DATE_EPOCH.
#   tests/rebuild/rebuild_test.sh BUILD_ROOT   (holds win32/ and win64/,
#                                               built from this checkout)
. "$(dirname "$0")/../support/shell_test.sh"
builds=$(cd "${1:-$root/build}" && pwd)

PRESETS=(win32 win64)
EXES=(uninstall.exe instlog.exe)
commit=$(git -C "$root" rev-parse HEAD)
committed=$(git -C "$root" log -1 --format=%ct)

# build FOLDER PRESET [ENV-ARGUMENT...]: builds the release's executables of
# FOLDER's PRESET, configured already or not, under env ENV-ARGUMENT...; a
# failure ends the test.
build() {
    local folder=$1 preset=$2
    shift 2
    { [ -f "$folder/build/$preset/build.ninja" ] || (cd "$folder" && cmake --preset "$preset"); } >"$work/build.log" 2>&1 &&
        env "$@" cmake --build "$folder/build/$preset" --target uninstall instlog >>"$work/build.log" 2>&1 || {
        sed 's/^/    /' "$work/build.log"
        echo "FAIL: the $preset build in $folder failed"
        exit 1
    }
}

# rebuild FOLDER: a clone of the commit in FOLDER, with both builds.
rebuild() {
    git clone -q --no-checkout "$root" "$1"
    git -C "$1" checkout -q --detach "$commit"
    local preset
    for preset in "${PRESETS[@]}"; do
        build "$1" "$preset"
    done
}

time_stamp() {
    python3 - "$1" <<'PY'
import struct
import sys

data = open(sys.argv[1], 'rb').read()
print(struct.unpack_from('<I', data, struct.unpack_from('<I', data, 0x3C)[0] + 8)[0])
PY
}

# check_stamps FOLDER PRESET TIME WHEN: both executables carry TIME, and
# uninstall.exe's checksum covers it.
check_stamps() {
    local exe
    for exe in "${EXES[@]}"; do
        [ "$(time_stamp "$1/build/$2/$exe")" = "$3" ] ||
            fail "$2/$exe has the time stamp $(time_stamp "$1/build/$2/$exe"), not $3, $4"
    done
    "$1/build/$2/host/image_check" "$1/build/$2/uninstall.exe" >/dev/null ||
        fail "$2/uninstall.exe is not stamped again $4"
}

# The build in BUILD_ROOT is of this checkout's files, which are the last
# commit's unless they have been changed since: then the first build
# compared is a rebuild too.
first=$builds hint=" (is it built from $commit?)"
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
    echo "The working tree differs from its last commit: both builds compared are rebuilds of $commit."
    rebuild "$work/first"
    first=$work/first/build hint=
fi
rebuild "$work/second"
wanted=${SOURCE_DATE_EPOCH:-$committed}
for preset in "${PRESETS[@]}"; do
    for exe in "${EXES[@]}"; do
        cmp -s "$first/$preset/$exe" "$work/second/build/$preset/$exe" ||
            fail "$preset/$exe rebuilt from $commit differs from $first/$preset/$exe$hint: $(cmp -l "$first/$preset/$exe" "$work/second/build/$preset/$exe" 2>&1 | wc -l) bytes"
    done
    check_stamps "$work/second" "$preset" "$wanted" "when built from $commit"
done

# In the shipping build: SOURCE_DATE_EPOCH replaces the commit's time, and
# without it a later commit's time replaces the earlier one, both at the
# next build, without configuring again.
given=$((committed - 86400))
build "$work/second" win32 SOURCE_DATE_EPOCH=$given
check_stamps "$work/second" win32 "$given" "after a build with SOURCE_DATE_EPOCH=$given"
later=$((committed + 86400))
GIT_COMMITTER_DATE="$later +0000" git -C "$work/second" -c user.name=Rebuild -c user.email=rebuild@localhost \
    commit -q --allow-empty -m "A later commit"
build "$work/second" win32 -u SOURCE_DATE_EPOCH
check_stamps "$work/second" win32 "$later" "after a commit at $later"

# A source archive of the commit, as git archive makes it, tells the
# commit's time; a copy of the files without it, no time at all.
mkdir "$work/archive"
git -C "$root" archive "$commit" | tar -x -C "$work/archive"
(cd "$work" && env -u SOURCE_DATE_EPOCH python3 archive/tools/source_date.py archive archive-date) ||
    fail "source_date.py finds no time in a source archive"
[ "$(cat "$work/archive-date" 2>/dev/null)" = "$committed" ] ||
    fail "a source archive's time is $(cat "$work/archive-date" 2>/dev/null), not $committed"
cp "$root/tools/commit_time.txt" "$work/archive/tools/"
status=0
(cd "$work" && env -u SOURCE_DATE_EPOCH python3 archive/tools/source_date.py archive copy-date) >"$work/copy.log" 2>&1 ||
    status=$?
[ "$status" -eq 1 ] && grep -q "set SOURCE_DATE_EPOCH" "$work/copy.log" && [ ! -e "$work/copy-date" ] ||
    fail "a copy that is no checkout: exit code $status, $(cat "$work/copy.log")"

finish "rebuild"
