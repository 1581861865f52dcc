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

# ----- Desktop application -----
# With a display, build the window and open it; without one, the audits above are the demo.
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    cmake --build --preset "$preset" --target zelvora-auditor
    heading "Desktop application"
    printf 'Opening the Zelvora Auditor window. To audit the sample, click "Choose..." beside\n'
    printf '"Zelvora directory" and pick:\n    %s\n' "$sample"
    printf 'The supported roms list is then found by itself; click "Audit roms" or, on the Videos\n'
    printf 'tab, "Audit videos". Close the window to end the demo.\n'
    "$root/build/$preset/app/zelvora-auditor"
else
    heading "Desktop application"
    printf 'No display ($DISPLAY and $WAYLAND_DISPLAY are unset), so the window was not opened:\n'
    printf 'the command-line audits of the sample directory above are the demo on this machine.\n'
fi
