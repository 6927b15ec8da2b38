#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Kestrel need, or only the
# packages named as arguments. Does nothing when they are all present; uses sudo when not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-translations-l10n shared-mime-info libgl-dev
  libgtest-dev libgmock-dev googletest
  xvfb xauth x11-utils fonts-dejavu-core bash-completion
  clang libclang-rt-14-dev
  gcc-avr avr-libc binutils-avr srecord
)
if [ $# -gt 0 ]; then packages=("$@"); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Run as root or install sudo: missing ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
