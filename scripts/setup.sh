#!/usr/bin/env bash
# Installs what is missing, then configures and builds Lorewick in build/.
# A second run only rebuilds what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev
    libpugixml-dev zlib1g-dev libxcb1-dev libxcb-keysyms1-dev
    fonts-liberation
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth openbox xdotool xclip trayer imagemagick x11-utils python3
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_dir=${LOREWICK_BUILD_DIR:-build}
if [ ! -f "$build_dir/build.ninja" ]; then
    cmake -S . -B "$build_dir" -G Ninja ${LOREWICK_CMAKE_ARGS:-}
fi
cmake --build "$build_dir"
