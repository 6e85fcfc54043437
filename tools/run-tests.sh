#!/usr/bin/env bash
# Builds Vantrel and runs the whole test suite.
#   tools/run-tests.sh              the normal build (Qt 5), in build/
#   tools/run-tests.sh --sanitize   with AddressSanitizer and UBSan, in build-sanitize/
#   tools/run-tests.sh --qt6        against Qt 6, in build-qt6/
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
options=()
packages=()
case "${1:-}" in
--sanitize)
    build=build-sanitize
    options+=(-DVANTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DVANTREL_BUILD_BENCH=OFF) ;;
--qt6)
    build=build-qt6
    options+=(-DVANTREL_QT6=ON -DVANTREL_BUILD_BENCH=OFF)
    packages+=(qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
               qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n) ;;
"") ;;
*) echo "run-tests: unknown option $1" >&2; exit 2 ;;
esac

tools/install-deps.sh "${packages[@]}"
cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
if [ "$build" = build-sanitize ]; then
    # Qt's own libraries are not instrumented; their allocations at exit are not ours.
    export ASAN_OPTIONS=detect_leaks=0
    export UBSAN_OPTIONS=print_stacktrace=1
fi
ctest --test-dir "$build" --output-on-failure -j2
