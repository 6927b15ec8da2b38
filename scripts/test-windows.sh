#!/usr/bin/env bash
# Cross-builds the core and its tests for Windows into build-win/ (or $KESTREL_WIN_BUILD_DIR)
# and runs them under Wine, then runs the Windows serial driver's test against the device
# emulator on pseudo-terminals that a scratch Wine prefix maps as COM ports, and kestrel-cli.exe
# against one of them. Compiles the desktop program's sources for Windows, syntax only, against
# the distribution's Qt headers (there is no Qt for Windows here). Packs kestrel-cli.exe, its
# manual as text and the README into build-windows/kestrel-cli-VERSION-win64.zip. Needs no display.
# The emulator and the desktop sources' compile commands come from the Linux build (build/ or
# $KESTREL_BUILD_DIR), built when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_WIN_BUILD_DIR:-$root/build-win}
native=${KESTREL_BUILD_DIR:-$root/build}
dist=$root/build-windows

"$root/scripts/setup.sh" g++-mingw-w64-x86-64-posix wine wine64 googletest cmake ninja-build binutils \
  qt6-base-dev man-db zip

generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64.cmake" >/dev/null
cmake --build "$build" -j "$(nproc)"

emulator=$native/emulator/kestrel-emulator
if [ ! -x "$emulator" ]; then
  generator=()
  [ -f "$native/CMakeCache.txt" ] || generator=(-G Ninja)
  cmake -S "$root" -B "$native" "${generator[@]}" >/dev/null
  cmake --build "$native" -j "$(nproc)" --target kestrel-emulator
fi

# Every desktop source compiles for Windows with the definitions the real builds give it.
flags=$build/desktop-syntax
cmake -DROOT="$root" -DNATIVE="$native" -DWINDOWS="$build" -DOUT="$flags" -P "$root/scripts/windows-desktop-flags.cmake"
printf '@%s\n' "$flags"/*.rsp | xargs -P "$(nproc)" -n 1 x86_64-w64-mingw32-g++-posix -fsyntax-only ||
  { echo "a desktop source does not compile for Windows" >&2; exit 1; }
echo "The desktop sources compile for Windows (syntax only)"

# A prefix of our own, kept in the build folder so that later runs find it made. No Mono or Gecko
# (their installers would ask), no display, no debug noise.
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  wineboot --init >/dev/null 2>&1
fi

scratch=$(mktemp -d)
emulators=()
links=()
cleanup() {
  for pid in "${emulators[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${emulators[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -f "${links[@]}"
  rm -rf "$scratch"
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# Starts the emulator registered as COM port $1 (further arguments go to it) and maps that name
# in the Wine prefix to the emulator's alias, which follows the emulator to each new line.
start_device() {
  local port=$1
  shift
  "$emulator" --port "$port" --config-home "$scratch" "$@" >"$scratch/$port.log" 2>&1 &
  emulators+=($!)
  local alias=$scratch/TARVELIN/ports/$port
  for _ in $(seq 100); do
    [ -L "$alias" ] && break
    sleep 0.1
  done
  [ -L "$alias" ] || { cat "$scratch/$port.log" >&2; echo "the emulator did not register $port" >&2; exit 1; }
  local link=$WINEPREFIX/dosdevices/${port,,}
  ln -sfn "$alias" "$link"
  links+=("$link")
}

cd "$build"
ctest --output-on-failure --timeout 300 -j 2 -E '^windows_win32_serial_test$'

# COM numbers above those of any serial device Wine maps by itself.
start_device COM33
start_device COM34 --vanish-after 1 --vanish-ms 300
KESTREL_TEST_COM_PORT=COM33 KESTREL_TEST_VANISHING_COM_PORT=COM34 \
  wine tests/windows_win32_serial_test.exe --gtest_color=no

# kestrel-cli.exe programs a 256 KiB chip through a Wine COM port and reads it back: a HEX file
# with data above 64 KiB, written with erase and verify, then read back whole and compared. All
# in one run of the program: Wine refuses a second parity setting on a line it has set before.
start_device COM35
cd "$scratch"
head -c 100000 /dev/urandom >fw.bin
objcopy -I binary -O ihex fw.bin fw.hex
wine "$build/cli/kestrel-cli.exe" -q -p COM35 -c ATmega2560 -e -V info write flash fw.hex read flash back.bin \
  | tee cli.log
cmp -n 100000 fw.bin back.bin
[ "$(stat -c %s back.bin)" = 262144 ]
[ -z "$(tail -c +100001 back.bin | tr -d '\377' | head -c 1)" ] || { echo "the chip past the image is not erased" >&2; exit 1; }
echo "kestrel-cli.exe under Wine: the chip holds the HEX file's image, the rest erased"

# kestrel-cli for Windows users: the program without its debugging data, its manual as plain
# text, the README.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
package=kestrel-cli-$version-win64
mkdir -p "$scratch/$package" "$dist"
cp "$build/cli/kestrel-cli.exe" "$root/README.md" "$scratch/$package/"
x86_64-w64-mingw32-strip "$scratch/$package/kestrel-cli.exe"
MANWIDTH=80 man -E ascii -l "$root/cli/kestrel-cli.1" >"$scratch/$package/kestrel-cli.txt"
rm -f "$dist/$package.zip"
(cd "$scratch" && zip -qrX "$dist/$package.zip" "$package")
echo "Packed $dist/$package.zip"
