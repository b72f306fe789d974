#!/usr/bin/env bash
# Packages the build tree for /usr with CPack's DEB generator, as packaging/make-deb.sh does
# from its release build, and fails on every tag lintian shows.
# Arguments: build-dir
set -uo pipefail
if [ "$#" -ne 1 ]; then
  echo "usage: $0 build-dir" >&2
  exit 2
fi
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

if ! (cd "$build" && cpack -G DEB -B "$out" -D CPACK_PACKAGING_INSTALL_PREFIX=/usr) >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
deb=$(ls "$out"/kestrel_*.deb)

failures=0
# The install directories are relative to the prefix, so that the package holds the layout
# of make-deb.sh's whatever prefix the build tree was configured for.
outside=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -vE '^\./(usr/.*)?$')
if [ -n "$outside" ]; then
  echo "FAIL: installed outside /usr: $outside" >&2
  failures=1
fi

# As root lintian warns on stderr that it should not run as root; the tags are on stdout.
tags=$(lintian "$deb" 2>"$out/lintian.log")
status=$?
if [ -n "$tags" ] || [ "$status" -ne 0 ]; then
  echo "FAIL: lintian (exit $status):" >&2
  printf '%s\n' "$tags" >&2
  grep -v 'running with root privileges' "$out/lintian.log" >&2
  failures=1
fi
[ "$failures" -eq 0 ] || exit 1
echo "lintian reports nothing on $(basename "$deb")"
