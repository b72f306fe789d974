#!/usr/bin/env bash
# Every text the sources mark for translation has a translation in every po/LANG.po: none
# missing, none untranslated or fuzzy, none left as the Chinese original, and no entry the
# sources no longer use.
# Arguments: the template made from the sources, then the catalogues.
set -uo pipefail
export LC_ALL=C.UTF-8
pot=$1
shift
failures=0
for po in "$@"; do
  if ! msgcmp "$po" "$pot" >/dev/null 2>&1; then
    echo "FAIL: $po lacks translations of texts of the sources:" >&2
    msgcmp "$po" "$pot" 2>&1 | grep -v 'fatal errors' | head -20 >&2
    failures=$((failures + 1))
  fi
  unused=$(msgcomm --less-than=2 --no-wrap "$po" "$pot" 2>/dev/null | grep -c '^msgid "[^"]')
  if [ "$unused" -gt 0 ]; then
    echo "FAIL: $po holds $unused texts the sources do not use (run the update-translations target)" >&2
    failures=$((failures + 1))
  fi
  # A Chinese text "translated" as itself was never translated.
  copies=$(msgexec -i "$po" sh -c 'msgstr=$(cat); [ -n "$MSGEXEC_MSGID" ] && [ "$msgstr" = "$MSGEXEC_MSGID" ] &&
    printf "%s" "$MSGEXEC_MSGID" | grep -qP "\p{Han}" && printf "%s\n" "$MSGEXEC_MSGID"; true')
  if [ -n "$copies" ]; then
    echo "FAIL: $po leaves these texts in Chinese:" >&2
    echo "$copies" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] && echo "catalogues complete: $*"
exit $((failures > 0))
