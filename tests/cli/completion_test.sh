#!/usr/bin/env bash
# kestrel-cli's bash completion: what it offers for typical command lines, and that it knows every
# option and action the program's usage text lists.
#   completion_test.sh KESTREL-CLI COMPLETION-SCRIPT
set -uo pipefail
program=$(realpath "$1")
source /usr/share/bash-completion/bash_completion || exit 1
source "$2" || exit 1
# Outside readline there is nothing for compopt to set.
compopt() { :; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME=$scratch/config
aliases=$XDG_CONFIG_HOME/TARVELIN/ports
mkdir -p "$aliases" "$scratch/files"
touch "$scratch/files/fw.hex" "$scratch/files/back.bin"
ln -s /dev/null "$aliases/COM3"
ln -s "$scratch/unplugged" "$aliases/COM4"
ln -s /dev/null "$aliases/COMX"
cd "$scratch/files" || exit 1

failures=0
# Completes LINE with the cursor at its end; prints the candidates sorted, on one line.
complete_line() {
  local COMP_LINE=$1 COMP_POINT=${#1} COMP_WORDS COMP_CWORD
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _kestrel_cli kestrel-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}

actions="chip erase fuses info lock read signature verify write"
while IFS='|' read -r line expected; do
  got=$(complete_line "$line")
  if [[ $got != "$expected" ]]; then
    echo "FAIL: '$line' offers '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
done <<TABLE
kestrel-cli --po|--port
kestrel-cli --serial-s|--serial-start --serial-step
kestrel-cli --parity |even mark none odd space
kestrel-cli -P o|odd
kestrel-cli --parity=e|even
kestrel-cli -p CO|COM3
kestrel-cli -eVp CO|COM3
kestrel-cli --port=CO|COM3
kestrel-cli -pCOM3 |$actions
kestrel-cli -c read |$actions
kestrel-cli -c 2 read |eeprom flash
kestrel-cli verify flash |back.bin fw.hex
kestrel-cli write eeprom fw.hex e|erase
kestrel-cli erase e|eeprom erase
kestrel-cli erase all e|erase
kestrel-cli fuses 0101 s|signature
kestrel-cli --log f|fw.hex
kestrel-cli --serial e|eeprom:
kestrel-cli --serial flash:0x10|
kestrel-cli -- --j|
kestrel-cli -q --json i|info
TABLE

# Every option and action of the usage text has its line in the completion.
usage=$("$program" --help) || exit 1
options=$(grep -oE -- '--[a-z][a-z-]*' <<<"$usage" | sort -u)
# An action starts its line, or stands before "[BITS]" ("fuses [BITS]   lock [BITS]").
usage_actions=$(sed -n '/^ACTIONS/,$p' <<<"$usage" | grep -oE '^  [a-z]+|[a-z]+ \[BITS\]' | grep -oE '[a-z]+')
if [[ $(wc -w <<<"$options") -lt 5 || $(wc -w <<<"$usage_actions") -lt 5 ]]; then
  echo "FAIL: the usage text's options or actions were not found: it is laid out anew"
  failures=$((failures + 1))
fi
for option in $options; do
  if ! _kestrel_cli_value_kind "$option" >/dev/null; then
    echo "FAIL: the completion does not know $option"
    failures=$((failures + 1))
  fi
done
for action in $usage_actions; do
  if [[ " $_kestrel_cli_actions " != *" $action "* ]]; then
    echo "FAIL: the completion does not know the action $action"
    failures=$((failures + 1))
  fi
done

[[ $failures == 0 ]] && echo "kestrel-cli completion: all cases pass"
exit $((failures > 0))
