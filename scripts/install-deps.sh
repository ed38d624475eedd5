#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with; does nothing when
# every one of them is already present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libgl-dev libxcb1-dev libxcb-shm0-dev libxcb-xtest0-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libpng-dev zlib1g-dev libcli11-dev libssl-dev libsdl2-dev
    xvfb xauth x11-utils imagemagick
    clang libclang-rt-14-dev llvm clang-tidy cppcheck gcovr python3
    dpkg-dev file lintian appstream desktop-file-utils shared-mime-info groff-base man-db
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
