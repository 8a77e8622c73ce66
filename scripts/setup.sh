#!/usr/bin/env bash
# Installs what the program needs on Debian 12 (only what is missing) and builds it in build/.
# Usage: scripts/setup.sh [--tests]   (--tests also installs what the test programs use)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make pkg-config qt6-base-dev libqt6sql6-sqlite qt6-translations-l10n
          fonts-dejavu-core fonts-liberation2 fonts-wine libbenchmark-dev)
if [ "${1:-}" = "--tests" ]; then
    packages+=(poppler-utils desktop-file-utils appstream dpkg-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installation des paquets manquants : ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
