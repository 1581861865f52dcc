#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for a bounded time, starting from its seed corpus in tests/fuzz/corpus/<target>.
# A crash or a broken invariant fails the run; the input that caused it is kept in
# build/fuzz/artifacts/. New inputs go to a temporary folder, never into the repository.
#   tests/fuzz/run.sh [SECONDS]   seconds per target, default 60
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/../.." && pwd)
seconds="${1:-60}"
[[ "$seconds" =~ ^[0-9]+$ ]] || { printf 'run.sh: not a number of seconds: %s\n' "$seconds" >&2; exit 2; }

cxx=$(command -v clang++ || command -v clang++-14 || true)
if [[ -z "$cxx" ]] || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    printf 'run.sh: fuzzing needs clang and libFuzzer: apt-get install clang libclang-rt-14-dev\n' >&2
    exit 1
fi

cd "$root"
cmake --preset fuzz -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build --preset fuzz

artifacts="$root/build/fuzz/artifacts"
mkdir -p "$artifacts"

# One target for SECONDS; prints its summary, or the end of its log when it failed.
fuzz_one() {
    local target=$1 work log status=0
    work=$(mktemp -d)
    log="$root/build/fuzz/$target.log"
    printf 'fuzz_%s: %s s\n' "$target" "$seconds"
    if ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" "$root/build/fuzz/tests/fuzz/fuzz_$target" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
        rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
        corpus=$(find "$work" -type f | wc -l)
        printf '  %s executions, %s per second, peak %s MB, %s new corpus inputs\n' "$runs" "$rate" "$rss" "$corpus"
    else
        status=1
        printf '  FAILED; the last lines of %s:\n' "$log"
        tail -n 40 "$log"
    fi
    rm -rf "$work"
    return "$status"
}

# Side by side, each for the full time: with fewer cores than targets each runs on a share of them,
# which costs executions, not minutes.
targets=(romslist merges zipdirectory)
status=0
summaries=$(mktemp -d)
pids=()
for target in "${targets[@]}"; do
    fuzz_one "$target" >"$summaries/$target" &
    pids+=($!)
done
for i in "${!targets[@]}"; do
    wait "${pids[$i]}" || status=1
    cat "$summaries/${targets[$i]}"
done
rm -rf "$summaries"
exit "$status"
