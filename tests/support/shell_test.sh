# What the shell tests share, sourced first: root (the checkout), work (a
# scratch folder removed at the end), fail MESSAGE, which tells a failure
# and counts it, and finish WHAT, which ends the test: exit code 1 after
# any failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures failures in the $1 tests"
        exit 1
    fi
    echo "$1 tests passed"
}
