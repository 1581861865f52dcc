#!/usr/bin/env bash
# Times the rom and video audits of zelvora-auditor-cli against plain directory listings (find | sort,
# fdfind) on one synthetic Zelvora tree, warm cache, and prints medians, ratios and peak memory.
#
#   bench/run.sh [--games N] [--runs K] [--keep] [--seed S] [--extra-unknown-files M] [--near-miss-load L]
#
# ZELVORA_CLI=/path/to/zelvora-auditor-cli skips the build (ZELVORA_FLOOR names the floor walker,
# default: beside it, ../bench/floor/zelvora-walk-floor in the same build). See bench/README.md.
set -euo pipefail

games=120000
runs=5
keep=0
seed=1
extra=0
load=0

usage() {
    sed -n '2,8s/^# \{0,1\}//p' "$0" >&2
    exit "${1:-2}"
}

need_value() { [[ $# -ge 2 && $2 =~ ^[0-9]+$ ]] || { echo "run.sh: $1 needs a number" >&2; usage; }; }

while [[ $# -gt 0 ]]; do
    case $1 in
        --games) need_value "$@"; games=$2; shift 2 ;;
        --runs) need_value "$@"; runs=$2; shift 2 ;;
        --seed) need_value "$@"; seed=$2; shift 2 ;;
        --extra-unknown-files) need_value "$@"; extra=$2; shift 2 ;;
        --near-miss-load) need_value "$@"; load=$2; shift 2 ;;
        --keep) keep=1; shift ;;
        -h|--help) usage 0 ;;
        *) echo "run.sh: unknown argument: $1" >&2; usage ;;
    esac
done
[[ $runs -ge 1 ]] || { echo "run.sh: --runs must be at least 1" >&2; exit 2; }

bench_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$bench_dir")
out="$bench_dir/out"
mkdir -p "$out"

for tool in python3 find sort fdfind /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "run.sh: $tool is required" >&2; exit 1; }
done

# --- the command under test ---------------------------------------------------------------------
if [[ -n ${ZELVORA_CLI:-} ]]; then
    cli=$ZELVORA_CLI
else
    echo "building the release preset (log: $out/build.log)" >&2
    if ! (cd "$repo" && cmake --preset release &&
        cmake --build --preset release --target zelvora-auditor-cli zelvora-walk-floor) \
        >"$out/build.log" 2>&1; then
        tail -n 30 "$out/build.log" >&2
        echo "run.sh: the release build failed" >&2
        exit 1
    fi
    cli=$(find "$repo/build/release" -name zelvora-auditor-cli -type f -perm -u+x -print -quit)
fi
[[ -n $cli && -x $cli ]] || { echo "run.sh: no executable zelvora-auditor-cli (${cli:-not found})" >&2; exit 1; }
floor=${ZELVORA_FLOOR:-$(dirname "$cli")/../bench/floor/zelvora-walk-floor}
[[ -x $floor ]] || { echo "run.sh: no floor walker at $floor (build zelvora-walk-floor or set ZELVORA_FLOOR)" >&2; exit 1; }

# --- the tree -------------------------------------------------------------------------------------
name="tree-$games"
[[ $extra -eq 0 ]] || name+="-x$extra"
[[ $load -eq 0 ]] || name+="-m$load"
[[ $seed -eq 1 ]] || name+="-s$seed"
tree="$out/$name"
manifest="$tree/.bench-manifest.json"
list="$tree/- Supported Games Lookup For Naming.txt"

stamp_matches() {
    [[ -f $manifest ]] && python3 - "$manifest" "$games" "$seed" "$extra" "$load" <<'EOF'
import json, sys
m = json.load(open(sys.argv[1], encoding="utf-8"))
stamp = [m["games"], m["seed"], m["extra_unknown_files"], m.get("near_miss_load", 0), m.get("content_version", 0)]
sys.exit(0 if stamp == [int(a) for a in sys.argv[2:6]] + [1] else 1)
EOF
}

generated=0
if stamp_matches; then
    echo "reusing $tree" >&2
else
    # Only ever a tree of our own below bench/out: a missing or foreign stamp means a half-written tree.
    rm -rf -- "$tree"
    echo "generating $tree" >&2
    python3 "$bench_dir/gen_tree.py" --games "$games" --seed "$seed" --extra-unknown-files "$extra" \
        --near-miss-load "$load" --out "$tree" >&2
    generated=1
fi

cleanup() {
    if [[ $keep -eq 0 && $generated -eq 1 ]]; then
        rm -rf -- "$tree"
    fi
}
trap cleanup EXIT

