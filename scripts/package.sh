#!/usr/bin/env bash
# Builds the Debian package build/kestrel_VERSION_amd64.deb (in $KESTREL_BUILD_DIR when set):
# kestrel, kestrel-cli and kestrel-emulator with their manual pages, the help pages, the menu
# entry, the icons, the software-centre entry and kestrel-cli's bash completion. Prints its path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
# CPack asks file which installed files are programs, and dpkg-shlibdeps what they depend on.
"$root/scripts/setup.sh" file dpkg-dev
"$root/scripts/build.sh"
cd "$build"
rm -f kestrel_*.deb
cpack -G DEB >/dev/null
ls "$build"/kestrel_*_amd64.deb
