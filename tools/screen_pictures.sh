#!/bin/sh
# Pictures of the real program at several display sizes, for looking at the layout:
#
#   tools/screen_pictures.sh BUILD_DIR OUT_DIR [WIDTHxHEIGHT ...]
#
# For each size (default 1024x768 1366x768 1920x1080 2560x1440) it makes a fresh demo
# school, starts the program under Xvfb, logs in the second student, starts level 1,
# gives a wrong answer and lets the run time out (level 1's pass-line time is set to 2 s,
# so the limit is 10 s), saving OUT_DIR/<size>_roster.png, _version.png (the version box
# over the roster screen), _hub.png, _personal.png (the personal-times view), _sheet.png
# (the result sheet), _drill.png and _end.png on the way. The student is a teacher of the
# demo school, so the walk also passes the teacher panel (_teacher.png), the results
# manager with its change dialog (_manager.png) and the criteria editor (_criteria.png).
set -e
BUILD=$(cd "$1" && pwd)
mkdir -p "$2"
OUT=$(cd "$2" && pwd)
shift 2
SIZES=${*:-"1024x768 1366x768 1920x1080 2560x1440"}

# Clicks (or with a third argument 2, double-clicks) the point at twips X Y of the form
# area on a display of $width x $height.
click_twips() {
    xdotool mousemove $(awk -v w="$width" -v h="$height" -v x="$1" -v y="$2" 'BEGIN {
        s = w / 15360; if (h / 11520 < s) s = h / 11520;
        printf "%d %d", (w - 15360 * s) / 2 + x * s, (h - 11520 * s) / 2 + y * s }') \
        click --repeat "${3:-1}" --delay 100 1
}

# The same on the hub, whose stage takes the display's shape: on a display wider than
# 4:3 it is as wide as the display, and a control designed at X stands at X (left),
# X plus half the extra width (middle: the view buttons, the teacher panel, the sheet's
# contents) or X plus the extra width (right: the back button, データ処理, グラフ).
click_hub_twips() {
    xdotool mousemove $(awk -v w="$width" -v h="$height" -v x="$1" -v y="$2" -v a="$3" 'BEGIN {
        s = w / 15360; if (h / 11520 < s) s = h / 11520;
        sw = int(w / s + 0.000001); if (sw < 15360) sw = 15360;
        extra = sw - 15360; shift = (a == "right") ? extra : (a == "middle") ? extra / 2 : 0;
        printf "%d %d", (w - sw * s) / 2 + (x + shift) * s, (h - 11520 * s) / 2 + y * s }') \
        click --repeat "${4:-1}" --delay 100 1
}

for size in $SIZES; do
    work=$(mktemp -d)
    "$BUILD/tools/make_demo_school" "$work/school" >/dev/null
    mkdir -p "$work/school/tobrel"
    cp "$BUILD/src/tobrel" "$work/school/tobrel/tobrel"
    criteria=$(find "$work/school/data" -name 'タイム回数データ.txt')
    LC_ALL=C awk 'BEGIN { FS = OFS = "," } NR == 2 { $1 = 1; $2 = 2 } { print }' "$criteria" >"$work/c" &&
        mv "$work/c" "$criteria"

    # Xvfb picks a free display number and writes it once it accepts connections.
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.2; done
    export DISPLAY=":$(cat "$work/display")"
    (cd "$work/school/tobrel" && SDL_AUDIODRIVER=dummy exec ./tobrel) &
    program=$!
    width=${size%x*}
    height=${size#*x}
    xdotool mousemove $((width / 2)) $((height / 2))

    sleep 3
    "$BUILD/tools/grab_screen" "$OUT/${size}_roster.png"
    click_twips 7680 810 # the title line opens the version box
    sleep 1
    "$BUILD/tools/grab_screen" "$OUT/${size}_version.png"
    xdotool key Return
    sleep 1
    xdotool mousemove $((width / 2)) $((height / 2))
    xdotool key Down Down Return
    sleep 3
    "$BUILD/tools/grab_screen" "$OUT/${size}_hub.png"

    click_hub_twips 12375 510 right # "データ処理"
    sleep 1
    click_hub_twips 6892 4147 middle # the password box
    xdotool type sensei
    sleep 1
    "$BUILD/tools/grab_screen" "$OUT/${size}_teacher.png"
    click_hub_twips 6930 4837 middle # "データ変更"
    sleep 3
    click_twips 3000 1200 2 # a double click on the second record opens the change dialog
    sleep 1
    "$BUILD/tools/grab_screen" "$OUT/${size}_manager.png"
    click_twips 13680 10560 # "戻る"
    sleep 3
    click_hub_twips 12375 510 right
    sleep 1
    click_hub_twips 6892 4147 middle
    xdotool type sensei
    click_hub_twips 6930 6142 middle # "合格タイムデータ変更"
    sleep 3
    "$BUILD/tools/grab_screen" "$OUT/${size}_criteria.png"
    click_twips 13920 10260 # "戻る"
    sleep 3
    click_hub_twips 3500 1260 left # "個人ﾀｲﾑ"
    sleep 2
    "$BUILD/tools/grab_screen" "$OUT/${size}_personal.png"
    click_hub_twips 12195 1245 right # "グラフ"
    sleep 2
    "$BUILD/tools/grab_screen" "$OUT/${size}_sheet.png"
    click_hub_twips 13597 10132 middle # the sheet's "戻る"
    sleep 1
    xdotool mousemove $((width / 2)) $((height / 2))
    xdotool key 1
    sleep 2
    xdotool key 7 space
    sleep 1
    "$BUILD/tools/grab_screen" "$OUT/${size}_drill.png"
    sleep 11
    "$BUILD/tools/grab_screen" "$OUT/${size}_end.png"

    kill "$program" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    rm -rf "$work"
    echo "$size: $OUT/${size}_{roster,hub,drill,end}.png"
done