# find and fdfind fail on a folder that does not exist; the audits do not. List only the folders
# present, and an empty folder when there are none, so neither tool falls back to the working dir.
empty="$out/empty"
mkdir -p "$empty"
existing() {
    local -n _into=$1
    shift
    _into=()
    local d
    for d in "$@"; do [[ -d $tree/$d ]] && _into+=("$tree/$d"); done
    [[ ${#_into[@]} -gt 0 ]] || _into=("$empty")
}
rom_dirs=()
video_dirs=()
existing rom_dirs roms roms16BitConsoles romsConsoles
existing video_dirs videos videos2 videos3 videos4 videosextra

# --- the commands ---------------------------------------------------------------------------------
# The audits' history goes below bench/out, never into the user's data folder. The plain audits run
# without it, as they were measured before it existed; roms_history shows what keeping it costs.
export XDG_DATA_HOME="$out/data"
cmd_roms() { "$cli" roms -q --no-history -f json -d "$tree" -l "$list"; }
cmd_videos() { "$cli" videos -q --no-history -f json -d "$tree" -l "$list"; }
cmd_all() { "$cli" all -q --no-history -f json -d "$tree" -l "$list"; }
cmd_roms_problems() { "$cli" roms -q --no-history --problems -f json -d "$tree" -l "$list"; }
cmd_roms_history() { "$cli" roms -q -f json -d "$tree" -l "$list"; }
cmd_roms_m() { "$cli" roms -m -q --no-history -f json -d "$tree" -l "$list"; }
cmd_find_roms() { find "${rom_dirs[@]}" -type f -iname '*.zip' -printf '%f\n' | LC_ALL=C sort -f; }
cmd_find_videos() { find "${video_dirs[@]}" -type f -iname '*.xmv' -printf '%f\n' | LC_ALL=C sort -f; }
cmd_fd_roms() { fdfind -u -t f -e zip . "${rom_dirs[@]}"; }
cmd_fd_videos() { fdfind -u -t f -e xmv . "${video_dirs[@]}"; }
cmd_floor_roms() { "$floor" "${rom_dirs[@]}"; }
cmd_floor_videos() { "$floor" "${video_dirs[@]}"; }
cmd_floor_open() { "$floor" --open-zip "${rom_dirs[@]}"; }

commands=(roms roms_m videos all roms_problems roms_history find_roms find_videos fd_roms fd_videos floor_roms floor_videos floor_open)
declare -A label=(
    [roms]="zelvora-auditor-cli roms"
    [roms_m]="zelvora-auditor-cli roms -m"
    [videos]="zelvora-auditor-cli videos"
    [all]="zelvora-auditor-cli all"
    [roms_problems]="zelvora-auditor-cli roms --problems"
    [roms_history]="zelvora-auditor-cli roms (history kept)"
    [find_roms]="find roms | sort -f"
    [find_videos]="find videos | sort -f"
    [fd_roms]="fdfind -e zip"
    [fd_videos]="fdfind -e xmv"
    [floor_roms]="bare walk of the rom dirs"
    [floor_videos]="bare walk of the video dirs"
    [floor_open]="walk + open/read 4 bytes of each .zip"
)

stamp=$(date +%Y%m%d-%H%M%S)
results="$out/results-$name-$stamp"
timings="$results.tsv"

# Warm-up: one unmeasured pass of each, which also keeps the outputs for the sanity checks.
echo "warming the cache" >&2
for c in "${commands[@]}"; do
    if ! "cmd_$c" >"$results.$c.out"; then
        echo "run.sh: ${label[$c]} failed during warm-up" >&2
        exit 1
    fi
done

# CPU time (user + system, ms) of all finished children, from the `times` builtin: a redirect, not a
# command substitution, because a forked subshell would start its children's times at zero.
children_cpu_ms() {
    local user sys
    times >"$results.times"
    { read -r _; read -r user sys; } <"$results.times"
    cpu_ms=0
    local t m
    for t in "$user" "$sys"; do
        m=${t%%m*}
        t=${t#*m}
        t=${t%s}
        cpu_ms=$((cpu_ms + 10#$m * 60000 + 10#${t%%[.,]*} * 1000 + 10#${t##*[.,]}))
    done
}

# Interleaved runs, the starting command rotating, so drift over time hits every command alike.
# EPOCHREALTIME needs no fork; its decimal separator follows the locale, hence the digit filter.
# CPU time goes beside wall time: on a shared machine it shows what the load did to the wall times.
printf 'run\tcommand\tseconds\tcpu_seconds\n' >"$timings"
n=${#commands[@]}
for ((r = 0; r < runs; r++)); do
    echo "run $((r + 1))/$runs" >&2
    for ((i = 0; i < n; i++)); do
        c=${commands[(i + r) % n]}
        children_cpu_ms
        cpu0=$cpu_ms
        t0=$EPOCHREALTIME
        if ! "cmd_$c" >/dev/null; then
            echo "run.sh: ${label[$c]} failed" >&2
            exit 1
        fi
        t1=$EPOCHREALTIME
        children_cpu_ms
        us=$((10#${t1//[!0-9]/} - 10#${t0//[!0-9]/}))
        ms=$((cpu_ms - cpu0))
        printf '%d\t%s\t%d.%06d\t%d.%03d\n' "$((r + 1))" "$c" "$((us / 1000000))" "$((us % 1000000))" \
            "$((ms / 1000))" "$((ms % 1000))" >>"$timings"
    done
done
rm -f "$results.times"

# Peak resident memory (KB) of each audit and of the command doing nothing, the median of up to 3.
echo "measuring peak memory" >&2
mem_runs=$((runs < 3 ? runs : 3))
peak() {
    local what=$1 i
    shift
    for ((i = 0; i < mem_runs; i++)); do
        /usr/bin/time -f %M -o "$results.mem" "$@" >/dev/null || { echo "run.sh: $* failed" >&2; exit 1; }
        printf '%s\t%s\n' "$what" "$(tail -n 1 "$results.mem")" >>"$results.peak"
    done
}
: >"$results.peak"
peak idle "$cli" --version
peak roms "$cli" roms -q --no-history -f json -d "$tree" -l "$list"
peak videos "$cli" videos -q --no-history -f json -d "$tree" -l "$list"
rm -f "$results.mem"

if python3 "$bench_dir/report.py" --results "$results" --manifest "$manifest" --runs "$runs" --cli "$cli" \
    | tee "$results.txt"; then
    rm -f "$results".*.out
    echo "results: $results.txt, raw timings: $timings" >&2
else
    echo "results: $results.txt; the outputs compared are kept as $results.*.out" >&2
    exit 1
fi
