#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need,
# only those that are missing. Run as root on Debian 12.
set -euo pipefail
packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    pasmo libz80ex-dev
    libftdi1-dev libusb-1.0-0-dev libgtk-3-dev
    lintian dpkg-dev
    zlib1g-dev
    clang libclang-rt-14-dev
    xvfb xdotool
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine wine64
    libsoxr-dev libsndfile1-dev libpulse-dev pulseaudio pulseaudio-utils sox
    libdbus-1-dev
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi
