# bash completion for kestrel-cli: its options and their values, the actions with the memories
# they act on, and the ports present.

# One line per option: its forms, a colon, then the kind of its value (none when it takes none).
_kestrel_cli_options=(
  "-p --port:port"
  "-b --baud:number"
  "-P --parity:parity"
  "-c --chip:chip"
  "-e --erase:"
  "-V --verify:"
  "--json:"
  "-q --quiet:"
  "-h --help:"
  "--version:"
  "--log:file"
  "--serial:serial"
  "--serial-file:file"
  "--serial-start:number"
  "--serial-step:number"
  "--force:"
)
_kestrel_cli_actions="info chip signature read write verify erase fuses lock"
_kestrel_cli_memories="flash eeprom"

# Prints the kind of value that option form $1 takes (nothing when none); fails for no option.
_kestrel_cli_value_kind() {
  local line form
  for line in "${_kestrel_cli_options[@]}"; do
    for form in ${line%%:*}; do
      if [[ $form == "$1" ]]; then
        printf '%s' "${line#*:}"
        return 0
      fi
    done
  done
  return 1
}

# Prints the kind of value that the option word $1 leaves for the next word: a long option
# without "=VALUE", or a group of short options whose last letter takes a value ("-eVp").
_kestrel_cli_pending_kind() {
  local word=$1 kind i
  if [[ $word == --* ]]; then
    [[ $word == *=* ]] || _kestrel_cli_value_kind "$word"
    return 0
  fi
  for ((i = 1; i < ${#word}; i++)); do
    kind=$(_kestrel_cli_value_kind "-${word:i:1}") || return 0
    if [[ -n $kind ]]; then
      # The rest of the word, if any, is the value.
      ((i == ${#word} - 1)) && printf '%s' "$kind"
      return 0
    fi
  done
}

# Prints what the next action word may be, after word $2 was read while $1 was expected.
_kestrel_cli_next_state() {
  case $1 in
    memory) echo file ;;
    file) echo action ;;
    *)
      # After erase its target, after fuses or lock their bits, may stand before the next action.
      if [[ $1 == erase && ($2 == all || $2 == eeprom) ]] || [[ $1 == bits && $2 =~ ^[01]+$ ]]; then
        echo action
        return
      fi
      case $2 in
        read | write | verify) echo memory ;;
        erase) echo erase ;;
        fuses | lock) echo bits ;;
        *) echo action ;;
      esac
      ;;
  esac
}

# The ports present: the COM aliases whose device is there, USB adapters, and the on-board
# ports with a UART behind them.
_kestrel_cli_ports() {
  local port name type
  for port in "${XDG_CONFIG_HOME:-$HOME/.config}"/TARVELIN/ports/COM*; do
    name=${port##*/}
    [[ $name =~ ^COM[1-9][0-9]*$ && -e $port ]] && echo "$name"
  done
  for port in /dev/ttyUSB[0-9]* /dev/ttyACM[0-9]*; do
    [[ -e $port ]] && echo "$port"
  done
  for port in /dev/ttyS[0-9]*; do
    name=/sys/class/tty/${port##*/}
    [[ -e $name/device && -r $name/type ]] || continue
    read -r type <"$name/type" && [[ $type =~ ^[0-9]+$ ]] && ((type > 0)) && echo "$port"
  done
}

# Completes the current word as a value of kind $1.
_kestrel_cli_complete_value() {
  case $1 in
    port) mapfile -t COMPREPLY < <(compgen -W "$(_kestrel_cli_ports)" -- "$cur") ;;
    parity) mapfile -t COMPREPLY < <(compgen -W "none odd even mark space" -- "$cur") ;;
    file) _filedir ;;
    serial)
      # MEMORY:ADDRESS:BYTES[:FORMAT]: the memory is all there is to offer.
      [[ $cur == *:* ]] && return
      mapfile -t COMPREPLY < <(compgen -S : -W "$_kestrel_cli_memories" -- "$cur")
      compopt -o nospace
      ;;
  esac
}

_kestrel_cli() {
  local cur prev words cword split
  _init_completion -s -n : || return

  if [[ $split == true ]]; then
    _kestrel_cli_complete_value "$(_kestrel_cli_value_kind "$prev")"
    return
  fi

  # Reads the words before the current one as the program does: options with their values
  # anywhere until "--", the other words in turn as actions and their arguments.
  local i word pending="" ended=false state=action
  for ((i = 1; i < cword; i++)); do
    word=${words[i]}
    if [[ -n $pending ]]; then
      pending=""
    elif [[ $ended == false && $word == -- ]]; then
      ended=true
    elif [[ $ended == false && $word == -?* ]]; then
      pending=$(_kestrel_cli_pending_kind "$word")
    else
      state=$(_kestrel_cli_next_state "$state" "$word")
    fi
  done

  if [[ -n $pending ]]; then
    _kestrel_cli_complete_value "$pending"
    return
  fi
  if [[ $ended == false && $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "${_kestrel_cli_options[*]%%:*}" -- "$cur")
    return
  fi
  case $state in
    memory) mapfile -t COMPREPLY < <(compgen -W "$_kestrel_cli_memories" -- "$cur") ;;
    file) _filedir ;;
    erase) mapfile -t COMPREPLY < <(compgen -W "all eeprom $_kestrel_cli_actions" -- "$cur") ;;
    *) mapfile -t COMPREPLY < <(compgen -W "$_kestrel_cli_actions" -- "$cur") ;;
  esac
}
complete -F _kestrel_cli kestrel-cli
