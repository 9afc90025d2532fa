# Sourced by the tests written in shell: a work folder of their own, removed when the
# test ends however it ends, and the two ways they speak.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
say() { echo "-- $*"; }
