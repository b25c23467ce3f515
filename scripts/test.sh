#!/usr/bin/env bash
# Sets up, builds and runs every test: the main build (warnings are errors) with the unit, GUI and
# JACK integration tests; the core again under ThreadSanitizer and under AddressSanitizer +
# UndefinedBehaviorSanitizer; and a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
fuzz_seconds="${TARVELO_FUZZ_SECONDS:-20}"
export QT_QPA_PLATFORM=offscreen

echo "== main build"
cmake --preset ci >/dev/null
cmake --build build-ci -j"$jobs"
ctest --test-dir build-ci --output-on-failure -j"$jobs"

echo "== ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build build-tsan -j"$jobs" --target tarvelo_model_tests tarvelo_core_tests
# FluidSynth loads SoundFont samples in an OpenMP loop; libgomp's own synchronisation is not
# instrumented, so its worker threads show up as races. One OpenMP thread keeps the run about ours.
OMP_NUM_THREADS=1 TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure -j"$jobs" -L core

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build build-asan -j"$jobs" --target tarvelo_model_tests tarvelo_core_tests
ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" -L core

if compgen -G "fuzz/*.cpp" >/dev/null; then
    echo "== fuzz targets (${fuzz_seconds}s each)"
    cmake --preset fuzz >/dev/null
    cmake --build build-fuzz -j"$jobs"
    for src in fuzz/*.cpp; do
        name=$(basename "$src" .cpp)
        corpus="fuzz/corpus/${name#fuzz_}"
        work=$(mktemp -d)
        [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
        echo "-- $name"
        status=0
        "build-fuzz/fuzz/$name" -max_total_time="$fuzz_seconds" -print_final_stats=1 \
            -artifact_prefix="$work/" "$work" >"$work.log" 2>&1 || status=$?
        grep -E '^stat::number_of_executed_units' "$work.log" || true
        if [ "$status" -ne 0 ]; then
            echo "fuzz target $name failed (exit $status):"
            tail -n 40 "$work.log"
            exit 1
        fi
        rm -rf "$work" "$work.log"
    done
fi
echo "== all tests passed"
