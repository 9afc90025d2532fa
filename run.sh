#!/bin/sh
# Builds Tobrel and starts it on the bundled demo school (demo/, made when missing).
set -e
ROOT=$(cd "$(dirname "$0")" && pwd)
. "$ROOT/scripts_common.sh"

install_missing_packages
build_project "$ROOT/build"

DEMO="$ROOT/demo"
if [ ! -f "$DEMO/パスデータ.txt" ]; then
    "$ROOT/build/tools/make_demo_school" "$DEMO"
elif ! demo_is_here "$DEMO"; then
    # A clone that was moved or copied: its demo still names the old data root. Made
    # again here, keeping the runs it holds.
    echo "The demo school names the data root $(demo_data_root "$DEMO"), not $DEMO/data/; making it again."
    "$ROOT/build/tools/make_demo_school" "$DEMO"
fi
mkdir -p "$DEMO/tobrel"
cp "$ROOT/build/src/tobrel" "$DEMO/tobrel/tobrel"
cp "$ROOT/build/src/tobrel-data" "$DEMO/tobrel/tobrel-data"

if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
    echo "No display found. Run it headless with:"
    echo "    xvfb-run -s '-screen 0 1280x1024x24' ./run.sh"
    echo "(plain 'xvfb-run ./run.sh' works too, on a smaller virtual screen)"
    exit 1
fi

# Without a sound device SDL's dummy driver keeps the program running silently.
if [ -z "$SDL_AUDIODRIVER" ] && [ ! -d /dev/snd ] && [ -z "$PULSE_SERVER" ] && \
   [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ]; then
    export SDL_AUDIODRIVER=dummy
fi
cd "$DEMO/tobrel"
exec ./tobrel
