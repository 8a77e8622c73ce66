#!/usr/bin/env bash
# Checks what the desktop shows of the programs, builds the Debian package in build/, installs it
# on this machine and runs the installed tool. Run after scripts/setup.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

desktop-file-validate dist/org.orvanthe.Orvanthe.desktop
appstreamcli validate --no-net dist/org.orvanthe.Orvanthe.metainfo.xml

rm -f build/orvanthe_*.deb
(cd build && cpack -G DEB >/dev/null)
package=$(ls build/orvanthe_*.deb)
echo "Paquet : $package"
dpkg-deb --field "$package" Depends

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "./$package" >/dev/null
version=$(/usr/bin/orvanthe-cli --version)
echo "Installé : $version"
[ "$version" = "orvanthe-cli $(dpkg-deb --field "$package" Version)" ]
