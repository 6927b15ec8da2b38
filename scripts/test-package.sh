#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it as a user meets it: lintian finds
# no error or warning; apt-get installs it; the installed programs run, kestrel-cli and the
# desktop program (offscreen, until its main window is drawn) against the installed emulator; the
# manual pages, the completion, the menu entry and the software-centre entry are found and valid;
# and purging it leaves nothing it installed. Prints how long each step took. Needs root or sudo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" lintian appstream desktop-file-utils bash-completion man-db

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
scratch=$(mktemp -d)
emulator=""
cleanup() {
  [ -z "$emulator" ] || { kill "$emulator" 2>/dev/null && wait "$emulator" 2>/dev/null; } || true
  ! dpkg -s kestrel >/dev/null 2>&1 || "${sudo[@]}" apt-get purge -y -qq kestrel >/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "test-package: $*" >&2
  exit 1
}

# Runs a step and says how long it took.
step() {
  local start=$SECONDS
  "$@"
  echo "test-package: $1 took $((SECONDS - start)) s"
}

build_package() {
  deb=$("$root/scripts/package.sh" | tail -n 1)
  version=$(dpkg-deb -f "$deb" Version)
  echo "test-package: built $deb"
}

run_lintian() {
  lintian --fail-on error,warning --display-info "$deb"
}

install_package() {
  # A package left by an earlier run would make the install a no-op.
  ! dpkg -s kestrel >/dev/null 2>&1 || "${sudo[@]}" apt-get purge -y -qq kestrel >/dev/null
  "${sudo[@]}" apt-get install -y -qq "$deb" >/dev/null
  dpkg -L kestrel >"$scratch/installed"
}

check_files() {
  for program in kestrel kestrel-cli kestrel-emulator; do
    [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not in /usr/bin"
    man -w "$program" >/dev/null || fail "no manual page for $program"
  done
  [ "$(kestrel-cli --version)" = "kestrel-cli $version" ] || fail "kestrel-cli --version: $(kestrel-cli --version)"
  kestrel-emulator --help | grep -q '^Usage: kestrel-emulator' || fail "kestrel-emulator --help printed no usage"
  local completion
  completion=$(bash -c 'source /usr/share/bash-completion/bash_completion
                        _completion_loader kestrel-cli; complete -p kestrel-cli')
  [ "$completion" = "complete -F _kestrel_cli kestrel-cli" ] || fail "the completion is not loaded: $completion"
  desktop-file-validate /usr/share/applications/kestrel.desktop
  local metainfo
  metainfo=$(grep '^/usr/share/metainfo/.*\.xml$' "$scratch/installed") || fail "no AppStream entry"
  appstreamcli validate --no-net --strict "$metainfo"
  grep -qx /usr/share/icons/hicolor/scalable/apps/kestrel.svg "$scratch/installed" || fail "no scalable icon"
}

# The installed programs against the installed emulator, in a settings folder of their own.
check_programs() {
  export XDG_CONFIG_HOME=$scratch/config
  kestrel-emulator --config-home "$XDG_CONFIG_HOME" >"$scratch/emulator.log" 2>&1 &
  emulator=$!
  for _ in $(seq 100); do
    [ -L "$XDG_CONFIG_HOME/TARVELIN/ports/COM1" ] && break
    sleep 0.1
  done
  kestrel-cli -q info >"$scratch/info" || fail "kestrel-cli info failed: $(cat "$scratch/info")"
  grep -q 'эмулятор' "$scratch/info" || fail "kestrel-cli info did not name the emulator: $(cat "$scratch/info")"

  # The toolkit logs each time it puts a window's pixels on the screen: the main window's first
  # such line says it was drawn. The line trace says the program talked to the emulator.
  QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="qt.widgets.painting=true" KESTREL_TRACE=$scratch/trace \
    kestrel >"$scratch/kestrel.log" 2>&1 &
  local program=$!
  local shown=false connected=false
  for _ in $(seq 300); do
    kill -0 "$program" 2>/dev/null || { cat "$scratch/kestrel.log" >&2; fail "kestrel ended by itself"; }
    grep -q 'Flushing .* of kestrel::TForm1(.*name="Form1")' "$scratch/kestrel.log" && shown=true
    grep -q '<- GetProgrammerName' "$scratch/trace" 2>/dev/null && connected=true
    [ $shown = true ] && [ $connected = true ] && break
    sleep 0.1
  done
  [ $shown = true ] || fail "kestrel did not draw its main window in 30 s"
  [ $connected = true ] || fail "kestrel did not get the programmer's name from the emulator in 30 s"
  sleep 2
  kill -0 "$program" 2>/dev/null || fail "kestrel ended within 2 s of showing its window"
  kill "$program" "$emulator"
  wait "$program" "$emulator" || true
  emulator=""
  echo "test-package: kestrel showed its main window and connected to the emulator"
}

# After purging, of what the package installed only folders another package owns, or that hold
# something of another's, may remain.
purge_package() {
  "${sudo[@]}" apt-get purge -y -qq kestrel >/dev/null
  local path left=()
  while read -r path; do
    if [ "$path" = /. ] || [ ! -e "$path" ]; then continue; fi
    if [ -d "$path" ] && [ ! -L "$path" ]; then
      dpkg -S "$path" >/dev/null 2>&1 || [ -n "$(ls -A "$path")" ] || left+=("$path")
    else
      left+=("$path")
    fi
  done <"$scratch/installed"
  [ ${#left[@]} -eq 0 ] || fail "left after purging: ${left[*]}"
  echo "test-package: purged, nothing left of $(wc -l <"$scratch/installed") installed paths"
}

step build_package
step run_lintian
step install_package
step check_files
step check_programs
step purge_package
