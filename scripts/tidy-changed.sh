#!/usr/bin/env bash
# CI's clang-tidy: the product files changed since the last commit found clean, instead of every file a
# changed header reaches (each of them costs about 20 s of a core: clang-tidy walks all of Qt's headers).
#   scripts/tidy-changed.sh DIR   DIR is scripts/tidy.sh's record of clean files, and holds the commit
# A changed .cpp file is checked; a changed header through its own .cpp file, or through the first file
# that includes it, which is enough for the findings in the header itself. Every file is checked (still
# skipping those scripts/tidy.sh found clean with the same inputs) when the record has no commit that
# this one descends from, or .clang-tidy, the tidy scripts, the presets, cmake/ or clang-tidy changed.
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
(($# == 1)) || { printf 'usage: tidy-changed.sh DIR\n' >&2; exit 2; }
record=$1
mkdir -p "$record"
cd "$root"

head=$(git rev-parse HEAD)
version=$(clang-tidy --version | sha256sum | cut -c1-16)
read -r base base_version 2>/dev/null <"$record/last-clean-commit" || true
# Only a commit is recorded, and only when the tree is that commit: edits are checked again next time.
remember() {
    [[ -n "$(git status --porcelain)" ]] || printf '%s %s\n' "$head" "$version" >"$record/last-clean-commit"
}

scope=all
if [[ -n "${base:-}" && "${base_version:-}" == "$version" ]] && git merge-base --is-ancestor "$base" HEAD 2>/dev/null; then
    # Against the working tree, so that edits not yet committed are checked too.
    mapfile -t changed < <({
        git diff --name-only --no-renames "$base" -- .
        git ls-files --others --exclude-standard
    } | LC_ALL=C sort -u)
    scope=changed
    for path in "${changed[@]}"; do
        case "$path" in
            .clang-tidy | scripts/tidy.sh | scripts/tidy-changed.sh | CMakePresets.json | cmake/*) scope=all ;;
        esac
    done
fi

files=()
if [[ "$scope" == changed ]]; then
    declare -A chosen=()
    for path in "${changed[@]}"; do
        [[ -f "$path" && "$path" =~ ^(audit|cli|app|platform|version)/ ]] || continue
        case "$path" in
            *.cpp) chosen[$path]=1 ;;
            *.h)
                own=${path%.h}.cpp
                if [[ -f "$own" ]]; then
                    chosen[$own]=1
                else
                    # Included as "folder/name.h" from the root, or by its name from its own folder.
                    includer=$(find audit cli app platform version -name '*.cpp' | LC_ALL=C sort |
                        xargs grep -l -F -e "#include \"$path\"" -e "#include \"${path##*/}\"" | sed -n 1p || true)
                    [[ -z "$includer" ]] || chosen[$includer]=1
                fi
                ;;
        esac
    done
    files=("${!chosen[@]}")
    if ((${#files[@]} == 0)); then
        printf 'tidy-changed.sh: no product file changed since %s\n' "${base:0:12}"
        remember
        exit 0
    fi
    mapfile -t files < <(printf '%s\n' "${files[@]}" | LC_ALL=C sort)
    printf 'tidy-changed.sh: %d file(s) for what changed since %s\n' "${#files[@]}" "${base:0:12}"
else
    printf 'tidy-changed.sh: every file (%s)\n' "$([[ -n "${base:-}" ]] && echo "the checks, the tools or the flags changed, or the recorded commit is not an ancestor" || echo "no recorded commit")"
fi

"$root/scripts/tidy.sh" --cache "$record" "${files[@]}"
remember
