#!/usr/bin/env bash
# Sets up, builds and starts Kestrel against the built-in device emulator on COM1.
# Settings and the COM1 alias go to a scratch settings scope, so your own are untouched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KESTREL_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
"$root/scripts/build.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<TXT
No display is available. Kestrel is a desktop program; to run it without one, start it
under a virtual X server:
    xvfb-run -a -s "-screen 0 1280x800x24" scripts/run.sh
TXT
  exit 1
fi

export XDG_CONFIG_HOME=${KESTREL_CONFIG_HOME:-$build/demo-config}
mkdir -p "$XDG_CONFIG_HOME/TARVELIN"
# On the first demo start the file browser opens on the sample firmware.
settings="$XDG_CONFIG_HOME/TARVELIN/KESTREL.conf"
[ -e "$settings" ] || printf '[General]\nPath=%s\n' "$root/samples" > "$settings"
"$build/emulator/kestrel-emulator" --port COM1 --config-home "$XDG_CONFIG_HOME" \
  --state "$XDG_CONFIG_HOME/emulator-state.bin" &
emulator=$!
trap 'kill $emulator 2>/dev/null; wait $emulator 2>/dev/null' EXIT
# Wait until the emulator has registered COM1.
for _ in $(seq 50); do [ -e "$XDG_CONFIG_HOME/TARVELIN/ports/COM1" ] && break; sleep 0.1; done
"$build/kestrel"
