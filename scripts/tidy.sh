#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the product code (audit/, cli/, app/, platform/,
# version/; not the tests, not generated files), on every core, with the clang preset's compile
# commands. Any finding fails the run.
#   scripts/tidy.sh [FILE...]   only these files
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
preset=clang
build="$root/build/$preset"

"$root/scripts/setup.sh"

cd "$root"
cmake --preset "$preset" --log-level=WARNING >/dev/null
# The window's sources include the header uic makes from mainwindow.ui.
cmake --build --preset "$preset" --target zelvora_app_autogen >/dev/null

if (($# > 0)); then
    files=("$@")
else
    mapfile -t files < <(find audit cli app platform version -name '*.cpp' | LC_ALL=C sort)
fi

# One file per clang-tidy; its findings are printed together, without the count of the warnings it
# silenced in system headers.
tidy_one() {
    local out status=0
    out=$(clang-tidy -p "$1" --quiet "$2" 2>&1) || status=$?
    out=$(grep -v -E '^[0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? generated\.$' <<<"$out" || true)
    if [[ -n "$out" ]]; then
        printf '%s\n' "$out"
    fi
    return "$status"
}
export -f tidy_one

start=$SECONDS
status=0
printf '%s\0' "${files[@]}" | xargs -0 -P "$(nproc)" -I{} bash -c 'tidy_one "$1" "$2"' _ "$build" {} || status=$?
printf 'tidy.sh: %d file(s) in %d s: %s\n' "${#files[@]}" $((SECONDS - start)) "$( ((status == 0)) && echo clean || echo FINDINGS)"
exit $((status == 0 ? 0 : 1))
