#!/bin/sh
# Builds Tobrel and runs every test; exits 0 only when all pass.
set -e
ROOT=$(cd "$(dirname "$0")" && pwd)
. "$ROOT/scripts_common.sh"

install_missing_packages
build_project "$ROOT/build"
cd "$ROOT/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j2
