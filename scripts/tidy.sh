#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the product code (audit/, cli/, app/, platform/,
# version/; not the tests, not generated files), on every core, with the clang preset's compile
# commands. Any finding fails the run. Reuses build/clang when it is configured (as CI leaves it).
#   scripts/tidy.sh [FILE...]               only these files
#   scripts/tidy.sh --cache DIR [FILE...]   skip the files already found clean with the same inputs
# With --cache, the clang preset is built first, so that the headers each file includes are known. A
# file is skipped only when its content, every header it includes (ours and the system's), its compile
# command, .clang-tidy, clang-tidy's version and this script are all as they were when it was last
# found clean; anything else, a new .clang-tidy or an empty DIR included, checks it again.
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
preset=clang
build="$root/build/$preset"

cache=""
while (($# > 0)); do
    case "$1" in
        --cache)
            (($# >= 2)) || { printf 'tidy.sh: --cache needs a folder\n' >&2; exit 2; }
            cache=$2
            shift 2
            ;;
        -h | --help)
            sed -n '2,10s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
            exit 0
            ;;
        --) shift; break ;;
        *) break ;;
    esac
done

"$root/scripts/setup.sh"

# Runs a command silently, and shows what it said only when it fails.
quietly() {
    local said
    said=$("$@" 2>&1) || { printf '%s\n' "$said" >&2; return 1; }
}

cd "$root"
if [[ ! -f "$build/build.ninja" ]]; then
    quietly cmake --preset "$preset" --log-level=WARNING
fi
if [[ -n "$cache" ]]; then
    quietly cmake --build --preset "$preset"
else
    # The window's sources include the header uic makes from mainwindow.ui.
    quietly cmake --build --preset "$preset" --target zelvora_app_autogen
fi

# The build's precompiled headers are left out: tidy reads each file with its own includes alone.
commands="$build/tidy"
mkdir -p "$commands"
sed -E 's| -Xclang -include-pch -Xclang [^ ]+ -Xclang -include -Xclang [^ ]+/cmake_pch\.hxx||g' \
    "$build/compile_commands.json" >"$commands/compile_commands.json"

if (($# > 0)); then
    files=("$@")
else
    mapfile -t files < <(find audit cli app platform version -name '*.cpp' | LC_ALL=C sort)
fi

# Prints "FILE KEY" for each of the files whose inputs are all known: KEY hashes them all.
inputs_keys() {
    local scratch global
    scratch=$(mktemp -d)
    global=$({
        clang-tidy --version
        cat "$root/.clang-tidy" "$root/scripts/tidy.sh"
    } | sha256sum)
    ninja -C "$build" -t deps >"$scratch/deps"
    # Every header any object was built from, hashed once; a file that is gone gets no hash.
    awk '/^[^ ]/ { valid = ($0 ~ /\(VALID\)$/); next } valid && NF { print $1 }' "$scratch/deps" |
        LC_ALL=C sort -u >"$scratch/paths"
    (cd "$build" && xargs -r -d '\n' sha256sum -- <"$scratch/paths" 2>/dev/null || true) >"$scratch/hashes"
    mkdir "$scratch/inputs"
    printf '%s\n' "${files[@]}" >"$scratch/files"
    # The absolute root is left out of every path, so that clones in other folders share the record.
    awk -v root="$root" -v out="$scratch/inputs" -v global="$global" '
        function relative(text,    at, after, result) {
            result = ""
            while ((at = index(text, root)) > 0) {
                after = substr(text, at + length(root), 1)
                result = result substr(text, 1, at - 1) (after ~ /[A-Za-z0-9._-]/ ? root : "@ROOT@")
                text = substr(text, at + length(root))
            }
            return result text
        }
        FILENAME ~ /hashes$/ { hash[substr($0, 67)] = $1; next }
        FILENAME ~ /compile_commands.json$/ {
            if ($1 == "\"command\":") {
                command = $0
                object = command
                sub(/.* -o /, "", object)
                sub(/ .*/, "", object)
            } else if ($1 == "\"file\":") {
                file = $2
                gsub(/^"|",?$/, "", file)
                commands[file] = commands[file] relative(command) "\n"
                objects[file] = objects[file] object " "
            }
            next
        }
        FILENAME ~ /deps$/ {
            if ($0 ~ /^[^ ]/) {
                current = $1
                sub(/:$/, "", current)
                if ($0 !~ /\(VALID\)$/) stale[current] = 1
                seen[current] = 1
            } else if (NF) {
                if (!($1 in hash)) stale[current] = 1
                deps[current] = deps[current] relative($1) " " hash[$1] "\n"
            }
            next
        }
        {
            file = $0
            if (file !~ /^\//) file = root "/" file
            if (!(file in objects)) next
            text = global "\n" relative(file) "\n" commands[file]
            n = split(objects[file], list, " ")
            known = 1
            for (i = 1; i <= n; ++i) {
                if (!(list[i] in seen) || (list[i] in stale)) known = 0
                text = text deps[list[i]]
            }
            if (!known) next
            ++count
            printf "%s", text > (out "/" count)
            close(out "/" count)
            print $0 "\t" count
        }
    ' "$scratch/hashes" "$commands/compile_commands.json" "$scratch/deps" "$scratch/files" |
        while IFS=$'\t' read -r file number; do
            printf '%s\t%s\n' "$file" "$(sha256sum <"$scratch/inputs/$number" | cut -c1-64)"
        done
    rm -rf -- "$scratch"
}

declare -A keys=()
skipped=0
if [[ -n "$cache" ]]; then
    mkdir -p "$cache"
    # Records unused for a month belong to branches long gone.
    find "$cache" -type f -mtime +30 -delete
    while IFS=$'\t' read -r file key; do
        keys[$file]=$key
    done < <(inputs_keys)
    unchecked=()
    for file in "${files[@]}"; do
        key=${keys[$file]:-}
        if [[ -n "$key" && -f "$cache/$key" ]]; then
            touch "$cache/$key"
            skipped=$((skipped + 1))
        else
            unchecked+=("$file")
        fi
    done
    files=("${unchecked[@]}")
fi

# One file per clang-tidy; its findings are printed together, without the count of the warnings it
# silenced in system headers. A file with no finding at all is recorded as clean under its key.
#   tidy_one BUILD CACHE FILE KEY   (CACHE and KEY are "-" when there is none)
tidy_one() {
    local out status=0
    out=$(clang-tidy -p "$1" --quiet "$3" 2>&1) || status=$?
    out=$(grep -v -E '^[0-9]+ (warnings?|errors?)( and [0-9]+ errors?)? generated\.$' <<<"$out" || true)
    if [[ -n "$out" ]]; then
        printf '%s\n' "$out"
        ((status != 0)) || status=1
    elif ((status == 0)) && [[ "$2" != - && "$4" != - ]]; then
        touch "$2/$4"
    fi
    return "$status"
}
export -f tidy_one

start=$SECONDS
status=0
if ((${#files[@]} > 0)); then
    for file in "${files[@]}"; do
        printf '%s\0%s\0' "$file" "${keys[$file]:--}"
    done | xargs -0 -n 2 -P "$(nproc)" bash -c 'tidy_one "$@"' _ "$commands" "${cache:--}" ||
        status=$?
fi
printf 'tidy.sh: %d file(s) in %d s%s: %s\n' "${#files[@]}" $((SECONDS - start)) \
    "$( ((skipped > 0)) && printf ', %d unchanged since found clean' "$skipped")" \
    "$( ((status == 0)) && echo clean || echo FINDINGS)"
exit $((status == 0 ? 0 : 1))
