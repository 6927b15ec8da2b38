#!/usr/bin/env bash
# Configures and builds into build/ (or $KESTREL_BUILD_DIR); extra arguments go to cmake.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_BUILD_DIR:-$root/build}
generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
cmake -S "$root" -B "$build" "${generator[@]}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
