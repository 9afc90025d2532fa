#!/bin/sh
# run.sh in a clone that was moved or copied: a build folder whose cache names another
# checkout is configured afresh for this one (an untouched one is left as it is), and a
# demo school whose path data names another clone's data root counts as not here. A
# small CMake project stands in for the checkout.
#
#   moved_clone_test.sh SCRIPTS_COMMON
set -eu
COMMON=$1
. "$(dirname "$0")/../support/shell_test.sh"

checkout() {
    mkdir -p "$1"
    printf 'cmake_minimum_required(VERSION 3.24)\nproject(clone NONE)\n' >"$1/CMakeLists.txt"
}
# build_project as run.sh calls it, from the checkout ROOT.
build_in() (
    ROOT=$1
    . "$COMMON"
    build_project "$ROOT/build" >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; exit 1; }
)
cache_source() { sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$1/build/CMakeCache.txt"; }

say "an untouched build folder is not configured again"
checkout "$work/a"
build_in "$work/a" || fail "first build"
build_in "$work/a" || fail "second build"
! grep -q 'configuring it afresh' "$work/build.log" || fail "an untouched build folder was configured afresh"

say "a copy made with cp -a, the original still there, builds from its own sources"
cp -a "$work/a" "$work/copy"
build_in "$work/copy" || fail "the copy did not build"
grep -q 'configuring it afresh' "$work/build.log" || fail "the copy's build folder was not configured afresh"
[ "$(cache_source "$work/copy")" = "$work/copy" ] || fail "the copy's build folder names $(cache_source "$work/copy")"
[ "$(cache_source "$work/a")" = "$work/a" ] || fail "the original's build folder was changed"

say "a checkout moved with its build folder, the old path gone"
mv "$work/a" "$work/moved"
build_in "$work/moved" || fail "the moved checkout did not build"
[ "$(cache_source "$work/moved")" = "$work/moved" ] || fail "the moved build folder names $(cache_source "$work/moved")"

say "a demo school is here only when its path data names this demo's data folder"
demo_with_root() {
    mkdir -p "$1/data"
    printf '%s\r\n' "$2" | iconv -f UTF-8 -t CP932 >"$1/パスデータ.txt"
}
(
    ROOT=$work/moved
    . "$COMMON"
    demo_with_root "$work/moved/demo" "$work/moved/demo/data/"
    demo_is_here "$work/moved/demo" || fail "the clone's own demo is taken for another's"
    demo_with_root "$work/copy/demo" "$work/moved/demo/data/"
    ! demo_is_here "$work/copy/demo" || fail "a demo naming another clone's data root is taken for this one's"
    demo_with_root "$work/gone/demo" "$work/old-place/demo/data/"
    ! demo_is_here "$work/gone/demo" || fail "a demo naming a data root that is gone is taken for this one's"
)
say ok
