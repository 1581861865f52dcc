#!/usr/bin/env bash
# Times the deep verify of zelvora-auditor-cli on a tree of rom-like archives, warm page cache, against
# `7zz t` over the same archives in one run and against the floor (the same entries verified in memory
# on every core, with libdeflate and zlib as the verify uses them and with zlib alone), the re-verify
# of the unchanged tree against plain `roms -p`, and the verify with the archives out of the page
# cache beside `cat` of the same archives.
#
#   bench/verify.sh [--games N] [--mean-kb K] [--runs R] [--keep]
#
# ZELVORA_CLI and ZELVORA_VERIFY_FLOOR name other builds. See bench/README.md, "Deep verify".
set -euo pipefail

games=2000
mean=128
runs=3
keep=0
while [[ $# -gt 0 ]]; do
    case $1 in
        --games) games=$2; shift 2 ;;
        --mean-kb) mean=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        --keep) keep=1; shift ;;
        -h|--help) sed -n '2,9s/^# \{0,1\}//p' "$0"; exit 0 ;;
        *) echo "verify.sh: unknown argument: $1" >&2; exit 2 ;;
    esac
done

bench_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$bench_dir")
out="$bench_dir/out"
mkdir -p "$out"
command -v 7zz >/dev/null || { echo "verify.sh: 7zz is required (Debian package 7zip)" >&2; exit 1; }

if [[ -z ${ZELVORA_CLI:-} ]]; then
    (cd "$repo" && cmake --preset release >"$out/build.log" 2>&1 &&
        cmake --build build/release --target zelvora-auditor-cli zelvora-verify-floor >>"$out/build.log" 2>&1) ||
        { echo "verify.sh: the build failed; see $out/build.log" >&2; exit 1; }
    cli="$repo/build/release/cli/zelvora-auditor-cli"
else
    cli=$ZELVORA_CLI
fi
floor=${ZELVORA_VERIFY_FLOOR:-$(dirname "$cli")/../bench/floor/zelvora-verify-floor}

tree="$out/verify-$games-k$mean"
if [[ ! -f "$tree/.verify-manifest.json" ]]; then
    rm -rf "$tree"
    python3 "$bench_dir/gen_roms.py" --games "$games" --mean-kb "$mean" --out "$tree"
fi
list="$out/verify-$games-k$mean.list"
find "$tree" -name '*.zip' | sort >"$list"
data="$out/verify-data"
rm -rf "$data"
export XDG_DATA_HOME="$data"

# Warm: the page cache holds every archive, the verdict cache every verdict.
xargs -a "$list" -d '\n' cat >/dev/null
"$cli" roms -q --verify -d "$tree" >/dev/null 2>&1

seconds() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    echo "$EPOCHREALTIME - $start" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
declare -A rows
order=("roms -p" "roms --verify (cache warm)" "roms --verify-all --no-history" "7zz t" "floor: in memory")
for ((r = 0; r < runs; r++)); do
    rows["roms -p"]+="$(seconds "$cli" roms -q -p -d "$tree") "
    rows["roms --verify (cache warm)"]+="$(seconds "$cli" roms -q --verify -d "$tree") "
    rows["roms --verify-all --no-history"]+="$(seconds "$cli" roms -q --verify-all --no-history -d "$tree") "
    rows["7zz t"]+="$(seconds 7zz t -bso0 -bsp0 -an "-ai@$list") "
    rows["floor: in memory"]+="$("$floor" <"$list" | awk '{print $5}') "
    rows["floor, zlib only"]+="$("$floor" --zlib-only <"$list" | awk '{print $5}') "
done
order+=("floor, zlib only")
# Cold: before each run the archives leave the page cache: all of it dropped where that is allowed
# (root on a machine of one's own), else each archive's pages given back with posix_fadvise, which any
# reader of the files may do. The verify is timed beside cat of the same files.
evict() {
    if [[ -w /proc/sys/vm/drop_caches ]]; then
        sync
        echo 3 >/proc/sys/vm/drop_caches
    else
        python3 -c '
import os, sys
for path in sys.stdin.read().splitlines():
    fd = os.open(path, os.O_RDONLY)
    os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    os.close(fd)' <"$list"
    fi
}
cold() {
    evict
    seconds "$@"
}
order+=("cold: roms --verify-all --no-history" "cold: cat of the same archives")
for ((r = 0; r < runs; r++)); do
    rows["cold: roms --verify-all --no-history"]+="$(cold "$cli" roms -q --verify-all --no-history -d "$tree") "
    rows["cold: cat of the same archives"]+="$(cold xargs -a "$list" -d '\n' cat) "
done
printf '%s\n' "$(du -sb "$tree" | cut -f1) bytes of archives in $tree, $runs runs, medians:"
declare -A med
for row in "${order[@]}"; do
    med[$row]=$(tr ' ' '\n' <<<"${rows[$row]}" | grep . | median)
    printf '  %-34s %8.3f s\n' "$row" "${med[$row]}"
done
printf '  %-34s %8.2f (goal <= 0.25)\n' "verify-all / 7zz t" "$(echo "${med["roms --verify-all --no-history"]} / ${med["7zz t"]}" | bc -l)"
printf '  %-34s %8.2f (goal <= 1.5)\n' "re-verify / roms -p" "$(echo "${med["roms --verify (cache warm)"]} / ${med["roms -p"]}" | bc -l)"
printf '  %-34s %8.2f\n' "cold verify / cold cat" \
    "$(echo "${med["cold: roms --verify-all --no-history"]} / ${med["cold: cat of the same archives"]}" | bc -l)"
printf '  %-34s %8.2f\n' "floor zlib only / floor" "$(echo "${med["floor, zlib only"]} / ${med["floor: in memory"]}" | bc -l)"
for command in "-p" "--verify-all --no-history"; do
    # shellcheck disable=SC2086
    kb=$(/usr/bin/time -f %M "$cli" roms -q $command -d "$tree" 2>&1 >/dev/null | tail -1)
    printf '  %-34s %8s KB peak\n' "roms $command" "$kb"
done
[[ $keep == 1 ]] || rm -rf "$tree" "$list"
