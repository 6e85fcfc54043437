#!/usr/bin/env bash
# Builds Vantrel and runs the whole test suite.
#   tools/run-tests.sh              the normal build, in build/
#   tools/run-tests.sh --sanitize   with AddressSanitizer and UBSan, in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
options=()
if [ "${1:-}" = "--sanitize" ]; then
    build=build-sanitize
    options+=(-DVANTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

tools/install-deps.sh
cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
if [ "$build" = build-sanitize ]; then
    # Qt's own libraries are not instrumented; their allocations at exit are not ours.
    export ASAN_OPTIONS=detect_leaks=0
    export UBSAN_OPTIONS=print_stacktrace=1
fi
ctest --test-dir "$build" --output-on-failure -j2
