#!/usr/bin/env bash
# Builds the reply fuzzer with clang in build-fuzz/ and runs it for a bounded time.
#   tools/fuzz/run-fuzz.sh [seconds] [more libFuzzer options...]
# The corpus grows in build-fuzz/corpus (seeded from tools/fuzz/corpus); a
# finding lands in build-fuzz/artifacts/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-300}
shift || true

tools/install-deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target vantrel-fuzz

mkdir -p build-fuzz/corpus build-fuzz/artifacts
if [ -n "$(ls -A build-fuzz/artifacts)" ]; then
    echo "build-fuzz/artifacts/ holds findings of an earlier run; look at them, then empty it" >&2
    exit 1
fi
export LSAN_OPTIONS=suppressions=$PWD/tools/fuzz/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
log=build-fuzz/fuzz.log
echo "Fuzzing for at most ${seconds}s on one core; progress in $log"
status=0
# One process keeps the second core free. Replies are short: 128 bytes hold
# several chunks, and the repeat flag reaches the partial reply limit.
build-fuzz/tools/fuzz/vantrel-fuzz -max_total_time="$seconds" -max_len=128 -print_final_stats=1 \
    -dict=tools/fuzz/replies.dict -artifact_prefix=build-fuzz/artifacts/ "$@" \
    build-fuzz/corpus tools/fuzz/corpus >"$log" 2>&1 || status=$?

grep -E 'inline 8-bit counters' "$log" | head -1 || true
grep -E '^#[0-9]+.* cov: ' "$log" | tail -1 || true
grep -E '^Done [0-9]+ runs' "$log" || true
grep -E '^stat::' "$log" || true
echo "corpus: $(find build-fuzz/corpus -type f | wc -l) files, $(du -sk build-fuzz/corpus | cut -f1) KiB"
if [ -n "$(ls -A build-fuzz/artifacts)" ]; then
    echo "The fuzzer stopped with a finding (exit $status):" >&2
    grep -E 'ERROR|SUMMARY|runtime error|check failed|Test unit written' "$log" >&2 || true
    status=1
elif [ "$status" -ne 0 ]; then
    echo "The fuzzer stopped without a finding (exit $status)" >&2
fi
exit "$status"
