#!/usr/bin/env bash
# Installs what is missing on Debian 12 and builds in build/.
# Usage: scripts/setup.sh            the two programs only
#        scripts/setup.sh --tests    also the tests and the benchmarks, and what they use
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make pkg-config qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql libsqlite3-dev
          qt6-translations-l10n fonts-dejavu-core fonts-liberation2 fonts-wine
          libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev libqrencode-dev)
with_tests=OFF
if [ "${1:-}" = "--tests" ]; then
    with_tests=ON
    # postgresql: the tests start a throwaway server of their own (tests/pgcluster.sh).
    packages+=(libbenchmark-dev poppler-utils desktop-file-utils appstream dpkg-dev postgresql)
    # The web page is tested in Debian's browser, driven from Node (tests/web) and, for drafts,
    # from Debian's Python (python3-websocket).
    packages+=(chromium nodejs python3-websocket)
    # A Node from elsewhere may bring its own npm, which Debian's would conflict with.
    command -v npm >/dev/null 2>&1 || packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "Il manque des paquets Debian, et sudo n'est pas là pour les installer." >&2
            echo "Installez-les en administrateur (su -), puis relancez cette commande :" >&2
            echo "  apt-get install ${missing[*]}" >&2
            exit 1
        fi
        sudo_cmd=(sudo)
    fi
    echo "Installation des paquets manquants : ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -q
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DOV_BUILD_TESTS=$with_tests \
      -DOV_BUILD_BENCH=$with_tests
if [ $with_tests = ON ]; then
    cmake --build build -j"$(nproc)"
else
    cmake --build build -j"$(nproc)" --target orvanthe orvanthe-cli
fi
