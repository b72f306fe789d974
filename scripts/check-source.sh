#!/usr/bin/env bash
# Fails on source that drifts from .clang-format and on an include that reaches a layer above
# the file's own. The layers, lowest first; a folder may include its own headers and those of
# the folders it lists.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [base]="base"
  [chips]="chips base"
  [image]="image base"
  [device]="device chips base"
  [control]="control device image chips base"
  [production]="production control device image chips base"
  [platform]="platform base"
  [cli]="cli production control device image chips base platform"
  [ui]="ui production control device image chips base"
  [app]="app ui production control device image chips base platform"
)

status=0
sources=$(git ls-files '*.cpp' '*.h')

for file in $sources; do
  layer=${file%%/*}
  # Benchmarks and fuzz harnesses stand beside the tests, not on them.
  if [[ $layer == bench || $layer == fuzz ]] && grep -q '^#include "tests/' "$file"; then
    echo "$file: includes a header of tests/" >&2
    status=1
  fi
  [ -n "${allowed[$layer]:-}" ] || continue
  while IFS= read -r included; do
    target=${included%%/*}
    [ -n "${allowed[$target]:-}" ] || continue
    if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
      echo "$file: includes $included, a layer above $layer" >&2
      status=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done

formatter=${CLANG_FORMAT:-clang-format}
if command -v "$formatter" >/dev/null; then
  drift=$(for file in $sources; do
    "$formatter" --style=file "$file" | cmp -s - "$file" || echo "$file"
  done)
  if [ -n "$drift" ]; then
    echo "Not formatted as .clang-format says (run: $formatter -i FILE):" >&2
    echo "$drift" >&2
    status=1
  fi
else
  echo "clang-format is missing; the format check did not run." >&2
  status=1
fi
exit $status
