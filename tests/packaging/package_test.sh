#!/bin/sh
# A fresh PC from the package: builds the Debian package from this build, unpacks it
# into a temporary root the way dpkg lays it out, and runs the installed commands from
# there on the demo school, the program until its roster screen is painted. Needs
# cpack, dpkg-deb and dpkg-shlibdeps (dpkg-dev), readelf; not lintian.
#
#   package_test.sh BUILD_DIR VERSION MAKE_DEMO_SCHOOL
set -eu
BUILD=$1
VERSION=$2
MAKE_DEMO=$3
. "$(dirname "$0")/../support/shell_test.sh"

say "cpack -G DEB"
if ! (cd "$BUILD" && cpack -G DEB -B "$work/pkg") >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack could not build the package"
fi
arch=$(dpkg --print-architecture)
deb="$work/pkg/tobrel_${VERSION}_${arch}.deb"
[ -f "$deb" ] || fail "no $deb (made: $(ls "$work/pkg"))"
ddeb="$work/pkg/tobrel-dbgsym_${VERSION}_${arch}.ddeb"
[ -f "$ddeb" ] || fail "no package of debug symbols (made: $(ls "$work/pkg"))"

say "each package's md5sums name the files it holds; the symbols' documentation is the program's"
for p in "$deb" "$ddeb"; do
    rm -rf "$work/control" "$work/files-of"
    dpkg-deb -e "$p" "$work/control"
    dpkg-deb -x "$p" "$work/files-of"
    (cd "$work/files-of" && md5sum --check --quiet --strict "$work/control/md5sums") >"$work/md5.log" 2>&1 ||
        { cat "$work/md5.log" >&2; fail "the md5sums of $(basename "$p") do not match its files"; }
    listed=$(wc -l <"$work/control/md5sums")
    held=$(cd "$work/files-of" && find . -type f | wc -l)
    [ "$listed" -eq "$held" ] || fail "$(basename "$p") holds $held files, its md5sums list $listed"
done
[ "$(readlink "$work/files-of/usr/share/doc/tobrel-dbgsym")" = tobrel ] ||
    fail "the package of debug symbols does not take its documentation from tobrel"
rm -rf "$work/control" && dpkg-deb -e "$deb" "$work/control"
grep -q 'rm -f /etc/tobrel.conf' "$work/control/postrm" 2>/dev/null ||
    fail "purging the package would leave /etc/tobrel.conf behind (no postrm removing it)"

say "what the package holds and needs"
dpkg-deb -c "$deb" >"$work/files"
for f in usr/bin/tobrel usr/bin/tobrel-data \
    usr/share/applications/jp.tobrel.Tobrel.desktop \
    usr/share/icons/hicolor/scalable/apps/jp.tobrel.Tobrel.svg \
    usr/share/metainfo/jp.tobrel.Tobrel.metainfo.xml \
    usr/share/man/man1/tobrel.1.gz usr/share/man/man1/tobrel-data.1.gz \
    usr/share/doc/tobrel/copyright usr/share/doc/tobrel/README.md usr/share/doc/tobrel/changelog.gz; do
    grep -q " \./$f\$" "$work/files" || fail "$f is not in the package"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$VERSION" ] || fail "the package's version is not $VERSION"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/tobrel/changelog.gz | gzip -dc | head -n 1 |
    grep -q "^tobrel ($VERSION) " || fail "the changelog's entry is not for $VERSION"
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 libqt6gui6 libicu libsdl2 libcups2 libxlsxwriter4 fonts-ipafont-gothic; do
    case "$depends" in
    *"$d"*) ;;
    *) fail "Depends lacks $d: $depends" ;;
    esac
done

dpkg-deb -x "$deb" "$work/root"
bin="$work/root/usr/bin"
for b in tobrel tobrel-data; do
    if readelf -S "$bin/$b" | grep -q '\.debug_info'; then
        fail "$b is installed with its debug symbols"
    fi
done

say "--version and --help print without a display; a wrong option ends with status 2"
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
out=$(nodisplay "$bin/tobrel" --version) || fail "tobrel --version failed"
[ "$out" = "tobrel $VERSION" ] || fail "tobrel --version said: $out"
out=$(nodisplay "$bin/tobrel-data" --version) || fail "tobrel-data --version failed"
[ "$out" = "tobrel-data $VERSION" ] || fail "tobrel-data --version said: $out"
nodisplay "$bin/tobrel" --help | grep -q -- '--data-root' || fail "tobrel --help says nothing of --data-root"
status=0
nodisplay "$bin/tobrel" --no-such-option 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "tobrel --no-such-option ended with $status, not 2"
say "without a display the program says so and ends with status 1"
status=0
nodisplay "$bin/tobrel" 2>"$work/nodisplay.log" || status=$?
[ "$status" -eq 1 ] || { cat "$work/nodisplay.log" >&2; fail "tobrel without a display ended with $status, not 1"; }
grep -q "画面（ディスプレイ）が見つからない" "$work/nodisplay.log" || { cat "$work/nodisplay.log" >&2; fail "no word of the display"; }

say "the demo school, pointed at with setup and checked"
"$MAKE_DEMO" "$work/school" >/dev/null
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_STATE_HOME="$work/home/.local/state"
unset TOBREL_DATA_ROOT
"$bin/tobrel-data" setup --user "$work/school/data" --data-folder tobrel >"$work/setup.log" 2>&1 ||
    { cat "$work/setup.log" >&2; fail "tobrel-data setup"; }
"$bin/tobrel-data" check >"$work/check.log" 2>&1 || { cat "$work/check.log" >&2; fail "tobrel-data check"; }
grep -q "データフォルダ: $work/school/data/tobrel/" "$work/check.log" || fail "check did not find the demo's data folder"
TOBREL_DATA_ROOT="$work/school/data" "$bin/tobrel-data" check >"$work/check2.log" 2>&1 ||
    { cat "$work/check2.log" >&2; fail "tobrel-data check with TOBREL_DATA_ROOT"; }

say "the installed program, headless, until the roster screen is painted (Qt's -session left for Qt)"
if ! SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen TOBREL_EXIT_WHEN_PAINTED=namesel TOBREL_PAINT_LOG=1 \
    timeout 120 "$bin/tobrel" -session tobrel-test >"$work/run.log" 2>&1; then
    cat "$work/run.log" >&2
    fail "the installed program did not paint its roster screen"
fi
grep -q "^painted namesel" "$work/run.log" || { cat "$work/run.log" >&2; fail "no roster screen painted"; }
say "ok"
