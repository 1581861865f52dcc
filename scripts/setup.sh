#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the desktop app need. Does nothing, not
# even an `apt-get update`, when every one of them is already installed, so it is safe to run again.
#   scripts/setup.sh --packaging   also what building and checking the .deb needs (packaging/check.sh)
set -euo pipefail

packages=(
    qt6-base-dev libgtest-dev libicu-dev cmake g++ ninja-build pkg-config
    # The archive verify: zlib (streamed entries) and libdeflate (whole entries, CRC-32).
    zlib1g-dev libdeflate-dev
    # For the desktop app and its tests under a virtual display.
    libgl-dev xvfb xauth
    # For the clang build and the fuzz targets (libFuzzer comes with clang's runtime).
    clang libclang-rt-14-dev
    # For scripts/tidy.sh and scripts/format.sh.
    clang-tidy clang-format
    # For the rename test on a real exFAT file system (FUSE).
    exfat-fuse exfatprogs
    # Keeps compiled objects between builds (CI's launcher; -DCMAKE_CXX_COMPILER_LAUNCHER=ccache by hand).
    ccache
)

fail() {
    printf 'setup.sh: %s\n' "$*" >&2
    exit 1
}

for arg in "$@"; do
    case "$arg" in
        --packaging)
            # dpkg-shlibdeps and file work out the package's dependencies; the rest check the package.
            packages+=(dpkg-dev file lintian appstream desktop-file-utils man-db bash-completion)
            ;;
        *) fail "unknown argument: $arg" ;;
    esac
done

command -v dpkg-query >/dev/null 2>&1 || fail "dpkg-query not found: this script supports Debian 12 (apt and dpkg) only."

missing=()
for package in "${packages[@]}"; do
    # dpkg-query fails for a package it has never heard of; that package is missing too.
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

if [[ "$(id -u)" -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    fail "missing packages: ${missing[*]}. Run this script as root, or install sudo, or install them yourself with: apt-get install ${missing[*]}"
fi

apt_get() {
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@" ||
        fail "'apt-get $*' failed${as_root:+ (through sudo: does this user have sudo rights?)}"
}

printf 'setup.sh: installing %s\n' "${missing[*]}" >&2
apt_get update
apt_get install -y --no-install-recommends "${missing[@]}"
