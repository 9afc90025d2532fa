# Shared by run.sh and test.sh: installs the Debian packages the build needs (only
# those missing) and configures and builds the project incrementally. For the package
# test dpkg-dev reads the package's library dependencies off the binaries
# (dpkg-shlibdeps), with file and binutils' objcopy and readelf for the debug symbols.
PACKAGES="g++ cmake ninja-build qt6-base-dev libicu-dev libsdl2-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-ipafont-gothic xvfb xauth xdotool libgl1-mesa-dev libxcb1-dev libcups2-dev poppler-utils qt6-translations-l10n dpkg-dev file"

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

build_project() {
    build_dir="$1"; shift
    if [ ! -f "$build_dir/build.ninja" ]; then
        cmake -S "$ROOT" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    fi
    cmake --build "$build_dir" --parallel "$(nproc)"
}

# Field 1 of a demo school's path data: its data root (CP932, CR LF).
demo_data_root() {
    iconv -f CP932 -t UTF-8 < "$1/パスデータ.txt" | head -n 1 | tr -d '\r' | sed 's/^[[:space:]]*"\{0,1\}//; s/[",].*$//'
}

demo_data_root_exists() {
    root=$(demo_data_root "$1") && [ -n "$root" ] && [ -d "$root" ]
}
