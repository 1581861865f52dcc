#!/usr/bin/env bash
# Formats every C++ source of the tree (product code, tests, benchmarks) with the committed .clang-format.
#   scripts/format.sh           rewrites the files that differ
#   scripts/format.sh --check   changes nothing: names every difference and fails if there is one (CI)
# The build's `format` and `format-check` targets run the same.
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
mode=(-i)
for arg in "$@"; do
    case "$arg" in
        --check) mode=(--dry-run -Werror) ;;
        -h | --help)
            sed -n '2,5s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
            exit 0
            ;;
        *)
            printf 'format.sh: unknown argument: %s\n' "$arg" >&2
            exit 2
            ;;
    esac
done

"$root/scripts/setup.sh"

cd "$root"
mapfile -d '' files < <(find app audit bench cli platform tests version -type f \( -name '*.cpp' -o -name '*.h' \) \
    -print0 | LC_ALL=C sort -z)
clang-format "${mode[@]}" "${files[@]}"
