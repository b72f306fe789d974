#!/usr/bin/env bash
# Completes kestrel-cli's words with the generated bash script, and has zsh load the zsh one.
# Arguments: bash-script zsh-script
set -uo pipefail
bash_script=$1 zsh_script=$2
failures=0
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
touch "$folder/firmware.hex"

# The words bash offers for the last of `words`, one a line.
offered() {
  bash -c 'source "$1"; shift; COMP_WORDS=(kestrel-cli "$@"); COMP_CWORD=$#; _kestrel_cli
           printf "%s\n" "${COMPREPLY[@]}"' _ "$bash_script" "$@"
}
# words... -- the words offered, in order, exactly; "+WORD" instead: WORD among them.
check() {
  local words=() expected=()
  while [ "$1" != -- ]; do words+=("$1") && shift; done
  shift
  local got
  got=$(offered "${words[@]}")
  if [[ ${1:-} == +* ]]; then
    grep -qxF -- "${1#+}" <<<"$got" || { echo "FAIL: ${words[*]}: no ${1#+} in: $got" >&2; failures=$((failures + 1)); }
    return
  fi
  expected=$(printf '%s\n' "$@")
  [ "$got" = "$expected" ] || { echo "FAIL: ${words[*]}: got $(echo $got), want $*" >&2; failures=$((failures + 1)); }
}
check --mo -- --mode
check --mode '' -- PP_20 PP_2313 ISP HVSP
check --mode = I -- ISP
check --chip ATmega32 -- +ATmega328P
check --lang '' -- zh en
check --output '' -- text json
check verify- -- verify-flash verify-eeprom
check auto erase,write-f -- erase,write-flash
check --sim-socket ATtiny85,ATmega328 -- +ATtiny85,ATmega328P
check open-flash "$folder/f" -- "$folder/firmware.hex"
check --log-dir "$folder/f" --

# zsh parses the function when compinit has found it for kestrel-cli.
mkdir "$folder/zsh" && cp "$zsh_script" "$folder/zsh/_kestrel-cli"
if ! zsh -f -c 'fpath=("$1" $fpath); autoload -Uz compinit && compinit -u -D &&
  [[ $_comps[kestrel-cli] == _kestrel-cli ]] && autoload +X _kestrel-cli' _ "$folder/zsh"; then
  echo "FAIL: zsh does not load $zsh_script" >&2
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] || exit 1
echo "completion checks passed"
