#!/usr/bin/env bash
# Installs what building and testing Mivora needs on Debian 12, as root.
# Idempotent: asks apt only for what is missing.
set -euo pipefail

packages=(
    cmake make g++ python3 python3-markdown procps util-linux
    clang-14 libclang-rt-14-dev clang-format
    libgtest-dev googletest libbenchmark-dev
    g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
    wine wine64 xvfb xauth x11-utils x11-xserver-utils xdotool imagemagick fonts-wqy-microhei fonts-dejavu-core
)
# The review schedule is compared with ts-fsrs from the npm registry under
# node; a node installed otherwise, with its npm, serves as well.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "Run as root (apt-get install needs it)." >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
