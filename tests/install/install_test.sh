#!/usr/bin/env bash
# Installs a build tree into a temporary DESTDIR and checks what a desktop and udev need:
# the programs, the catalogue, the message catalogues, the udev rule, the man page, the shell
# completion and, with the desktop program, its desktop entry, AppStream metainfo, hicolor
# icons and window translations.
# Arguments: build-dir source-dir prefix bindir datadir mandir udev-rules-dir app-id with-gui
set -uo pipefail
if [ "$#" -ne 9 ]; then
  echo "usage: $0 build source prefix bindir datadir mandir udevdir app-id with-gui(ON|OFF)" >&2
  exit 2
fi
build=$1 source=$2 prefix=$3 bindir=$4 datadir=$5 mandir=$6 udevdir=$7 appid=$8 gui=$9

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# The staged path of an install directory, absolute or relative to the prefix.
staged() {
  case $1 in
    /*) echo "$stage$1" ;;
    *) echo "$stage$prefix/$1" ;;
  esac
}
need_file() { [ -s "$1" ] || fail "not installed (or empty): ${1#"$stage"}"; }
need_same() { cmp -s "$1" "$2" || fail "${1#"$stage"} differs from ${2#"$stage"}"; }

if ! DESTDIR=$stage cmake --install "$build" >"$stage.log" 2>&1; then
  cat "$stage.log" >&2
  rm -f "$stage.log"
  echo "FAIL: cmake --install" >&2
  exit 1
fi
rm -f "$stage.log"

bin=$(staged "$bindir")
share=$(staged "$datadir")
man1=$(staged "$mandir")/man1

# Programs and catalogue.
[ -x "$bin/kestrel-cli" ] || fail "kestrel-cli not installed"
need_file "$share/kestrel/chip.txt"
need_same "$share/kestrel/chip.txt" "$source/data/chip.txt"

# The installed command-line program runs from a folder without a catalogue of its own.
if [ -x "$bin/kestrel-cli" ]; then
  output=$(cd "$stage" && "$bin/kestrel-cli" --simulate --chip ATmega2560 signature 2>&1)
  status=$?
  [ "$status" -eq 0 ] || fail "installed kestrel-cli --simulate --chip ATmega2560 signature: exit $status: $output"
  grep -q '^signature 1E：98：01$' <<<"$output" || fail "installed kestrel-cli printed no signature line: $output"
fi

# Each language's catalogue lies where the installed programs find it.
for po in "$source"/po/*.po; do
  need_file "$share/locale/$(basename "$po" .po)/LC_MESSAGES/kestrel.mo"
done
if [ -x "$bin/kestrel-cli" ]; then
  output=$(cd "$stage" && env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=en_US.UTF-8 \
    "$bin/kestrel-cli" --simulate --chip ATmega2560 signature 2>&1)
  grep -q ' Programmer: ready\.$' <<<"$output" || fail "the installed kestrel-cli speaks no English: $output"
fi

# The udev rule: one rule, numbered below the seat rules (70+) that act on uaccess.
rule_name=60-kestrel-vorne-pgr.rules
rule=$(staged "$udevdir")/$rule_name
need_file "$rule"
need_file "$share/kestrel/$rule_name"
need_same "$rule" "$share/kestrel/$rule_name"
number=${rule_name%%-*}
[ "$number" -lt 70 ] || fail "$rule_name is not numbered below 70"
if [ -s "$rule" ]; then
  rules=$(grep -vE '^[[:space:]]*(#|$)' "$rule")
  [ "$(wc -l <<<"$rules")" -eq 1 ] || fail "the rule file holds more than one rule"
  for match in 'SUBSYSTEM=="usb"' 'ATTR{idVendor}=="16c0"' 'ATTR{idProduct}=="05dc"' \
    'ATTR{manufacturer}=="Quintavel"' 'ATTR{product}=="Vorne PGR"' 'TAG+="uaccess"'; do
    grep -qF -- "$match" <<<"$rules" || fail "the rule lacks $match"
  done
  if grep -qE 'MODE[[:space:]]*:?=[[:space:]]*"?0?[0-7]{2}[2367]' <<<"$rules"; then
    fail "the rule makes the device world-writable"
  fi
  grep -qE 'GROUP|OWNER|RUN' <<<"$rules" && fail "the rule does more than tag the device for the seat"
fi
# The access message tells users to copy exactly this file from the installed data folder.
grep -qF "/$rule_name /etc/udev/rules.d/" "$source/base/Texts.cpp" ||
  fail "base/Texts.cpp does not name $rule_name in its udev command"

# A program's man page renders without warnings and names every option of its --help (a unit
# test checks kestrel-cli's against the command table).
check_man_page() {
  local program=$1 page=$man1/$1.1.gz text option
  need_file "$page"
  [ -s "$page" ] || return
  warnings=$(zcat "$page" | LC_ALL=C.UTF-8 groff -k -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "groff warns about the man page of $program: $warnings"
  text=$(zcat "$page" | LC_ALL=C.UTF-8 groff -k -man -Tutf8 -rLL=400n -rHY=0 -P -cbou 2>/dev/null |
    sed 's/\xe2\x80\x90/-/g; s/\xe2\x88\x92/-/g')
  [ -x "$bin/$program" ] || return
  for option in $("$bin/$program" --help | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u); do
    grep -qF -- "$option" <<<"$text" || fail "the man page of $program does not document $option"
  done
}
check_man_page kestrel-cli

# Shell completion where bash-completion and zsh look for it.
need_file "$share/bash-completion/completions/kestrel-cli"
need_file "$share/zsh/vendor-completions/_kestrel-cli"

# Desktop integration, with the desktop program only.
if [ "$gui" = ON ]; then
  [ -x "$bin/kestrel" ] || fail "kestrel not installed"
  check_man_page kestrel
  desktop=$share/applications/$appid.desktop
  metainfo=$share/metainfo/$appid.metainfo.xml
  svg=$share/icons/hicolor/scalable/apps/$appid.svg
  png=$share/icons/hicolor/48x48/apps/$appid.png
  for file in "$desktop" "$metainfo" "$svg" "$png"; do need_file "$file"; done
  if [ -s "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects ${desktop#"$stage"}"
    grep -qx "Icon=$appid" "$desktop" || fail "the desktop entry does not use the icon $appid"
    grep -qx "Exec=kestrel" "$desktop" || fail "the desktop entry does not start kestrel"
  fi
  if [ -s "$metainfo" ]; then
    appstreamcli validate --no-net "$metainfo" >"$stage/appstream.log" 2>&1 ||
      fail "appstreamcli validate rejects the metainfo: $(cat "$stage/appstream.log")"
    grep -qF "<id>$appid</id>" "$metainfo" || fail "the metainfo id is not $appid"
    grep -qF ">$appid.desktop</launchable>" "$metainfo" || fail "the metainfo does not launch $appid.desktop"
  fi
  for ts in "$source"/translations/kestrel_*.ts; do
    need_file "$share/kestrel/translations/$(basename "$ts" .ts).qm"
  done
  [ -s "$svg" ] && need_same "$svg" "$source/ui/resources/kestrel.svg"
  if [ -s "$png" ]; then
    # PNG signature, then the IHDR chunk: width and height as 32-bit big-endian numbers.
    header=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
    [ "${header:0:16}" = 89504e470d0a1a0a ] || fail "${png#"$stage"} is not a PNG"
    [ "${header:32:16}" = 0000003000000030 ] || fail "${png#"$stage"} is not 48 x 48"
  fi
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures install check(s) failed" >&2
  exit 1
fi
echo "install checks passed (desktop program: $gui)"
