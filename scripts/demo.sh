#!/usr/bin/env bash
# Installs what is missing, builds the release preset and runs the rom audit and both video audits
# on the sample Zelvora directory. Extra arguments go to every audit, e.g. `scripts/demo.sh -f json`.
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
preset=release
sample="$root/examples/sample-zelvora"
cli="$root/build/$preset/cli/zelvora-auditor-cli"

"$root/scripts/setup.sh"

cd "$root"
cmake --preset "$preset" --log-level=WARNING
cmake --build --preset "$preset" --target zelvora-auditor-cli

heading() {
    printf '\n===== %s =====\n\n' "$*"
}

heading "Rom audit of $sample"
"$cli" --zelvora-dir "$sample" "$@" roms

heading "Video audit of $sample"
"$cli" --zelvora-dir "$sample" "$@" videos

heading "Video audit of $sample, available roms only"
"$cli" --zelvora-dir "$sample" --available-roms-only "$@" videos

# ----- Desktop application: not built yet -----
# Once the app target exists: build it above as well and, when a display is available
# ($DISPLAY or $WAYLAND_DISPLAY set), open its window here on the sample directory.
