#!/usr/bin/env bash
# Installs from Debian's packages whatever Kestrel needs to build, test and run.
# Idempotent: quiet and quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  libusb-dev libudev-dev libasound2-dev libelf-dev zlib1g-dev umockdev libumockdev-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  fonts-wqy-microhei xvfb xauth
  desktop-file-utils appstream librsvg2-bin groff-base lintian zsh
  gettext
  libtomlplusplus-dev libsqlite3-dev libssl-dev nlohmann-json3-dev python3
  libpq-dev postgresql-15
  binutils-avr hyperfine
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  # One line a package as it is fetched, unpacked and set up: a first install takes minutes.
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" |
    { grep --line-buffered -E '^(Get:|Unpacking |Setting up )' || true; }
fi
