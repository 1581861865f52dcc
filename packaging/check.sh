#!/usr/bin/env bash
# Builds the Debian package (the package preset, then `cpack -G DEB`) and checks it as a distribution
# would: lintian, appstreamcli and desktop-file-validate. Then unpacks it into a scratch root and uses
# it from there: both programs' --version, an audit of the sample directory, both manual pages and
# the bash completion. Installs what it needs first (scripts/setup.sh --packaging). Prints the
# package's path last. Runs unattended, as root or as a user with sudo.
set -euo pipefail

root=$(cd -- "$(dirname -- "${BASH_SOURCE[0]}")/.." && pwd)
preset=package
build="$root/build/$preset"

step() {
    printf '\n===== %s =====\n' "$*"
}

fail() {
    printf 'check.sh: %s\n' "$*" >&2
    exit 1
}

"$root/scripts/setup.sh" --packaging

step "Building the package"
cd "$root"
cmake --preset "$preset" --log-level=WARNING
cmake --build --preset "$preset"
rm -f "$build"/zelvora-auditor_*.deb
(cd "$build" && cpack -G DEB)

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb="$build/zelvora-auditor_${version}_${arch}.deb"
[[ -f "$deb" ]] || fail "cpack made no $deb"
[[ "$(dpkg-deb -f "$deb" Version)" == "$version" ]] || fail "the package's version is not $version"
# Computed by dpkg-shlibdeps: the programs link Qt, libdeflate and zlib from the system.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6widgets6 libdeflate0 zlib1g; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

step "lintian"
# Warnings fail too: none is accepted (packaging/README.md).
lintian --display-info --fail-on error,warning "$deb"

scratch=$(mktemp -d)
trap 'rm -rf -- "$scratch"' EXIT
dpkg -x "$deb" "$scratch"
usr="$scratch/usr"
app_id=io.github.zelvora.ZelvoraAuditor

step "Files where the desktop and the shells look for them"
for file in \
    bin/zelvora-auditor bin/zelvora-auditor-cli \
    share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
    share/icons/hicolor/48x48/apps/zelvora-auditor.png share/icons/hicolor/scalable/apps/zelvora-auditor.svg \
    share/man/man1/zelvora-auditor.1.gz share/man/man1/zelvora-auditor-cli.1.gz \
    share/bash-completion/completions/zelvora-auditor-cli share/zsh/vendor-completions/_zelvora-auditor-cli \
    share/doc/zelvora-auditor/copyright share/doc/zelvora-auditor/changelog.gz; do
    [[ -f "$usr/$file" ]] || fail "the package lacks /usr/$file"
    printf '/usr/%s\n' "$file"
done

step "desktop-file-validate and appstreamcli"
desktop-file-validate "$usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/$app_id.metainfo.xml"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$usr/share/metainfo/$app_id.metainfo.xml" | sed -n 1p)
[[ "$release" == "$version" ]] || fail "the metainfo's latest release is $release, the package's version $version"
entry=$(gzip -dc "$usr/share/doc/zelvora-auditor/changelog.gz" | sed -n 1p)
[[ "$entry" == "zelvora-auditor ($version) "* ]] || fail "the changelog's latest entry is \"$entry\", not $version"

step "The programs, from the scratch root"
# Qt comes from the system, so no LD_LIBRARY_PATH.
for program in zelvora-auditor-cli zelvora-auditor; do
    shown=$("$usr/bin/$program" --version)
    printf '%s\n' "$shown"
    [[ "$shown" == "$program $version"* ]] || fail "$program --version shows \"$shown\""
done
reports="$scratch/reports"
"$usr/bin/zelvora-auditor-cli" -q -d "$root/examples/sample-zelvora" -s "$reports" roms >/dev/null
[[ -s "$reports/missing_roms.txt" ]] || fail "the installed zelvora-auditor-cli wrote no report"

step "Manual pages"
for page in zelvora-auditor zelvora-auditor-cli; do
    # Warnings of groff, as lintian looks for them, fail the check.
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [[ -z "$warnings" ]] || fail "man warns about $page(1): $warnings"
    MANWIDTH=80 man -l "$usr/share/man/man1/$page.1.gz" 2>/dev/null | col -b | sed -n '/^NAME/,/^$/p'
done

step "Bash completion"
# bash-completion looks for the script below each data directory, as it would below /usr/share; each
# line is what is typed, then one completion expected.
PATH="$usr/bin:$PATH" XDG_DATA_DIRS="$usr/share" bash --norc --noprofile -s <<'EOF'
set -u
source /usr/share/bash-completion/bash_completion
_completion_loader zelvora-auditor-cli
complete -p zelvora-auditor-cli
expect() {
    local line=$1 expected=$2
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _zelvora_auditor_cli zelvora-auditor-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%-32s -> %s\n' "$line" "${COMPREPLY[*]}"
    [[ " ${COMPREPLY[*]} " == *" $expected "* ]] || {
        printf 'check.sh: no "%s" among the completions of "%s"\n' "$expected" "$line" >&2
        exit 1
    }
}
expect 'zelvora-auditor-cli --zel' --zelvora-dir
expect 'zelvora-auditor-cli --' --available-roms-only
expect 'zelvora-auditor-cli -f ' json
expect 'zelvora-auditor-cli -q ' videos
expect 'zelvora-auditor-cli un' undo
EOF

step "Done"
printf '%s\n' "$deb"
