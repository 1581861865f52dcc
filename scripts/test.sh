#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   scripts/test.sh          the dev preset, or the ci preset (warnings as errors) when CI is set
#   scripts/test.sh --asan   the asan preset: the tests under AddressSanitizer + UndefinedBehaviorSanitizer
#   scripts/test.sh --tsan   the tsan preset: the tests under ThreadSanitizer (options and suppressions in the preset)
#   scripts/test.sh --clang  the clang preset: built with clang, warnings as errors
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)

case "${CI:-}" in
    "" | false | 0) preset=dev ;;
    *) preset=ci ;;
esac

for arg in "$@"; do
    case "$arg" in
        --asan) preset=asan ;;
        --tsan) preset=tsan ;;
        --clang) preset=clang ;;
        -h | --help)
            sed -n '2,6s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
            exit 0
            ;;
        *)
            printf 'test.sh: unknown argument: %s\n' "$arg" >&2
            exit 2
            ;;
    esac
done

if [[ "$preset" == asan ]]; then
    # Sanitizer findings must fail the run, not scroll past.
    export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
fi

"$root/scripts/setup.sh"

cd "$root"
cmake --preset "$preset"
cmake --build --preset "$preset"
# A build that registers no tests must not pass as green. The tests keep their settings and files
# apart, so they run on every core; the ones labelled `slow` start first.
ctest --preset "$preset" --output-on-failure --no-tests=error --parallel "$(nproc)"
