#!/usr/bin/env bash
# Installs what is missing, then configures and builds Lorewick in build/.
# A second run only rebuilds what changed. LOREWICK_BUILD_DIR, LOREWICK_CMAKE_ARGS,
# LOREWICK_BUILD_TARGET and LOREWICK_EXTRA_PACKAGES choose another folder, configuration,
# target and further packages (scripts/sanitize.sh and scripts/fuzz.sh use them).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev
    libpugixml-dev zlib1g-dev libxcb1-dev libxcb-keysyms1-dev
    fonts-liberation
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth openbox xdotool xclip trayer imagemagick x11-utils python3
    ${LOREWICK_EXTRA_PACKAGES:-}
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
cmake --build "$build_dir" --target "${LOREWICK_BUILD_TARGET:-all}"
