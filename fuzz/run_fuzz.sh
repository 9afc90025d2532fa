#!/bin/sh
# Builds the fuzz targets with clang and libFuzzer (in build-fuzz/) and runs each one for
# a number of seconds, starting from seed corpora made from the demo school.
#
#   fuzz/run_fuzz.sh [SECONDS] [ENTRY...]     e.g.  fuzz/run_fuzz.sh 60 wav results
#
# Entries: field_reader path_data common_data roster criteria cue_table results wav.
# Each target runs with AddressSanitizer and UndefinedBehaviorSanitizer; a crash, a
# sanitizer report, a hang (10 s) or more than 2 GB of memory stops it and leaves the
# input in build-fuzz/findings/<entry>/. Copy such an input into fuzz/regressions/<entry>/
# once it is mended: the ordinary tests replay that folder on every ./test.sh.
# Needs clang and libclang-rt-14-dev (apt-get install clang libclang-rt-14-dev).
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$ROOT/build-fuzz"
SECONDS_EACH=${1:-60}
[ $# -gt 0 ] && shift
ENTRIES=${*:-"field_reader path_data common_data roster criteria cue_table results wav"}

command -v clang++ >/dev/null || { echo "clang++ is missing: apt-get install clang libclang-rt-14-dev"; exit 2; }
if [ ! -f "$BUILD/build.ninja" ]; then
    LAUNCHER=""
    command -v ccache >/dev/null && LAUNCHER="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTOBREL_FUZZ=ON -DTOBREL_BENCH=OFF $LAUNCHER
fi
cmake --build "$BUILD" --parallel 2 --target fuzz_targets make_demo_school

# Seed corpora from the demo school: each file where its reader reads it.
DEMO="$BUILD/demo"
[ -d "$DEMO" ] || "$BUILD/tools/make_demo_school" "$DEMO" >/dev/null
DATA="$DEMO/data"
seed_to() { entry=$1; shift; mkdir -p "$BUILD/corpus/$entry"; for f in "$@"; do cp "$f" "$BUILD/corpus/$entry/seed_$(basename "$f")"; done; }
seed_to path_data "$DEMO/パスデータ.txt"
seed_to common_data "$DATA/共通データ.txt"
seed_to roster "$DATA/新名簿.txt"
seed_to criteria "$DATA/tobrel/タイム回数データ.txt"
seed_to cue_table "$DATA/音フォルダ/新音ファイル.txt"
seed_to results "$DATA/tobrel/成績累積データ.dat"
seed_to field_reader "$DEMO/パスデータ.txt" "$DATA/共通データ.txt" "$DATA/新名簿.txt" \
    "$DATA/tobrel/タイム回数データ.txt" "$DATA/音フォルダ/新音ファイル.txt"
# The demo's short cues; the long ones add time per input and nothing a short one lacks.
for w in "$DATA"/音フォルダ/*.wav; do
    [ "$(stat -c %s "$w")" -le 65536 ] && seed_to wav "$w"
done

# Allocation stacks two frames deep: the results target allocates much, and full
# stacks halve its speed. Rerun a finding with ASAN_OPTIONS= for the whole stack.
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=2}"

SUMMARY="$BUILD/findings/summary.txt"
mkdir -p "$BUILD/findings"
: > "$SUMMARY"
status=0
for entry in $ENTRIES; do
    mkdir -p "$BUILD/findings/$entry"
    case $entry in
        wav) maxlen=65536 ;;
        results) maxlen=32768 ;;
        *) maxlen=8192 ;;
    esac
    log="$BUILD/findings/$entry.log"
    echo "== $entry: $SECONDS_EACH s"
    if "$BUILD/fuzz/fuzz_$entry" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
        -max_len=$maxlen -print_final_stats=1 -artifact_prefix="$BUILD/findings/$entry/" \
        "$BUILD/corpus/$entry" "$ROOT/fuzz/regressions/$entry" >"$log" 2>&1; then
        result="no finding"
    else
        result="FINDING (see $log and $BUILD/findings/$entry/)"
        status=1
    fi
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    speed=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    corpus=$(ls "$BUILD/corpus/$entry" | wc -l)
    line="$entry: $execs executions ($speed/s), corpus $corpus inputs, $result"
    echo "$line" | tee -a "$SUMMARY"
done
echo "Summary in $SUMMARY"
exit $status
