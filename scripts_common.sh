# Shared by run.sh and test.sh: installs the Debian packages the build needs (only
# those missing) and configures and builds the project incrementally. For the package
# test dpkg-dev reads the package's library dependencies off the binaries
# (dpkg-shlibdeps), with file and binutils' objcopy and readelf for the debug symbols.
PACKAGES="g++ cmake ninja-build qt6-base-dev libicu-dev libsdl2-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-ipafont-gothic xvfb xauth xdotool libgl1-mesa-dev libxcb1-dev libfontconfig-dev libcups2-dev libxlsxwriter-dev pkgconf zlib1g-dev poppler-utils qt6-translations-l10n dpkg-dev file"

install_missing_packages() {
    missing=""
    for p in $PACKAGES; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing="$missing $p"
        fi
    done
    if [ -n "$missing" ]; then
        echo "Installing:$missing"
        SUDO=""
        [ "$(id -u)" -ne 0 ] && SUDO="sudo"
        $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
        $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing
    fi
}

# The physical path of a folder, or nothing when it is not there.
physical_path() {
    (cd "$1" 2>/dev/null && pwd -P)
}

build_project() {
    build_dir="$1"; shift
    # A build folder moved or copied along with the checkout still names the sources
    # and the build folder it was made for: configure it afresh for this checkout.
    if [ -f "$build_dir/CMakeCache.txt" ]; then
        sources=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build_dir/CMakeCache.txt")
        made_in=$(sed -n 's/^CMAKE_CACHEFILE_DIR:INTERNAL=//p' "$build_dir/CMakeCache.txt")
        if [ "$(physical_path "$sources")" != "$(physical_path "$ROOT")" ] ||
           [ "$(physical_path "$made_in")" != "$(physical_path "$build_dir")" ]; then
            echo "The build folder $build_dir was made for $sources; configuring it afresh for $ROOT."
            cmake --fresh -S "$ROOT" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
        fi
    fi
    if [ ! -f "$build_dir/build.ninja" ]; then
        cmake -S "$ROOT" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    fi
    cmake --build "$build_dir" --parallel "$(nproc)"
}

# Field 1 of a demo school's path data: its data root (CP932, CR LF).
demo_data_root() {
    iconv -f CP932 -t UTF-8 < "$1/パスデータ.txt" | head -n 1 | tr -d '\r' | sed 's/^[[:space:]]*"\{0,1\}//; s/[",].*$//'
}

# The demo school is this checkout's when its path data names its own data folder
# (not one that is gone, nor the demo of the checkout it was copied from).
demo_is_here() {
    root=$(demo_data_root "$1") && [ -n "$root" ] && [ -d "$root" ] &&
        [ "$(physical_path "$root")" = "$(physical_path "$1/data")" ]
}
